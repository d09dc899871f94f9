// The supervised server's rules on a simulated clock, and the log it keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <optional>

#include "core/TestSupport.h"
#include "server/Instance.h"
#include "server/RotatingLog.h"
#include "server/Supervisor.h"

using namespace tarvex;
using namespace std::chrono_literals;
using Ms = std::chrono::milliseconds;

namespace {
// A game on a simulated clock: each start lives as long as `lives` says
// (nullopt: until stopped); calls records starts and signals by second.
struct FakeHost : ServerHost {
  Clock::time_point t{};
  std::vector<std::string> calls, notes;
  std::deque<std::optional<Ms>> lives;
  bool answers = true;
  bool obeysTerm = true;
  std::vector<std::size_t> failingStarts;  // which starts fail, counted from 1
  std::optional<Clock::time_point> endsAt, stopAt;

  std::string at() const {
    return "@" + std::to_string(std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count());
  }
  Clock::time_point now() override { return t; }
  std::string startGame() override {
    calls.push_back("start" + at());
    if (std::ranges::find(failingStarts, calls.size()) != failingStarts.end()) return "refused";
    const auto life = lives.empty() ? std::optional<Ms>() : lives.front();
    if (!lives.empty()) lives.pop_front();
    endsAt = life ? std::optional(t + *life) : std::nullopt;
    return {};
  }
  Event wait(Ms most, std::string& status) override {
    const auto deadline = t + most;
    if (stopAt && *stopAt <= deadline && (!endsAt || *stopAt < *endsAt)) {
      t = *stopAt;
      stopAt.reset();
      return Event::StopAsked;
    }
    if (endsAt && *endsAt <= deadline) {
      t = *endsAt;
      endsAt.reset();
      status = "exit status 1";
      return Event::Ended;
    }
    t = deadline;
    return Event::Timeout;
  }
  bool serverAnswers() override { return answers; }
  void askGameToStop() override {
    calls.push_back("term" + at());
    if (obeysTerm && endsAt.value_or(Clock::time_point::max()) > t + 100ms) endsAt = t + 100ms;
  }
  void killGame() override {
    calls.push_back("kill" + at());
    endsAt = t;
  }
  void note(const std::string& line) override { notes.push_back(line); }
};

using Calls = std::vector<std::string>;
}  // namespace

TEST(Supervisor, RestartsWithADoublingWaitAndGivesUpOnACrashLoop) {
  FakeHost host;
  host.lives = {0ms, 0ms, 0ms, 0ms, 0ms, 0ms};
  EXPECT_EQ(supervise(host, {}), SupervisorEnd::GaveUp);
  EXPECT_EQ(host.calls, (Calls{"start@0", "start@1", "start@3", "start@7", "start@15"}));
  EXPECT_EQ(host.notes.back(), "Gave up: the game ended 5 times within 600 s.");
  // Ends far enough apart are no loop; a game that ran a while starts its next wait at one second.
  FakeHost spread;
  spread.lives = {0ms, 0ms, 700s, 0ms, std::nullopt};
  spread.stopAt = FakeHost::Clock::time_point(800s);
  SupervisorOptions options;
  options.watchdogInterval = 0s;
  EXPECT_EQ(supervise(spread, options), SupervisorEnd::Stopped);
  EXPECT_EQ(spread.calls, (Calls{"start@0", "start@1", "start@3", "start@704", "start@706", "term@800"}));
}

TEST(Supervisor, AServerThatStopsAnsweringIsEndedForSureAndStartedAgain) {
  FakeHost host;
  host.lives = {std::nullopt, std::nullopt};
  host.answers = false;
  host.obeysTerm = false;  // a stopped (SIGSTOP) server ignores SIGTERM
  host.stopAt = FakeHost::Clock::time_point(150s);
  EXPECT_EQ(supervise(host, {}), SupervisorEnd::Stopped);
  // Three missed answers 30 s apart, ten seconds' grace, then one second's wait.
  EXPECT_EQ(host.calls, (Calls{"start@0", "term@90", "kill@100", "start@101", "term@150", "kill@160"}));
  // A server that answers again counts its misses afresh; a stop asked for ends the game gently.
  FakeHost answering;
  answering.lives = {std::nullopt};
  answering.stopAt = FakeHost::Clock::time_point(95s);
  EXPECT_EQ(supervise(answering, {}), SupervisorEnd::Stopped);
  EXPECT_EQ(answering.calls, (Calls{"start@0", "term@95"}));
  EXPECT_EQ(answering.notes.front(), "The server answers on its port.");
}

// A first start that fails is a configuration to mend; a later one (the port
// taken meanwhile, say) is tried again.
TEST(Supervisor, AFirstStartThatFailsIsAConfigurationToMendALaterOneAnEnd) {
  FakeHost host;
  host.failingStarts = {1};
  EXPECT_EQ(supervise(host, {}), SupervisorEnd::NotStarted);
  EXPECT_EQ(host.calls, (Calls{"start@0"}));
  FakeHost failing;
  failing.failingStarts = {2};
  failing.lives = {0ms, std::nullopt};
  failing.stopAt = FakeHost::Clock::time_point(10s);
  SupervisorOptions options;
  options.watchdogInterval = 0s;
  EXPECT_EQ(supervise(failing, options), SupervisorEnd::Stopped);
  EXPECT_EQ(failing.calls, (Calls{"start@0", "start@1", "start@3", "term@10"}));
}

TEST(RotatingLog, KeepsWithinItsBoundAndBeginsAfreshWhenAsked) {
  test::TempFolder folder;
  const auto file = folder / "logs" / "slot3.log";
  {
    RotatingLog log(file, {100, 2}, false);
    ASSERT_TRUE(log.isOpen());
    for (int i = 0; i < 10; ++i) log.write(std::string(40, char('a' + i)) + "\n");
  }
  // 41-byte lines, 100 bytes a file: two lines each; the oldest beyond two earlier files are gone.
  EXPECT_EQ(test::readFile(file), std::string(40, 'i') + "\n" + std::string(40, 'j') + "\n");
  EXPECT_EQ(test::readFile(folder / "logs" / "slot3.log.1").substr(0, 1), "g");
  EXPECT_EQ(test::readFile(folder / "logs" / "slot3.log.2").substr(0, 1), "e");
  EXPECT_FALSE(std::filesystem::exists(folder / "logs" / "slot3.log.3"));
  {
    RotatingLog log(file, {100, 2}, true);
    log.write("fresh\n");
  }
  EXPECT_EQ(test::readFile(file), "fresh\n");
  EXPECT_EQ(test::readFile(folder / "logs" / "slot3.log.1").substr(0, 1), "i");
  EXPECT_EQ(fileTail(file), "fresh");
  EXPECT_EQ(instanceName(0, "/srv/team night+quit.sav"), "save-team_night_quit");  // a log's name from a save's
  EXPECT_EQ(instanceName(0, ""), "game");
  EXPECT_EQ(std::filesystem::status(file).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}
