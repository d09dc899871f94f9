#pragma once
// Where Tarvex keeps what it writes (path.ini and the save slots): the
// program folder while the user can write it, so a portable folder works as
// it always did; else, as after an install to "Program Files" or /usr/local,
// the user's own data folder. The window and tarvex-cli ask the same question
// here and get the same answer.

#include <filesystem>

namespace tarvex {

// %APPDATA%\Tarvex on Windows; $XDG_DATA_HOME/tarvex, else ~/.local/share/tarvex.
std::filesystem::path userDataFolder();

// True when Tarvex may write into the folder: it has write permission bits
// (a folder marked read-only is left alone, whoever runs Tarvex) and a file
// can be made in it.
bool isWritableFolder(const std::filesystem::path& folder);

// The folder for path.ini and save/: the program folder when it and its save
// folder are writable; else the user's data folder, created, with the
// program's path.ini and shipped save slots copied into it where it has none.
std::filesystem::path dataFolderFor(const std::filesystem::path& programFolder);

}  // namespace tarvex
