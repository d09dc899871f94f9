#include "startup/DataFolder.h"

#include <cstdlib>
#include <fstream>

#include "saves/SaveFile.h"
#include "startup/GameFolder.h"
#include "util/Files.h"

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

bool isWritableFolder(const fs::path& folder) {
  std::error_code ec;
  const auto status = fs::status(folder, ec);
  if (ec || !fs::is_directory(status)) return false;
  using P = fs::perms;
  if ((status.permissions() & (P::owner_write | P::group_write | P::others_write)) == P::none) return false;
  const fs::path probe = folder / ".tarvex-write-probe";
  {
    std::ofstream out(probe, std::ios::binary);
    if (!out) return false;
  }
  fs::remove(probe, ec);
  return true;
}

namespace {
void copyIfMissing(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (fs::exists(to, ec) || !fs::is_regular_file(from, ec)) return;
  const FileBytes bytes = readFileBytes(from, kMaxSaveFileBytes);
  if (bytes.status == ReadStatus::Ok) writeFileAtomic(to, bytes.bytes, FileAccess::OwnerOnly);
}
}  // namespace

fs::path dataFolderFor(const fs::path& programFolder) {
  std::error_code ec;
  const fs::path saves = programFolder / "save";
  if (isWritableFolder(programFolder) && (!fs::exists(saves, ec) || isWritableFolder(saves))) return programFolder;
  const fs::path user = userDataFolder();
  fs::create_directories(user / "save", ec);
  copyIfMissing(programFolder / kPathIniName, user / kPathIniName);
  for (int slot = 1; slot <= kSlotCount; ++slot) copyIfMissing(slotPath(programFolder, slot), slotPath(user, slot));
  return user;
}

}  // namespace tarvex
