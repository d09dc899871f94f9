// The game through real Wine: Tarvex's own Linux path, without
// TARVEX_GAME_RUNNER, into a 32-bit Windows id Tech 3 dedicated server
// (ioquake3 built for Windows and named stvoyHM.exe, from
// tools/test-engine.sh) with OpenArena's data, on loopback only. One Wine
// prefix serves the whole run: its first start is timed, and every figure is
// printed.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "core/TestSupport.h"
#include "engine/EngineSupport.h"
#include "query/ServerQuery.h"
#include "saves/SaveFile.h"
#include "server/Instance.h"

namespace fs = std::filesystem;
using namespace tarvex;
using engine::pause;
using test::contains;

namespace {
constexpr const char* kRcon = "wine-rcon";
// Debian's wine runs this loader for a 32-bit program; hidden, Wine has no 32-bit part.
const fs::path kWine32Loader = "/usr/lib/wine/wine";

using Clock = std::chrono::steady_clock;
double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The run's Wine prefix, made by the first start that uses it.
const fs::path& prefix() {
  static const test::TempFolder folder;
  static const fs::path path = folder / "wine";
  return path;
}

// The processes whose environment names the prefix in use: the game, wine,
// wineserver and Wine's helpers, which inherit it.
std::vector<std::string> prefixProcesses() {
  const std::string mark = "WINEPREFIX=" + std::string(std::getenv("WINEPREFIX"));
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos || pid == std::to_string(getpid())) continue;
    std::ifstream in(entry.path() / "environ", std::ios::binary);
    std::string environment((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    std::getline(stat, line);
    if (line.find(") Z") != std::string::npos) continue;  // ended, not yet reaped
    for (std::size_t at = 0; at < environment.size();) {
      const std::size_t end = std::min(environment.find('\0', at), environment.size());
      if (environment.compare(at, end - at, mark) == 0) found.push_back(pid + " " + line.substr(0, line.find(')') + 1));
      at = end + 1;
    }
  }
  return found;
}

// Seconds until no process of the prefix is left (at most the limit).
double secondsUntilNoneLeft(int limit) {
  const auto start = Clock::now();
  while (!prefixProcesses().empty() && secondsSince(start) < limit) pause(100);
  return secondsSince(start);
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += "  " + line + "\n";
  return text;
}

// After a stop asked for at `asked` (what returned since), no process of
// Wine or the game may be left within 30 s; the times are printed.
void expectNothingLeft(const std::string& what, Clock::time_point asked) {
  const double returned = secondsSince(asked);
  const double noneLeft = secondsUntilNoneLeft(30);
  std::cout << "  " << what << " after " << returned << " s; no process of Wine or the game was left after "
            << returned + noneLeft << " s\n";
  EXPECT_TRUE(prefixProcesses().empty()) << joined(prefixProcesses());
}

class Wine : public ::testing::Test {
 protected:
  test::TempFolder app, game, home;
  int port = 0;
  pid_t run = -1;

  void SetUp() override {
    const char* engine = std::getenv("TARVEX_WINE_ENGINE");
    if (!engine || !fs::exists(fs::path(engine) / "stvoyHM.exe"))
      GTEST_SKIP() << "SKIPPED: the real-Wine test needs the engine that tools/test-engine.sh builds "
                      "(TARVEX_WINE_ENGINE names its folder; its source is ../shared/vendor)";
    if (!fs::exists(kWine32Loader) || std::system("command -v wine >/dev/null") != 0)
      GTEST_SKIP() << "SKIPPED: the real-Wine test needs Wine with its 32-bit part (wine32:i386)";
    if (!fs::is_directory(engine::kEngineData))
      GTEST_SKIP() << "SKIPPED: the real-Wine test needs OpenArena's data (Debian's openarena-server)";
    static int next = 29000 + int(getpid() % 400) * 2;
    port = next++;
    unsetenv("TARVEX_GAME_RUNNER");
    unsetenv("WINEDEBUG");
    unsetenv("DISPLAY");
    setenv("WINEPREFIX", prefix().c_str(), 1);
    engine::makeGameFolders(app.path(), game.path());
    for (const char* file : {"stvoyHM.exe", "libgcc_s_dw2-1.dll"}) fs::copy_file(fs::path(engine) / file, game / file);
    fs::copy_file(fs::path(engine) / "qagamex86.dll", game / "BaseEF" / "qagamex86.dll");
  }

  void TearDown() override {
    if (run > 0 && kill(run, SIGTERM) == 0) waitpid(run, nullptr, 0);
    cli("stop --slot 4");
    if (!prefixProcesses().empty()) {
      ADD_FAILURE() << "left behind:\n" << joined(prefixProcesses());
      (void)std::system("wineserver -k 2>/dev/null");
    }
  }

  // Slot 4: a LAN server on loopback at the test's port, with a console password.
  Configuration configuration(std::initializer_list<std::string> settings = {}) const {
    Configuration config;
    config.catalogue = loadCatalogueFile(app / "maps.ini").catalogue;
    test::set(config.settings, {"Dedicated_button", std::string("Console_Password=") + kRcon, "NetIP_Check=1",
                                "NetIP=127.0.0.1", "NetPort_Yes=1", "NetPort=" + std::to_string(port)});
    test::set(config.settings, settings);
    config.rotation.maps = {"oa_dm1"};
    test::writeFile(slotPath(app.path(), 4), writeSave(slotTitle(4), "wine test", config));
    return config;
  }

  // tarvex-cli; prefix goes before it (a command that runs it).
  int cli(const std::string& arguments, const std::string& prefix = {}) {
    return engine::tarvexCli(app.path(), arguments, home / "cli.out", home / "cli.err", prefix);
  }
  std::string cliErr() { return test::readFile(home / "cli.err"); }
  std::string log() { return test::readFile(app / "logs" / "slot4.log"); }

  // tarvex-cli in a mount namespace of its own where Wine's 32-bit loader is
  // hidden: Wine as it is installed without its 32-bit part.
  int cliWithoutWine32(const std::string& arguments) {
    const pid_t child = fork();
    if (child == 0) {
      if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
          mount("/dev/null", kWine32Loader.c_str(), nullptr, MS_BIND, nullptr) != 0)
        _exit(125);
      _exit(cli(arguments));
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // The pid of the running game (stvoyHM.exe), -1 when none runs.
  static pid_t gamePid() {
    for (const auto& process : prefixProcesses())
      if (contains(process, "(stvoyHM.exe)")) return pid_t(std::stoi(process));
    return -1;
  }
};

// launch returns once the server answers (the first start in a fresh prefix
// included), with the start's identity; it takes the console password; its
// log holds the game's console output and none of Wine's fixme notes; stop
// leaves no process of Wine or the game.
TEST_F(Wine, LaunchWaitsForTheServerAndStopLeavesNothing) {
  configuration();
  for (const char* start : {"first start, in a fresh prefix", "later start"}) {
    const auto started = Clock::now();
    ASSERT_EQ(cli("launch --slot 4 --start-timeout 600"), 0) << cliErr() << log();
    std::cout << "  " << start << ": launch returned after " << secondsSince(started) << " s\n";
    // It returned because this server answered, with the start's identity.
    const auto status = askStatus("127.0.0.1", port, {1000, 2, 200});
    ASSERT_TRUE(status.ok()) << log();
    const auto record = parseInstanceState(test::readFile(instanceStateFile(app.path(), "slot4")));
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(status->value(kIdentityVariable), record->id);
    EXPECT_EQ(status->value("mapname"), "oa_dm1");
    EXPECT_EQ(cli("rcon --slot 4 echo tarvex-heard"), 0) << cliErr();
    EXPECT_TRUE(contains(test::readFile(home / "cli.out"), "tarvex-heard"));
    EXPECT_TRUE(contains(log(), "Opening IP socket: 127.0.0.1:" + std::to_string(port)));
    EXPECT_FALSE(contains(log(), "fixme:")) << log();
    const auto stopped = Clock::now();
    EXPECT_EQ(cli("stop --slot 4"), 0) << cliErr();
    expectNothingLeft("stop returned", stopped);
  }
}

// run keeps the server up through Wine: it answers, keeps the user's gravity
// after warmup's map restart, is started again when its game is killed or
// stops answering, and SIGTERM leaves no process of Wine or the game.
TEST_F(Wine, RunKeepsTheServerUpAndSigtermLeavesNothing) {
  configuration({"game_gravity=350", "WarmupTime=3", "MinPlayers=2"});
  run = engine::spawnTarvexCli(app.path(), {"run", "--slot", "4", "--watchdog", "2"}, home / "run.err");
  const auto notes = [&] { return test::readFile(home / "run.err"); };
  const auto answered = [&](std::size_t times) {
    std::size_t count = 0;
    for (int i = 0; i < 1200 && count < times; ++i, pause(100)) {
      count = 0;
      const std::string text = notes();
      for (std::size_t at = 0; (at = text.find("The server answers on its port.", at)) != std::string::npos; ++at)
        ++count;
    }
    return count >= times;
  };
  ASSERT_TRUE(answered(1)) << notes() << log();
  ASSERT_TRUE(engine::waitForMap(port, "oa_dm1")) << log();
  // Warmup ends when the bots are in; its map_restart puts the map's gravity back, and run sets the user's again.
  const auto restart = [&] {
    const std::string text = log();
    const auto first = text.find("Game Initialization");
    return first == std::string::npos ? first : text.find("Game Initialization", first + 1);
  };
  for (int i = 0; i < 600 && restart() == std::string::npos; ++i) pause(100);
  ASSERT_NE(restart(), std::string::npos) << "warmup never ended:\n" << log();
  for (int i = 0; i < 100 && !contains(log().substr(restart()), "g_gravity changed to 350"); ++i) pause(100);
  EXPECT_TRUE(contains(log().substr(restart()), "g_gravity changed to 350")) << log().substr(restart());
  // A game that is killed is started again, and answers again.
  const pid_t first = gamePid();
  ASSERT_GT(first, 0) << joined(prefixProcesses());
  kill(first, SIGKILL);
  EXPECT_TRUE(answered(2)) << notes();
  EXPECT_TRUE(contains(notes(), "The game ended (signal 9).")) << notes();
  // A game that stops answering (a hang) is found by the watchdog, ended and started again.
  const pid_t second = gamePid();
  EXPECT_NE(second, first);
  const auto hung = Clock::now();
  kill(second, SIGSTOP);
  EXPECT_TRUE(answered(3)) << notes();
  EXPECT_TRUE(contains(notes(), "The server stopped answering: it is started again")) << notes();
  std::cout << "  a hung game was replaced, its server answering again, after " << secondsSince(hung) << " s\n";
  const auto stopped = Clock::now();
  kill(run, SIGTERM);
  int status = -1;
  waitpid(run, &status, 0);
  run = -1;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << notes();
  expectNothingLeft("run ended, SIGTERM", stopped);
}

// Wine without its 32-bit part cannot start the game: launch fails with
// Wine's own words and the command that installs the part (in a fresh
// prefix, as a new host meets it, Wine says so only after a while), and
// check says the same before any launch.
TEST_F(Wine, WithoutItsThirtyTwoBitPartLaunchAndCheckSayWhatToInstall) {
  configuration();
  const test::TempFolder fresh;
  setenv("WINEPREFIX", (fresh / "wine").c_str(), 1);
  const auto started = Clock::now();
  EXPECT_EQ(cliWithoutWine32("launch --slot 4 --start-timeout 120"), 3) << cliErr();
  std::cout << "  the launch failed after " << secondsSince(started) << " s:\n" << cliErr();
  EXPECT_TRUE(contains(cliErr(), "c0000135") || contains(cliErr(), "wine32 is missing")) << cliErr();
  EXPECT_TRUE(contains(cliErr(), "apt-get install wine32:i386")) << cliErr();
  EXPECT_EQ(cliWithoutWine32("check --slot 4"), 1) << cliErr();
  const std::string checked = test::readFile(home / "cli.out");
  std::cout << checked;
  EXPECT_TRUE(contains(checked, "FAIL  wine-")) << checked;
  EXPECT_TRUE(contains(checked, "apt-get install wine32:i386")) << checked;
  secondsUntilNoneLeft(30);
  // With the part, the same host passes.
  setenv("WINEPREFIX", prefix().c_str(), 1);
  EXPECT_EQ(cli("check --slot 4"), 0) << test::readFile(home / "cli.out");
  secondsUntilNoneLeft(30);
}

}  // namespace
