#include "server/Supervisor.h"

#include <algorithm>
#include <deque>

namespace tarvex {

namespace {
using Ms = std::chrono::milliseconds;

std::string seconds(Ms time) {
  const auto tenths = (time.count() + 50) / 100;
  return std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : "") + " s";
}

// Asks the game to end, then ends it for sure after the grace time.
void stopGame(ServerHost& host, const SupervisorOptions& options) {
  host.askGameToStop();
  const auto deadline = host.now() + options.stopTimeout;
  std::string status;
  for (;;) {
    const auto left = std::chrono::duration_cast<Ms>(deadline - host.now());
    if (left <= Ms(0)) break;
    if (host.wait(left, status) == ServerHost::Event::Ended) {
      host.note("The game ended (" + status + ").");
      return;
    }
  }
  host.note("The game did not end within " + seconds(options.stopTimeout) + ": it was killed.");
  host.killGame();
  // SIGKILL cannot be refused; the end comes at once.
  while (host.wait(Ms(1000), status) != ServerHost::Event::Ended) {
  }
  host.note("The game ended (" + status + ").");
}
}  // namespace

SupervisorEnd supervise(ServerHost& host, const SupervisorOptions& options) {
  std::deque<ServerHost::Clock::time_point> ends;  // unexpected ends within the interval
  Ms delay = options.firstDelay;
  const bool watching = options.watchdogInterval.count() > 0;
  for (bool first = true;; first = false) {
    const auto started = host.now();
    std::string endStatus;
    if (const std::string error = host.startGame(); !error.empty()) {
      host.note("The game could not be started: " + error);
      if (first) return SupervisorEnd::NotStarted;
    } else {
      int misses = 0;
      bool answered = false;
      auto nextCheck = started + options.watchdogInterval;
      for (;;) {
        const Ms most = watching ? std::max(Ms(0), std::chrono::duration_cast<Ms>(nextCheck - host.now())) : Ms(3600000);
        const ServerHost::Event event = host.wait(most, endStatus);
        if (event == ServerHost::Event::StopAsked) {
          host.note("Stopping the game.");
          stopGame(host, options);
          return SupervisorEnd::Stopped;
        }
        if (event == ServerHost::Event::Ended) {
          host.note("The game ended (" + endStatus + ").");
          break;
        }
        if (!watching || host.now() < nextCheck) continue;
        nextCheck += options.watchdogInterval;
        if (host.serverAnswers()) {
          if (!answered) host.note("The server answers on its port.");
          answered = true;
          misses = 0;
          continue;
        }
        ++misses;
        host.note("The server did not answer (" + std::to_string(misses) + " of " +
                  std::to_string(options.watchdogMisses) + ").");
        if (misses >= options.watchdogMisses) {
          host.note("The server stopped answering: it is started again.");
          stopGame(host, options);
          break;
        }
      }
    }
    const auto now = host.now();
    ends.push_back(now);
    while (!ends.empty() && now - ends.front() >= options.restartInterval) ends.pop_front();
    if (int(ends.size()) >= options.restartBurst) {
      host.note("Gave up: the game ended " + std::to_string(ends.size()) + " times within " +
                seconds(std::chrono::duration_cast<Ms>(options.restartInterval)) + ".");
      return SupervisorEnd::GaveUp;
    }
    if (now - started > options.mostDelay) delay = options.firstDelay;
    host.note("Starting the game again in " + seconds(delay) + ".");
    const auto restartAt = host.now() + delay;
    for (;;) {
      const auto left = std::chrono::duration_cast<Ms>(restartAt - host.now());
      if (left <= Ms(0)) break;
      if (host.wait(left, endStatus) == ServerHost::Event::StopAsked) {
        host.note("Stopped before the next start.");
        return SupervisorEnd::Stopped;
      }
    }
    delay = std::min(delay * 2, options.mostDelay);
  }
}

}  // namespace tarvex
