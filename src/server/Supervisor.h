#pragma once
// The supervised server of "tarvex-cli run": start the game, watch it, start
// it again when it ends or stops answering, give up on a crash loop, stop it
// cleanly when asked. The world (processes, the query, the clock, signals) is
// behind ServerHost, so that the rules here are plain and testable.

#include <chrono>
#include <string>

namespace tarvex {

struct SupervisorOptions {
  // Give up after this many unexpected ends within the interval.
  int restartBurst = 5;
  std::chrono::seconds restartInterval{600};
  // Waits before a new start: the first, doubling up to the most. A game
  // that ran longer than the most starts its next wait at the first again.
  std::chrono::milliseconds firstDelay{1000};
  std::chrono::milliseconds mostDelay{60000};
  // A getstatus every interval (0: never); a server that misses this many in
  // a row is stopped and started again.
  std::chrono::seconds watchdogInterval{30};
  int watchdogMisses = 3;
  // After asking the game to end, how long before it is ended for sure.
  std::chrono::seconds stopTimeout{10};
};

class ServerHost {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Event { Timeout, Ended, StopAsked };

  virtual ~ServerHost() = default;
  virtual Clock::time_point now() = 0;
  // Writes the script and starts the game; an error text, empty on success.
  virtual std::string startGame() = 0;
  // Waits at most the time for the game to end or a stop to be asked for,
  // passing the game's output to its log meanwhile. For Ended, how it ended
  // ("exit status 1", "signal 9") goes to endStatus. Without a game it only
  // waits for a stop.
  virtual Event wait(std::chrono::milliseconds most, std::string& endStatus) = 0;
  // One getstatus to the server's own address and port.
  virtual bool serverAnswers() = 0;
  virtual void askGameToStop() = 0;  // SIGTERM to its processes
  virtual void killGame() = 0;       // SIGKILL to its processes
  // A line for the log and the terminal (timestamped there).
  virtual void note(const std::string& line) = 0;
};

// NotStarted: the very first start failed (a configuration to mend, not a crash).
enum class SupervisorEnd { Stopped, GaveUp, NotStarted };

SupervisorEnd supervise(ServerHost& host, const SupervisorOptions& options);

}  // namespace tarvex
