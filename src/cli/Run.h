#pragma once
// tarvex-cli run (the supervised server in the foreground) and tarvex-cli log.

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "config/Configuration.h"
#include "platform/RotatingLog.h"
#include "server/Supervisor.h"
#include "services/Services.h"

namespace tarvex {

struct RunOptions {
  SupervisorOptions supervisor;
  // Reads the slot again before each start after the first, its messages
  // said through the services given; nullopt when it no longer passes its
  // checks (the last good configuration is kept). Empty: never read again.
  std::function<std::optional<Configuration>(Services&)> reread;
  std::string log;  // the log file; "-": the game's output to standard output; empty: logs/INSTANCE.log
  LogLimits limits;
};

// run's exit statuses beyond 0 (stopped by a signal) and 1 (not started for
// now: another run of the slot, its port in use, its log refused), chosen
// among those systemd names rightly (BSD's sysexits), never among 3 to 7,
// which it reads with their LSB meanings.
// The configuration is refused by its checks or the slot cannot be used: no
// restart mends it (the unit's RestartPreventExitStatus).
inline constexpr int kExitConfiguration = 78;  // systemd: CONFIG
// run gave up after the game ended too often.
inline constexpr int kExitGaveUp = 69;  // systemd: UNAVAILABLE

// Exit status: 0, 1, kExitConfiguration or kExitGaveUp, as above.
int runServer(Services& services, const std::filesystem::path& dataFolder, const Configuration& config,
              const std::string& instance, const RunOptions& options, std::ostream& out, std::ostream& err);

// Prints the instance's log (its lines' control characters shown, not
// obeyed); with follow, goes on printing what is added, across rotations,
// until interrupted. 1 when there is no log yet.
int showLog(Services& services, const std::filesystem::path& dataFolder, const std::string& instance, bool follow,
            std::ostream& out);

}  // namespace tarvex
