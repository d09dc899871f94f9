#pragma once
// A pk3 file is a zip archive of game data. Listing one is what map discovery
// does to every archive of a game folder, so it is read here directly: the
// directory at its end is read in one piece and its names are views into it,
// and an entry is inflated by zlib when asked for. Every length and offset is
// checked against what was read, and an entry is extracted with a size cap,
// so a hostile archive (truncated, a zip bomb, not a zip at all, a million
// entries, a directory that lies) gives a message, never a hang or a read out
// of bounds. Archives are written with libzip (zipBytes).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "util/Problem.h"

namespace tarvex {

class Pk3Archive {
 public:
  // An archive of more entries than this is taken for a hostile one.
  static constexpr std::size_t kMaxEntries = 200000;
  // A directory larger than this is refused before it is read.
  static constexpr std::uint64_t kMaxDirectoryBytes = 64 * 1024 * 1024;

  // Opens the archive, or says why it cannot be read.
  // An archive of more than maxEntries entries is refused by its directory.
  static Result<Pk3Archive> open(const std::filesystem::path& file, std::size_t maxEntries = kMaxEntries);
  // The same from bytes in memory.
  static Result<Pk3Archive> openBytes(std::string bytes);

  Pk3Archive(Pk3Archive&&) noexcept;
  Pk3Archive& operator=(Pk3Archive&&) noexcept;
  ~Pk3Archive();

  // Every entry's name in the directory's order, as stored (forward
  // slashes), held by the archive (valid while it lives).
  const std::vector<std::string_view>& names() const { return names_; }

  // The index of the first entry of this name (exactly as stored).
  std::optional<std::size_t> find(std::string_view name) const;

  // The bytes of the named entry (or of the entry at that index), at most
  // maxBytes of them; the problem when it is missing, broken, or larger.
  // An archive is read by one thread at a time.
  Result<std::string> extract(std::string_view name, std::size_t maxBytes) const;
  Result<std::string> extract(std::size_t index, std::size_t maxBytes) const;

 private:
  struct Source;
  explicit Pk3Archive(std::unique_ptr<Source> source);
  static Result<Pk3Archive> read(std::unique_ptr<Source> source, std::size_t maxEntries);

  std::unique_ptr<Source> source_;  // the file, or the bytes
  std::string directory_;           // the central directory, as read (at least a record: names_ stay valid in a move)
  std::uint64_t shift_ = 0;         // bytes before the archive (a self-extractor's program)
  std::vector<std::string_view> names_;
  mutable std::unordered_map<std::string_view, std::size_t> byName_;  // made at the first look-up by name
};

// A zip archive of the entries (name, bytes), made in memory, each entry
// compressed; the reason when libzip could not make it.
Result<std::string> zipBytes(const std::vector<std::pair<std::string, std::string>>& entries);

}  // namespace tarvex
