// The game does what the user set: slots launched through the real tarvex-cli
// into a real id Tech 3 dedicated server (ioquake3's ioq3ded with OpenArena's
// data) on loopback only, read back through getstatus and the remote console.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>
#include <tuple>

#include "core/TestSupport.h"
#include "engine/EngineSupport.h"
#include "platform/Processes.h"
#include "platform/Udp.h"
#include "query/ServerQuery.h"
#include "saves/SaveFile.h"

namespace fs = std::filesystem;
using namespace tarvex;
using Variables = std::map<std::string, std::string>;
using test::contains;

namespace {
const fs::path kEngine = "/usr/lib/ioquake3/ioq3ded";
using engine::kEngineData;
using engine::pause;
constexpr const char* kRcon = "tarvex-rcon";

// "name=value" pairs, so that a table of variables reads as one.
Variables variablesOf(std::initializer_list<std::string> pairs) {
  Variables out;
  for (const auto& pair : pairs) out[pair.substr(0, pair.find('='))] = pair.substr(pair.find('=') + 1);
  return out;
}

class Engine : public ::testing::Test {
 protected:
  test::TempFolder app, game, home;
  int port = 0;
  pid_t run = -1;  // a tarvex-cli run of the test

  void SetUp() override {
    if (!fs::exists(kEngine) || !fs::is_directory(kEngineData))
      GTEST_SKIP() << "SKIPPED: the engine test needs Debian's openarena-server (ioq3ded), which is not installed";
    static int next = 27000 + int(getpid() % 500) * 2;  // each test its own port
    port = next++;
    engine::makeGameFolders(app.path(), game.path());
    test::writeFile(game / "stvoyHM.exe", "");
  }

  void TearDown() override {
    if (run > 0 && kill(run, SIGTERM) == 0) waitpid(run, nullptr, 0);
    stopServer();
    if (serverPid() > 0) kill(serverPid(), SIGKILL);
  }

  Configuration configuration() const {
    Configuration config;
    config.catalogue = loadCatalogueFile(app / "maps.ini").catalogue;
    test::set(config.settings,
              {std::string("Console_Password=") + kRcon, "NetPort_Yes=1", "NetPort=" + std::to_string(port)});
    return config;
  }

  // The configuration saved in slot 4, and the runner's environment.
  void prepare(const Configuration& config, bool consoleLog = true) {
    test::writeFile(slotPath(app.path(), 4), writeSave(slotTitle(4), "engine test", config));
    setenv("TARVEX_GAME_RUNNER", TARVEX_ENGINE_RUNNER, 1);
    setenv("TARVEX_ENGINE_PIDFILE", (home / "server.pid").c_str(), 1);
    setenv("TARVEX_ENGINE_HOME", home.path().c_str(), 1);
    consoleLog ? setenv("TARVEX_ENGINE_LOG", (home / "console.log").c_str(), 1) : unsetenv("TARVEX_ENGINE_LOG");
  }

  // tarvex-cli with these arguments, its output in cli.out and cli.err; its exit status.
  int cli(const std::string& arguments) {
    return engine::tarvexCli(app.path(), arguments, home / "cli.out", home / "cli.err");
  }
  std::string cliErr() { return test::readFile(home / "cli.err"); }

  // tarvex-cli launch of the configuration as saved in slot 4, which must succeed; then the first map's status.
  ServerStatus launch(const Configuration& config) {
    prepare(config);
    EXPECT_EQ(cli("launch --slot 4"), 0) << cliErr();
    return waitForMap(config.rotation.maps.at(0));
  }

  // Starts tarvex-cli with these words, its error output into the file, the
  // engine's pid file where it says; its process.
  pid_t spawnCli(const std::vector<std::string>& words, const fs::path& errFile, const fs::path& pidFile) {
    setenv("TARVEX_ENGINE_PIDFILE", pidFile.c_str(), 1);
    const pid_t child = engine::spawnTarvexCli(app.path(), words, errFile);
    setenv("TARVEX_ENGINE_PIDFILE", (home / "server.pid").c_str(), 1);
    EXPECT_GT(child, 0);
    return child;
  }

  // Starts tarvex-cli run of slot 4 with the options given, its notes in run.err.
  void startRun(std::vector<std::string> words) {
    words.insert(words.begin(), {"run", "--slot", "4"});
    run = spawnCli(words, home / "run.err", home / "server.pid");
  }

  // Ends the server of the pid file (SIGTERM: the engine writes its files).
  void stopServer() {
    const pid_t pid = serverPid();
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 50 && kill(pid, 0) == 0; ++i) pause(100);
    if (kill(pid, 0) != 0) fs::remove(home / "server.pid");
  }

  // The engine's own configuration file, which it writes at every change of a kept variable.
  std::string engineConfiguration() {
    for (const auto& entry : fs::recursive_directory_iterator(home.path()))
      if (entry.path().filename().string().starts_with("q3config")) return test::readFile(entry.path());
    return {};
  }

  pid_t serverPid() {
    const std::string text = test::readFile(home / "server.pid");
    return text.empty() ? -1 : std::stoi(text);
  }

  // Waits until the server runs the map (a map load takes a few seconds).
  ServerStatus waitForMap(const std::string& map) {
    if (auto status = engine::waitForMap(port, map)) return *status;
    ADD_FAILURE() << "the server never ran " << map << "; its console:\n" << test::readFile(home / "console.log");
    return {};
  }

  std::string rcon(const std::string& command) { return engine::rcon(port, kRcon, command); }

  // Reads every variable back with one "cvarlist" (lines of flags, the name
  // and the quoted value), prints what it read, and compares.
  void expectVariables(const Variables& expected, const char* when) {
    Variables held;
    std::istringstream answer(rcon("cvarlist"));
    for (std::string line; std::getline(answer, line);)
      if (const auto quote = line.find(" \""); quote != std::string::npos && line.back() == '"') {
        const auto name = line.rfind(' ', quote - 1) + 1;
        held[line.substr(name, quote - name)] = line.substr(quote + 2, line.size() - quote - 3);
      }
    std::cout << "  " << when << ":\n";
    for (const auto& [name, value] : expected) {
      const std::string text = held.contains(name) ? held[name] : "(not set)";
      std::cout << "    " << name << " = \"" << text << "\"\n";
      EXPECT_EQ(text, value) << name << " " << when;
    }
  }
};

TEST_F(Engine, EverySettingOfTheScriptHoldsWhatTheUserSetAndTheRotationCycles) {
  Configuration config = configuration();
  ServerSettings& s = config.settings;
  // Each box as the user set it, and the variable the server must then hold.
  // The longest texts a box takes reach the server whole, comment marks and semicolons in quotes as text.
  const auto longest = [](std::string text) { return text + std::string(kMaxValueBytes - text.size(), 'x'); };
  const std::tuple<const char*, std::string, const char*> boxes[] = {
      {"Server_Name", "^1Red ^7Engine Test", "sv_hostname"},
      {"Server_Quote_Text", longest("Set phasers; to stun /* // */ "), "g_motd"},
      {"Private_Password", longest("secret /* // */ ;"), "sv_privatePassword"},
      {"Master3", longest("/* // */ ;"), "sv_master3"},
      {"Master5", longest("master5 //"), "sv_master5"},
      {"MaxPlayers", "12", "sv_maxclients"},
      {"gamespeed", "320", "g_speed"},
      {"game_gravity", "400", "g_gravity"},
      {"Quad_Text", "4", "g_quadfactor"},
      {"Knockback_Text", "900", "g_knockback"},
      {"Max_Ping", "400", "sv_maxPing"},
      {"Min_Ping", "20", "sv_minPing"},
      {"Private_Text", "2", "sv_privateClients"},
      {"Player_Respawn_Time", "7", "g_forcerespawn"},
      {"kick_text", "90", "g_inactivity"},
      {"Memory", "160", "com_hunkMegs"},
      {"MaxRate", "12000", "sv_maxRate"},
      {"NetIP", "127.0.0.1", "net_ip"}};
  Variables settings = variablesOf({"bot_minplayers=0", "g_doWarmup=1", "g_warmup=10", "g_friendlyfire=1",
                                    "g_weaponrespawn=5", "g_allowvote=0", "g_gametype=3", "g_spSkill=4",
                                    "sv_allowDownload=1", "sv_cheats=1", "sv_pure=0", "sv_floodProtect=1",
                                    "net_port=" + std::to_string(port), "dedicated=1", "fraglimit=11", "timelimit=12"});
  test::set(s, {"Player_Respawn_Yes=1", "kick_yes=1", "Cheats_yes=1", "friendly_yes=1", "write_memory=1",
                "write_max_yes=1", "NetIP_Check=1", "Pure_yes=0", "allow_vote=0", "dedicated_internet", "Game_Team_DM",
                "skill4"});  // an internet server's heartbeats reach nothing here
  for (const auto& [field, value, variable] : boxes) {
    s.setText(field, value);
    settings[variable] = value;
  }
  config.rotation.maps = {"oa_dm1", "oa_dm2"};
  config.catalogue.rows[0].fragLimit = "11";
  config.catalogue.rows[0].timeLimit = "12";
  config.catalogue.rows[1].fragLimit = "21";
  config.catalogue.rows[1].timeLimit = "22";
  launch(config);
  // tarvex-cli status finds the server by the slot's port, as a host would ask.
  ASSERT_EQ(cli("status --slot 4"), 0);
  const std::string table = test::readFile(home / "cli.out");
  std::cout << table;
  for (const char* line : {"Server:        Red Engine Test\n", "Map:           oa_dm1\n",
                           "Game type:     Team Death Match\n", "Frag limit:    11\n"})
    EXPECT_TRUE(contains(table, line)) << line;
  expectVariables(settings, "after the first map");
  rcon("vstr nextmap");  // what the engine runs when a match ends
  waitForMap("oa_dm2");
  settings["fraglimit"] = "21";
  settings["timelimit"] = "22";
  expectVariables(settings, "after the rotation advanced");
  rcon("vstr nextmap");
  waitForMap("oa_dm1");
  expectVariables(variablesOf({"fraglimit=11", "g_gravity=400", "sv_cheats=1"}), "back at the first map");
  // Unchecked after a launch that used them, the boxes put back the engine's
  // own values (the memory, reserved before any script runs, at the next
  // start); the passwords never reach the engine's own configuration file.
  for (bool checked : {true, false}) {
    if (!checked) {
      for (const char* box : {"write_max_yes", "write_memory", "NetIP_Check"}) s.setSwitch(box, false);
      launch(config);
      expectVariables(variablesOf({"sv_maxRate=0"}), "with the boxes unchecked");
    }
    stopServer();
    const std::string kept = engineConfiguration();
    EXPECT_EQ(contains(kept, "com_hunkMegs \"160\""), checked) << kept;  // the engine keeps it itself
    EXPECT_FALSE((!checked && contains(kept, "sv_maxRate \"12000\"")) || contains(kept, "net_ip"));
    EXPECT_FALSE(contains(kept, "secret /*") || contains(kept, kRcon));
  }
}

// tarvex-cli run keeps the server up: a killed server is back within the
// back-off, a hung one is restarted by the watchdog, a second server on its
// port is refused, the log stays within its bound, and SIGTERM leaves nothing.
TEST_F(Engine, RunKeepsTheServerUpAndStopsItCleanly) {
  Configuration config = configuration();
  config.settings.setText("Server_Name", "Kept Up");
  config.rotation.maps = {"oa_dm1"};
  prepare(config, false);  // the server's output goes through run into its log
  startRun({"--watchdog", "2", "--stop-timeout", "3", "--log-size", "16K", "--log-keep", "2"});
  const auto waitForNewServer = [&](pid_t old) {
    for (int i = 0; i < 400 && (serverPid() == old || serverPid() <= 0); ++i) pause(100);
    EXPECT_NE(serverPid(), old) << test::readFile(home / "run.err");
    return waitForMap("oa_dm1");
  };
  waitForNewServer(-1);
  for (int i = 0; i < 3; ++i) {  // killed three times, back each time
    const pid_t server = serverPid();
    kill(server, SIGKILL);
    EXPECT_EQ(waitForNewServer(server).value("sv_hostname"), "Kept Up");
  }
  // A hung server (stopped) no longer answers: the watchdog ends it and starts another.
  const pid_t hung = serverPid();
  const auto stoppedAt = std::chrono::steady_clock::now();
  kill(hung, SIGSTOP);
  waitForNewServer(hung);
  std::cout << "  a stopped server was started again after "
            << std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - stoppedAt).count()
            << " s (--watchdog 2, --stop-timeout 3)\n";
  const std::string notes = test::readFile(home / "run.err");
  std::cout << notes;
  EXPECT_TRUE(contains(notes, "The game ended (signal 9)."));
  EXPECT_TRUE(contains(notes, "The server stopped answering: it is started again (watchdog restart 1"));
  EXPECT_TRUE(contains(notes, "tarvex-slot4.cfg"));  // run's own script, named on the command line
  EXPECT_TRUE(fs::exists(game / "BaseEF" / "tarvex-slot4.cfg"));
  EXPECT_FALSE(fs::exists(game / "BaseEF" / "tarvex.cfg"));
  // No second server of the slot, by launch or run; none of another slot on its port.
  for (const char* command : {"launch --slot 4", "run --slot 4"}) {
    EXPECT_EQ(cli(command), 1);
    EXPECT_TRUE(contains(cliErr(), "slot4 is running already (process " + std::to_string(run) + " runs it)"))
        << cliErr();
  }
  test::writeFile(slotPath(app.path(), 5), writeSave(slotTitle(5), "engine test", config));
  EXPECT_EQ(cli("launch --slot 5"), 1);
  EXPECT_TRUE(contains(cliErr(), "a game server answers there: \"Kept Up\"")) << cliErr();
  // The log: the server's own output, within its bound, earlier files kept.
  const std::string log = (app / "logs" / "slot4.log").string();
  EXPECT_TRUE(fs::exists(log + ".1"));
  for (const auto& file : {log, log + ".1", log + ".2"})
    EXPECT_LE(fs::exists(file) ? fs::file_size(file) : 0, 16u * 1024) << file;
  EXPECT_FALSE(fs::exists(log + ".3"));
  // SIGTERM: the server asked to end, run ends with 0, no server left.
  const pid_t last = serverPid();
  kill(run, SIGTERM);
  int status = -1;
  waitpid(run, &status, 0);
  run = -1;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_NE(kill(last, 0), 0);
  EXPECT_NE(kill(hung, 0), 0);
  fs::remove(home / "server.pid");
}

// The checks take a console password with single comment characters,
// semicolons and backslashes: the game sets it from the script and its
// remote console reads it back whole.
TEST_F(Engine, AConsolePasswordTheChecksTakeOpensTheRemoteConsole) {
  Configuration config = configuration();
  test::set(config.settings, {"Console_Password=a/b*c;d*/e\\f/"});
  config.rotation.maps = {"oa_dm1"};
  launch(config);
  pause(600);
  EXPECT_EQ(cli("rcon --slot 4 echo tarvex-heard"), 0) << cliErr();
  EXPECT_TRUE(contains(test::readFile(home / "cli.out"), "tarvex-heard")) << test::readFile(home / "cli.out");
}

// Two runs of two slots on one port, started together, both pass the port
// check; the engine of one takes the next port. That run finds the other's
// server on its port by the token, stops its game and says so.
TEST_F(Engine, TwoRunsOnOnePortNeverServeEachOthersConfiguration) {
  Configuration config = configuration();
  config.rotation.maps = {"oa_dm1"};
  prepare(config, false);
  test::writeFile(slotPath(app.path(), 5), writeSave(slotTitle(5), "engine test", config));
  run = spawnCli({"run", "--slot", "4", "--watchdog", "2"}, home / "run4.err", home / "server.pid");
  const pid_t other = spawnCli({"run", "--slot", "5", "--watchdog", "2"}, home / "run5.err", home / "server5.pid");
  // One of the two ends, with 1, within a few seconds of the first answer.
  int status = -1;
  pid_t ended = 0;
  for (int i = 0; i < 300 && ended == 0; ++i, pause(100))
    for (pid_t candidate : {run, other})
      if (waitpid(candidate, &status, WNOHANG) == candidate) ended = candidate;
  const std::string notes = test::readFile(home / "run4.err") + test::readFile(home / "run5.err");
  std::cout << notes;
  ASSERT_NE(ended, 0) << "both runs went on";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  // Whichever comes second finds the port taken before its start, or the other server answering after it.
  EXPECT_TRUE(contains(notes, "Another server answers on the game's port: this game is stopped.") ||
              contains(notes, "is in use"))
      << notes;
  const pid_t survivor = ended == run ? other : run;
  EXPECT_EQ(kill(survivor, 0), 0);
  kill(survivor, SIGTERM);
  waitpid(survivor, nullptr, 0);
  run = -1;
  for (const auto& file : {home / "server.pid", home / "server5.pid"}) {
    const std::string pid = test::readFile(file);
    if (!pid.empty()) {
      EXPECT_NE(kill(std::stoi(pid), 0), 0) << file << " still runs";  // no game left behind
    }
  }
}

// A restart at a time of day: the players are told a minute before through
// the remote console, the server is started again and plays once more.
TEST_F(Engine, AScheduledRestartWarnsThePlayersAndStartsTheServerAgain) {
  Configuration config = configuration();
  config.rotation.maps = {"oa_dm1"};
  prepare(config, false);
  // The minute that begins 61 to 120 seconds from now: its 1-minute warning is still to come.
  const std::time_t at = (std::time(nullptr) + 120) / 60 * 60;
  std::tm local{};
  localtime_r(&at, &local);
  char time[8];
  std::strftime(time, sizeof time, "%H:%M", &local);
  startRun({"--watchdog", "2", "--restart-at", time});
  waitForMap("oa_dm1");
  const pid_t first = serverPid();
  for (int i = 0; i < 1500 && !contains(test::readFile(home / "run.err"), "The scheduled restart"); ++i) pause(100);
  for (int i = 0; i < 300 && (serverPid() == first || serverPid() <= 0); ++i) pause(100);
  waitForMap("oa_dm1");
  const std::string notes = test::readFile(home / "run.err");
  std::cout << notes;
  EXPECT_TRUE(contains(notes, "Said to the players: The server restarts in 1 minute.")) << notes;
  EXPECT_TRUE(contains(notes, "The scheduled restart: the game is stopped and started again")) << notes;
  EXPECT_NE(serverPid(), first);
  // The server itself said it to the players.
  EXPECT_TRUE(contains(test::readFile(app / "logs" / "slot4.log"), "The server restarts in 1 minute."));
}

// Under systemd: run says READY=1 when the server first answers, the map in
// its STATUS=, WATCHDOG=1 while it waits and STOPPING=1 when stopped; list
// shows the running slot with its map, stop ends it as SIGTERM does.
TEST_F(Engine, RunTellsSystemdHowTheServerIsAndListAndStopReachIt) {
  Configuration config = configuration();
  config.rotation.maps = {"oa_dm1"};
  prepare(config, false);
  const fs::path socketPath = home / "notify.sock";
  const int listener = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  setenv("NOTIFY_SOCKET", socketPath.c_str(), 1);
  const auto started = std::chrono::steady_clock::now();
  startRun({"--watchdog", "2"});
  unsetenv("NOTIFY_SOCKET");
  std::string heard;
  const auto listen = [&](const std::string& until, int seconds) {
    for (int i = 0; i < seconds * 10 && !contains(heard, until); ++i) {
      pollfd ready{listener, POLLIN, 0};
      if (poll(&ready, 1, 100) <= 0) continue;
      char buffer[4096];
      const auto got = recv(listener, buffer, sizeof buffer, 0);
      if (got > 0) heard += std::string(buffer, std::size_t(got)) + "\n";
    }
  };
  listen("READY=1", 30);
  listen("STATUS=Running oa_dm1", 10);
  EXPECT_TRUE(contains(heard, "READY=1")) << heard;
  EXPECT_TRUE(contains(heard, "STATUS=Running oa_dm1, 0 of")) << heard;
  EXPECT_TRUE(contains(heard, "WATCHDOG=1")) << heard;
  EXPECT_EQ(cli("list"), 0) << cliErr();
  const std::string listed = test::readFile(home / "cli.out");
  std::cout << listed;
  EXPECT_TRUE(contains(listed, "slot4\t" + std::to_string(run) + "\trun\t")) << listed;
  EXPECT_TRUE(contains(listed, "\t" + std::to_string(port) + "\toa_dm1\t0/")) << listed;
  EXPECT_EQ(cli("stop --slot 4"), 0) << cliErr();
  int status = -1;
  EXPECT_EQ(waitpid(run, &status, 0), run);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  run = -1;
  listen("STOPPING=1", 5);
  EXPECT_TRUE(contains(heard, "STOPPING=1")) << heard;
  // systemd's watchdog hears from run once in ten seconds, never in a burst at each check.
  std::size_t pings = 0;
  for (std::size_t at = 0; (at = heard.find("WATCHDOG=1", at)) != std::string::npos; ++at) ++pings;
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
  EXPECT_LE(pings, std::size_t(2 + seconds.count() / 10)) << heard;
  close(listener);
  EXPECT_EQ(cli("list"), 0);
  EXPECT_TRUE(contains(test::readFile(home / "cli.out"), "runs.")) << test::readFile(home / "cli.out");
}

// A status page on the same host asks 20 times a second: the engine drops
// about half of all questions from this address, the watchdog's too. A
// server that answers its console is alive: it is never restarted.
TEST_F(Engine, TheWatchdogNeverRestartsABusyServer) {
  Configuration config = configuration();
  config.rotation.maps = {"oa_dm1"};
  prepare(config, false);
  startRun({"--watchdog", "2"});
  waitForMap("oa_dm1");
  const pid_t server = serverPid();
  const auto start = std::chrono::steady_clock::now();
  int asked = 0, answered = 0;
  for (auto next = start; next < start + std::chrono::seconds(40); next += std::chrono::milliseconds(50)) {
    std::this_thread::sleep_until(next);  // 20 a second
    answered += platform::udpExchange("127.0.0.1", port, statusRequest(), {40, 1, 0}).ok();
    ++asked;
  }
  const std::string notes = test::readFile(home / "run.err");
  std::cout << "  " << answered << " of " << asked << " status questions of the load were answered\n" << notes;
  EXPECT_EQ(serverPid(), server);
  EXPECT_FALSE(contains(notes, "stopped answering")) << notes;
  EXPECT_LT(answered, asked);  // the load was heavy enough to be dropped
}

// The game module puts the map's gravity back at every map_restart, which
// warmup's end runs: run sets the user's again. Bots fill the server, so
// that warmup ends.
TEST_F(Engine, GravityHoldsAfterWarmupsRestartUnderRun) {
  Configuration config = configuration();
  test::set(config.settings, {"game_gravity=350", "WarmupTime=3", "MinPlayers=2"});
  config.rotation.maps = {"oa_dm1"};
  prepare(config, false);
  startRun({"--watchdog", "0"});  // no status asks: the restart is seen in the game's output
  waitForMap("oa_dm1");
  const fs::path log = app / "logs" / "slot4.log";
  const auto restart = [&] {  // where the second start of the game module begins
    const std::string text = test::readFile(log);
    const auto first = text.find("Game Initialization");
    return first == std::string::npos ? first : text.find("Game Initialization", first + 1);
  };
  for (int i = 0; i < 300 && restart() == std::string::npos; ++i) pause(100);
  const std::string text = test::readFile(log);
  ASSERT_NE(restart(), std::string::npos) << "warmup never ended; the server's output:\n" << text;
  // The restart put the map's gravity back, and run set the user's again.
  EXPECT_LT(text.find("g_gravity changed to 800", restart()), text.find("g_gravity changed to 350", restart()));
  EXPECT_TRUE(contains(text.substr(restart()), "g_gravity changed to 350")) << text;
  expectVariables(variablesOf({"g_gravity=350", "g_doWarmup=1"}), "after warmup's map_restart");
}

// verify reads every variable the slot sets back from the running server:
// none differs after a start, the one an admin changed does, and those the
// engine does not know are listed apart.
TEST_F(Engine, VerifyShowsWhatTheRunningServerHoldsOtherwiseThanTheSlot) {
  Configuration config = configuration();
  test::set(config.settings, {"Server_Name=Verified Host", "MaxPlayers=12"});
  config.rotation.maps = {"oa_dm1"};
  prepare(config, false);
  startRun({"--watchdog", "2"});
  waitForMap("oa_dm1");
  pause(600);
  const auto verify = [&](const std::string& options) {
    const int status = cli("verify --slot 4" + options);
    const std::string out = test::readFile(home / "cli.out");
    std::cout << out << cliErr();
    return std::pair(status, out);
  };
  auto [same, shown] = verify("");
  EXPECT_EQ(same, 0) << cliErr();
  EXPECT_TRUE(contains(shown, "variables compared, all as the slot sets them")) << shown;
  EXPECT_FALSE(contains(shown, "Differs:")) << shown;
  rcon("sv_hostname Changed By Admin");
  pause(600);
  auto [differs, changed] = verify("");
  EXPECT_EQ(differs, 1);
  EXPECT_TRUE(contains(changed,
                       "Differs: \"Server Title\" (server-title, sv_hostname): the slot sets \"Verified Host\", "
                       "the server holds \"Changed By Admin\"."))
      << changed;
  EXPECT_EQ(changed.find("Differs:"), changed.rfind("Differs:"));  // that one alone
  EXPECT_TRUE(contains(changed, "Not known to the server:")) << changed;
  const auto [jsonStatus, json] = verify(" --json");
  EXPECT_EQ(jsonStatus, 1);
  const auto parsed = nlohmann::json::parse(json);
  ASSERT_EQ(parsed["differences"].size(), 1u) << json;
  EXPECT_EQ(parsed["differences"][0]["server"], "Changed By Admin");
  EXPECT_FALSE(parsed["unknown"].empty());
  EXPECT_GT(parsed["compared"].get<int>(), 20);
  // The console: a line at a time, each answered, the server's log lines as they come; exit ends it.
  test::writeFile(home / "typed.txt", "echo heard-by-console\n\nsay from-the-console\nexit\necho never-sent\n");
  EXPECT_EQ(cli("console --slot 4 < '" + (home / "typed.txt").string() + "'"), 0) << cliErr();
  const std::string console = test::readFile(home / "cli.out");
  std::cout << console;
  EXPECT_TRUE(contains(console, "The console of slot4 at 127.0.0.1:" + std::to_string(port))) << console;
  EXPECT_TRUE(contains(console, "\nheard-by-console\n")) << console;
  EXPECT_TRUE(contains(console, "from-the-console")) << console;  // the server's log says it
  EXPECT_FALSE(contains(console, "never-sent")) << console;
  EXPECT_EQ(test::readFile(app / "logs" / "slot4.log").find("never-sent"), std::string::npos);
}

// restart --when-empty: bots do not count, so a server with only bots on
// restarts at once; run reads the slot again at that start, so a change
// made with config --set meanwhile takes effect; a slot that no longer
// passes its checks keeps the last good configuration.
TEST_F(Engine, ARestartWhenEmptyComesWithBotsOnAndTakesTheSlotsChanges) {
  Configuration config = configuration();
  test::set(config.settings, {"Server_Name=Before", "MinPlayers=2"});
  config.rotation.maps = {"oa_dm1"};
  prepare(config, false);
  startRun({"--watchdog", "2"});
  waitForMap("oa_dm1");
  ServerStatus status;
  for (int i = 0; i < 100 && status.players.empty(); ++i, pause(100)) status = waitForMap("oa_dm1");
  ASSERT_FALSE(status.players.empty()) << "no bot joined";
  EXPECT_EQ(cli("config --slot 4 --set server-title=After"), 0) << cliErr();
  const pid_t first = serverPid();
  // A human player: a client connection, which the server drops 12 s after it fell silent.
  const std::string human = engine::standInClient(home.path());
  if (!human.empty()) {
    pause(1100);
    rcon("sv_timeout 12");
    EXPECT_EQ(
        std::system(
            (human + " " + std::to_string(port) + " Stand-in >'" + (home / "human.out").string() + "' 2>&1").c_str()),
        0)
        << test::readFile(home / "human.out");
  } else {
    std::cout << "  no stand-in player: the test engine's source (for its Huffman coder) is not here\n";
  }
  const auto asked = std::chrono::steady_clock::now();
  EXPECT_EQ(cli("restart --slot 4 --when-empty"), 0) << cliErr();
  EXPECT_TRUE(contains(test::readFile(home / "cli.out"), "slot4 restarts once no human player is on"));
  for (int i = 0; i < 600 && (serverPid() == first || serverPid() <= 0); ++i) pause(100);
  const auto waited = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - asked);
  EXPECT_EQ(waitForMap("oa_dm1").value("sv_hostname"), "After");
  std::string notes = test::readFile(home / "run.err");
  std::cout << notes << "  restarted " << waited.count() << " s after it was asked\n";
  EXPECT_TRUE(contains(notes, "A restart was asked for once no player is on")) << notes;
  EXPECT_TRUE(contains(notes, "The restart asked for: the game is stopped and started again")) << notes;
  EXPECT_TRUE(contains(notes, "The slot changed since the last start: the game starts with its new configuration."));
  if (!human.empty()) {
    // The human, not the bots, kept it waiting, and heard why.
    EXPECT_TRUE(contains(notes, "1 player is on: the restart waits until the server is empty.")) << notes;
    EXPECT_TRUE(contains(notes, "Said to the players: The server restarts once the last player has left.")) << notes;
    EXPECT_GE(waited.count(), 10);
  } else {
    EXPECT_FALSE(contains(notes, "players are on")) << notes;  // the bots were not counted
  }
  // A slot its checks refuse (no map to play): the next start keeps what ran.
  Configuration broken = config;
  test::set(broken.settings, {"Server_Name=Refused"});
  broken.rotation.maps.clear();
  test::writeFile(slotPath(app.path(), 4), writeSave(slotTitle(4), "engine test", broken));
  const pid_t second = serverPid();
  EXPECT_EQ(cli("restart --slot 4"), 0) << cliErr();
  for (int i = 0; i < 300 && (serverPid() == second || serverPid() <= 0); ++i) pause(100);
  EXPECT_EQ(waitForMap("oa_dm1").value("sv_hostname"), "After");
  notes = test::readFile(home / "run.err");
  EXPECT_TRUE(contains(notes,
                       "The slot no longer passes its checks (said above): the game starts with the last "
                       "configuration that did."))
      << notes;
  EXPECT_TRUE(contains(rcon("echo still-ours"), "still-ours"));  // the password that ran is kept
}

// A launch returns at once inside $(...) and into a pipe closed early, and
// the game lives on: its output goes to its log, never to tarvex-cli's own.
TEST(Launch, ReturnsAtOnceAndTheGameLivesOnWithItsOutputInItsLog) {
  test::GameInstall g;
  fs::copy_file(fs::path(TARVEX_PROGRAM_DIR) / "maps.ini", g.app / "maps.ini");
  Configuration config;
  config.catalogue = loadCatalogueFile(g.app / "maps.ini").catalogue;
  config.rotation.maps = {config.catalogue.rows.at(0).name};
  test::writeFile(slotPath(g.app, 1), writeSave(slotTitle(1), "chatty", config));
  // A stand-in game that talks until it is ended.
  const fs::path runner = g.game / "chatty.sh";
  test::writeFile(
      runner, "#!/bin/sh\necho $$ > \"$0.pid\"\nwhile :; do echo \"a line of the game's output\"; sleep 0.1; done\n");
  fs::permissions(runner, fs::perms::owner_all);
  setenv("TARVEX_GAME_RUNNER", runner.c_str(), 1);
  const std::string cli = std::string(TARVEX_PROGRAM_DIR "/tarvex-cli --app-folder '") + g.app.string() + "'";
  const std::string out = (g.app / "out.txt").string();
  // Inside $(...), which waits for the end of all who share its output; into a
  // pipe closed after ten bytes, whose SIGPIPE must not end the game.
  for (const std::string& shell : {"out=$(" + cli + " launch --slot 1) && echo \"$out\" > " + out,
                                   cli + " launch --slot 1 | head -c 10 > " + out}) {
    fs::remove(runner.string() + ".pid");
    EXPECT_EQ(std::system(("timeout 20 sh -c '" + shell + "'").c_str()), 0) << shell;
    EXPECT_EQ(test::readFile(out).substr(0, 10), "Started st");
    pause(500);
    const pid_t pid = std::stoi(test::readFile(runner.string() + ".pid"));
    EXPECT_EQ(kill(pid, 0), 0) << "the game ended with " << shell;
    kill(-pid, SIGKILL);
    // The game holds its slot while it runs: the next launch waits for its end.
    for (int i = 0; i < 50 && platform::processStartTime(pid); ++i) pause(50);
  }
  unsetenv("TARVEX_GAME_RUNNER");
  for (const char* log : {"slot1.log", "slot1.log.1"})
    EXPECT_TRUE(contains(test::readFile(g.app / "logs" / log), "a line of the game's output\n")) << log;
}

}  // namespace
