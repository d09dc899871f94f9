#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "RecordingServices.h"
#include "cli/Cli.h"
#include "core/TestSupport.h"
#include "launch/Launch.h"
#include "saves/SaveFile.h"
#include "startup/DataFolder.h"

using namespace tarvex;

namespace {
struct CliRun {
  int status = 0;
  std::string out;
  std::string err;
};

// The exit status, and every part in the error output.
void expectRun(const CliRun& r, int status, std::initializer_list<std::string> parts = {}) {
  EXPECT_EQ(r.status, status) << r.err;
  for (const auto& part : parts) EXPECT_TRUE(test::contains(r.err, part)) << part << " in " << r.err;
}

// The shipped map list and slots, and a game. Messages go to the console
// and are recorded; process starts are recorded, never real.
struct CliFixture : test::GameInstall {
  struct Services : test::RecordingServices {
    std::ostream* console = nullptr;
    void message(const std::string& text, Icon icon) override {
      ConsoleServices(*console).message(text, icon);
      RecordingServices::message(text, icon);
    }
  } services;

  CliFixture() {
    std::filesystem::copy(std::filesystem::path(TARVEX_SOURCE_DATA) / "maps.ini", app / "maps.ini");
    std::filesystem::copy(std::filesystem::path(TARVEX_SOURCE_DATA) / "save", app / "save");
  }

  // The scripted answers carry over from run to run; the log starts afresh.
  CliRun run(std::vector<std::string> args) {
    std::ostringstream out, err;
    services.clear();
    services.console = &err;
    const int status = runCli(args, app.string(), out, err, services);
    return {status, out.str(), err.str()};
  }

  void saveSlot(int slot, const Configuration& config) {
    test::writeFile(slotPath(app, slot), writeSave(slotTitle(slot), "cli test", config));
  }

  Configuration loaded() {
    Configuration config;
    config.catalogue = loadCatalogueFile(app / "maps.ini").catalogue;
    return config;
  }
};
}  // namespace

TEST(Cli, UsageErrorsExitTwoRefusalsAndUnusableSlotsOneWithTheWindowsMessage) {
  CliFixture f;
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"fly"}, {"render", "--slot"}, {"render", "--slot", "10"}, {"render", "--slot", "1", "--save", "x"}}) {
    const CliRun r = f.run(args);
    expectRun(r, 2, {"Usage:"});
    EXPECT_TRUE(r.out.empty());
  }
  EXPECT_EQ(f.run({"--help"}).status, 0);
  EXPECT_TRUE(test::contains(f.run({"--version"}).out, "tarvex-cli"));
  CliRun r = f.run({"render"});  // start values: no maps, and a word on where maps come from
  expectRun(r, 1, {std::string(kNoMapsMessage) + "\ntarvex-cli: without --slot N or --save FILE"});
  EXPECT_TRUE(r.out.empty());
  r = f.run({"render", "--slot", "2"});
  expectRun(r, 1);
  EXPECT_EQ(r.err, std::string(kNeverUsedMessage) + "\n");
  r = f.run({"launch", "--save", (f.app / "nowhere.sav").string()});
  expectRun(r, 1, {"nowhere.sav"});
  EXPECT_FALSE(test::contains(r.err, "#0"));
  EXPECT_TRUE(f.services.started.empty());
}

TEST(Cli, RenderPrintsTheScriptLaunchWritesItAndStartsTheSavedServerType) {
  CliFixture f;
  Configuration config = f.loaded();
  config.rotation.maps = {"hm_voy1", "ctf_kln1"};
  test::set(config.settings, {"Server_Name=From the shell", "dedicated_internet"});
  config.catalogue.rows[10].fragLimit = "42";
  f.saveSlot(5, config);
  const CliRun rendered = f.run({"--app-folder", f.app.string(), "render", "--slot", "5"});
  EXPECT_EQ(rendered.status, 0);
  EXPECT_TRUE(test::contains(rendered.out, "\r\nseta sv_hostname \"From the shell\"\r\n"));
  EXPECT_TRUE(test::contains(
      rendered.out,
      "\r\nSet m1 \"fraglimit 42; timelimit 0; capturelimit 5; map hm_voy1; set nextmap vstr m2\"\r\n"
      "Set m2 \"fraglimit 10; timelimit 0; capturelimit 5; map ctf_kln1; set nextmap vstr m1\"\r\nvstr m1\r\n\r\n"));
  EXPECT_FALSE(std::filesystem::exists(f.game / "BaseEF" / "tarvex.cfg"));  // render writes nothing
  EXPECT_TRUE(f.services.started.empty());
  const CliRun r = f.run({"launch", "--slot", "5"});
  EXPECT_EQ(r.status, 0);
  // The game's output goes to the slot's log, never to tarvex-cli's terminal or pipe.
  const std::string log = (f.app / "logs" / "slot5.log").string();
  // The start's token, by which its server is told from any other on the port.
  const auto token = f.services.started.empty() ? std::string() : f.services.started[0].arguments.at(8);
  EXPECT_EQ(token.size(), 16u);
  EXPECT_EQ(r.out, "Started stvoyHM.exe +set dedicated 2 +sets configured_by Tarvex +sets tarvex_id " + token +
                       " +exec tarvex.cfg in " + f.gameFolderText() + "\nIts output goes to " + log + ".\n");
  EXPECT_EQ(test::readFile(f.game / "BaseEF" / "tarvex.cfg"), rendered.out);
  ASSERT_EQ(f.services.started.size(), 1u);
  const ProcessRequest& started = f.services.started[0];
  EXPECT_EQ(started.workingFolder + "|" + started.executable + "|" + started.logFile,
            f.gameFolderText() + "|" + (f.game / "stvoyHM.exe").string() + "|" + log);
}

// Any end within a second is reported, exit status 0 too, with the log's
// place; without a known game folder nothing is written, and the hint is
// for a machine without the window.
TEST(Cli, AGameThatCannotStartOrEndsAtOnceExitsThreeAfterTheScriptWasWritten) {
  CliFixture f;
  Configuration config = f.loaded();
  config.rotation.maps = {"hm_borg1"};
  f.saveSlot(5, config);
  f.services.processFailure = ProcessFailure{"exit status 0", "err:module:import_dll Library not found", "the.log"};
  CliRun r = f.run({"launch", "--slot", "5"});
  expectRun(r, 3, {"(exit status 0)", "Library not found", "All it printed is in the.log."});
  EXPECT_TRUE(r.out.empty());
  EXPECT_TRUE(std::filesystem::exists(f.game / "BaseEF" / "tarvex.cfg"));
  f.services.processFailure.reset();
  f.services.startError = "cannot run wine: No such file or directory";
  expectRun(f.run({"launch", "--slot", "5"}), 3, {"No such file"});
  std::filesystem::remove(f.app / "path.ini");
  r = f.run({"launch", "--slot", "5"});
  expectRun(r, 1, {"--app-folder"});
  EXPECT_FALSE(test::contains(r.err, "Refind"));
}

// Installs the user cannot write: each has a data folder of the user's own,
// a relative game folder is taken from the program folder, and what only
// reads writes nothing anywhere.
TEST(Cli, AProgramFolderTheUserCannotWriteIsReadThroughTheUsersFolder) {
  namespace fs = std::filesystem;
  CliFixture f;
  Configuration config = f.loaded();
  config.rotation.maps = {"hm_borg1"};
  f.saveSlot(6, config);
  test::writeFile(f.app / "path.ini", fs::relative(f.game, f.app).string() + "/\r\n");
  const fs::path other = f.root / "Other";  // a second install beside the first, its slot 6 another server
  fs::copy(f.app, other, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  config.settings.setText("Server_Name", "Install B");
  test::writeFile(slotPath(other, 6), writeSave(slotTitle(6), "b", config));
  test::TempFolder user;
  setenv("XDG_DATA_HOME", user.path().c_str(), 1);
  const auto readOnly = [&](fs::perms perms) {
    for (const fs::path& app : {f.app, other})
      for (const fs::path& folder : {app / "save", app}) fs::permissions(folder, perms);
  };
  readOnly(fs::perms::owner_read | fs::perms::owner_exec);
  const CliRun rendered = f.run({"render", "--slot", "6"});
  const bool nothingWritten = fs::is_empty(user.path());
  const CliRun launched = f.run({"launch", "--slot", "6"});
  const CliRun maps = f.run({"maps", "--slot", "6"});
  const CliRun second = f.run({"--app-folder", other.string(), "launch", "--slot", "6"});
  readOnly(fs::perms::owner_all);
  unsetenv("XDG_DATA_HOME");
  expectRun(rendered, 0);
  EXPECT_TRUE(nothingWritten);
  expectRun(launched, 0);
  EXPECT_TRUE(test::contains(maps.out, "hm_borg1\tinstalled")) << maps.out;
  // The first install's files were taken over into the user's folder, as the window does.
  const fs::path first = user / "tarvex";
  EXPECT_TRUE(fs::exists(first / "path.ini"));
  EXPECT_TRUE(fs::exists(first / "save" / "save6.sav"));
  EXPECT_EQ(fs::status(first / "save" / "save6.sav").permissions(), fs::perms::owner_read | fs::perms::owner_write);
  // The second has its own: its slot, its server.
  expectRun(second, 0);
  EXPECT_TRUE(test::contains(test::readFile(f.game / "BaseEF" / "tarvex.cfg"), "\"Install B\""));
  ASSERT_TRUE(fs::is_directory(first / "installs"));
  EXPECT_EQ(std::distance(fs::directory_iterator(first / "installs"), {}), 1);
}

#ifndef _WIN32
// Read-only installs starting for the first time together: one of them
// claims the user's data folder, every other gets a folder of its own.
TEST(Cli, ReadOnlyInstallsStartingTogetherNeverShareADataFolder) {
  namespace fs = std::filesystem;
  test::TempFolder root, user;
  constexpr int kInstalls = 6;
  const fs::path go = root / "go";
  for (int round = 0; round < 5; ++round) {
    fs::remove_all(user / "tarvex");
    std::vector<pid_t> children;
    for (int i = 0; i < kInstalls; ++i) {
      const fs::path program = root / ("install" + std::to_string(i));
      fs::create_directories(program);
      fs::permissions(program, fs::perms::owner_read | fs::perms::owner_exec);
      const pid_t child = fork();
      if (child == 0) {
        setenv("XDG_DATA_HOME", user.path().c_str(), 1);
        while (!fs::exists(go)) std::this_thread::yield();
        const fs::path folder = dataFolderFor(program);
        std::ofstream(root / ("answer" + std::to_string(i))) << folder.string();
        _exit(0);
      }
      children.push_back(child);
    }
    test::writeFile(go, "");
    for (const pid_t child : children) waitpid(child, nullptr, 0);
    fs::remove(go);
    std::set<std::string> folders;
    for (int i = 0; i < kInstalls; ++i) {
      const fs::path folder = test::readFile(root / ("answer" + std::to_string(i)));
      folders.insert(folder.string());
      EXPECT_EQ(servedProgramFolder(folder), root / ("install" + std::to_string(i))) << folder;
    }
    EXPECT_EQ(folders.size(), std::size_t(kInstalls)) << "round " << round;
    EXPECT_EQ(folders.count((user / "tarvex").string()), 1u);
  }
}
#endif

TEST(Cli, MapsListsNameInstalledClassRestoredLimitsAndTheSlotsRotation) {
  CliFixture f;
  std::filesystem::remove(f.game / "BaseEF" / "pak0.pk3");
  Configuration config = f.loaded();
  config.catalogue.rows[0].fragLimit = "77";
  config.rotation.maps = {"ctf_voy2", "hm_borg1"};
  f.saveSlot(1, config);
  const CliRun r = f.run({"maps", "--slot", "1"});
  expectRun(r, 0);
  for (const char* line :
       {"hm_borg1\tmissing\tHoloMatch (refused for CTF)\tfrag 77\ttime 0\tcapture 5\n",
        "ctf_voy2\tmissing\tCTF\tfrag 10",
        "\nRotation (2 maps):\n   1. ctf_voy2\tfrag 10\ttime 0\tcapture 5\n   2. hm_borg1\tfrag 77\t"})
    EXPECT_TRUE(test::contains(r.out, line)) << r.out;
  const CliRun json = f.run({"maps", "--slot", "1", "--json"});
  expectRun(json, 0);
  const auto parsed = nlohmann::json::parse(json.out);
  EXPECT_EQ(parsed["rotation"][1]["limits"]["frag"], "77");
  EXPECT_EQ(parsed["maps"][0]["installed"], "missing");
  EXPECT_FALSE(nlohmann::json::parse(f.run({"maps", "--json"}).out).contains("rotation"));
}

// run: a game that ends at once is started again after a wait, until the
// crash-loop limit; what launch refuses, run refuses before starting anything.
TEST(Cli, RunGivesUpOnAGameThatKeepsEndingAndRefusesWhatLaunchRefuses) {
  CliFixture f;
  Configuration config = f.loaded();
  config.rotation.maps = {"hm_borg1"};
  f.saveSlot(5, config);
  setenv("TARVEX_GAME_RUNNER", "/bin/false", 1);
  const CliRun r = f.run({"run", "--slot", "5", "--restart-limit", "2", "--watchdog", "0"});
  unsetenv("TARVEX_GAME_RUNNER");
  expectRun(r, 4,
            {"The game ended (exit status 1).", "Starting the game again in 1 s.",
             "Gave up: the game ended 2 times within 600 s."});
  // Its own script; its notes in its log too, which log shows.
  EXPECT_TRUE(std::filesystem::exists(f.game / "BaseEF" / "tarvex-slot5.cfg"));
  EXPECT_FALSE(std::filesystem::exists(f.game / "BaseEF" / "tarvex.cfg"));
  EXPECT_TRUE(test::contains(f.run({"log", "--slot", "5"}).out, "Gave up"));
  expectRun(f.run({"log", "--slot", "6"}), 1);
  expectRun(f.run({"run"}), 1);  // no maps
  f.services.portTaken = "a game server answers there: \"Other\"";
  expectRun(f.run({"run", "--slot", "5"}), 1, {"its port 27960 is in use (a game server answers there: \"Other\")"});
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"launch", "--watchdog", "3"}, {"run", "--log-size", "0"}, {"run", "--restart-limit", "x"}, {"run", "-f"}})
    expectRun(f.run(args), 2);
}
