#include "saves/Backup.h"

#include <algorithm>
#include <ctime>
#include <set>

#include "pk3/Pk3Archive.h"
#include "platform/Files.h"
#include "platform/Time.h"

namespace tarvex {

namespace {
namespace fs = std::filesystem;

constexpr const char* kFolders[] = {"save", "Map_Images"};
constexpr const char* kFiles[] = {"path.ini", "maps.ini"};

// A file name of the data folder: no folder, not hidden (temporaries are), no control character.
bool plainName(std::string_view name) {
  if (name.empty() || name.size() > 255 || name.front() == '.') return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    return c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
}

bool holdsAlready(const std::string& what, std::size_t& total, std::size_t more, const BackupLimits& limits,
                  Problem& problem) {
  total += more;
  if (total <= limits.totalBytes) return false;
  problem = what + " is larger than " + std::to_string(limits.totalBytes / (1024 * 1024)) + " MB in all";
  return true;
}
}  // namespace

bool isBackupName(std::string_view name) {
  if (std::find(std::begin(kFiles), std::end(kFiles), name) != std::end(kFiles)) return true;
  for (const std::string_view folder : kFolders)
    if (name.size() > folder.size() + 1 && name.starts_with(folder) && name[folder.size()] == '/')
      return plainName(name.substr(folder.size() + 1));
  return false;
}

Result<BackupFiles> collectBackup(const fs::path& dataFolder, const BackupLimits& limits) {
  BackupFiles files;
  std::size_t total = 0;
  Problem problem;
  const auto take = [&](const fs::path& path, std::string name) -> bool {
    const FileBytes read = readFileBytesNoLinks(path, limits.fileBytes);
    if (read.status == ReadStatus::Missing) return true;
    if (read.status != ReadStatus::Ok) {
      problem = fromPath(path) + (read.status == ReadStatus::TooLarge
                                      ? " is larger than " + std::to_string(limits.fileBytes / (1024 * 1024)) + " MB"
                                      : std::string(" cannot be read, or is no regular file"));
      return false;
    }
    if (holdsAlready("the data folder", total, read.bytes.size(), limits, problem)) return false;
    files.emplace_back(std::move(name), read.bytes);
    return true;
  };
  for (const char* name : kFiles)
    if (!take(dataFolder / name, name)) return failure(problem);
  for (const char* folder : kFolders) {
    std::error_code ec;
    std::vector<std::string> names;
    for (fs::directory_iterator entry(dataFolder / folder, ec), end; !ec && entry != end; entry.increment(ec)) {
      const std::string name = fromPath(entry->path().filename());
      // Links and folders are not the folder's own files; hidden ones are temporaries.
      if (plainName(name) && entry->is_regular_file(ec) && !entry->is_symlink(ec)) names.push_back(name);
    }
    if (ec && ec != std::errc::no_such_file_or_directory)
      return failure(fromPath(dataFolder / folder) + " cannot be read (" + ec.message() + ")");
    std::sort(names.begin(), names.end());
    if (files.size() + names.size() > limits.files)
      return failure("the data folder holds more than " + std::to_string(limits.files) + " files");
    for (const auto& name : names)
      if (!take(dataFolder / folder / toPath(name), std::string(folder) + "/" + name)) return failure(problem);
  }
  return files;
}

Result<std::string> backupArchive(const BackupFiles& files, const std::string& madeAt) {
  BackupFiles entries{{kBackupManifest, "A backup of a Tarvex data folder, made " + madeAt + ".\n"}};
  entries.insert(entries.end(), files.begin(), files.end());
  return zipBytes(entries);
}

std::string backupStamp(bool shown) {
  const std::tm local = platform::localTime(std::time(nullptr));
  char text[32];
  std::strftime(text, sizeof text, shown ? "%Y-%m-%d %H:%M:%S" : "%Y%m%d-%H%M%S", &local);
  return text;
}

Problem writeBackupFile(const fs::path& file, const BackupFiles& files) {
  const auto archive = backupArchive(files, backupStamp(true));
  if (!archive) return "the archive could not be made (" + archive.problem() + ")";
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  return writeFileAtomic(file, *archive, FileAccess::OwnerOnly);
}

Result<BackupFiles> readBackupArchive(std::string archiveBytes, const BackupLimits& limits) {
  auto archive = Pk3Archive::openBytes(std::move(archiveBytes));
  if (!archive) return failure("it is not a backup that can be read (" + archive.problem() + ")");
  const auto& names = archive->names();
  if (names.size() > limits.files + 1)
    return failure("it holds " + std::to_string(names.size()) + " entries, more than a data folder");
  if (std::find(names.begin(), names.end(), kBackupManifest) == names.end())
    return failure(std::string("it is not a backup of Tarvex's (it has no ") + kBackupManifest + ")");
  std::set<std::string_view> seen;
  for (const std::string_view name : names) {
    if (!seen.insert(name).second) return failure("it holds " + std::string(name) + " twice");
    if (name != kBackupManifest && !isBackupName(name))
      return failure("it holds " + std::string(name) + ", which is no file of a data folder");
  }
  BackupFiles files;
  std::size_t total = 0;
  Problem problem;
  for (const std::string_view name : names) {
    if (name == kBackupManifest) continue;
    auto bytes = archive->extract(name, limits.fileBytes);
    if (!bytes) return failure(bytes.problem());
    if (holdsAlready("it", total, bytes->size(), limits, problem)) return failure(problem);
    files.emplace_back(std::string(name), std::move(*bytes));
  }
  return files;
}

Problem restoreBackup(const fs::path& dataFolder, const BackupFiles& files) {
  // Written beside their places first: the new folders whole, the single files as temporaries.
  const fs::path fresh = dataFolder / ".restore-new", old = dataFolder / ".restore-old";
  std::error_code ec;
  fs::remove_all(fresh, ec);
  fs::remove_all(old, ec);
  for (const char* folder : kFolders) {
    fs::create_directories(fresh / folder, ec);
    if (ec) return fromPath(fresh / folder) + " cannot be made (" + ec.message() + ")";
  }
  fs::create_directories(old, ec);
  if (ec) return fromPath(old) + " cannot be made (" + ec.message() + ")";
  for (const auto& [name, bytes] : files) {
    if (!isBackupName(name)) return name + " is no file of a data folder";
    // The slots hold the console password: for their owner alone.
    const FileAccess access = name.starts_with("save/") ? FileAccess::OwnerOnly : FileAccess::Everyone;
    if (Problem problem = writeFileAtomic(fresh / toPath(name), bytes, access); !problem.ok())
      return fromPath(fresh / toPath(name)) + " cannot be written (" + problem + ")";
  }
  // Then each put in place by a rename; what it replaces goes aside until all are in place.
  for (const char* folder : kFolders) {
    if (fs::exists(dataFolder / folder, ec)) fs::rename(dataFolder / folder, old / folder, ec);
    if (!ec) fs::rename(fresh / folder, dataFolder / folder, ec);
    if (ec)
      return std::string(folder) + " could not be put in place (" + ec.message() + "); the data folder's own is in " +
             fromPath(old);
  }
  for (const char* name : kFiles) {
    const bool restored = fs::exists(fresh / name, ec);
    if (fs::exists(dataFolder / name, ec)) fs::rename(dataFolder / name, old / name, ec);
    if (!ec && restored) fs::rename(fresh / name, dataFolder / name, ec);
    if (ec)
      return std::string(name) + " could not be put in place (" + ec.message() + "); the data folder's own is in " +
             fromPath(old);
  }
  fs::remove_all(fresh, ec);
  fs::remove_all(old, ec);
  return {};
}

}  // namespace tarvex
