#pragma once
// tarvex-cli run (the supervised server in the foreground) and tarvex-cli log.

#include <filesystem>
#include <iosfwd>
#include <string>

#include "config/Configuration.h"
#include "platform/RotatingLog.h"
#include "server/Supervisor.h"
#include "services/Services.h"

namespace tarvex {

struct RunOptions {
  SupervisorOptions supervisor;
  std::string log;  // the log file; "-": the game's output to standard output; empty: logs/INSTANCE.log
  LogLimits limits;
};

// Exit status: 0 stopped by a signal; 1 refused (nothing started); 4 gave up
// after a crash loop.
int runServer(Services& services, const std::filesystem::path& dataFolder, const Configuration& config,
              const std::string& instance, const RunOptions& options, std::ostream& out, std::ostream& err);

// Prints the instance's log (its lines' control characters shown, not
// obeyed); with follow, goes on printing what is added, across rotations,
// until interrupted. 1 when there is no log yet.
int showLog(Services& services, const std::filesystem::path& dataFolder, const std::string& instance, bool follow,
            std::ostream& out);

}  // namespace tarvex
