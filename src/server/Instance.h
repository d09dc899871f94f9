#pragma once
// The name a configuration runs under, and the files named after it: run's
// own script (so that two servers from one game folder never read each
// other's settings) and the log of the game's output.

#include <filesystem>
#include <string>

namespace tarvex {

// "slot3" for save slot 3; a save file's name without its ending (letters,
// digits, '-' and '_' only); "game" for the window, and a launch with neither.
std::string instanceName(int slot, const std::string& saveFile);

// "tarvex-slot3.cfg": run's script, in BaseEF beside the launch's tarvex.cfg.
std::string instanceScriptName(const std::string& instance);

// The log of the game's output: logs/INSTANCE.log in the user's data folder.
std::filesystem::path instanceLogFile(const std::filesystem::path& dataFolder, const std::string& instance);

}  // namespace tarvex
