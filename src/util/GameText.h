#pragma once
// The game's rules for text: how a value may stand in the game's script or on
// its command line without the engine reading it as something else. The
// launch checks every value by them, the save writer and map discovery the
// lines they write.

#include <cstddef>
#include <string>
#include <string_view>

#include "util/Problem.h"

namespace tarvex {

// The engine's command buffer: a longer script is dropped whole.
inline constexpr std::size_t kMaxScriptBytes = 16384;
// The engine reads at most 1,023 bytes of a script line as one command and
// runs the rest as another, even inside quotes; lines stay well below that.
inline constexpr std::size_t kMaxScriptLineBytes = 1000;

// How a value reaches the game.
enum class ValueForm {
  Quoted,           // inside double quotes in the script
  Raw,              // bare in the script, where ';', '//' and '/* */' end a command
  Digits,           // numbers: on the command line, where '+' starts a new command, or bare in the script
  Address,          // the network address on the command line
  ServerName,       // the server's name, which the server's info string must carry
  ConsolePassword,  // quoted in the script, and read back as a word by the remote console
};

// Why the value cannot reach the game as the user meant it ("a line break",
// "something other than digits", ...); empty when it can. Length is apart.
Problem gameValueProblem(std::string_view value, ValueForm form);

// True when the value holds a line break (CR or LF): no line-based file can keep it.
bool holdsLineBreak(std::string_view value);

}  // namespace tarvex
