#include "startup/DataFolder.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <tuple>

#include "platform/Files.h"
#include "platform/Folders.h"
#include "saves/SaveFile.h"
#include "startup/GameFolder.h"
#include "util/Text.h"

namespace fs = std::filesystem;

namespace tarvex {

fs::path userDataFolder() { return platform::usersDataFolder(); }

fs::path systemDataFolder() {
  if (const char* folder = std::getenv("TARVEX_SYSTEM_FOLDER"); folder && *folder) return toPath(folder);
  return platform::servicesDataFolder();
}

bool isPackageFolder(const fs::path& programFolder) {
  std::error_code ec;
  return fs::exists(programFolder / kPackageMarker, ec);
}

namespace {
constexpr const char* kServedName = "program.ini";

void copyIfMissing(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (fs::exists(to, ec) || !fs::is_regular_file(from, ec)) return;
  const FileBytes bytes = readFileBytes(from, kMaxSaveFileBytes);
  // A copy that fails leaves the file missing, which is said where it is read
  // (the game folder is asked for, the slot reads as never used); the
  // program folder's own file stays as it was.
  if (bytes.status == ReadStatus::Ok) std::ignore = writeFileAtomic(to, bytes.bytes, FileAccess::OwnerOnly);
}

// A folder name of the program folder's path: its own letters, and a
// checksum that tells paths apart which those alone would not.
std::string installName(const fs::path& programFolder) {
  const std::string path = fromPath(programFolder);
  return nameWithChecksum(path, path, 40);
}
}  // namespace

std::optional<fs::path> servedProgramFolder(const fs::path& dataFolder) {
  const FileBytes read = readFileBytes(dataFolder / kServedName, 64 * 1024);
  if (read.status != ReadStatus::Ok) return std::nullopt;
  const auto first = LineReader(read.bytes).next();
  if (!first || first->empty()) return std::nullopt;
  return toPath(*first);
}

namespace {
// The program's path.ini and shipped save slots, where the data folder has none.
void fillDataFolder(const fs::path& programFolder, const fs::path& folder) {
  std::error_code ec;
  fs::create_directories(folder / "save", ec);
  copyIfMissing(programFolder / kPathIniName, folder / kPathIniName);
  for (int slot = 1; slot <= kSlotCount; ++slot) copyIfMissing(slotPath(programFolder, slot), slotPath(folder, slot));
}
}  // namespace

fs::path systemDataFolderFor(const fs::path& programFolder, DataUse use) {
  const fs::path folder = systemDataFolder();
  // Never another folder in its place: a missing services' folder is the caller's error to say.
  if (use == DataUse::Read) return folder;
  fillDataFolder(programFolder, folder);
  return folder;
}

fs::path dataFolderFor(const fs::path& programFolder, DataUse use) {
  std::error_code ec;
  const fs::path saves = programFolder / "save";
  if (!isPackageFolder(programFolder) && platform::isWritableFolder(programFolder) &&
      (!fs::exists(saves, ec) || platform::isWritableFolder(saves)))
    return programFolder;
  const fs::path program = fs::absolute(programFolder, ec).lexically_normal();
  const auto serves = [&program](const fs::path& folder) {
    const auto served = servedProgramFolder(folder);
    return served && served->lexically_normal() == program;
  };
  // The user's data folder is the first install's (and holds an earlier
  // version's files, which record no program folder); any other has its own.
  const fs::path user = userDataFolder();
  const auto own = [&](bool claimed) {
    return claimed && !serves(user) ? user / "installs" / installName(program) : user;
  };
  fs::path folder = own(servedProgramFolder(user).has_value());
  if (use == DataUse::Read) return fs::is_directory(folder, ec) ? folder : programFolder;
  fs::create_directories(user, ec);
  if (!serves(folder)) {
    std::string line;
    appendLine(line, fromPath(program));
    // Of two installs claiming the user's folder at once, one wins.
    if (folder == user &&
        writeFileAtomic(user / kServedName, line, FileAccess::Everyone, FileWrite::CreateOnly) == kFileExists)
      folder = own(true);
    if (folder != user) {
      fs::create_directories(folder, ec);
      // A folder that cannot take this line cannot take the slots either: the
      // writes that follow say so.
      std::ignore = writeFileAtomic(folder / kServedName, line);
    }
  }
  fillDataFolder(programFolder, folder);
  return folder;
}

}  // namespace tarvex
