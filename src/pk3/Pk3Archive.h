#pragma once
// A pk3 file is a zip archive of game data. Reading one goes through libzip;
// only its directory is read to list what it holds, and single entries are
// extracted with a size cap, so a hostile archive (truncated, a zip bomb,
// not a zip at all, a million entries) gives a message, never a hang.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct zip;

namespace tarvex {

class Pk3Archive {
 public:
  // An archive of more entries than this is taken for a hostile one.
  static constexpr std::size_t kMaxEntries = 200000;

  // Opens the archive; nullopt with the reason in problem.
  // An archive of more than maxEntries entries is refused by its directory.
  static std::optional<Pk3Archive> open(const std::filesystem::path& file, std::string& problem,
                                        std::size_t maxEntries = kMaxEntries);
  // The same from bytes in memory (kept alive by the archive).
  static std::optional<Pk3Archive> openBytes(std::string bytes, std::string& problem);

  Pk3Archive(Pk3Archive&&) noexcept;
  Pk3Archive& operator=(Pk3Archive&&) noexcept;
  ~Pk3Archive();

  // Every entry's name, as stored (forward slashes).
  const std::vector<std::string>& names() const { return names_; }

  // The bytes of the named entry, at most maxBytes of them: nullopt with the
  // reason when it is missing, broken, or larger.
  std::optional<std::string> extract(std::string_view name, std::size_t maxBytes, std::string& problem) const;

 private:
  Pk3Archive(zip* archive, std::shared_ptr<std::string> bytes);
  bool readDirectory(std::string& problem, std::size_t maxEntries = kMaxEntries);

  zip* archive_ = nullptr;
  std::shared_ptr<std::string> bytes_;  // the archive's bytes when opened from memory
  std::vector<std::string> names_;
};

}  // namespace tarvex
