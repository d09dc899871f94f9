#pragma once
// The launch as the user meets it: the checks with their messages, the game
// folder read anew from path.ini, the port looked at, the script written, the
// game started with its output into a log, and a game that ends at once
// reported. The window, tarvex-cli launch and tarvex-cli run all do exactly this.

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "config/Configuration.h"
#include "services/Services.h"

namespace tarvex {

// How long after its start a game that has ended counts as not started
// (a server that does not run on its own, with a window: the whole wait).
inline constexpr std::chrono::milliseconds kEarlyEndWait{1000};
// How long a launch waits, unless told, for a dedicated server's first
// answer: a first start of Wine makes its prefix, which takes a while.
inline constexpr std::chrono::seconds kDefaultStartTimeout{180};

struct PreparedLaunch {
  std::string script;                  // the bytes of the script
  std::vector<std::string> arguments;  // the game's command line after its name
  std::string scriptName;              // tarvex.cfg, or run's own
  std::string address;                 // where the server will listen (empty: every address)
  int port = 0;
  std::string instance;   // what the game is started for (see ProcessRequest)
  bool dedicated = true;  // a server without the game's window, which answers on its port by itself
  // The start's token on the command line, which its server carries; empty:
  // any server that answers on the port counts as this one.
  std::string identity;
};

// Runs the checks, showing their messages through the services in order;
// nullopt when a check stops the launch.
std::optional<PreparedLaunch> prepareLaunch(Services& services, const Configuration& config,
                                            const std::string& scriptName = "tarvex.cfg");

// Who runs the launch: the window (hints name its buttons) or tarvex-cli.
enum class Frontend { Window, Console };

// What a console user does about a port another server holds: the setting
// by its config keys and by its captions on the window.
inline constexpr const char* kNetPortHint =
    "Please stop that server, or give this configuration another net port (tarvex-cli config --set "
    "set-net-port=yes net-port=N; \"Set Netport?\" and \"Net Port\" on the window's Advanced tab).";

// What a console user does about a game folder that is not known.
inline constexpr const char* kGameFolderHint =
    "Please set it with \"tarvex-cli game-folder DIR\" (with --system for the services' folder), or name another "
    "Tarvex folder with --app-folder.";

// Refused: nothing was written or started. NotStarted: the script was
// written, but the game could not be started.
enum class LaunchResult { Refused, NotStarted, Started };

// Reads the game folder from path.ini, refuses a port that another server or
// program holds, writes the script into its BaseEF folder and starts the
// game there, its output into logFile (empty: nowhere). Each failure gets one
// message naming the problem and the path and what to do about it.
// dataFolder holds path.ini.
// Why the launch's port cannot be taken (the message to show), empty when it can.
Problem portRefusal(Services& services, const PreparedLaunch& launch, Frontend frontend);

LaunchResult startPreparedLaunch(Services& services, const std::filesystem::path& dataFolder,
                                 const PreparedLaunch& launch, Frontend frontend, const std::filesystem::path& logFile);

// The window's launch: prepareLaunch, startPreparedLaunch with tarvex.cfg
// and the log logs/game.log in the data folder, `started` once the game
// started (the launch sound), then awaitStartedServer: Started only when the
// server runs.
LaunchResult runLaunch(Services& services, const std::filesystem::path& dataFolder, const Configuration& config,
                       const std::function<void()>& started = {});

// After a start: waits until the dedicated server answers on its port (with
// the launch's identity), the game ends, another server answers there, or
// the timeout passes; a server with the game's window only until
// kEarlyEndWait. Each failure is said with what the game (or Wine) printed
// last and where its log is, and leaves no game running. True when the
// server runs.
bool awaitStartedServer(Services& services, const PreparedLaunch& launch, std::chrono::steady_clock::time_point started,
                        std::chrono::seconds timeout, Frontend frontend);

}  // namespace tarvex
