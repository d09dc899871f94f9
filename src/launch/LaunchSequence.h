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

enum class LaunchResult { Refused, Failed, Started };

// Reads the game folder from path.ini, writes the script into its BaseEF
// folder and starts the game there. Each failure gets one message naming the
// problem and the path.
LaunchResult startPreparedLaunch(Services& services, const std::filesystem::path& appFolder,
                                 const PreparedLaunch& launch);

// prepareLaunch, then startPreparedLaunch.
LaunchResult runLaunch(Services& services, const std::filesystem::path& appFolder, const Configuration& config);

}  // namespace tarvex
