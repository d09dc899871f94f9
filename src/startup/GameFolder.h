#pragma once
// Where the game lives: path.ini beside the program, the rule that turns the
// game executable's full name into its folder, and the registry's key.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "util/Problem.h"

namespace tarvex {

inline constexpr const char* kPathIniName = "path.ini";
inline constexpr const char* kRegistryKey = "SOFTWARE\\Activision\\Star Trek: Voyager - Elite Force\\v1.0";
inline constexpr const char* kRegistryValue = "INSTALLEXEPATH";
inline constexpr const char* kDataFolderName = "BaseEF";

// The folder of a located executable, without its trailing separator. On
// Windows the search for the last separator stops at the fifth character, so
// that a file at a drive's root keeps "C:\"; elsewhere it stops after the
// root. A name too short to hold a separator loses its last character, and a
// trailing NUL (as some installers leave in the registry) goes with the file name.
std::string folderOfExecutable(std::string_view executable, char separator);

enum class PathIniState { Missing, Unreadable, Empty, Known };
struct PathIni {
  PathIniState state = PathIniState::Missing;
  std::string gameFolder;  // the first line, exactly as read; a relative one taken from the program folder
};
PathIni readPathIni(const std::filesystem::path& appFolder);
// What every front end says when path.ini names no game folder: "The game
// folder is not known: PATH.INI is missing, unreadable or empty." (its hint follows).
std::string unknownGameFolder(const std::filesystem::path& appFolder);
// Whether a folder written in path.ini stands on its own: with '\\' folders
// (Windows) a drive letter and colon or a \\\\server share, with '/' a
// leading '/'. A relative one is taken from the program folder.
bool isAbsoluteFolder(std::string_view folder, char separator);

// Writes path.ini; why it could not.
Problem writePathIni(const std::filesystem::path& appFolder, std::string_view firstLine);
Problem createEmptyPathIni(const std::filesystem::path& appFolder);  // two empty lines

// GameFolder + "BaseEF" + separator (a separator is put between them when
// a hand-written path.ini leaves it out).
std::string gameDataFolder(const std::string& gameFolder);

// The game's data folder as it exists on disk: "BaseEF" in any case, since the
// game under Wine sees it that way; the written name when there is none.
std::filesystem::path findGameDataFolder(const std::string& gameFolder);

}  // namespace tarvex
