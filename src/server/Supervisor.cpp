#include "server/Supervisor.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace tarvex {

namespace {
using Ms = std::chrono::milliseconds;
using Event = ServerHost::Event;
using Answer = ServerHost::Answer;

std::string seconds(Ms time) {
  const auto tenths = (time.count() + 50) / 100;
  return std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : "") + " s";
}

Ms until(ServerHost& host, ServerHost::Clock::time_point when) {
  // Rounded up: a wait cut to nothing while time is left would ask again and again.
  return std::max(Ms(0), std::chrono::ceil<Ms>(when - host.now()));
}

// Asks the game to end, then ends it for sure after the grace time.
void stopGame(ServerHost& host, const SupervisorOptions& options) {
  // SIGKILL cannot be refused; the end comes at once.
  const auto kill = [&host] {
    host.killGame();
    GameWait waited;
    while ((waited = host.wait(Ms(1000))).event != Event::Ended) {
    }
    host.note("The game ended (" + waited.endStatus + ").");
  };
  // A stopped game (SIGSTOP) cannot take the request: it is hung for sure, and killed at once.
  if (host.gameStopped()) {
    host.note("The game is stopped (SIGSTOP) and cannot end by itself: it was killed.");
    kill();
    return;
  }
  host.askGameToStop();
  const auto deadline = host.now() + options.stopTimeout;
  for (;;) {
    const Ms left = until(host, deadline);
    if (left <= Ms(0)) break;
    if (const GameWait waited = host.wait(left); waited.event == Event::Ended) {
      host.note("The game ended (" + waited.endStatus + ").");
      return;
    }
  }
  host.note("The game did not end within " + seconds(options.stopTimeout) + ": it was killed.");
  kill();
}

// How one start of the game came to its end.
enum class Outcome { StopAsked, Ended, Silent, Foreign, Scheduled, Asked };

std::string minutesText(int minutes) { return std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes"); }

// The time of the next scheduled restart, from the time of day; nullopt when none is set.
std::optional<ServerHost::Clock::time_point> nextScheduled(ServerHost& host, const SupervisorOptions& options) {
  if (options.restartTimes.empty()) return std::nullopt;
  constexpr std::chrono::seconds kDay{86400};
  const std::chrono::seconds now = host.timeOfDay() % kDay;
  std::chrono::seconds soonest = kDay;
  for (const auto& time : options.restartTimes) {
    auto delta = (std::chrono::duration_cast<std::chrono::seconds>(time) - now + kDay) % kDay;
    if (delta == std::chrono::seconds(0)) delta = kDay;
    soonest = std::min(soonest, delta);
  }
  return host.now() + soonest;
}

class Watch {
 public:
  Watch(ServerHost& host, const SupervisorOptions& options) : host_(host), options_(options) {}

  // Watches the game just started until it ends, a stop is asked for, it
  // stays silent too long or another server answers on its port.
  Outcome run() {
    const bool watching = options_.watchdogInterval.count() > 0;
    const auto started = host_.now();
    auto nextCheck = started + options_.watchdogInterval;
    auto nextPoll = started + std::min<Ms>(options_.firstAnswerPoll, options_.watchdogInterval);
    bool answered = false;
    int misses = 0;
    // The scheduled restart, and its warnings still to come.
    const auto restartAt = nextScheduled(host_, options_);
    std::vector<std::pair<ServerHost::Clock::time_point, int>> warnings;
    if (restartAt)
      for (int minutes : options_.restartWarnings)
        if (*restartAt - std::chrono::minutes(minutes) > started)
          warnings.emplace_back(*restartAt - std::chrono::minutes(minutes), minutes);
    for (;;) {
      auto next =
          watching ? (answered ? nextCheck : std::min(nextCheck, nextPoll)) : host_.now() + std::chrono::hours(1);
      for (const auto& warning : warnings) next = std::min(next, warning.first);
      if (restartAt) next = std::min(next, *restartAt);
      if (asked_ && asked_->whenEmpty) next = std::min(next, nextEmptyCheck_);
      if (const auto end = outcomeOf(host_.wait(until(host_, next)))) return *end;
      if (restartAt && host_.now() >= *restartAt) return Outcome::Scheduled;
      if (restartAsked()) return Outcome::Asked;
      while (!warnings.empty() && host_.now() >= warnings.front().first) {
        std::string text = options_.restartWarning;
        const std::string minutes = minutesText(warnings.front().second);
        for (auto at = text.find("{minutes}"); at != std::string::npos;
             at = text.find("{minutes}", at + minutes.size()))
          text.replace(at, 9, minutes);
        if (host_.hasConsole()) host_.say(text);
        warnings.erase(warnings.begin());
      }
      if (!watching || host_.now() < (answered ? nextCheck : std::min(nextCheck, nextPoll))) continue;
      Answer answer = Answer::Silent;
      // Until the first answer, one question a poll; silence counts only at the checks, and only once
      // the start has had its time (a stopped game is hung for sure, whenever it is).
      const bool settling = !answered && host_.now() - started < options_.firstAnswerWait && !host_.gameStopped();
      if (host_.now() < nextCheck || settling) {
        answer = host_.askServer(false);
        while (nextPoll <= host_.now()) nextPoll += options_.firstAnswerPoll;
        if (host_.now() >= nextCheck) nextCheck = std::max(nextCheck + options_.watchdogInterval, host_.now());
        if (answer == Answer::Silent) continue;
      } else {
        nextCheck = std::max(nextCheck + options_.watchdogInterval, host_.now());
        const auto confirmed = confirmedAnswer();
        if (const Outcome* end = std::get_if<Outcome>(&confirmed)) return *end;
        answer = std::get<Answer>(confirmed);
      }
      if (answer == Answer::Foreign) return Outcome::Foreign;
      if (answer == Answer::Ours) {
        if (!answered) host_.note("The server answers on its port.");
        answered = true;
        misses = 0;
        continue;
      }
      // A silent server without a console to ask that is still running may
      // only be busy: it gets twice the checks. A stopped one is hung for sure.
      const bool sure = host_.hasConsole() || host_.gameStopped();
      const int limit = options_.watchdogMisses * (sure ? 1 : 2);
      ++misses;
      host_.note("The server did not answer (" + std::to_string(misses) + " of " + std::to_string(limit) + ").");
      if (misses >= limit) return Outcome::Silent;
    }
  }

  // How the game ended, once it did.
  const std::string& endStatus() const { return endStatus_; }

 private:
  std::optional<Outcome> outcomeOf(GameWait waited) {
    if (waited.event == Event::StopAsked) return Outcome::StopAsked;
    if (waited.event != Event::Ended) return std::nullopt;
    endStatus_ = std::move(waited.endStatus);
    return Outcome::Ended;
  }

  // Asks until an answer comes, at most 1 + confirmTries times, the console
  // every second time where there is one; the game is watched in between.
  // The answer, or how the watch ended meanwhile.
  std::variant<Outcome, Answer> confirmedAnswer() {
    Answer answer = Answer::Silent;
    for (int attempt = 0; attempt <= options_.confirmTries; ++attempt) {
      if (attempt > 0) {
        const auto resume = host_.now() + options_.confirmGap;
        for (Ms left; (left = until(host_, resume)) > Ms(0);)
          if (const auto end = outcomeOf(host_.wait(left))) return *end;
      }
      answer = host_.askServer(attempt % 2 == 1 && host_.hasConsole());
      if (answer != Answer::Silent) return answer;
    }
    return answer;
  }

  // Whether the restart asked for is due: at once, or once no human player is on.
  bool restartAsked() {
    if (auto request = host_.takeRestartRequest()) {
      if (!request->whenEmpty) {
        if (host_.hasConsole()) host_.say(request->warning.empty() ? kRestartNowWarning : request->warning);
        return true;
      }
      host_.note("A restart was asked for once no player is on: the players are counted every " +
                 seconds(options_.emptyCheck) + ".");
      asked_ = std::move(request);
      warned_ = false;
      nextEmptyCheck_ = host_.now();
    }
    if (!asked_ || host_.now() < nextEmptyCheck_) return false;
    nextEmptyCheck_ = host_.now() + options_.emptyCheck;
    const std::optional<int> humans = host_.humanPlayers();
    if (humans == 0) return true;
    if (humans && !warned_) {
      host_.note(std::to_string(*humans) + (*humans == 1 ? " player is" : " players are") +
                 " on: the restart waits until the server is empty.");
      if (host_.hasConsole()) host_.say(asked_->warning.empty() ? kRestartWhenEmptyWarning : asked_->warning);
      warned_ = true;
    }
    return false;
  }

  ServerHost& host_;
  const SupervisorOptions& options_;
  std::string endStatus_;
  std::optional<RestartRequest> asked_;  // once the server is empty
  bool warned_ = false;
  ServerHost::Clock::time_point nextEmptyCheck_{};
};
}  // namespace

SupervisorEnd supervise(ServerHost& host, const SupervisorOptions& options) {
  std::deque<ServerHost::Clock::time_point> ends;  // the game's own ends within the interval
  Ms delay = options.firstDelay;
  int watchdogRestarts = 0;
  if (options.watchdogInterval.count() > 0 && !host.hasConsole())
    host.note(
        "Without a console password the watchdog can only ask the server's status, which other questions "
        "from this machine can crowd out: a running server that stays silent is started again after " +
        std::to_string(2 * options.watchdogMisses) + " checks (" +
        seconds(std::chrono::duration_cast<Ms>(options.watchdogInterval * 2 * options.watchdogMisses)) +
        "), a stopped one after " + std::to_string(options.watchdogMisses) +
        ".  A console password makes the watchdog surer.");
  if (!options.restartTimes.empty() && !host.hasConsole())
    host.note("Without a console password the scheduled restarts come without a warning to the players.");
  for (bool first = true;; first = false) {
    const auto started = host.now();
    bool counts = true;  // an end of the game's own, toward giving up
    if (const Problem error = host.startGame(); !error.ok()) {
      host.note("The game could not be started: " + error);
      if (first) return SupervisorEnd::NotStarted;
    } else {
      Watch watch(host, options);
      switch (watch.run()) {
        case Outcome::StopAsked:
          host.note("Stopping the game.");
          stopGame(host, options);
          return SupervisorEnd::Stopped;
        case Outcome::Foreign:
          host.note(
              "Another server answers on the game's port: this game is stopped.  Stop the other server, or "
              "give this configuration another net port.");
          stopGame(host, options);
          return SupervisorEnd::PortTaken;
        case Outcome::Silent:
          ++watchdogRestarts;
          host.note("The server stopped answering: it is started again (watchdog restart " +
                    std::to_string(watchdogRestarts) + ", which does not count toward giving up).");
          stopGame(host, options);
          counts = false;
          break;
        case Outcome::Ended:
          host.note("The game ended (" + watch.endStatus() + ").");
          break;
        case Outcome::Asked:
          host.note(
              "The restart asked for: the game is stopped and started again (which does not count toward giving "
              "up).");
          stopGame(host, options);
          counts = false;
          break;
        case Outcome::Scheduled:
          host.note(
              "The scheduled restart: the game is stopped and started again (which does not count toward "
              "giving up).");
          stopGame(host, options);
          counts = false;
          break;
      }
    }
    const auto now = host.now();
    if (counts) ends.push_back(now);
    while (!ends.empty() && now - ends.front() >= options.restartInterval) ends.pop_front();
    if (int(ends.size()) >= options.restartBurst) {
      host.note("Gave up: the game ended " + std::to_string(ends.size()) + " times within " +
                seconds(std::chrono::duration_cast<Ms>(options.restartInterval)) + ".");
      return SupervisorEnd::GaveUp;
    }
    if (now - started > options.mostDelay || !counts) delay = options.firstDelay;
    host.note("Starting the game again in " + seconds(delay) + ".");
    const auto restartAt = host.now() + delay;
    for (Ms left; (left = until(host, restartAt)) > Ms(0);) {
      if (host.wait(left).event == Event::StopAsked) {
        host.note("Stopped before the next start.");
        return SupervisorEnd::Stopped;
      }
    }
    if (counts) delay = std::min(delay * 2, options.mostDelay);
  }
}

}  // namespace tarvex
