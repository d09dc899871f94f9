// The game does what the user set: slots launched through the real tarvex-cli
// into a real id Tech 3 dedicated server (ioquake3's ioq3ded with
// OpenArena's data), on loopback only, and read back through the server's own
// query protocol: getstatus, and the remote console with the slot's password.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>
#include <tuple>

#include "core/TestSupport.h"
#include "platform/Platform.h"
#include "query/ServerQuery.h"
#include "saves/SaveFile.h"

namespace fs = std::filesystem;
using namespace tarvex;

namespace {
const fs::path kEngine = "/usr/lib/ioquake3/ioq3ded";
const fs::path kEngineData = "/usr/lib/openarena-server/baseoa";
constexpr const char* kRcon = "tarvex-rcon";

// A catalogue of OpenArena maps in the program's own format.
std::string openArenaCatalogue() {
  std::string text = "Maps of the engine test\r\n[start]\r\n";
  for (const char* map : {"oa_dm1 0", "oa_dm2 0", "oa_ctf2 1"}) {
    const std::string entry(map);
    const std::string name = entry.substr(0, entry.find(' '));
    text += "pak1-maps.pk3\r\n" + name + "\r\n" + name + "\r\nOpenArena\r\n" + entry.substr(entry.find(' ') + 1) +
            "\r\n\\" + name + ".jpg\r\n\r\n";
  }
  return text;
}

class Engine : public ::testing::Test {
 protected:
  test::TempFolder app, game, home;
  int port = 0;
  pid_t run = -1;  // a tarvex-cli run of the test

  void SetUp() override {
    if (!fs::exists(kEngine) || !fs::is_directory(kEngineData))
      GTEST_SKIP() << "SKIPPED: the engine test needs Debian's openarena-server (ioq3ded), which is not installed";
    // Each test its own port, so that tests may run side by side.
    static int next = 27000 + int(getpid() % 500) * 2;
    port = next++;
    fs::create_directories(game / "BaseEF");
    for (const auto& entry : fs::directory_iterator(kEngineData)) {
      const auto name = entry.path().filename().string();
      if (name.ends_with(".pk3") || name.ends_with(".so"))
        fs::create_symlink(fs::canonical(entry.path()), game / "BaseEF" / name);
    }
    test::writeFile(game / "stvoyHM.exe", "");
    test::writeFile(app / "path.ini", game.path().string() + "/\r\n");
    test::writeFile(app / "maps.ini", openArenaCatalogue());
  }

  void TearDown() override {
    if (run > 0) {
      kill(run, SIGTERM);
      waitpid(run, nullptr, 0);
    }
    stopServer();
    if (serverPid() > 0) kill(serverPid(), SIGKILL);
  }

  Configuration configuration() const {
    Configuration config;
    config.catalogue = loadCatalogueFile(app / "maps.ini").catalogue;
    config.settings.setText("Console_Password", kRcon);
    config.settings.setSwitch("NetPort_Yes", true);
    config.settings.setText("NetPort", std::to_string(port));
    return config;
  }

  // The configuration saved in slot 4, and the runner's environment.
  void prepare(const Configuration& config, bool consoleLog = true) {
    test::writeFile(slotPath(app.path(), 4), writeSave(slotTitle(4), "engine test", config));
    setenv("TARVEX_GAME_RUNNER", TARVEX_ENGINE_RUNNER, 1);
    setenv("TARVEX_ENGINE_PIDFILE", (home / "server.pid").c_str(), 1);
    setenv("TARVEX_ENGINE_HOME", home.path().c_str(), 1);
    if (consoleLog)
      setenv("TARVEX_ENGINE_LOG", (home / "console.log").c_str(), 1);
    else
      unsetenv("TARVEX_ENGINE_LOG");
  }

  // tarvex-cli COMMAND --slot 4 (and more), its output in cli.out, its error output in cli.err; its exit status.
  int cli(const std::string& arguments) {
    const std::string command = std::string(TARVEX_PROGRAM_DIR "/tarvex-cli --app-folder '") + app.path().string() +
                                "' " + arguments + " >" + (home / "cli.out").string() + " 2>" +
                                (home / "cli.err").string();
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // tarvex-cli launch of the configuration as saved in slot 4; its exit status.
  int launch(const Configuration& config) {
    prepare(config);
    return cli("launch --slot 4");
  }

  // Starts tarvex-cli run of slot 4 with the options given, its notes in run.err.
  void startRun(std::vector<std::string> options) {
    run = fork();
    if (run == 0) {
      const std::string err = (home / "run.err").string();
      freopen("/dev/null", "w", stdout);
      freopen(err.c_str(), "w", stderr);
      std::vector<std::string> words{"tarvex-cli", "--app-folder", app.path().string(), "run", "--slot", "4"};
      words.insert(words.end(), options.begin(), options.end());
      std::vector<char*> argv;
      for (auto& word : words) argv.push_back(word.data());
      argv.push_back(nullptr);
      execv(TARVEX_PROGRAM_DIR "/tarvex-cli", argv.data());
      _exit(127);
    }
    ASSERT_GT(run, 0);
  }

  // Ends the server of the pid file (SIGTERM: the engine writes its files).
  void stopServer() {
    const pid_t pid = serverPid();
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 50 && kill(pid, 0) == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
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

  std::optional<ServerStatus> status() {
    std::string error, problem;
    const auto answers = platform::udpExchange("127.0.0.1", port, statusRequest(), {500, 1, 0}, error);
    if (answers.empty()) return std::nullopt;
    return parseStatusResponse(answers.front(), problem);
  }

  // Waits until the server runs the map (a map load takes a few seconds).
  ServerStatus waitForMap(const std::string& map) {
    for (int i = 0; i < 60; ++i) {
      if (auto answer = status(); answer && answer->value("mapname") == map) return *answer;
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    ADD_FAILURE() << "the server never ran " << map << "; its console:\n" << test::readFile(home / "console.log");
    return {};
  }

  std::string rcon(const std::string& command) {
    std::string error;
    const auto answers = platform::udpExchange("127.0.0.1", port, rconRequest(kRcon, command), {1000, 1, 150}, error);
    return parseRconAnswer(answers).value_or("(no answer: " + error + ")");
  }

  // Every console variable as the server holds it, from one "cvarlist": lines
  // of flags, the name and the quoted value. (The server answers few remote
  // commands a second, so one command reads them all.)
  std::map<std::string, std::string> variables() {
    std::map<std::string, std::string> held;
    std::string answer = rcon("cvarlist");
    for (std::size_t at = 0; at < answer.size();) {
      const auto end = std::min(answer.find('\n', at), answer.size());
      const std::string line = answer.substr(at, end - at);
      at = end + 1;
      const auto quote = line.find(" \"");
      if (quote == std::string::npos || line.back() != '"') continue;
      const auto nameStart = line.rfind(' ', quote - 1);
      held[line.substr(nameStart + 1, quote - nameStart - 1)] = line.substr(quote + 2, line.size() - quote - 3);
    }
    return held;
  }

  // Reads every variable back, prints what it read, and compares.
  void expectVariables(const std::map<std::string, std::string>& expected, const char* when) {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // the remote console's pace
    const auto held = variables();
    std::cout << "  " << when << ":\n";
    for (const auto& [name, value] : expected) {
      const auto found = held.find(name);
      const std::string text = found == held.end() ? "(not set)" : found->second;
      std::cout << "    " << name << " = \"" << text << "\"\n";
      EXPECT_EQ(text, value) << name << " " << when;
    }
  }
};

TEST_F(Engine, EverySettingOfTheScriptHoldsWhatTheUserSetAndTheRotationCycles) {
  Configuration config = configuration();
  ServerSettings& s = config.settings;
  // Each box as the user set it, and the variable the server must then hold.
  const std::tuple<const char*, const char*, const char*> boxes[] = {
      {"Server_Name", "^1Red ^7Engine Test", "sv_hostname"},
      {"Server_Quote_Text", "Set phasers; to stun", "g_motd"},
      {"Private_Password", "secret", "sv_privatePassword"},
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
      {"NetIP", "127.0.0.1", "net_ip"}};
  std::map<std::string, std::string> settings = {{"bot_minplayers", "0"},
                                                 {"g_doWarmup", "1"},
                                                 {"g_warmup", "10"},
                                                 {"g_friendlyfire", "1"},
                                                 {"g_weaponrespawn", "5"},
                                                 {"g_allowvote", "0"},
                                                 {"g_gametype", "3"},
                                                 {"g_spSkill", "4"},
                                                 {"sv_allowDownload", "1"},
                                                 {"sv_cheats", "1"},
                                                 {"sv_pure", "0"},
                                                 {"sv_floodProtect", "1"},
                                                 {"net_port", std::to_string(port)},
                                                 {"dedicated", "1"},
                                                 {"fraglimit", "11"},
                                                 {"timelimit", "12"}};
  for (const char* box :
       {"Player_Respawn_Yes", "kick_yes", "Cheats_yes", "friendly_yes", "write_memory", "NetIP_Check"})
    s.setSwitch(box, true);
  for (const auto& [field, value, variable] : boxes) {
    s.setText(field, value);
    settings[variable] = value;
  }
  s.setSwitch("Pure_yes", false);
  s.setSwitch("allow_vote", false);
  for (const char* choice : {"dedicated_internet", "Game_Team_DM", "skill4"}) s.select(choice);  // no heartbeat here
  config.rotation.maps = {"oa_dm1", "oa_dm2"};
  config.catalogue.rows[0].fragLimit = "11";
  config.catalogue.rows[0].timeLimit = "12";
  config.catalogue.rows[1].fragLimit = "21";
  config.catalogue.rows[1].timeLimit = "22";
  ASSERT_EQ(launch(config), 0) << test::readFile(home / "cli.err");
  waitForMap("oa_dm1");
  // tarvex-cli status finds the server by the slot's port, as a host would ask.
  ASSERT_EQ(cli("status --slot 4"), 0);
  const std::string table = test::readFile(home / "cli.out");
  std::cout << table;
  for (const char* line : {"Server:        Red Engine Test\n", "Map:           oa_dm1\n",
                           "Game type:     Team Death Match\n", "Frag limit:    11\n"})
    EXPECT_NE(table.find(line), std::string::npos) << line;
  expectVariables(settings, "after the first map");
  // What the engine runs when a match ends.
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  rcon("vstr nextmap");
  waitForMap("oa_dm2");
  settings["fraglimit"] = "21";
  settings["timelimit"] = "22";
  expectVariables(settings, "after the rotation advanced");
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  rcon("vstr nextmap");
  waitForMap("oa_dm1");
  expectVariables({{"fraglimit", "11"}, {"g_gravity", "400"}, {"sv_cheats", "1"}}, "back at the first map");
}

// The longest values a box takes reach the server whole.
TEST_F(Engine, TheLongestValuesReachTheServerWhole) {
  Configuration config = configuration();
  std::map<std::string, std::string> expected;
  const std::pair<const char*, const char*> texts[] = {{"Server_Name", "sv_hostname"},
                                                       {"Server_Quote_Text", "g_motd"},
                                                       {"Private_Password", "sv_privatePassword"},
                                                       {"Master3", "sv_master3"},
                                                       {"Master5", "sv_master5"}};
  char letter = 'a';
  for (const auto& [field, variable] : texts) {
    std::string value(kMaxValueBytes, letter++);
    // Comment marks are text inside quotes (and so are semicolons, but for the server's name).
    value.replace(0, 10, std::string(field) == "Server_Name" ? "/* // */ :" : "/* // */ ;");
    config.settings.setText(field, value);
    expected[variable] = value;
  }
  config.rotation.maps = {"oa_dm1"};
  config.catalogue.rows[0].fragLimit = "123456789";
  expected["fraglimit"] = "123456789";
  ASSERT_EQ(launch(config), 0) << test::readFile(home / "cli.err");
  waitForMap("oa_dm1");
  expectVariables(expected, "with the longest values");
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
    for (int i = 0; i < 200 && (serverPid() == old || serverPid() <= 0); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_NE(serverPid(), old) << test::readFile(home / "run.err");
    return waitForMap("oa_dm1");
  };
  waitForNewServer(-1);
  // Killed three times, back each time.
  for (int i = 0; i < 3; ++i) {
    const pid_t server = serverPid();
    kill(server, SIGKILL);
    EXPECT_EQ(waitForNewServer(server).value("sv_hostname"), "Kept Up");
  }
  // A hung server (stopped) no longer answers: the watchdog ends it and starts another.
  const pid_t hung = serverPid();
  kill(hung, SIGSTOP);
  waitForNewServer(hung);
  const std::string notes = test::readFile(home / "run.err");
  std::cout << notes;
  EXPECT_NE(notes.find("The game ended (signal 9)."), std::string::npos);
  EXPECT_NE(notes.find("The server stopped answering: it is started again."), std::string::npos);
  EXPECT_NE(notes.find("tarvex-slot4.cfg"), std::string::npos);  // run's own script, named on the command line
  EXPECT_TRUE(fs::exists(game / "BaseEF" / "tarvex-slot4.cfg"));
  EXPECT_FALSE(fs::exists(game / "BaseEF" / "tarvex.cfg"));

  // No second server on its port, by launch or run.
  EXPECT_EQ(cli("launch --slot 4"), 1);
  EXPECT_NE(test::readFile(home / "cli.err").find("a game server answers there: \"Kept Up\""), std::string::npos)
      << test::readFile(home / "cli.err");
  EXPECT_EQ(cli("run --slot 4"), 1);
  EXPECT_NE(test::readFile(home / "cli.err").find("is in use"), std::string::npos);

  // The log: the server's own output, within its bound, earlier files kept.
  const fs::path log = app / "logs" / "slot4.log";
  EXPECT_TRUE(fs::exists(log.string() + ".1"));
  for (const auto& file : {log, fs::path(log.string() + ".1"), fs::path(log.string() + ".2")})
    if (fs::exists(file)) {
      EXPECT_LE(fs::file_size(file), 16u * 1024) << file;
    }
  EXPECT_FALSE(fs::exists(log.string() + ".3"));

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

// The game module puts the map's gravity back at every map_restart, which
// warmup's end runs: run sets the user's again. A match with bots plays out
// its warmup here.
TEST_F(Engine, GravityHoldsAfterWarmupsRestartUnderRun) {
  Configuration config = configuration();
  config.settings.setText("game_gravity", "350");
  config.settings.setText("WarmupTime", "3");
  config.settings.setText("MinPlayers", "2");  // bots fill the server, so warmup ends
  config.rotation.maps = {"oa_dm1"};
  prepare(config, false);
  startRun({"--watchdog", "0"});  // no status asks: the restart is seen in the game's output
  waitForMap("oa_dm1");
  const fs::path log = app / "logs" / "slot4.log";
  const auto starts = [&] {
    const std::string text = test::readFile(log);
    std::size_t count = 0;
    for (std::size_t at = 0; (at = text.find("Game Initialization", at)) != std::string::npos; ++at) ++count;
    return count;
  };
  for (int i = 0; i < 300 && starts() < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_GE(starts(), 2u) << "warmup never ended; the server's output:\n" << test::readFile(log);
  // The restart put the map's gravity back, and run set the user's again.
  const std::string text = test::readFile(log);
  const std::size_t restart = text.find("Game Initialization", text.find("Game Initialization") + 1);
  EXPECT_LT(text.find("g_gravity changed to 800", restart), text.find("g_gravity changed to 350", restart)) << text;
  EXPECT_NE(text.find("g_gravity changed to 350", restart), std::string::npos);
  expectVariables({{"g_gravity", "350"}, {"g_doWarmup", "1"}}, "after warmup's map_restart");
}

// A box unchecked after a launch that used it puts back the engine's own
// value; the passwords never reach the engine's configuration file.
TEST_F(Engine, SettingsDoNotLingerAndPasswordsAreNotKept) {
  Configuration config = configuration();
  config.settings.setText("Private_Password", "private-secret");
  config.settings.setSwitch("write_max_yes", true);
  config.settings.setText("MaxRate", "12000");
  config.settings.setSwitch("write_memory", true);
  config.settings.setText("Memory", "160");
  config.settings.setSwitch("NetIP_Check", true);
  config.settings.setText("NetIP", "127.0.0.1");
  config.rotation.maps = {"oa_dm1"};
  ASSERT_EQ(launch(config), 0) << test::readFile(home / "cli.err");
  waitForMap("oa_dm1");
  expectVariables({{"sv_maxRate", "12000"}, {"com_hunkMegs", "160"}}, "with the boxes checked");
  stopServer();
  const std::string first = engineConfiguration();
  EXPECT_NE(first.find("com_hunkMegs \"160\""), std::string::npos) << first;  // the engine keeps it itself
  for (const std::string& secret : {std::string("private-secret"), std::string(kRcon)})
    EXPECT_EQ(first.find(secret), std::string::npos) << secret;
  EXPECT_EQ(first.find("net_ip"), std::string::npos);

  config.settings.setSwitch("write_max_yes", false);
  config.settings.setSwitch("write_memory", false);
  config.settings.setSwitch("NetIP_Check", false);
  ASSERT_EQ(launch(config), 0) << test::readFile(home / "cli.err");
  waitForMap("oa_dm1");
  // The memory is reserved before any script runs: its default takes effect at the next start.
  expectVariables({{"sv_maxRate", "0"}}, "with the boxes unchecked");
  stopServer();
  const std::string second = engineConfiguration();
  EXPECT_EQ(second.find("com_hunkMegs \"160\""), std::string::npos) << second;
  EXPECT_EQ(second.find("sv_maxRate \"12000\""), std::string::npos);
  EXPECT_EQ(second.find("private-secret"), std::string::npos);
}

}  // namespace

namespace {
// A launch returns at once inside $(...) and into a pipe closed early, and
// the game lives on: its output goes to its log, never to tarvex-cli's own.
TEST(Launch, ReturnsAtOnceAndTheGameLivesOnWithItsOutputInItsLog) {
  test::TempFolder app, game;
  fs::create_directories(game / "BaseEF");
  test::writeFile(game / "stvoyHM.exe", "");
  test::writeFile(app / "path.ini", game.path().string() + "/\r\n");
  fs::copy_file(fs::path(TARVEX_PROGRAM_DIR) / "maps.ini", app / "maps.ini");
  Configuration config;
  config.catalogue = loadCatalogueFile(app / "maps.ini").catalogue;
  config.rotation.maps = {config.catalogue.rows.at(0).name};
  test::writeFile(slotPath(app.path(), 1), writeSave(slotTitle(1), "chatty", config));
  // A stand-in game that talks until it is ended.
  const fs::path runner = game / "chatty.sh";
  test::writeFile(
      runner, "#!/bin/sh\necho $$ > \"$0.pid\"\nwhile :; do echo \"a line of the game's output\"; sleep 0.1; done\n");
  fs::permissions(runner, fs::perms::owner_all);
  setenv("TARVEX_GAME_RUNNER", runner.c_str(), 1);
  const std::string cli = std::string(TARVEX_PROGRAM_DIR "/tarvex-cli --app-folder '") + app.path().string() + "'";
  const auto gamePid = [&] { return std::stoi(test::readFile(runner.string() + ".pid")); };

  // The old launch shared its output with the game: $(...) waited for the game's end.
  const std::string captured = (app / "captured.txt").string();
  EXPECT_EQ(std::system(
                ("timeout 20 sh -c 'out=$(" + cli + " launch --slot 1) && echo \"$out\" > " + captured + "'").c_str()),
            0);
  EXPECT_EQ(test::readFile(captured).substr(0, 8), "Started ");
  pid_t pid = gamePid();
  EXPECT_EQ(kill(pid, 0), 0);
  kill(-pid, SIGKILL);

  // A pipe closed after ten bytes once ended the game with it (SIGPIPE).
  fs::remove(runner.string() + ".pid");
  const std::string head = (app / "head.txt").string();
  EXPECT_EQ(std::system(("timeout 20 sh -c '" + cli + " launch --slot 1 | head -c 10 > " + head + "'").c_str()), 0);
  EXPECT_EQ(test::readFile(head), "Started st");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  pid = gamePid();
  EXPECT_EQ(kill(pid, 0), 0) << "the game ended with the pipe";
  kill(-pid, SIGKILL);
  unsetenv("TARVEX_GAME_RUNNER");
  EXPECT_NE(test::readFile(app / "logs" / "slot1.log").find("a line of the game's output\n"), std::string::npos);
  EXPECT_NE(test::readFile(app / "logs" / "slot1.log.1").find("a line of the game's output\n"), std::string::npos);
}
}  // namespace
