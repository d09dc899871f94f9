// The supervised server's rules on a simulated clock, and the log it keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <optional>

#include "core/TestSupport.h"
#include "platform/InstanceLock.h"
#include "platform/Processes.h"
#include "platform/RotatingLog.h"
#include "server/Instance.h"
#include "server/Supervisor.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#include <fstream>

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
  // What the server says: its status to one question in `every` (the rest
  // dropped, as a busy engine drops them), its console where it has one.
  Answer status = Answer::Ours;
  int every = 1, asked = 0;
  std::string questions;  // s: a status question, c: one of the console
  bool console = false, consoleAnswers = false, stopped = false;
  bool obeysTerm = true;
  std::vector<std::size_t> failingStarts;  // which starts fail, counted from 1
  std::optional<Clock::time_point> endsAt, stopAt;
  Clock::time_point silentUntil{};  // every question before this time goes unanswered
  // A restart asked for at a time; the human players from each time on (none listed: the server does not say).
  std::optional<std::pair<Clock::time_point, RestartRequest>> request;
  std::vector<std::pair<Clock::time_point, int>> humans;

  std::string at() const {
    return "@" + std::to_string(std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count());
  }
  Clock::time_point now() override { return t; }
  Problem startGame() override {
    calls.push_back("start" + at());
    if (std::ranges::find(failingStarts, calls.size()) != failingStarts.end()) return "refused";
    const auto life = lives.empty() ? std::optional<Ms>() : lives.front();
    if (!lives.empty()) lives.pop_front();
    endsAt = life ? std::optional(t + *life) : std::nullopt;
    return {};
  }
  GameWait wait(Ms most) override {
    auto deadline = t + most;
    // A restart asked for wakes the wait, as run's does within a second.
    if (request && request->first > t && request->first < deadline) deadline = request->first;
    if (stopAt && *stopAt <= deadline && (!endsAt || *stopAt < *endsAt)) {
      t = *stopAt;
      stopAt.reset();
      return {Event::StopAsked, {}};
    }
    if (endsAt && *endsAt <= deadline) {
      t = *endsAt;
      endsAt.reset();
      return {Event::Ended, "exit status 1"};
    }
    t = deadline;
    return {Event::Timeout, {}};
  }
  Answer askServer(bool byConsole) override {
    questions += byConsole ? 'c' : 's';
    if (t < silentUntil) return Answer::Silent;
    if (byConsole) return consoleAnswers ? Answer::Ours : Answer::Silent;
    return ++asked % every == 0 ? status : Answer::Silent;
  }
  bool hasConsole() override { return console; }
  bool gameStopped() override { return stopped; }
  void askGameToStop() override {
    calls.push_back("term" + at());
    if (obeysTerm && endsAt.value_or(Clock::time_point::max()) > t + 100ms) endsAt = t + 100ms;
  }
  void killGame() override {
    calls.push_back("kill" + at());
    endsAt = t;
  }
  void note(const std::string& line) override { notes.push_back(line); }
  // The simulated clock's zero is at this time of day.
  std::chrono::seconds dayStart{0};
  std::chrono::seconds timeOfDay() override {
    return dayStart + std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch());
  }
  void say(const std::string& text) override { calls.push_back("say " + text + at()); }
  std::optional<RestartRequest> takeRestartRequest() override {
    if (!request || request->first > t) return std::nullopt;
    const RestartRequest taken = request->second;
    request.reset();
    return taken;
  }
  std::optional<int> humanPlayers() override {
    calls.push_back("count" + at());
    std::optional<int> count;
    for (const auto& [from, players] : humans)
      if (from <= t) count = players;
    return count;
  }
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
  EXPECT_EQ(std::ranges::count(spread.notes, std::string("Stopping the game.")), 1);
  // An end the whole window ago is out of it: two ends exactly a window apart are no loop of two.
  FakeHost edge;
  edge.lives = {0ms, 9s, std::nullopt};
  edge.stopAt = FakeHost::Clock::time_point(60s);
  options.restartBurst = 2;
  options.restartInterval = 10s;
  EXPECT_EQ(supervise(edge, options), SupervisorEnd::Stopped);
  EXPECT_EQ(edge.calls, (Calls{"start@0", "start@1", "start@12", "term@60"}));
}

// Restarts at the times of day given, warned 5 and 1 minutes before through
// the console; they never count toward giving up; without a console they
// come unannounced, as said once at the start.
TEST(Supervisor, ScheduledRestartsComeAtTheirTimeWithWarningsAndNeverCountTowardGivingUp) {
  FakeHost host;
  host.console = true;
  host.dayStart = 3h + 50min;  // the clock's zero is 03:50
  host.lives = {std::nullopt, std::nullopt, std::nullopt};
  host.stopAt = FakeHost::Clock::time_point(24h + 7min);
  SupervisorOptions options;
  options.watchdogInterval = 0s;
  options.restartBurst = 1;  // a single counted end would give up
  options.restartTimes = {4h, 16h};
  EXPECT_EQ(supervise(host, options), SupervisorEnd::Stopped);
  const Calls expected{"start@0",
                       "say The server restarts in 5 minutes.@300",
                       "say The server restarts in 1 minute.@540",
                       "term@600",
                       "start@601",
                       "say The server restarts in 5 minutes.@43500",
                       "say The server restarts in 1 minute.@43740",
                       "term@43800",
                       "start@43801",
                       "say The server restarts in 5 minutes.@86700",
                       "term@86820"};
  EXPECT_EQ(host.calls, expected);
  EXPECT_TRUE(std::ranges::any_of(host.notes, [](const std::string& note) {
    return note.starts_with("The scheduled restart: the game is stopped and started again");
  }));
  // Without a console: no warnings, said once; a text of the host's own.
  FakeHost quiet;
  quiet.dayStart = 3h + 58min;
  quiet.lives = {std::nullopt, std::nullopt};
  quiet.stopAt = FakeHost::Clock::time_point(10min);
  EXPECT_EQ(supervise(quiet, options), SupervisorEnd::Stopped);
  EXPECT_EQ(quiet.calls, (Calls{"start@0", "term@120", "start@121", "term@600"}));
  EXPECT_EQ(quiet.notes.front(),
            "Without a console password the scheduled restarts come without a warning to the "
            "players.");
  FakeHost custom;
  custom.console = true;
  custom.dayStart = 3h + 58min;
  custom.lives = {std::nullopt};
  custom.stopAt = FakeHost::Clock::time_point(100s);
  options.restartWarning = "Back in {minutes}: restart in {minutes}";
  EXPECT_EQ(supervise(custom, options), SupervisorEnd::Stopped);
  EXPECT_EQ(custom.calls, (Calls{"start@0", "say Back in 1 minute: restart in 1 minute@60", "term@100"}));
}

// tarvex-cli restart: now, with the players told; or once no human player is
// on, counted every check, told once while they are; never toward giving up.
TEST(Supervisor, ARestartAskedForComesNowOrOnceTheServerIsEmpty) {
  using T = FakeHost::Clock::time_point;
  SupervisorOptions options;
  options.watchdogInterval = 0s;
  options.restartBurst = 1;  // a single counted end would give up
  FakeHost now;
  now.console = true;
  now.lives = {std::nullopt, std::nullopt};
  now.request = {T(30s), RestartRequest{false, ""}};
  now.stopAt = T(100s);
  EXPECT_EQ(supervise(now, options), SupervisorEnd::Stopped);
  EXPECT_EQ(now.calls, (Calls{"start@0", "say The server restarts now.@30", "term@30", "start@31", "term@100"}));
  EXPECT_TRUE(std::ranges::any_of(now.notes, [](const std::string& note) {
    return note.starts_with("The restart asked for: the game is stopped and started again");
  }));
  // Two players, then one, then none; the server does not say at first.
  FakeHost empty;
  empty.console = true;
  empty.lives = {std::nullopt, std::nullopt};
  empty.request = {T(30s), RestartRequest{true, "Restart when you all leave"}};
  empty.humans = {{T(35s), 2}, {T(52s), 1}, {T(65s), 0}};
  empty.stopAt = T(200s);
  EXPECT_EQ(supervise(empty, options), SupervisorEnd::Stopped);
  EXPECT_EQ(empty.calls, (Calls{"start@0", "count@30", "count@40", "say Restart when you all leave@40", "count@50",
                                "count@60", "count@70", "term@70", "start@71", "term@200"}));
  EXPECT_TRUE(std::ranges::count(empty.notes, std::string("2 players are on: the restart waits until the server "
                                                          "is empty.")) == 1);
  // Without a console nobody is told; an empty server restarts at once.
  FakeHost quiet;
  quiet.lives = {std::nullopt, std::nullopt};
  quiet.request = {T(30s), RestartRequest{true, ""}};
  quiet.humans = {{T(0s), 0}};
  quiet.stopAt = T(100s);
  EXPECT_EQ(supervise(quiet, options), SupervisorEnd::Stopped);
  EXPECT_EQ(quiet.calls, (Calls{"start@0", "count@30", "term@30", "start@31", "term@100"}));
  EXPECT_EQ(parseRestartRequest(restartRequestText({true, "Bye; now"})), (RestartRequest{true, "Bye; now"}));
  EXPECT_EQ(parseRestartRequest("when-empty=no\n"), RestartRequest{});
}

// The watchdog's rules, for a server whose start has had its time.
SupervisorOptions settled() {
  SupervisorOptions options;
  options.firstAnswerWait = 0s;
  return options;
}

TEST(Supervisor, AServerThatStopsAnsweringIsEndedForSureAndStartedAgain) {
  FakeHost host;
  host.lives = {std::nullopt, std::nullopt};
  host.status = ServerHost::Answer::Silent;
  host.stopped = true;
  host.obeysTerm = false;
  host.stopAt = FakeHost::Clock::time_point(150s);
  EXPECT_EQ(supervise(host, {}), SupervisorEnd::Stopped);  // stopped: hung for sure, even as it starts
  // Three checks 30 s apart, each asking again for three seconds; a stopped game
  // cannot take a request to end: it is killed at once, then one second's wait.
  EXPECT_EQ(host.calls, (Calls{"start@0", "kill@93", "start@94", "kill@150"}));
  EXPECT_TRUE(test::contains(host.notes.front(), "A console password makes the watchdog surer."));
  // How each killed game ended is said.
  EXPECT_EQ(std::ranges::count(host.notes, std::string("The game ended (exit status 1).")), 2);
  // One that runs but is silent to its status and its console is asked to end: ten seconds' grace, then killed.
  FakeHost hung;
  hung.lives = {std::nullopt, std::nullopt};
  hung.status = ServerHost::Answer::Silent;
  hung.console = true;
  hung.obeysTerm = false;
  hung.stopAt = FakeHost::Clock::time_point(150s);
  EXPECT_EQ(supervise(hung, settled()), SupervisorEnd::Stopped);
  EXPECT_EQ(hung.calls, (Calls{"start@0", "term@93", "kill@103", "start@104", "term@150", "kill@160"}));
  // A server that answers again counts its misses afresh; a stop asked for ends the game gently.
  FakeHost answering;
  answering.lives = {std::nullopt};
  answering.stopAt = FakeHost::Clock::time_point(95s);
  EXPECT_EQ(supervise(answering, {}), SupervisorEnd::Stopped);
  EXPECT_EQ(answering.calls, (Calls{"start@0", "term@95"}));
  EXPECT_EQ(answering.notes[1], "The server answers on its port.");
}

// A busy host's own questions crowd the watchdog's out: a server that lets
// one question in five through, or answers its console, is alive; only a
// server silent to both is restarted, and never without a console on its
// status alone before twice the checks.
TEST(Supervisor, SilenceIsConfirmedAndTheWatchdogsRestartsNeverMakeItGiveUp) {
  struct Case {
    int every;
    bool console, consoleAnswers;
    Calls calls;
  };
  const Case cases[] = {
      {5, false, false, {"start@0", "term@400"}},
      {1000000, true, true, {"start@0", "term@400"}},
      {1000000,
       true,
       false,
       {"start@0", "term@93", "start@94", "term@187", "start@188", "term@281", "start@282", "term@375", "start@376",
        "term@400"}},
      {1000000, false, false, {"start@0", "term@183", "start@184", "term@367", "start@368", "term@400"}},
  };
  for (const auto& c : cases) {
    FakeHost host;
    host.every = c.every;
    host.console = c.console;
    host.consoleAnswers = c.consoleAnswers;
    host.stopAt = FakeHost::Clock::time_point(400s);
    SupervisorOptions options = settled();
    options.restartBurst = 2;
    EXPECT_EQ(supervise(host, options), SupervisorEnd::Stopped);
    EXPECT_EQ(host.calls, c.calls) << c.every << c.console << c.consoleAnswers;
    // Each check begins with the status question; the console takes every second one where there is one.
    EXPECT_EQ(test::contains(host.questions, "c"), c.console);
    EXPECT_FALSE(test::contains(host.questions, "cc")) << host.questions;
    EXPECT_EQ(test::contains(host.notes.back(), "Stopping") || test::contains(host.notes.back(), "ended"), true);
    for (const auto& note : host.notes) EXPECT_FALSE(test::contains(note, "Gave up"));
  }
  // Another server that answers on the port: this game is stopped, and run ends.
  FakeHost foreign;
  foreign.status = ServerHost::Answer::Foreign;
  EXPECT_EQ(supervise(foreign, {}), SupervisorEnd::PortTaken);
  EXPECT_EQ(foreign.calls, (Calls{"start@0", "term@1"}));
}

// The first start of Wine makes its prefix: a server silent at its first
// checks is never restarted before its start has had its time; one that
// never answers is, once the checks after that time are missed.
TEST(Supervisor, AStartHasItsTimeBeforeItsSilenceCounts) {
  FakeHost slow;
  slow.lives = {std::nullopt};
  slow.console = true;
  slow.consoleAnswers = true;
  slow.silentUntil = FakeHost::Clock::time_point(150s);
  slow.stopAt = FakeHost::Clock::time_point(400s);
  EXPECT_EQ(supervise(slow, {}), SupervisorEnd::Stopped);
  EXPECT_EQ(slow.calls, (Calls{"start@0", "term@400"}));
  EXPECT_EQ(std::ranges::count(slow.notes, "The server answers on its port."), 1);
  FakeHost never;
  never.lives = {std::nullopt, std::nullopt};
  never.status = ServerHost::Answer::Silent;
  never.console = true;
  never.stopAt = FakeHost::Clock::time_point(400s);
  SupervisorOptions options;
  options.firstAnswerWait = 100s;
  EXPECT_EQ(supervise(never, options), SupervisorEnd::Stopped);
  EXPECT_EQ(never.calls, (Calls{"start@0", "term@183", "start@184", "term@367", "start@368", "term@400"}));
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
    // One byte in the file is enough to start a new one before the bound would pass.
    RotatingLog small(folder / "one.log", {4, 1}, false);
    small.write("a");
    small.write("bcde");
  }
  EXPECT_EQ(test::readFile(folder / "one.log"), "bcde");
  EXPECT_EQ(test::readFile(folder / "one.log.1"), "a");
  {
    // A file may hold its bound exactly.
    RotatingLog exact(folder / "two.log", {4, 1}, false);
    exact.write("ab");
    exact.write("cd");
  }
  EXPECT_EQ(test::readFile(folder / "two.log"), "abcd");
  EXPECT_FALSE(std::filesystem::exists(folder / "two.log.1"));
  {
    RotatingLog log(file, {100, 2}, true);
    log.write("fresh\n");
  }
  EXPECT_EQ(test::readFile(file), "fresh\n");
  EXPECT_EQ(test::readFile(folder / "logs" / "slot3.log.1").substr(0, 1), "i");
  EXPECT_EQ(fileTail(file), "fresh");
  // Line ends as Windows writes them become one; a carriage return of its own stays.
  test::writeFile(folder / "crlf.log", "one\r\ntwo\rthree\r\nfour\n");
  EXPECT_EQ(fileTail(folder / "crlf.log"), "one\ntwo\rthree\nfour");
  EXPECT_EQ(std::filesystem::status(file).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// Every save file its own instance, whatever its name shares with another's;
// one file by two spellings is one instance.
TEST(Instances, EverySaveFileHasANameOfItsOwnAndOneRunAtATime) {
  test::TempFolder folder;
  const std::string a = (folder / "x y.sav").string(), b = (folder / "x;y.sav").string();
  std::filesystem::create_directories(folder / "dir1");
  std::filesystem::create_directories(folder / "dir2");
  const std::vector<std::string> names = {instanceName(0, a),
                                          instanceName(0, b),
                                          instanceName(0, (folder / "dir1" / "x.sav").string()),
                                          instanceName(0, (folder / "dir2" / "x.sav").string()),
                                          instanceName(0, (folder / std::string(60, 'n')).string() + "1.sav"),
                                          instanceName(0, (folder / std::string(60, 'n')).string() + "2.sav")};
  for (std::size_t i = 0; i < names.size(); ++i)
    for (std::size_t j = i + 1; j < names.size(); ++j) EXPECT_NE(names[i], names[j]);
  EXPECT_TRUE(names[0].starts_with("save-x_y-")) << names[0];
  EXPECT_EQ(instanceName(0, (folder / "dir1" / ".." / "x y.sav").string()), names[0]);
  EXPECT_EQ(instanceName(3, a), "slot3");
  EXPECT_EQ(instanceName(0, ""), "game");

#ifndef _WIN32
  // The lock names the process that holds it, until that process ends.
  const auto lockFile = instanceLockFile(folder.path(), "slot3");
  {
    platform::InstanceLock first(lockFile);
    ASSERT_EQ(first.refusal(), "");
    platform::InstanceLock second(lockFile);
    EXPECT_EQ(second.refusal(), "process " + std::to_string(getpid()) + " runs it");
    // A launch's game outlives its launch, and holds the instance while it runs.
    const auto spawn = [](const char* environment) {
      const pid_t child = fork();
      if (child == 0) {
        const char* env[] = {environment, nullptr};
        execle("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr), env);
        _exit(127);
      }
      return child;
    };
    // A process that is not a game started for the instance holds nothing, whatever the record says.
    const pid_t other = spawn("TARVEX_INSTANCE=slot4");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    first.record(other);
    EXPECT_EQ(platform::InstanceLock(lockFile).refusal(), "another tarvex-cli runs it");  // only the flock holds
    const pid_t game = spawn("TARVEX_INSTANCE=slot3");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    first.record(game);
    std::optional<platform::InstanceLock> held;
    held.emplace(lockFile);
    EXPECT_EQ(held->refusal(), "process " + std::to_string(game) + " runs it");
    for (const pid_t child : {game, other}) {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
    }
  }
  platform::InstanceLock after(lockFile);  // the game has ended: the record is stale
  EXPECT_EQ(after.refusal(), "");
#endif
}

// The log writes only into regular files of its own: a link or another kind
// of node is refused before anything is written, and left as it was.
TEST(RotatingLog, OnlyItsOwnRegularFilesAndABoundThatHoldsWhenRotationFails) {
  namespace fs = std::filesystem;
  test::TempFolder folder;
  test::writeFile(folder / "target", "keep");
  fs::create_symlink(folder / "target", folder / "link.log");
#ifndef _WIN32
  ASSERT_EQ(mkfifo((folder / "fifo.log").c_str(), 0600), 0);
  for (const char* name : {"link.log", "fifo.log"}) {
#else
  for (const char* name : {"link.log"}) {
#endif
    RotatingLog log(folder / name, {100, 2}, true);
    EXPECT_FALSE(log.isOpen());
    EXPECT_TRUE(test::contains(log.problem(), "is not a regular file")) << log.problem();
    log.write("never\n");
    EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(folder / name)));
    EXPECT_FALSE(fs::exists(folder / (std::string(name) + ".1")));
  }
  EXPECT_EQ(test::readFile(folder / "target"), "keep");

  // NAME.1 cannot be made (here a folder stands there): the full file takes
  // nothing more, says so once, and a later rotation that succeeds says what was dropped.
  const auto file = folder / "game.log";
  fs::create_directories(folder / "game.log.1" / "in-the-way");
  RotatingLog log(file, {100, 1, std::chrono::milliseconds(0)}, false);
  ASSERT_TRUE(log.isOpen());
  for (int i = 0; i < 1000; ++i) log.write(std::string(40, 'x') + "\n");
  EXPECT_LE(fs::file_size(file), 100u);
  EXPECT_TRUE(test::contains(log.takeRotationFailure(), "could not be rotated"));
  EXPECT_EQ(log.takeRotationFailure(), "");
  fs::remove_all(folder / "game.log.1");
  log.write("after\n");
  EXPECT_TRUE(test::contains(test::readFile(file), "bytes of the game's output were dropped"));
  EXPECT_TRUE(test::contains(test::readFile(file), "after\n"));
}

// log -f reads across rotations without losing a line: the rest of the old
// file first, then the new one.
TEST(LogFollower, LosesNoLineAcrossRotations) {
  test::TempFolder folder;
  const auto file = folder / "slot3.log";
  EXPECT_TRUE(test::contains(LogFollower(file).problem(), "There is no log"));
  RotatingLog log(file, {4096, 2}, true);
  log.write("line 0\n");
  LogFollower follower(file);
  ASSERT_EQ(follower.problem(), "");
  std::string read;
  std::string expected = "line 0\n";
  for (int i = 1; i < 5000; ++i) {
    const std::string line = "line " + std::to_string(i) + "\n";
    log.write(line);
    expected += line;
    if (i % 7 == 0)
      for (std::string bytes; !(bytes = follower.next(100)).empty();) read += bytes;
  }
  for (std::string bytes; !(bytes = follower.next(100)).empty();) read += bytes;
  EXPECT_EQ(read, expected);
}

#ifndef _WIN32
// run's game does not outlive run: what it leaves in its process group ends
// with it, and it dies with run even when run is killed.
TEST(ChildGame, LeavesNoProcessBehind) {
  test::TempFolder folder;
  const auto pidOf = [&](const char* name) {
    for (int i = 0; i < 100; ++i, usleep(20000))
      if (const std::string text = test::readFile(folder / name); !text.empty() && text.back() == '\n')
        return pid_t(std::stoi(text));
    return pid_t(-1);
  };
  const auto gone = [](pid_t pid) {
    for (int i = 0; i < 100; ++i, usleep(20000))
      if (kill(pid, 0) != 0 || platform::processStopped(pid)) {
        // A zombie of init's counts as gone.
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text;
        std::getline(stat, text);
        if (text.empty() || text.find(") Z") != std::string::npos) return true;
      }
    return false;
  };
  test::writeFile(folder / "runner.sh",
                  "#!/bin/sh\nenv > game.env\nsleep 60 &\necho $! > left.pid\nexec sleep \"$MODE\"\n");
  std::filesystem::permissions(folder / "runner.sh", std::filesystem::perms::owner_all);
  setenv("TARVEX_GAME_RUNNER", (folder / "runner.sh").c_str(), 1);
  {
    setenv("MODE", "0", 1);
    // systemd's socket is run's own: the game never speaks for the service. It carries its instance.
    setenv("NOTIFY_SOCKET", "/run/systemd/notify", 1);
    setenv("TARVEX_INSTANCE", "slot1", 1);
    platform::ChildGame game;
    ASSERT_EQ(game.start({folder.path().string(), "game.exe", {}, {}, "slot3"}), "");
    unsetenv("NOTIFY_SOCKET");
    unsetenv("TARVEX_INSTANCE");
    const auto ignore = [](std::string_view) {};
    while (game.wait(1000, ignore).event != ServerHost::Event::Ended) {
    }
    EXPECT_TRUE(gone(pidOf("left.pid")));
    const std::string environment = test::readFile(folder / "game.env");
    EXPECT_FALSE(test::contains(environment, "NOTIFY_SOCKET")) << environment;
    EXPECT_TRUE(test::contains(environment, "\nTARVEX_INSTANCE=slot3\n")) << environment;
    EXPECT_FALSE(test::contains(environment, "TARVEX_INSTANCE=slot1")) << environment;
  }
  std::filesystem::remove(folder / "left.pid");
  setenv("MODE", "60", 1);
  const pid_t run = fork();
  if (run == 0) {
    platform::ChildGame game;
    if (!game.start({folder.path().string(), "game.exe", {}, {}, {}}).ok()) _exit(1);
    test::writeFile(folder / "game.pid", std::to_string(game.id()) + "\n");
    pause();
    _exit(0);
  }
  const pid_t game = pidOf("game.pid");
  ASSERT_GT(game, 0);
  kill(run, SIGKILL);
  waitpid(run, nullptr, 0);
  EXPECT_TRUE(gone(game));
  kill(pidOf("left.pid"), SIGKILL);
  unsetenv("TARVEX_GAME_RUNNER");
  unsetenv("MODE");
}

// A launched game's log ends with the game: Wine's helpers, in sessions of
// their own, inherit its output and may outlive it, and nothing of Tarvex
// waits on them.
TEST(DetachedGame, ItsLogEndsWithTheGameWhateverItsHelpersHoldOpen) {
  test::TempFolder folder;
  test::writeFile(folder / "runner.sh",
                  "#!/bin/sh\necho 'the game starts'\nsetsid sh -c 'sleep 2; echo late' &\n"
                  "echo $! > helper.pid\nsleep 0.3\nexit 3\n");
  std::filesystem::permissions(folder / "runner.sh", std::filesystem::perms::owner_all);
  setenv("TARVEX_GAME_RUNNER", (folder / "runner.sh").c_str(), 1);
  platform::DetachedGame game;
  ASSERT_EQ(game.start({folder.path().string(), "game.exe", {}, (folder / "game.log").string(), "slot1"}), "");
  unsetenv("TARVEX_GAME_RUNNER");
  const auto failure = game.failure(5000);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->status, "exit status 3");
  EXPECT_EQ(failure->lastOutput, "the game starts");
  // The log's writer has ended and was reaped: no process of this test is left.
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  usleep(2500 * 1000);
  EXPECT_EQ(test::readFile(folder / "game.log"), "the game starts\n");
}
#endif
