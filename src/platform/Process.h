#pragma once
// What the platform's process calls take and give: a program to start, how
// it ended, and what waiting on run's game can bring.

#include <string>
#include <vector>

namespace tarvex {

// A program to start, detached from Tarvex.
struct ProcessRequest {
  std::string workingFolder;
  std::string executable;  // full path
  std::vector<std::string> arguments;
  // Where what the program prints goes: a log file, begun afresh and kept
  // within its size bound for as long as the program runs (empty: nowhere).
  // Never the caller's terminal or pipe, which the program would outlive.
  std::string logFile;
  // The instance the game is started for ("slot3"): its environment carries
  // it as TARVEX_INSTANCE, by which stop and list know the game as their own.
  std::string instance;
};

// The environment variable that marks a game started for an instance.
inline constexpr const char* kInstanceVariable = "TARVEX_INSTANCE";

// How a started program ended when it ended at once.
struct ProcessFailure {
  std::string status;      // "exit status 1", "signal 11"
  std::string lastOutput;  // the last lines it printed
  std::string logFile;     // where all it printed is
  std::string hint;        // what to do about a cause the last lines show (Wine's 32-bit part missing)
};

// What ends a wait on run's game: the time was up, the game ended, or a stop
// was asked for (a signal, Ctrl+C, a service's stop control).
enum class GameEvent { Timeout, Ended, StopAsked };

// What a wait on the game saw, and for Ended how the game ended ("exit status 1", "signal 9").
struct GameWait {
  GameEvent event = GameEvent::Timeout;
  std::string endStatus;
};

}  // namespace tarvex
