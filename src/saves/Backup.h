#pragma once
// A backup of a data folder: one zip archive of what the host made there
// (path.ini, the save slots, the added maps and their pictures), never the
// logs or the records of running servers; and its restore, which checks the
// archive whole before it replaces anything.

#include <cstddef>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "util/Problem.h"

namespace tarvex {

// The entry that names an archive a backup of Tarvex's.
inline constexpr const char* kBackupManifest = "tarvex-backup.txt";

struct BackupLimits {
  std::size_t fileBytes = std::size_t{16} * 1024 * 1024;  // one file
  std::size_t totalBytes = std::size_t{512} * 1024 * 1024;
  std::size_t files = 20000;
};

// A backup's files: their names in the archive (path.ini, maps.ini,
// save/NAME, Map_Images/NAME) and their bytes.
using BackupFiles = std::vector<std::pair<std::string, std::string>>;

// Whether a name may stand in a backup: one of the data folder's own files,
// never a path that leaves it, a hidden or temporary file, or a link.
bool isBackupName(std::string_view name);

// What the data folder holds that a backup keeps; a failure when any of it
// cannot be read (a backup never leaves out what it could not read).
Result<BackupFiles> collectBackup(const std::filesystem::path& dataFolder, const BackupLimits& limits = {});

// The archive's bytes, the manifest first.
Result<std::string> backupArchive(const BackupFiles& files, const std::string& madeAt);

// The local time now, for a backup's file name ("20261208-183000") or, shown, its manifest.
std::string backupStamp(bool shown = false);

// The archive written to the file (made with its folder), readable by its
// owner alone: the slots in it hold the console password.
Problem writeBackupFile(const std::filesystem::path& file, const BackupFiles& files);

// The files of a backup archive, checked whole: a zip with the manifest, of
// names isBackupName takes, each once, within the limits; else why not.
Result<BackupFiles> readBackupArchive(std::string archiveBytes, const BackupLimits& limits = {});

// Puts the files in place of the data folder's own: path.ini and maps.ini
// replaced (or removed when the backup has none), save/ and Map_Images/
// swapped whole for the backup's. Everything is written beside its place
// first, so that a failure leaves the folder as it was or says what is left.
Problem restoreBackup(const std::filesystem::path& dataFolder, const BackupFiles& files);

}  // namespace tarvex
