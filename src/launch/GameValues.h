#pragma once
// What the game may receive: every value that reaches the script or the
// game's command line is checked here, by one set of rules, so the launch and
// the save writer refuse the same things for the same reasons.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "launch/ServerSettings.h"
#include "maps/MapCatalogue.h"

namespace tarvex {

// The engine's command buffer: a longer script is dropped whole.
inline constexpr std::size_t kMaxScriptBytes = 16384;
// The engine reads at most 1,023 bytes of a script line as one command and
// runs the rest as another, even inside quotes; lines stay well below that.
inline constexpr std::size_t kMaxScriptLineBytes = 1000;

// How a value reaches the game.
enum class ValueForm {
  Quoted,      // inside double quotes in the script
  Raw,         // bare in the script, where ';', '//' and '/* */' end a command
  Digits,      // numbers: on the command line, where '+' starts a new command, or bare in the script
  Address,     // the network address on the command line
  ServerName,  // the server's name, which the server's info string must carry
};

// Why the value cannot reach the game as the user meant it ("a line break",
// "something other than digits", ...); empty when it can. Length is apart:
// see valueLengthRefusal.
std::string gameValueProblem(std::string_view value, ValueForm form);

// The refusal for a value longer than the game keeps, naming it as `what`
// ("The setting ..."); empty when it fits.
std::string valueLengthRefusal(const std::string& what, std::string_view value);

// True when the value holds a line break (CR or LF): no line-based file can keep it.
bool holdsLineBreak(std::string_view value);

// True when the setting goes into the script or onto the command line with
// these settings (a text whose switch is off is not written).
bool isWrittenToGame(const ServerSettings& settings, const FieldSpec& field);

// The gravity the rotation lines set after each map load (the map resets
// it), empty when the game's own 800 applies.
std::string rotationGravity(const ServerSettings& settings);

// The refusal message for the first written setting, rotation map or limit
// the game would misread or cut short; empty when there is none.
std::string gameValueRefusal(const ServerSettings& settings, const std::vector<std::string>& rotation,
                             const MapCatalogue& catalogue);

}  // namespace tarvex
