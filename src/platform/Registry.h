#pragma once
// The registry entry the game's installer made.

#include <string>

namespace tarvex::platform {

// Reads a value under HKEY_LOCAL_MACHINE in the 32-bit view (the game's
// installer is a 32-bit program). On Linux: the Wine prefix's system.reg
// ($WINEPREFIX, else ~/.wine), with the path mapped into the prefix.
std::string readMachineRegistry(const std::string& key, const std::string& value);

}  // namespace tarvex::platform
