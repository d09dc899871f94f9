#include "startup/GameFolder.h"

#include "platform/Files.h"
#include "startup/DataFolder.h"
#include "util/Text.h"

namespace tarvex {

std::string folderOfExecutable(std::string_view name, char separator) {
  // On Windows the scan stops at the fifth character, which keeps "C:\" for a
  // file at a drive's root; a Unix path's root is its first character.
  const std::size_t lowest = separator == '\\' ? 5 : 3;
  std::size_t position = name.size();
  while (position >= lowest) {
    if (name[position - 1] == separator) break;
    --position;
  }
  return std::string(name.substr(0, position == 0 ? 0 : position - 1));
}

bool isAbsoluteFolder(std::string_view folder, char separator) {
  if (separator != '\\') return folder.starts_with('/');
  return folder.size() >= 2 && (folder[1] == ':' || folder.starts_with("\\\\"));
}

std::string unknownGameFolder(const std::filesystem::path& appFolder) {
  return "The game folder is not known: " + fromPath(appFolder / kPathIniName) + " is missing, unreadable or empty.";
}

PathIni readPathIni(const std::filesystem::path& appFolder) {
  const FileBytes read = readFileBytes(appFolder / kPathIniName, 1024 * 1024);
  if (read.status == ReadStatus::Missing) return {PathIniState::Missing, {}};
  if (read.status != ReadStatus::Ok) return {PathIniState::Unreadable, {}};
  const auto first = LineReader(read.bytes).next();
  if (!first || first->empty()) return {PathIniState::Empty, {}};
  std::string folder(*first);
  // A folder written by hand relative to the program folder means the same
  // to the window and to tarvex-cli, wherever either was started from, and
  // in a copy of path.ini in the user's data folder too.
  if (!isAbsoluteFolder(folder, kSeparator))
    folder = withTrailingSeparator(fromPath(servedProgramFolder(appFolder).value_or(appFolder))) + folder;
  return {PathIniState::Known, folder};
}

Problem writePathIni(const std::filesystem::path& appFolder, std::string_view firstLine) {
  std::string bytes;
  appendLine(bytes, firstLine);
  return writeFileAtomic(appFolder / kPathIniName, bytes);
}

Problem createEmptyPathIni(const std::filesystem::path& appFolder) {
  return writeFileAtomic(appFolder / kPathIniName, "\r\n\r\n");
}

std::string gameDataFolder(const std::string& gameFolder) {
  return withTrailingSeparator(gameFolder) + kDataFolderName + std::string(1, kSeparator);
}

std::filesystem::path findGameDataFolder(const std::string& gameFolder) {
  if (auto found = resolveNoCase(toPath(gameFolder), kDataFolderName)) return *found;
  return toPath(gameDataFolder(gameFolder));
}

}  // namespace tarvex
