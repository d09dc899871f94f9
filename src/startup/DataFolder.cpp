#include "startup/DataFolder.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "saves/SaveFile.h"
#include "startup/GameFolder.h"
#include "util/Files.h"
#include "util/Text.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace tarvex {

fs::path userDataFolder() {
#ifdef _WIN32
  if (const char* appData = std::getenv("APPDATA"); appData && *appData) return fs::path(appData) / "Tarvex";
#else
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data && data[0] == '/')
    return fs::path(data) / "tarvex";
#endif
  if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".local" / "share" / "tarvex";
  return fs::temp_directory_path() / "tarvex";
}

fs::path systemDataFolder() {
  if (const char* folder = std::getenv("TARVEX_SYSTEM_FOLDER"); folder && *folder) return toPath(folder);
#ifdef _WIN32
  if (const char* data = std::getenv("ProgramData"); data && *data) return fs::path(data) / "Tarvex";
  return fs::path("C:\\ProgramData\\Tarvex");
#else
  return "/var/lib/tarvex";
#endif
}

bool isPackageFolder(const fs::path& programFolder) {
  std::error_code ec;
  return fs::exists(programFolder / kPackageMarker, ec);
}

bool isWritableFolder(const fs::path& folder) {
  std::error_code ec;
  const auto status = fs::status(folder, ec);
  if (ec || !fs::is_directory(status)) return false;
  using P = fs::perms;
  if ((status.permissions() & (P::owner_write | P::group_write | P::others_write)) == P::none) return false;
#ifdef _WIN32
  // Folders such as "Program Files" are closed by their access lists, which only a try shows.
  const fs::path probe = folder / ".tarvex-write-probe";
  {
    std::ofstream out(probe, std::ios::binary);
    if (!out) return false;
  }
  fs::remove(probe, ec);
  return true;
#else
  return access(folder.c_str(), W_OK) == 0;
#endif
}

namespace {
constexpr const char* kServedName = "program.ini";

void copyIfMissing(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (fs::exists(to, ec) || !fs::is_regular_file(from, ec)) return;
  const FileBytes bytes = readFileBytes(from, kMaxSaveFileBytes);
  if (bytes.status == ReadStatus::Ok) writeFileAtomic(to, bytes.bytes, FileAccess::OwnerOnly);
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
  std::error_code ec;
  if (use == DataUse::Read) return fs::is_directory(folder, ec) ? folder : programFolder;
  fillDataFolder(programFolder, folder);
  return folder;
}

fs::path dataFolderFor(const fs::path& programFolder, DataUse use) {
  std::error_code ec;
  const fs::path saves = programFolder / "save";
  if (!isPackageFolder(programFolder) && isWritableFolder(programFolder) &&
      (!fs::exists(saves, ec) || isWritableFolder(saves)))
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
      writeFileAtomic(folder / kServedName, line);
    }
  }
  fillDataFolder(programFolder, folder);
  return folder;
}

}  // namespace tarvex
