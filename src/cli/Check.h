#pragma once
// tarvex-cli check: whether this host can start the server of a slot, one
// line an item with what to do about it.

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

#include "maps/MapCatalogue.h"
#include "services/Services.h"

namespace tarvex {

struct HostCheck {
  std::filesystem::path dataFolder;
  std::optional<std::filesystem::path> slotFile;  // the configuration to check; none: the host only
  int slot = 0;                                   // its slot number, 0 for a save file
  std::string instance;                           // "slot3"
  bool system = false;                            // the services' folder and unit
  MapCatalogue catalogue;
  // How long Wine may take to make its prefix and start a program.
  std::chrono::seconds wineTimeout{300};
};

// For the services: why the game's program must not be started as it is,
// the user who runs the game being able to change it (a game broken into
// could change what the service starts next), with the command that mends
// it; empty when it cannot (and on Windows, whose rights are not checked).
Problem changeableProgramProblem(const std::filesystem::path& dataFolder);

// Prints "ok", "warn" or "FAIL" and the item, one line each, and a closing
// line. Exit status: 0 when nothing keeps the server from starting (warnings
// may remain), 1 otherwise.
int checkHost(const HostCheck& check, std::ostream& out, Services& services);

}  // namespace tarvex
