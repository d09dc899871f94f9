#pragma once
// Where Tarvex keeps what it writes (path.ini, the save slots, the logs): the
// program folder while the user can write it, so a portable folder works as
// it always did; else, as after an install to "Program Files" or /usr/local,
// the user's own data folder. The window and tarvex-cli ask the same question
// here and get the same answer.

#include <filesystem>
#include <optional>

namespace tarvex {

// %APPDATA%\Tarvex on Windows; $XDG_DATA_HOME/tarvex, else ~/.local/share/tarvex.
std::filesystem::path userDataFolder();

// The data folder of the services (tarvex-cli --system): /var/lib/tarvex;
// %ProgramData%\Tarvex on Windows. TARVEX_SYSTEM_FOLDER names another.
std::filesystem::path systemDataFolder();

// A program folder a package or an installer put in place holds this file:
// Tarvex never writes there, whoever runs it (root included); each user has
// a data folder of their own.
inline constexpr const char* kPackageMarker = "installed-by-package";
bool isPackageFolder(const std::filesystem::path& programFolder);

// What the caller will do there: write (the folder is made and filled as
// below), or only read, when nothing at all may be written.
enum class DataUse { Write, Read };

// The folder for path.ini, save/, logs/ and the maps the user added: the
// program folder when it and its save folder are writable and no package
// owns it. Else a data folder of the user's own for
// this program folder: the user's data folder for the first program folder
// that asks for one (earlier versions kept everything there), and
// installs/NAME inside it for any other, so that two read-only installs never
// share their slots. It records the program folder it serves (program.ini,
// also what a relative game folder in its path.ini is taken from) and, for
// Write, is made with the program's path.ini and shipped save slots copied
// into it where it has none. For Read, a data folder not made yet is the
// program folder, whose files it would begin with.
std::filesystem::path dataFolderFor(const std::filesystem::path& programFolder, DataUse use = DataUse::Write);

// The services' data folder for the program folder: for Write it is given
// the program's shipped save slots where it has none; for Read it is only
// named. No other folder ever stands in for it.
std::filesystem::path systemDataFolderFor(const std::filesystem::path& programFolder, DataUse use);

// The program folder a data folder serves, as it records it; nullopt when it
// records none (a program folder serves itself).
std::optional<std::filesystem::path> servedProgramFolder(const std::filesystem::path& dataFolder);

}  // namespace tarvex
