#pragma once
// A pk3 file is a zip archive of game data. Reading one goes through libzip;
// only its directory is read to list what it holds, and single entries are
// extracted with a size cap, so a hostile archive (truncated, a zip bomb,
// not a zip at all, a million entries) gives a message, never a hang.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "util/Problem.h"

struct zip;

namespace tarvex {

class Pk3Archive {
 public:
  // An archive of more entries than this is taken for a hostile one.
  static constexpr std::size_t kMaxEntries = 200000;

  // Opens the archive, or says why it cannot be read.
  // An archive of more than maxEntries entries is refused by its directory.
  static Result<Pk3Archive> open(const std::filesystem::path& file, std::size_t maxEntries = kMaxEntries);
  // The same from bytes in memory (kept alive by the archive).
  static Result<Pk3Archive> openBytes(std::string bytes);

  Pk3Archive(Pk3Archive&&) noexcept;
  Pk3Archive& operator=(Pk3Archive&&) noexcept;
  ~Pk3Archive();

  // Every entry's name, as stored (forward slashes), held by the archive
  // (valid while it lives).
  const std::vector<std::string_view>& names() const { return names_; }

  // The bytes of the named entry, at most maxBytes of them; the problem when
  // it is missing, broken, or larger.
  Result<std::string> extract(std::string_view name, std::size_t maxBytes) const;

 private:
  Pk3Archive(zip* archive, std::shared_ptr<std::string> bytes);
  Problem readDirectory(std::size_t maxEntries);

  zip* archive_ = nullptr;
  std::shared_ptr<std::string> bytes_;  // the archive's bytes when opened from memory
  std::vector<std::string_view> names_;
};

// A zip archive of the entries (name, bytes), made in memory, each entry
// compressed; the reason when libzip could not make it.
Result<std::string> zipBytes(const std::vector<std::pair<std::string, std::string>>& entries);

}  // namespace tarvex
