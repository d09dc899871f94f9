#pragma once
// Everything "ENGAGE! " decides before the game starts: the checks and their
// messages, the rotation lines, the script and the game's command line.

#include <optional>
#include <string>
#include <vector>

#include "config/ServerSettings.h"
#include "launch/GameScript.h"
#include "maps/MapCatalogue.h"

namespace tarvex {

inline constexpr const char* kGameExecutable = "stvoyHM.exe";
inline constexpr const char* kNoMapsMessage = "! No Maps Selected !";
inline constexpr const char* kOneVsOneNote =
    "NOTE:  For some reason I can't get map rotations to work in 1v1 games (unlike Q3).  Working on it....";
inline constexpr const char* kCtfLaunchMessage =
    "CTF GameType Selected - Please remove NON-CTF Maps before game launch!";

struct RotationLines {
  std::vector<std::string> lines;
  std::string missingMap;         // a rotation entry no catalogue row carries; lines empty then
  std::string firstCaptureLimit;  // the first map's
  bool ok() const { return missingMap.empty(); }
};

// One "Set mN" line per rotation entry, each pointing at the next, the last at
// m1. With cheats allowed a map loads by "devmap" (only that turns cheats on),
// and a gravity other than the game's own is set again after each map load,
// which resets it.
RotationLines makeRotationLines(const std::vector<std::string>& rotation, const MapCatalogue& catalogue,
                                const ServerSettings& settings = ServerSettings());

// The messages of the pre-launch checks, in the order shown; proceed is false
// when the last of them stops the launch. When it proceeds, script holds the
// bytes of tarvex.cfg and arguments the game's command line.
struct LaunchCheck {
  std::vector<std::string> messages;
  bool proceed = true;
  std::string script;
  std::vector<std::string> arguments;
};
// scriptName is the file the game is told to execute.
LaunchCheck checkLaunch(const ServerSettings& settings, const std::vector<std::string>& rotation,
                        const MapCatalogue& catalogue, const std::string& scriptName = kScriptName);

// The game's arguments (after the executable's name) for the chosen server type.
std::vector<std::string> gameArguments(const ServerSettings& settings, const std::string& scriptName = kScriptName);

// Where the server will listen: the slot's net IP when it sets one (else
// empty: every address), and its net port (else the game's usual one).
std::pair<std::string, int> serverEndpoint(const ServerSettings& settings);

// The whole command line as one text, for display.
std::string commandLineText(const std::vector<std::string>& arguments);

}  // namespace tarvex
