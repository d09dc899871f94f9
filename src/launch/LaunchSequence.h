#pragma once
// The launch as the user meets it: the checks with their messages, the game
// folder read anew from path.ini, the script written, the game started. The
// window and the headless program both run exactly this.

#include <filesystem>
#include <optional>
#include <string>

#include "saves/SaveFile.h"
#include "services/Services.h"

namespace tarvex {

struct PreparedLaunch {
  std::string script;                  // the bytes of tarvex.cfg
  std::vector<std::string> arguments;  // the game's command line after its name
};

// Runs the checks, showing their messages through the services in order;
// nullopt when a check stops the launch.
std::optional<PreparedLaunch> prepareLaunch(Services& services, const Configuration& config);

// Who runs the launch: the window (which has no console, so the game's output
// is kept for a report, and hints name its buttons) or tarvex-cli.
enum class Frontend { Window, Console };

// Refused: nothing was written or started. NotStarted: the script was
// written, but the game could not be started.
enum class LaunchResult { Refused, NotStarted, Started };

// Reads the game folder from path.ini, writes the script into its BaseEF
// folder and starts the game there. Each failure gets one message naming the
// problem and the path and what to do about it.
// dataFolder holds path.ini.
LaunchResult startPreparedLaunch(Services& services, const std::filesystem::path& dataFolder,
                                 const PreparedLaunch& launch, Frontend frontend = Frontend::Window);

// prepareLaunch, then startPreparedLaunch.
LaunchResult runLaunch(Services& services, const std::filesystem::path& dataFolder, const Configuration& config,
                       Frontend frontend = Frontend::Window);

// A game that ends at once with a failure was not launched: shows a message
// saying how it ended (and what it printed last) and returns true. Waits up
// to the given time for such an end.
bool reportEarlyEnd(Services& services, int waitMilliseconds);

}  // namespace tarvex
