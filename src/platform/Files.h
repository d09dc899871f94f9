#pragma once
// File access for the core: whole-file reads with a size cap, atomic writes,
// and the name matching that a game folder under Wine needs.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/Problem.h"

namespace tarvex {

// The platform's folder separator as the program writes it into paths.
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// Converts the program's byte strings to and from file-system paths.
std::filesystem::path toPath(std::string_view bytes);
std::string fromPath(const std::filesystem::path& path);

// Appends the separator when the folder does not already end in one.
std::string withTrailingSeparator(std::string folder);

// Replaces the catalogue's backslash notation with the platform's separator.
std::string nativeSeparators(std::string_view text);

enum class ReadStatus { Ok, Missing, Unreadable, TooLarge };

struct FileBytes {
  ReadStatus status = ReadStatus::Missing;
  std::string bytes;
};

// Reads a whole file. Files above the cap are refused rather than loaded.
FileBytes readFileBytes(const std::filesystem::path& path, std::uintmax_t maxBytes = std::uintmax_t{256} * 1024 * 1024);

// The same for a file that another program may have replaced meanwhile (an
// editor's copy): a symbolic link there is not followed but refused, as is
// anything but a regular file.
FileBytes readFileBytesNoLinks(const std::filesystem::path& path, std::uintmax_t maxBytes);

// Reads at most the first maxBytes of a file (for a look at its first lines).
FileBytes readFileHead(const std::filesystem::path& path, std::size_t maxBytes);

// Who may read a file Tarvex writes: everyone (a new file as the umask
// allows, a replaced one keeping its mode), or (on Linux) only the user, for
// files that hold the console password (save slots, tarvex.cfg): those are
// 0600 after every write, whatever mode they had.
enum class FileAccess { Everyone, OwnerOnly };

// Writes the file whole: a temporary file beside the target, flushed to disk,
// then renamed over it, so that a crash or a full disk never leaves a
// half-written file. A symbolic link the user made is written through to its
// target; one another user made is replaced itself; a read-only file, or a
// device, pipe or folder, is not replaced. With FileWrite::CreateOnly a file
// that exists is left alone (kFileExists): of two processes creating it at
// once, one wins. Returns the cause ("No space left on device", "the file is
// read-only"), empty on success.
enum class FileWrite { Replace, CreateOnly };
inline constexpr const char* kFileExists = "the file exists already";
Problem writeFileAtomic(const std::filesystem::path& path, std::string_view bytes,
                        FileAccess access = FileAccess::Everyone, FileWrite write = FileWrite::Replace);

// Why writeFileAtomic would refuse to replace the file ("the file is
// read-only"); empty when it would not.
Problem replaceRefusal(const std::filesystem::path& path);

// Removes the temporary files that a killed Tarvex left in a folder: those
// whose writer no longer runs, or older than an hour.
void removeStaleTemporaries(const std::filesystem::path& folder);

// Directory-listing match of one name against a pattern with * and ?.
bool wildcardMatch(std::string_view pattern, std::string_view name, bool ignoreCase);

// Finds an existing path for a relative name written with backslashes, under
// a base folder. On Windows the file system already ignores case; elsewhere
// each folder component is looked up without regard to case, as the game
// sees its files under Wine. Returns nullopt when a component is missing.
std::optional<std::filesystem::path> resolveNoCase(const std::filesystem::path& base, std::string_view relative);

// True when the folder holds an ordinary, not hidden file that matches the
// pattern (the last component of the relative name; * and ? allowed).
bool ordinaryFileMatches(const std::filesystem::path& base, std::string_view relative);

// The same question for many names: each folder is listed once, however many
// names ask about it (a game folder of 20,000 files and 50 catalogue rows).
class FolderListings {
 public:
  bool ordinaryFileMatches(const std::filesystem::path& base, std::string_view relative);

 private:
  struct Entry {
    std::string name;
    std::filesystem::path path;
    bool regular = false;
    bool hidden = false;
  };
  const std::vector<Entry>& listing(const std::filesystem::path& folder);
  std::optional<std::filesystem::path> find(const std::filesystem::path& folder, const std::string& name);
  std::map<std::filesystem::path, std::vector<Entry>> listings_;
};

}  // namespace tarvex
