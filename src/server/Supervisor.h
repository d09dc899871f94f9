#pragma once
// The supervised server of "tarvex-cli run": start the game, watch it, start
// it again when it ends or stops answering, give up on a crash loop, stop it
// cleanly when asked. The world (processes, the query, the clock, signals) is
// behind ServerHost, so that the rules here are plain and testable.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/Process.h"
#include "util/Problem.h"

namespace tarvex {

struct SupervisorOptions {
  // Give up after this many ends of the game's own within the interval (the
  // watchdog's restarts of a silent server do not count).
  int restartBurst = 5;
  std::chrono::seconds restartInterval{600};
  // Waits before a new start: the first, doubling up to the most. A game
  // that ran longer than the most starts its next wait at the first again.
  std::chrono::milliseconds firstDelay{1000};
  std::chrono::milliseconds mostDelay{60000};
  // A check of the server every interval (0: never); a server that stays
  // silent at this many checks in a row is stopped and started again. A
  // server without a console password that is running (not stopped) gets
  // twice as many.
  std::chrono::seconds watchdogInterval{30};
  int watchdogMisses = 3;
  // A check that gets no answer asks again this many times, this far apart,
  // before it counts as missed: a server drops questions from one address
  // beyond about ten a second, and a busy host's own status page asks too.
  int confirmTries = 6;
  std::chrono::milliseconds confirmGap{500};
  // Until the server first answers it is asked this often; its silence
  // counts at the checks only once this long has passed since its start
  // (the first start of Wine makes its prefix).
  std::chrono::milliseconds firstAnswerPoll{1000};
  std::chrono::seconds firstAnswerWait{180};
  // After asking the game to end, how long before it is ended for sure.
  std::chrono::seconds stopTimeout{10};
  // Restarts at these times of the day (local time, minutes after
  // midnight), announced to the players through the remote console these
  // many minutes before; {minutes} in the text is "5 minutes", "1 minute".
  // They do not count toward giving up.
  std::vector<std::chrono::minutes> restartTimes;
  std::vector<int> restartWarnings{5, 1};
  std::string restartWarning = "The server restarts in {minutes}.";
  // A restart asked for once the server is empty: how often the players are counted.
  std::chrono::seconds emptyCheck{10};
};

// A restart asked for while run runs (tarvex-cli restart): now, or once no
// human player is on (bots do not count), with the players told first.
struct RestartRequest {
  bool whenEmpty = false;
  std::string warning;  // empty: the usual words
  bool operator==(const RestartRequest&) const = default;
};
inline constexpr const char* kRestartNowWarning = "The server restarts now.";
inline constexpr const char* kRestartWhenEmptyWarning = "The server restarts once the last player has left.";

class ServerHost {
 public:
  using Clock = std::chrono::steady_clock;
  using Event = GameEvent;
  // Ours: the server just started answered (or its console did); Foreign:
  // another server answers on its port.
  enum class Answer { Ours, Silent, Foreign };

  virtual ~ServerHost() = default;
  virtual Clock::time_point now() = 0;
  // Writes the script and starts the game; an error text, empty on success.
  virtual Problem startGame() = 0;
  // Waits at most the time for the game to end or a stop to be asked for,
  // passing the game's output to its log meanwhile. Without a game it only
  // waits for a stop.
  virtual GameWait wait(std::chrono::milliseconds most) = 0;
  // One question to the server's own address and port: its status, or with
  // byConsole a harmless command through its remote console.
  virtual Answer askServer(bool byConsole) = 0;
  // Whether the server has a console password to ask through.
  virtual bool hasConsole() = 0;
  // Whether the game's process is stopped (SIGSTOP), a hang for sure.
  virtual bool gameStopped() = 0;
  virtual void askGameToStop() = 0;  // SIGTERM to its processes
  virtual void killGame() = 0;       // SIGKILL to its processes
  // A line for the log and the terminal (timestamped there).
  virtual void note(const std::string& line) = 0;
  // The local time of day, in seconds after midnight.
  virtual std::chrono::seconds timeOfDay() = 0;
  // Says the text to the players through the remote console.
  virtual void say(const std::string& text) = 0;
  // A restart asked for since the last call, taken: nullopt when none was.
  virtual std::optional<RestartRequest> takeRestartRequest() = 0;
  // How many human players are on the server (bots do not count); nullopt
  // when it did not say.
  virtual std::optional<int> humanPlayers() = 0;
};

// NotStarted: the very first start failed (a configuration to mend, not a
// crash). PortTaken: another server answered on the game's port.
enum class SupervisorEnd { Stopped, GaveUp, NotStarted, PortTaken };

SupervisorEnd supervise(ServerHost& host, const SupervisorOptions& options);

}  // namespace tarvex
