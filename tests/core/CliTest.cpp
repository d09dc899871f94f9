#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "RecordingServices.h"
#include "cli/Cli.h"
#include "cli/Run.h"
#include "config/ServerSettings.h"
#include "core/TestSupport.h"
#include "launch/Launch.h"
#include "pk3/Pk3Archive.h"
#include "platform/Processes.h"
#include "platform/RotatingLog.h"
#include "platform/SystemServices.h"
#include "saves/Backup.h"
#include "saves/SaveFile.h"
#include "server/Instance.h"
#include "startup/DataFolder.h"
#include "util/Text.h"

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
    // The machine's own services' folder is never looked at.
    setenv("TARVEX_SYSTEM_FOLDER", (root / "no-services").c_str(), 1);
    // Nor is systemd's folder of units written.
    setenv("TARVEX_UNIT_FOLDER", (root / "units").c_str(), 1);
    std::filesystem::copy(std::filesystem::path(TARVEX_SOURCE_DATA) / "maps.ini", app / "maps.ini");
    std::filesystem::copy(std::filesystem::path(TARVEX_SOURCE_DATA) / "save", app / "save");
  }

  // The scripted answers carry over from run to run; the log starts afresh.
  CliRun run(std::vector<std::string> args, const std::string& input = {}) {
    std::ostringstream out, err;
    std::istringstream in(input);
    services.clear();
    services.console = &err;
    const int status = runCli(args, app.string(), out, err, services, &in);
    return {status, out.str(), err.str()};
  }

#ifndef _WIN32
  // As run, in a child process: acting as the services' user changes a process's ids for good.
  CliRun runInChild(const std::vector<std::string>& args) {
    int channel[2];
    if (pipe(channel) != 0) return {-1, {}, "no pipe"};
    const pid_t child = fork();
    if (child == 0) {
      close(channel[0]);
      const CliRun r = run(args);
      const std::string text = std::to_string(r.out.size()) + "\n" + r.out + r.err;
      for (std::size_t at = 0; at < text.size();) {
        const ssize_t n = write(channel[1], text.data() + at, text.size() - at);
        if (n <= 0) break;
        at += std::size_t(n);
      }
      _exit(r.status);
    }
    close(channel[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;) text.append(buffer, std::size_t(n));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    const std::size_t line = text.find('\n');
    const std::size_t outSize = line == std::string::npos ? 0 : std::stoul(text.substr(0, line));
    const std::string rest = line == std::string::npos ? text : text.substr(line + 1);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, rest.substr(0, outSize), rest.substr(outSize)};
  }
#endif

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
  // One table makes the help of each command and the manual page; --opt=value is taken.
  CliRun help = f.run({"config", "--help"});
  expectRun(help, 0);
  EXPECT_TRUE(test::contains(help.out, "--keys") && !test::contains(help.out, "Exit status:")) << help.out;
  for (const char* command : {"run", "status", "rcon", "config", "service"}) {
    // The footer's paragraphs are broken into lines (the first line is the command's summary).
    const std::string out = f.run({command, "--help"}).out;
    const auto lines = splitLines(out);
    for (std::size_t i = 1; i < lines.size(); ++i)
      if (!lines[i].starts_with(' ')) {
        EXPECT_LE(lines[i].size(), 78u) << command << ": " << lines[i];
      }
  }
  // Every command's help, with the defaults that the constants hold, as a host reads it.
  EXPECT_EQ(f.run({"--help-all"}).out, test::golden("help_all.txt"));
  const std::string manual = f.run({"--manual-page"}).out;
  for (const char* command : {"render",
                              "launch",
                              "run",
                              "log",
                              "stop",
                              "restart",
                              "list",
                              "maps",
                              "status",
                              "rcon",
                              "console",
                              "verify",
                              "backup",
                              "restore",
                              "find\\-maps",
                              "game\\-folder",
                              "config",
                              "service",
                              "\"service install\"",
                              "\"service status\""})
    EXPECT_TRUE(test::contains(manual, std::string(".SS ") + command + "\n")) << command;
  // What only the program itself starts stays out of the help and the manual.
  for (const char* hidden : {"write\\-log", "\\-\\-service\n"}) EXPECT_FALSE(test::contains(manual, hidden));
  for (const char* part : {".B \\-\\-system\n", ".B \\-\\-watchdog S\n", ".SH \"EXIT STATUS\"", "/var/lib/tarvex"})
    EXPECT_TRUE(test::contains(manual, part)) << part;
  // A full stop or quote is guarded only where roff would read it as a request: at a line's start.
  for (std::size_t at = manual.find("\\&"); at != std::string::npos; at = manual.find("\\&", at + 1))
    EXPECT_TRUE(at > 0 && manual[at - 1] == '\n') << manual.substr(at > 40 ? at - 40 : 0, 80);
  EXPECT_TRUE(test::contains(manual, "\nevery command's help\n")) << "a quote inside a line is left alone";
  expectRun(f.run({"render", "--slot=2"}), 1, {"config --slot 2 --edit"});
  EXPECT_TRUE(test::contains(f.run({"--version"}).out, "tarvex-cli"));
  CliRun r = f.run({"render"});  // start values: no maps, and a word on where maps come from
  expectRun(r, 1, {std::string(kNoMapsMessage) + "\ntarvex-cli: without --slot N or --save FILE"});
  EXPECT_TRUE(r.out.empty());
  {
    // A slot of no maps is refused by the launch's own check, not sent to look for a slot.
    Configuration empty = f.loaded();
    f.saveSlot(4, empty);
    const CliRun noMaps = f.run({"render", "--slot", "4"});
    expectRun(noMaps, 1, {kNoMapsMessage});
    EXPECT_FALSE(test::contains(noMaps.err, "without --slot N")) << noMaps.err;
  }
  r = f.run({"render", "--slot", "2"});  // the window's words, and where a configuration comes from
  expectRun(r, 1, {"tarvex-cli config --slot 2 --edit"});
  EXPECT_TRUE(r.err.starts_with(std::string(kNeverUsedMessage) + "\n")) << r.err;
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

  EXPECT_TRUE(r.err.empty()) << r.err;

  // A record list cannot write is said, never dropped: the game was started all the same.
  std::filesystem::remove(instanceStateFile(f.app, "slot5"));
  std::filesystem::create_directories(instanceStateFile(f.app, "slot5"));
  const CliRun unrecorded = f.run({"launch", "--slot", "5"});
  EXPECT_EQ(unrecorded.status, 0);
  EXPECT_TRUE(test::contains(unrecorded.err, "Note: list does not show this game: its record")) << unrecorded.err;
}

// Any end within a second is reported, exit status 0 too, with the log's
// place; without a known game folder nothing is written, and the hint is
// for a machine without the window.
TEST(Cli, AGameThatCannotStartOrEndsAtOnceExitsThreeAfterTheScriptWasWritten) {
  CliFixture f;
  Configuration config = f.loaded();
  config.rotation.maps = {"hm_borg1"};
  f.saveSlot(5, config);
  f.services.processFailure = ProcessFailure{"exit status 0", "err:module:import_dll Library not found", "the.log", {}};
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

// launch returns 0 only once its dedicated server answers with the start's
// identity; silence until --start-timeout, or another server on the port,
// ends the game and exits 3. A server with the game's window needs a player
// to come up, and is not waited for. A start that Wine without its 32-bit
// part fails says how to install it.
TEST(Cli, ALaunchSucceedsOnlyOnceItsServerAnswers) {
  CliFixture f;
  Configuration config = f.loaded();
  config.rotation.maps = {"hm_borg1"};
  test::set(config.settings, {"dedicated_internet"});
  f.saveSlot(5, config);
  f.services.startedGameAnswers = false;
  const auto waited = std::chrono::steady_clock::now();
  CliRun r = f.run({"launch", "--slot", "5", "--start-timeout", "1"});
  expectRun(r, 3,
            {"The game was stopped: its server did not answer on its port 27960 within 1 s.",
             "--start-timeout S waits S seconds"});
  EXPECT_GE(std::chrono::steady_clock::now() - waited, std::chrono::seconds(1));
  EXPECT_EQ(f.services.endedStarts, 1);
  EXPECT_TRUE(r.out.empty());
  // Another server took the port between the check and the start.
  f.services.otherServer = "0123456789abcdef";
  expectRun(f.run({"launch", "--slot", "5"}), 3, {"The game was stopped: another server answers on its port 27960."});
  EXPECT_EQ(f.services.endedStarts, 2);
  f.services.otherServer.reset();
  expectRun(f.run({"launch", "--slot", "5", "--start-timeout", "0"}), 2, {"--start-timeout"});
  test::set(config.settings, {"NonDedicated_Button"});
  f.saveSlot(5, config);
  expectRun(f.run({"launch", "--slot", "5", "--start-timeout", "1"}), 0);
  f.services.startedGameAnswers = true;
  f.services.processFailure =
      ProcessFailure{"exit status 0", "err:module:load_wow64_ntdll failed", "the.log", "Install Wine's part"};
  expectRun(f.run({"launch", "--slot", "5"}), 3, {"load_wow64_ntdll failed\n\nInstall Wine's part\n\nAll it"});
  // What Wine prints without its 32-bit part, as Debian's wine and a 64-bit Wine alone print it.
  for (const char* output :
       {"it looks like wine32 is missing, you should install it.\nas root, please execute \"apt-get install "
        "wine32:i386\"",
        "wine: failed to open L\"C:\\windows\\syswow64\\rundll32.exe\": c0000135",
        "0130:err:module:load_wow64_ntdll failed to load L\"\\??\\C:\\windows\\syswow64\\ntdll.dll\" error "
        "c0000135"})
    EXPECT_TRUE(test::contains(platform::startHint(output), "apt-get install wine32:i386")) << output;
  EXPECT_EQ(platform::startHint("VM_Create on game failed\nerror c0000135 elsewhere"), "");
}

// check names each fault that keeps a server from starting, with what to do,
// and exits 1; what only should be mended is a warning. Wine here is a
// stand-in that answers as Debian's does, with and without its 32-bit part.
TEST(Cli, CheckNamesEachFaultThatKeepsTheServerFromStarting) {
  namespace fs = std::filesystem;
  CliFixture f;
  Configuration config = f.loaded();
  config.rotation.maps = {"hm_borg1"};
  f.saveSlot(5, config);
  const fs::path bin = f.root / "bin", prefix = f.root / "prefix";
  test::writeFile(
      bin / "wine",
      "#!/bin/sh\n[ -z \"$NO_WINE32\" ] || echo 'it looks like wine32 is missing, you should install it.' >&2\n"
      "case \"$1\" in\n--version) echo 'wine-8.0 (stand-in)';;\ncmd) mkdir -p "
      "\"$WINEPREFIX/drive_c/windows/syswow64\";;\n"
      "*syswow64*) if [ -n \"$NO_WINE32\" ]; then echo 'wine: failed to open "
      "L\"C:\\\\windows\\\\syswow64\\\\cmd.exe\": c0000135'; "
      "else echo tarvex-32-bit; fi;;\nesac\n");
  fs::permissions(bin / "wine", fs::perms::owner_all);
  const std::string path = std::getenv("PATH");
  setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
  setenv("WINEPREFIX", prefix.c_str(), 1);
  const auto check = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "check");
    return f.run(args);
  };
  CliRun r = check({"--slot", "5"});
  expectRun(r, 0);
  for (const std::string& line :
       {"ok    wine-8.0 (stand-in) starts 32-bit programs, in its prefix " + prefix.string(),
        "ok    The game folder " + f.gameFolderText() + " holds stvoyHM.exe and BaseEF.\n",
        std::string("ok    Slot 5 passes the launch checks.\n"), std::string("ok    Its port 27960 is free.\n"),
        std::string("Nothing keeps the server from starting.\n")})
    EXPECT_TRUE(test::contains(r.out, line)) << line << " in " << r.out;
  // Each fault, and the words that say what to do.
  setenv("NO_WINE32", "1", 1);
  r = check({"--slot", "5"});
  expectRun(r, 1);
  EXPECT_TRUE(test::contains(r.out,
                             "FAIL  wine-8.0 (stand-in) cannot start a 32-bit program such as the game (wine: "
                             "failed to open"))
      << r.out;
  EXPECT_TRUE(test::contains(r.out, "apt-get install wine32:i386\n")) << r.out;
  EXPECT_TRUE(test::contains(r.out, "1 problem keeps the server from starting.\n")) << r.out;
  unsetenv("NO_WINE32");
  setenv("PATH", bin.c_str(), 1);  // no Wine at all
  fs::remove(bin / "wine");
  EXPECT_TRUE(test::contains(check({}).out,
                             "FAIL  Wine cannot be run: cannot run wine: No such file or directory; "
                             "install Wine (with its 32-bit part: dpkg --add-architecture i386"));
  setenv("TARVEX_GAME_RUNNER", "/bin/true", 1);
  fs::permissions(f.game / "BaseEF", fs::perms::owner_read | fs::perms::owner_exec);
  f.services.portTaken = "another program uses it";
  config.rotation.maps.clear();
  f.saveSlot(6, config);
  for (const auto& [args, fault] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--slot", "5"}, "FAIL  BaseEF (" + (f.game / "BaseEF").string() + ") cannot be written by "},
           {{"--slot", "5"},
            "FAIL  Its port 27960 is in use (another program uses it).  Please stop that server, or give this "
            "configuration another net port (tarvex-cli config --set set-net-port=yes net-port=N; \"Set Netport?\" and "
            "\"Net Port\" on the window's Advanced tab)."},
           {{"--slot", "6"}, "FAIL  Slot 6 does not pass the launch checks:  " + std::string(kNoMapsMessage)},
           {{"--slot", "7"},
            "FAIL  Slot 7 was never used.  Make its configuration with \"tarvex-cli config --slot 7 --edit\""}}) {
    r = check(args);
    expectRun(r, 1);
    EXPECT_TRUE(test::contains(r.out, fault)) << fault << " in " << r.out;
  }
  fs::permissions(f.game / "BaseEF", fs::perms::owner_all);
  fs::remove(f.game / "stvoyHM.exe");
  EXPECT_TRUE(
      test::contains(check({}).out, "FAIL  The game folder " + f.gameFolderText() + " does not hold stvoyHM.exe."));
  fs::remove(f.app / "path.ini");
  EXPECT_TRUE(test::contains(check({}).out, "FAIL  The game folder is not known: "));
  // The services' folder must be the services' user's, never root's.
  if (geteuid() == 0) {
    const fs::path system = f.root / "system";
    fs::create_directories(system);
    setenv("TARVEX_SYSTEM_FOLDER", system.c_str(), 1);
    r = check({"--system"});
    unsetenv("TARVEX_SYSTEM_FOLDER");
    EXPECT_TRUE(test::contains(r.out, "FAIL  The services' folder " + system.string() + " belongs to root")) << r.out;
  }
  unsetenv("TARVEX_GAME_RUNNER");
  unsetenv("WINEPREFIX");
  setenv("PATH", path.c_str(), 1);
}

// A shell that forgot --system (root's, most often) is led to the services'
// folder where that holds what the command looked for; where it holds
// nothing of it, nothing is said of it.
TEST(Cli, ACommandThatFindsNothingWhereTheServicesFolderHasItSaysAddSystem) {
  namespace fs = std::filesystem;
  CliFixture f;
  const fs::path system = f.root / "system";
  setenv("TARVEX_SYSTEM_FOLDER", system.c_str(), 1);
  Configuration config = f.loaded();
  config.rotation.maps = {"hm_borg1"};
  test::writeFile(slotPath(system, 3), writeSave(slotTitle(3), "the service's", config));
  test::writeFile(instanceLogFile(system, "slot3"), "the game's output\n");
  const std::string note = "Note: the services' data folder " + system.string() + " holds ";
  expectRun(f.run({"render", "--slot", "3"}), 1,
            {note + "a configuration in slot 3: add --system to work on it (sudo tarvex-cli --system render ...)."});
  expectRun(f.run({"log", "--slot", "3"}), 1, {note + "slot3's log: add --system"});
  test::writeFile(instanceStateFile(system, "slot3"), "started-by=run\npid=1\n");
  expectRun(f.run({"rcon", "--slot", "3", "status"}), 1, {note + "the record of slot3's running server"});
  expectRun(f.run({"list"}), 0, {note + "the records of servers that run: add --system"});
  const CliRun other = f.run({"render", "--slot", "4"});
  expectRun(other, 1);
  EXPECT_FALSE(test::contains(other.err, "Note: the services'")) << other.err;
  unsetenv("TARVEX_SYSTEM_FOLDER");
}

#ifndef _WIN32
// sudo tarvex-cli --system game-folder DIR lets the services write BaseEF
// alone: its group becomes the services', which may write it, and nothing
// else of the game folder changes; a link in its place is never followed.
// The services never start a program they could change, and say how to mend it.
TEST(Cli, TheServicesMayWriteBaseEfAloneAndNeverStartAProgramTheyCouldChange) {
  namespace fs = std::filesystem;
  if (geteuid() != 0) GTEST_SKIP() << "it needs root, to act as the services' user";
  CliFixture f;
  const fs::path system = f.root / "system";
  setenv("TARVEX_SYSTEM_FOLDER", system.c_str(), 1);
  fs::create_directories(system);
  fs::permissions(f.root.path(), fs::perms::owner_all | fs::perms::others_exec);
  ASSERT_EQ(chown(system.c_str(), 65534, 65534), 0);
  const auto statOf = [](const fs::path& path) {
    struct stat info = {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info;
  };
  const struct stat folderBefore = statOf(f.game), programBefore = statOf(f.game / "stvoyHM.exe");
  const fs::path dropIn = f.root / "units" / "tarvex@.service.d" / "game-folder.conf";
  expectRun(
      f.runInChild({"--system", "game-folder", f.game.string()}), 0,
      {"The services may write " + (f.game / "BaseEF").string(), "their sandbox lets them through " + dropIn.string()});
  // The unit's sandbox may write BaseEF: the drop-in names it.
  EXPECT_TRUE(test::contains(test::readFile(dropIn),
                             "\nReadWritePaths=\"" + fs::canonical(f.game / "BaseEF").string() + "\"\n"));
  const struct stat data = statOf(f.game / "BaseEF");
  EXPECT_EQ(data.st_gid, 65534u);
  EXPECT_EQ(data.st_mode & (S_ISGID | S_IRWXG), unsigned(S_ISGID | S_IRWXG));
  for (const auto& [before, path] : {std::pair{folderBefore, f.game}, {programBefore, f.game / "stvoyHM.exe"}}) {
    const struct stat after = statOf(path);
    EXPECT_TRUE(after.st_uid == before.st_uid && after.st_gid == before.st_gid && after.st_mode == before.st_mode)
        << path;
  }
  // A program the services could change is never started: launch refuses, run exits 78.
  Configuration config = f.loaded();
  config.rotation.maps = {"hm_borg1"};
  test::writeFile(slotPath(system, 3), writeSave(slotTitle(3), "the service's", config));
  fs::permissions(f.game / "stvoyHM.exe", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                              fs::perms::group_write | fs::perms::others_read |
                                              fs::perms::others_write);
  const std::string mend = "As root: chown root:root " + (f.game / "stvoyHM.exe").string();
  expectRun(f.runInChild({"--system", "launch", "--slot", "3"}), 1, {"stvoyHM.exe can be changed by nobody", mend});
  expectRun(f.runInChild({"--system", "run", "--slot", "3"}), kExitConfiguration, {mend});
  EXPECT_TRUE(f.services.started.empty());
  const std::string checked = f.runInChild({"--system", "check", "--slot", "3"}).out;
  EXPECT_TRUE(test::contains(checked, "FAIL  " + (f.game / "stvoyHM.exe").string()));
  EXPECT_TRUE(test::contains(checked, "ok    The service's sandbox lets it write BaseEF.")) << checked;
  // Without its drop-in (a purge took it), check says how to make it again.
  fs::remove(dropIn);
  EXPECT_TRUE(test::contains(f.runInChild({"--system", "check", "--slot", "3"}).out,
                             "FAIL  The service's sandbox does not let it write BaseEF: " + dropIn.string() +
                                 " is missing.  As root: tarvex-cli --system game-folder " + f.game.string()));
  // A link in BaseEF's place is never followed.
  fs::rename(f.game / "BaseEF", f.game / "Real");
  fs::create_directory_symlink(f.game / "Real", f.game / "BaseEF");
  ASSERT_EQ(chown((f.game / "Real").c_str(), 0, 0), 0);
  expectRun(f.runInChild({"--system", "game-folder", f.game.string()}), 0, {"the services may not write"});
  EXPECT_EQ(statOf(f.game / "Real").st_gid, 0u);
  unsetenv("TARVEX_SYSTEM_FOLDER");
}
#endif

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
  // A slot changed from the shell is written into the user's folder too.
  const CliRun set = f.run({"config", "--slot", "6", "--set", "server-title=Set Here"});
  const CliRun launched = f.run({"launch", "--slot", "6"});
  const CliRun maps = f.run({"maps", "--slot", "6"});
  const CliRun second = f.run({"--app-folder", other.string(), "launch", "--slot", "6"});
  readOnly(fs::perms::owner_all);
  unsetenv("XDG_DATA_HOME");
  expectRun(rendered, 0);
  EXPECT_TRUE(nothingWritten);
  expectRun(set, 0);
  expectRun(launched, 0);
  EXPECT_TRUE(test::contains(maps.out, "hm_borg1\tinstalled")) << maps.out;
  // The first install's files were taken over into the user's folder, as the window does.
  const fs::path first = user / "tarvex";
  EXPECT_TRUE(fs::exists(first / "path.ini"));
  EXPECT_TRUE(fs::exists(first / "save" / "save6.sav"));
  EXPECT_EQ(fs::status(first / "save" / "save6.sav").permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(test::contains(test::readFile(first / "save" / "save6.sav"), "Set Here"));
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
  // A game that says why it ends, as one missing its game module does.
  const std::filesystem::path crash = f.root / "crash.sh";
  // It keeps what run's record says of it meanwhile, as list reads it.
  const std::filesystem::path records = f.root / "records.txt";
  test::writeFile(crash, "#!/bin/sh\nsleep 0.3\ncat '" + instanceStateFile(f.app, "slot5").string() + "' >> '" +
                             records.string() +
                             "'\necho 'Loading the game'\necho 'VM_Create on game failed'\nexit 3\n");
  std::filesystem::permissions(crash, std::filesystem::perms::owner_all);
  setenv("TARVEX_GAME_RUNNER", crash.c_str(), 1);
  const CliRun r = f.run({"run", "--slot", "5", "--restart-limit", "2", "--watchdog", "0"});
  unsetenv("TARVEX_GAME_RUNNER");
  expectRun(r, kExitGaveUp,
            {"The game ended (exit status 3).", "Starting the game again in 1 s.",
             "Gave up: the game ended 2 times within 600 s.",
             "The game ended right after it was started.  What it printed last:\n\nLoading the game\n"
             "VM_Create on game failed\n",
             "What the game printed last:\n\nLoading the game\nVM_Create on game failed\n",
             "All it printed is in " + (f.app / "logs" / "slot5.log").string() + "."});
  // The record counts the restarts: none at the first start, one at the second.
  const std::string recorded = test::readFile(records);
  EXPECT_TRUE(test::contains(recorded, "started-by=run\n")) << recorded;
  EXPECT_TRUE(test::contains(recorded, "restarts=0\n") && test::contains(recorded, "restarts=1\n")) << recorded;
  // Its own script; its notes in its log too, which log shows.
  EXPECT_TRUE(std::filesystem::exists(f.game / "BaseEF" / "tarvex-slot5.cfg"));
  EXPECT_FALSE(std::filesystem::exists(f.game / "BaseEF" / "tarvex.cfg"));
  // A run that has ended is no longer listed as running.
  EXPECT_FALSE(std::filesystem::exists(instanceStateFile(f.app, "slot5")));
  EXPECT_TRUE(test::contains(f.run({"log", "--slot", "5"}).out, "Gave up"));
  expectRun(f.run({"log", "--slot", "6"}), 1);
  // What no restart mends is said in the status systemd names CONFIG, which the unit does not restart.
  expectRun(f.run({"run"}), kExitConfiguration);                                             // no maps
  expectRun(f.run({"run", "--slot", "6"}), kExitConfiguration, {"config --slot 6 --edit"});  // never used
  config.rotation.maps = {"ctf_kln1", "hm_borg1"};
  test::set(config.settings, {"Game_CTF"});
  f.saveSlot(7, config);
  expectRun(f.run({"run", "--slot", "7"}), kExitConfiguration, {"hm_borg1"});  // refused by the checks
  expectRun(f.run({"launch", "--slot", "7"}), 1);
  f.services.portTaken = "a game server answers there: \"Other\"";
  const std::string logBefore = test::readFile(f.app / "logs" / "slot5.log");
  expectRun(f.run({"run", "--slot", "5"}), 1, {"its port 27960 is in use (a game server answers there: \"Other\")"});
  EXPECT_EQ(test::readFile(f.app / "logs" / "slot5.log"), logBefore);  // a refused start leaves the log alone
  EXPECT_FALSE(std::filesystem::exists(f.app / "logs" / "slot5.log.1"));
  for (const auto& args : std::vector<std::vector<std::string>>{{"launch", "--watchdog", "3"},
                                                                {"run", "--log-size", "0"},
                                                                {"run", "--restart-limit", "x"},
                                                                {"run", "-f"},
                                                                {"run", "--restart-at", "24:00"},
                                                                {"run", "--restart-at", "4:5"},
                                                                {"run", "--restart-warning", "a; quit"}})
    expectRun(f.run(args), 2);
}

namespace {
std::string slotBytes(const CliFixture& f, int slot) { return test::readFile(slotPath(f.app, slot)); }
}  // namespace

// config prints every setting of the table once, in the window's order, and
// writes a slot from such a text: a text read back gives the same text and
// the same file, byte for byte.
TEST(Cli, ConfigPrintsEverySettingAndWritesTheSameSlotFromItsText) {
  CliFixture f;
  CliRun r = f.run({"config", "--slot", "3"});
  expectRun(r, 0);
  EXPECT_TRUE(test::contains(r.out, "# Tarvex configuration of slot 3, unused")) << r.out;
  for (const auto& field : fieldTable()) {
    if (field.readOnly || !keptInSave(field.name)) continue;
    const std::string key(field.kind == FieldKind::Choice ? groupKey(field.group) : field.key);
    const bool once = r.out.find("\n" + key + " =") == r.out.rfind("\n" + key + " =");
    EXPECT_TRUE(test::contains(r.out, "\n" + key + " =") && once) << key;
  }
  EXPECT_TRUE(test::contains(r.out, "\nserver-type = non-dedicated\n"));
  EXPECT_TRUE(test::contains(r.out, "\ngame-type = death-match\n"));
  EXPECT_TRUE(test::contains(r.out, "\nbot-skill = ensign\n"));
  EXPECT_TRUE(test::contains(r.out, "\n# master-server-2 = master.stef1.ravensoft.com (fixed)\n"));
  EXPECT_TRUE(test::contains(r.out, "\n# intermission-time = 10 (not kept in a save file)\n"));
  expectRun(f.run({"config", "--slot", "3", "--set", "intermission-time=20"}), 1,
            {"intermission-time is not kept in a save file: a slot always starts with 10"});
  expectRun(f.run({"config", "--slot", "3", "--set", "server-title=  Blank ends  ", "server-type=dedicated-internet",
                   "game-type=capture-the-flag", "friendly-fire=yes", "set-net-ip=yes", "net-ip=10.0.0.7",
                   "server-quote=\"  quoted ends \"", "map=ctf_kln1 20 15 3", "map=ctf_voy2"}),
            0, {"slot 3 was written"});
  const std::string first = f.run({"config", "--slot", "3"}).out;
  for (const char* line :
       {"\nserver-title = Blank ends\n", "\nserver-quote = \"  quoted ends \"\n",
        "\nserver-type = dedicated-internet\n", "\ngame-type = capture-the-flag\n", "\nfriendly-fire = yes\n",
        "\nnet-ip = 10.0.0.7\n", "\nmap = ctf_kln1 20 15 3\nmap = ctf_voy2 10 0 5\n",
        "\ndescription = Made with tarvex-cli config\n"})
    EXPECT_TRUE(test::contains(first, line)) << line << " in\n" << first;
  // Text -> slot -> text is exact, and so is the slot.
  const std::string slot = slotBytes(f, 3);
  expectRun(f.run({"config", "--slot", "3", "--from", "-"}, first), 0);
  EXPECT_EQ(f.run({"config", "--slot", "3"}).out, first);
  EXPECT_EQ(slotBytes(f, 3), slot);
  // What the slot holds is what the window's Load restores: render uses it.
  const std::string script = f.run({"render", "--slot", "3"}).out;
  EXPECT_TRUE(test::contains(script, "seta sv_hostname \"Blank ends\"")) << script;
  EXPECT_TRUE(test::contains(script, "fraglimit 20; timelimit 15; capturelimit 3; map ctf_kln1"));
#ifndef _WIN32
  EXPECT_EQ(std::filesystem::status(slotPath(f.app, 3)).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif
  // Limits a text could not give back (a hand-edited slot's) are left out, and so kept.
  Configuration odd = f.loaded();
  odd.rotation.maps = {"hm_borg1"};
  odd.catalogue.rows.at(std::size_t(odd.catalogue.lastIndexOf("hm_borg1"))).timeLimit.clear();
  f.saveSlot(8, odd);
  EXPECT_TRUE(test::contains(f.run({"config", "--slot", "8"}).out, "\nmap = hm_borg1\n"));
  // A text file: keys not given keep their values.
  test::writeFile(f.root / "part.txt", "# a comment\r\n  maximum-players =  12 \r\n\r\n");
  expectRun(f.run({"config", "--slot", "3", "--from", (f.root / "part.txt").string()}), 0);
  const std::string second = f.run({"config", "--slot", "3"}).out;
  EXPECT_TRUE(test::contains(second, "\nmaximum-players = 12\n"));
  EXPECT_TRUE(test::contains(second, "\nserver-title = Blank ends\n"));
}

// A text with faults names each faulty line and writes nothing; so does a
// configuration the launch checks refuse.
TEST(Cli, ConfigReportsEachFaultWithItsLineAndWritesNothing) {
  CliFixture f;
  expectRun(f.run({"config", "--slot", "4", "--set", "map=hm_borg1"}), 0);
  expectRun(f.run({"config", "--slot", "1", "--set", "map=hm_borg1"}), 0, {"The configuration of slot 1 was written"});
  const std::string before = slotBytes(f, 4);
  const std::string text =
      "maximum-players = 12\n"
      "maximum-players = 13\n"           // 2: twice
      "no-such-key = 1\n"                // 3
      "game-speed = fast\n"              // 4: digits only
      "friendly-fire = perhaps\n"        // 5
      "game-type = tag\n"                // 6
      "map = no_such_map\n"              // 7
      "a line without an equals sign\n"  // 8
      "map = hm_borg1 1 2\n"             // 9: three words, no map of that name
      "net-ip = 10.0.0.1\n"              // 10: while set-net-ip is no
      "game-gravity = 1234567\n"         // 11: too long
      "server-quote = a\xC2\x81z\n"      // 12: a C1 control, which Windows-1252 leaves undefined
      "server-title = a\x7Fz\n"          // 13: DEL
      "map = ctf_voy2 1 2 3\n"           // 14
      "map = ctf_voy2 4 2 3\n";          // 15: other limits for the same map
  CliRun r = f.run({"config", "--slot", "4", "--from", "-"}, text);
  expectRun(
      r, 1,
      {"standard input, line 2: maximum-players was given on line 1 already", "line 3: there is no key \"no-such-key\"",
       "line 4: game-speed", "digits only", "line 5: friendly-fire takes yes or no",
       "line 6: game-type takes one of: 1-vs-1, death-match", "line 7: the map \"no_such_map\" is not in the map list",
       "line 8: \"a line without", "line 9: the map \"hm_borg1 1 2\"",
       "line 10: net-ip stays empty while set-net-ip is no", "line 11: game-gravity", "at most 5",
       "line 12: server-quote", "control character", "line 13: server-title: \"Server Title:\" holds a control",
       "line 15: the map \"ctf_voy2\" has other limits on line 14", "Nothing was written."});
  EXPECT_EQ(slotBytes(f, 4), before);
  // The launch checks: a console password the remote console cannot read back.
  r = f.run({"config", "--slot", "4", "--from", "-"}, "server-title = x\nconsole-password = a//b\n");
  expectRun(r, 1, {"standard input, line 2: ", "(Console_Password)", "Nothing was written."});
  r = f.run({"config", "--slot", "4", "--set", "maximum-players=x"});
  expectRun(r, 1, {"--set maximum-players=x: maximum-players"});
  EXPECT_EQ(slotBytes(f, 4), before);
  expectRun(f.run({"config", "--slot", "4", "--from", (f.root / "missing.txt").string()}), 1, {"missing.txt"});
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"config"}, {"config", "--slot", "4", "--keys", "--edit"}, {"config", "--slot", "4", "--from"}})
    expectRun(f.run(args), 2, {"Usage:"});
  r = f.run({"config", "--keys"});
  expectRun(r, 0);
  EXPECT_TRUE(test::contains(r.out,
                             "\ngame-type\tServer\t1 VS 1 / Death Match / Team Death Match / Capture The "
                             "Flag\t1-vs-1, death-match, team-death-match, capture-the-flag\tdeath-match\n"))
      << r.out;
  EXPECT_TRUE(test::contains(r.out,
                             "\nnet-port\tAdvanced\tNet Port\tdigits, at most 6, used with set-net-port = "
                             "yes\t27660\n"));
}

#ifndef _WIN32
// --edit opens the editor on the text, offers it again while it does not read
// back clean, and writes it once it does; an unchanged text writes nothing.
TEST(Cli, ConfigEditWritesOnlyATextThatReadsBackClean) {
  CliFixture f;
  const std::filesystem::path editor = f.root / "editor.sh", count = f.root / "count";
  // The first edit breaks a line, the second mends it and sets the map.
  test::writeFile(editor, "#!/bin/sh\nn=$(cat '" + count.string() +
                              "' 2>/dev/null || echo 0)\n"
                              "echo $((n+1)) > '" +
                              count.string() +
                              "'\n"
                              "if [ $n = 0 ]; then sed -i 's/^maximum-players = 8$/maximum-players = eight/' \"$1\"; "
                              "else sed -i 's/^maximum-players = eight$/maximum-players = 9/' \"$1\"; "
                              "echo 'map = hm_borg1' >> \"$1\"; fi\n");
  std::filesystem::permissions(editor, std::filesystem::perms::owner_all);
  setenv("VISUAL", editor.c_str(), 1);
  CliRun r = f.run({"config", "--slot", "7", "--edit"}, "y\n");
  EXPECT_EQ(test::readFile(count), "2\n");
  expectRun(r, 0, {"line ", "maximum-players: \"Maximum Players\" takes digits only", "slot 7 was written"});
  EXPECT_TRUE(test::contains(r.out, "Edit the text again? [Y/n]"));
  EXPECT_TRUE(test::contains(f.run({"config", "--slot", "7"}).out, "\nmaximum-players = 9\n"));
  // Declined: nothing written.
  std::filesystem::remove(count);
  const std::string before = slotBytes(f, 7);
  test::writeFile(editor, "#!/bin/sh\nsed -i 's/^maximum-players = 9$/maximum-players = nine/' \"$1\"\n");
  expectRun(f.run({"config", "--slot", "7", "--edit"}, "N\n"), 1, {"Nothing was written."});
  setenv("VISUAL", "true", 1);
  expectRun(f.run({"config", "--slot", "7", "--edit"}), 0, {"No change: nothing was written."});
  setenv("VISUAL", "false", 1);
  expectRun(f.run({"config", "--slot", "7", "--edit"}), 1, {"The editor (false) ended with exit status 1"});
  // An editor that leaves a link where its file was: the link is not followed.
  const std::filesystem::path elsewhere = f.root / "elsewhere.txt";
  test::writeFile(elsewhere, "maximum-players = 3\n");
  test::writeFile(editor, "#!/bin/sh\nrm \"$1\"; ln -s '" + elsewhere.string() + "' \"$1\"\n");
  setenv("VISUAL", editor.c_str(), 1);
  expectRun(f.run({"config", "--slot", "7", "--edit"}), 1, {"could not be read back"});
  // The text's name is the editor's argument, never a shell's text; the editor may have options.
  const std::filesystem::path spliced = f.root / "a$(touch pwned)b";
  std::filesystem::create_directories(spliced);
  const char* temporary = std::getenv("TMPDIR");
  const std::string saved = temporary ? temporary : "";
  setenv("TMPDIR", spliced.c_str(), 1);
  setenv("VISUAL", "sed -i 's/^maximum-players = 9$/maximum-players = 10/'", 1);
  expectRun(f.run({"config", "--slot", "7", "--edit"}), 0, {"slot 7 was written"});
  EXPECT_FALSE(std::filesystem::exists("pwned"));
  EXPECT_FALSE(std::filesystem::exists(f.root / "pwned"));
  EXPECT_TRUE(std::filesystem::is_empty(spliced));  // the copy is gone
  EXPECT_TRUE(test::contains(f.run({"config", "--slot", "7"}).out, "\nmaximum-players = 10\n"));
  temporary ? setenv("TMPDIR", saved.c_str(), 1) : unsetenv("TMPDIR");
  unsetenv("VISUAL");
}

// sudo tarvex-cli --system config --edit: the editor runs as root with root's
// own environment (never with the home of the services' user, which the game
// can write), on a copy in root's temporary folder; the slot is read and
// written as the services' user. Every file of the services' folder stays
// that user's, and a services' folder that is missing is never made.
TEST(Cli, ASystemEditRunsTheEditorAsTheInvokingUserAndWritesAsTheOwner) {
  namespace fs = std::filesystem;
  CliFixture f;
  const fs::path system = f.root / "system";
  setenv("TARVEX_SYSTEM_FOLDER", system.c_str(), 1);
  expectRun(f.run({"--system", "config", "--slot", "3"}), 1, {system.string() + " does not exist", "package"});
  expectRun(f.run({"--system", "stop", "--slot", "2"}), 1, {"does not exist"});
  EXPECT_FALSE(fs::exists(system));
  if (geteuid() != 0) {
    unsetenv("TARVEX_SYSTEM_FOLDER");
    GTEST_SKIP() << "the rest needs root, to act as the services' user";
  }
  fs::create_directories(system);
  fs::permissions(f.root.path(), fs::perms::owner_all | fs::perms::others_exec);
  ASSERT_EQ(chown(system.c_str(), 65534, 65534), 0);
  const fs::path record = f.root / "editor-saw", editor = f.root / "editor.sh";
  test::writeFile(editor, "#!/bin/sh\nprintf '%s %s %s\\n' \"$(id -u)\" \"$(id -ru)\" \"$HOME\" > '" + record.string() +
                              "'\nsed -i 's/^maximum-players = 8$/maximum-players = 9/' \"$1\"\n"
                              "echo 'map = hm_borg1' >> \"$1\"\n");
  fs::permissions(editor, fs::perms::owner_all);
  const auto asChild = [&](const std::vector<std::string>& args) { return f.runInChild(args).status; };
  setenv("VISUAL", editor.c_str(), 1);
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  EXPECT_EQ(asChild({"--system", "config", "--slot", "3", "--edit"}), 0);
  EXPECT_EQ(test::readFile(record), "0 0 " + home + "\n");
  EXPECT_EQ(asChild({"--system", "config", "--slot", "4", "--set", "maximum-players=5", "--set", "map=hm_borg1"}), 0);
  // As root, run --service is refused before anything is written.
  EXPECT_EQ(asChild({"--system", "run", "--slot", "1", "--service"}), 2);
  EXPECT_FALSE(fs::exists(system / "logs"));
  for (const auto& entry : fs::recursive_directory_iterator(system)) {
    struct stat info = {};
    ASSERT_EQ(lstat(entry.path().c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u) << entry.path();
  }
  struct stat slot = {};
  ASSERT_EQ(stat(slotPath(system, 3).c_str(), &slot), 0);
  EXPECT_EQ(slot.st_mode & 0777, 0600u);
  unsetenv("VISUAL");
  unsetenv("TARVEX_SYSTEM_FOLDER");
}
#endif

// What a configuration text may hold: at most a megabyte, a byte-order mark
// before its first key, and a fault quoted in a short part; a port is a
// number from 1 to 65535; a slot larger than any the window makes is never
// written; a restart time is HH:MM.
TEST(Cli, ConfigTakesBoundedTextAndRefusesWhatTheGameWouldMisread) {
  CliFixture f;
  const std::string before = slotBytes(f, 3);
  CliRun r = f.run({"config", "--slot", "3", "--from", "-"}, "description = " + std::string(1024 * 1024, 'x'));
  expectRun(r, 1, {"standard input is larger than 1 MB", "Nothing was written."});
  const std::string longKey(100000, 'k');
  r = f.run({"config", "--slot", "3", "--from", "-"}, longKey + " = 1\nmap = hm_borg1\n");
  expectRun(r, 1, {"there is no key \"kkk", "...\""});
  EXPECT_LT(r.err.size(), 400u);
  for (const char* port : {"0", "70000", "93686"}) {
    r = f.run({"config", "--slot", "3", "--set", "set-net-port=yes", "--set", std::string("net-port=") + port, "--set",
               "map=hm_borg1"});
    expectRun(r, 1, {std::string("The net port ") + port + " is not a port", "1 to 65535"});
  }
  r = f.run({"config", "--slot", "3", "--from", "-"}, "map = hm_borg1 -1 0 0\n");
  expectRun(r, 1, {"line 1: the map \"hm_borg1\": its limit \"-1\" is not 1 to 3 digits"});
  EXPECT_EQ(slotBytes(f, 3), before);
  expectRun(f.run({"config", "--slot", "3", "--from", "-"}, "\xEF\xBB\xBFserver-title = Bom\nmap = hm_borg1\n"), 0);
  Configuration config = f.loaded();
  const SlotSave huge = saveSlotFile(slotPath(f.app, 4), slotTitle(4), std::string(2 * 1024 * 1024, 'd'), config);
  EXPECT_TRUE(test::contains(huge.refusal, "a save slot holds at most 1048576")) << huge.refusal;
  EXPECT_FALSE(std::filesystem::exists(slotPath(f.app, 4)) && test::readFile(slotPath(f.app, 4)).size() > 1000000);
  for (const char* time : {"7:05", "00001:00", "24:00", "07:5", "07-05", "+7:05"})
    expectRun(f.run({"run", "--slot", "3", "--restart-at", time}), 2, {"HH:MM"});
}

#ifndef _WIN32
// A user who cannot read the data folder is told so, with the way in, and the
// exit status says it: never "nothing runs", "does not run", an unused slot
// or "no log yet".
TEST(Cli, WhatCannotBeReadIsAnErrorNeverNothing) {
  namespace fs = std::filesystem;
  CliFixture f;
  const fs::path system = f.root / "system";
  fs::create_directories(system / "run");
  setenv("TARVEX_SYSTEM_FOLDER", system.c_str(), 1);
  fs::permissions(f.root.path(), fs::perms::owner_all | fs::perms::others_exec);
  fs::permissions(system, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  const bool root = geteuid() == 0;
  if (!root) fs::permissions(system, fs::perms::none);
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--system", "list"},
                                               {"--system", "list", "--json"},
                                               {"--system", "stop", "--slot", "3"},
                                               {"--system", "config", "--slot", "3"},
                                               {"--system", "log", "--slot", "3"}}) {
    int status = 0;
    std::string said;
    if (root) {
      // As another user, in a child: a user not in the folder's group.
      int pipe[2];
      ASSERT_EQ(::pipe(pipe), 0);
      const pid_t child = fork();
      if (child == 0) {
        close(pipe[0]);
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(126);
        std::ostringstream out, err;
        ConsoleServices services(err);
        const int code = runCli(args, f.app.string(), out, err, services);
        const std::string text = err.str() + out.str();
        if (write(pipe[1], text.data(), text.size()) < 0) _exit(125);
        _exit(code);
      }
      close(pipe[1]);
      char buffer[4096];
      for (ssize_t n; (n = read(pipe[0], buffer, sizeof buffer)) > 0;) said.append(buffer, std::size_t(n));
      close(pipe[0]);
      waitpid(child, &status, 0);
      status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    } else {
      const CliRun r = f.run(args);
      status = r.status;
      said = r.err + r.out;
    }
    EXPECT_EQ(status, 1) << args[1] << ": " << said;
    EXPECT_TRUE(test::contains(said, "cannot be read by this user")) << said;
    EXPECT_TRUE(test::contains(said, "sudo")) << said;
  }
  fs::permissions(system, fs::perms::owner_all);
  unsetenv("TARVEX_SYSTEM_FOLDER");
}
#endif

// game-folder shows the folder path.ini names, and sets one that holds the game.
TEST(Cli, GameFolderShowsChecksAndSetsTheGameFolder) {
  namespace fs = std::filesystem;
  CliFixture f;
  fs::remove(f.app / "path.ini");
  CliRun r = f.run({"game-folder"});
  expectRun(r, 1, {"path.ini is missing", "tarvex-cli game-folder DIR"});
  Configuration config = f.loaded();
  config.rotation.maps = {"hm_borg1"};
  f.saveSlot(5, config);
  expectRun(f.run({"launch", "--slot", "5"}), 1, {"tarvex-cli game-folder DIR"});
  const fs::path empty = f.root / "Empty";
  fs::create_directories(empty / "BaseEF");
  expectRun(f.run({"game-folder", empty.string()}), 1, {"does not hold the game's program stvoyHM.exe", "Nothing"});
  fs::remove_all(empty / "BaseEF");
  test::writeFile(empty / "STVOYHM.EXE", "exe");
  expectRun(f.run({"game-folder", empty.string()}), 1, {"does not hold the game's data folder BaseEF"});
  expectRun(f.run({"game-folder", (f.root / "nowhere").string()}), 1, {"is not a folder"});
  EXPECT_FALSE(fs::exists(f.app / "path.ini"));
  r = f.run({"game-folder", f.game.string()});
  expectRun(r, 0);
  EXPECT_EQ(test::readFile(f.app / "path.ini"), f.gameFolderText() + "\r\n");
  r = f.run({"game-folder"});
  expectRun(r, 0);
  EXPECT_EQ(r.out, "Game folder: " + f.gameFolderText() + "\nNamed in:    " + (f.app / "path.ini").string() + "\n");
}

// A folder a package installed is never written: each user has a data folder,
// the services have theirs (--system), and the maps a host adds go there, on
// top of the shipped map list, which stays as shipped.
TEST(Cli, APackagesFolderIsNeverWrittenAndAddedMapsLiveInTheDataFolder) {
  namespace fs = std::filesystem;
  CliFixture f;
  fs::remove(f.app / "path.ini");
  test::writeFile(f.app / kPackageMarker, "");
  test::TempFolder user, system;
  setenv("XDG_DATA_HOME", user.path().c_str(), 1);
  setenv("TARVEX_SYSTEM_FOLDER", system.path().c_str(), 1);
  ASSERT_TRUE(
      test::writePk3(f.game / "BaseEF" / "zz_new.pk3", {{"maps/zz_one.bsp", "bsp"}, {"maps/hm_borg1.bsp", "bsp"}}));
  const std::string shipped = test::readFile(f.app / "maps.ini");
  const auto programFiles = [&] {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(f.app)) names.push_back(entry.path().string());
    return names;
  };
  const auto before = programFiles();
  expectRun(f.run({"find-maps"}), 1);  // only lists (and knows no game folder yet): writes nothing anywhere
  EXPECT_FALSE(fs::exists(user / "tarvex"));
  const CliRun set = f.run({"--system", "game-folder", f.game.string()});
  const CliRun added = f.run({"--system", "find-maps", "--add"});
  const CliRun maps = f.run({"--system", "maps"});
  const CliRun configured = f.run({"--system", "config", "--slot", "3", "--set", "map=zz_one 7 8 9"});
  const CliRun rendered = f.run({"--system", "render", "--slot", "3"});
  const CliRun userSide = f.run({"game-folder", f.game.string()});
  const CliRun userMaps = f.run({"maps"});
  unsetenv("TARVEX_SYSTEM_FOLDER");
  unsetenv("XDG_DATA_HOME");
  expectRun(set, 0);
  expectRun(added, 0, {"1 map was added"});
  EXPECT_TRUE(test::contains(maps.out, "zz_one\tinstalled")) << maps.out << maps.err;
  expectRun(configured, 0);
  expectRun(rendered, 0);
  EXPECT_TRUE(test::contains(rendered.out, "fraglimit 7; timelimit 8; capturelimit 9; map zz_one"));
  // The services' folder holds it all; the program folder is as shipped.
  for (const char* name : {"path.ini", "maps.ini", "save/save3.sav"}) EXPECT_TRUE(fs::exists(system / name)) << name;
  EXPECT_EQ(test::readFile(f.app / "maps.ini"), shipped);
  EXPECT_EQ(programFiles(), before);
  EXPECT_TRUE(test::contains(test::readFile(system / "maps.ini"), "\r\nzz_one\r\n"));
  // The user's own data folder, apart from the services'.
  expectRun(userSide, 0);
  EXPECT_TRUE(fs::exists(user / "tarvex" / "path.ini"));
  EXPECT_FALSE(test::contains(userMaps.out, "zz_one")) << userMaps.out;
}

#ifndef _WIN32
// list shows what runs under the data folder's instances, stop ends it (a
// launched game with its process group, a run by asking it), and log names
// the journal for a run whose output goes there.
TEST(Cli, ListShowsWhatRunsStopEndsItAndLogNamesTheJournal) {
  namespace fs = std::filesystem;
  CliFixture f;
  expectRun(f.run({"list"}), 0);
  EXPECT_TRUE(test::contains(f.run({"list"}).out, "runs.\n"));
  {
    // What cannot be read is said, never taken for nothing running.
    test::writeFile(f.app / "run", "not a folder");
    expectRun(f.run({"list"}), 1, {"cannot be listed"});
    std::filesystem::remove(f.app / "run");
  }
  // Stand-ins: a launched game (a group of its own, with a child, marked for its
  // instance) and a run that ends on SIGTERM (a program named tarvex-cli).
  const fs::path named = f.root / "tarvex-cli";
  fs::create_symlink("/bin/sh", named);
  const auto spawn = [](const char* program, const char* script, const char* mark) {
    const pid_t child = fork();
    if (child == 0) {
      setsid();
      const char* env[] = {"PATH=/usr/bin:/bin", mark, nullptr};
      execle(program, "sh", "-c", script, static_cast<char*>(nullptr), env);
      _exit(127);
    }
    return child;
  };
  // The launched game leaves a process of its own behind (as Wine's do), which stop ends with it.
  const std::string leftFile = (f.root / "left.pid").string();
  const pid_t game = spawn("/bin/sh", ("sleep 60 & echo $! > " + leftFile + "; wait").c_str(), "TARVEX_INSTANCE=slot4");
  const pid_t run = spawn(named.c_str(), "trap 'exit 0' TERM; while :; do sleep 0.1; done", nullptr);
  // A process of this user that is neither: a record naming it is foreign.
  const pid_t stranger = spawn("/bin/sh", "sleep 60", "TARVEX_INSTANCE=slot9");
  const auto record = [&](const std::string& instance, pid_t pid, InstanceState state) {
    test::writeFile(instanceLockFile(f.app, instance),
                    std::to_string(pid) + " " + std::to_string(*platform::processStartTime(pid)) + "\n");
    test::writeFile(instanceStateFile(f.app, instance), instanceStateText(state));
  };
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  for (int i = 0; i < 100 && test::readFile(leftFile).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const pid_t left = pid_t(std::stol("0" + test::readFile(leftFile)));
  ASSERT_GT(left, 0);
  record("slot4", game, {"launch", game, 1700000000, 0, "", 27999, (f.app / "logs" / "slot4.log").string(), ""});
  record("slot5", run, {"run", run, 1700000000, 2, "", 27998, "journalctl -u tarvex@5.service", ""});
  record("slot6", 999999, {"run", 999999, 1700000000, 0, "", 27997, "", ""});  // a record of a run that ended
  test::writeFile(instanceLockFile(f.app, "slot6"), "999999 1\n");
  EXPECT_EQ(parseInstanceState(instanceStateText({"run", run, 1700000000, 2, "::1", 27998, "x", "token"})),
            (InstanceState{"run", run, 1700000000, 2, "::1", 27998, "x", "token"}));
  // A file name that is not UTF-8 and would steer a terminal, recorded for this very process.
  const std::string odd = "odd\xff\x1b]0;owned\x07";
  record(odd, getpid(), {"run", getpid(), 1700000000, 0, "", 0, "", ""});
  CliRun r = f.run({"list"});
  expectRun(r, 0);
  EXPECT_TRUE(r.err.empty()) << r.err;
  EXPECT_TRUE(test::contains(r.out, "slot4\t" + std::to_string(game) + "\tlaunch\t")) << r.out;
  EXPECT_TRUE(test::contains(r.out, "slot5\t" + std::to_string(run) + "\trun\t")) << r.out;
  EXPECT_TRUE(test::contains(r.out, "\t2\t27998\t-\t-\n")) << r.out;
  EXPECT_FALSE(test::contains(r.out, "slot6"));
  EXPECT_TRUE(test::contains(r.out, "odd\\xFF\\x1B]0;owned\\x07\t")) << r.out;
  const auto json = nlohmann::json::parse(f.run({"list", "--json"}).out);  // valid UTF-8, or parse throws
  ASSERT_EQ(json.size(), 3u);
  EXPECT_EQ(json[0]["instance"], "odd\xef\xbf\xbd\x1b]0;owned\x07");
  EXPECT_EQ(json[2]["restarts"], 2);
  EXPECT_TRUE(json[2]["map"].is_null());
  std::filesystem::remove(instanceLockFile(f.app, odd));
  expectRun(f.run({"log", "--slot", "5"}), 1, {"goes to the journal: journalctl -u tarvex@5.service -f"});
  // A record of a run that ended names no place: its log is shown, line by line as it stands.
  test::writeFile(instanceStateFile(f.app, "slot7"),
                  instanceStateText({"run", 999999, 1700000000, 0, "", 27996, "journalctl -u tarvex@7.service", ""}));
  test::writeFile(instanceLogFile(f.app, "slot7"), "one\ntwo\r\nthree");
  r = f.run({"log", "--slot", "7"});
  expectRun(r, 0);
  EXPECT_EQ(r.out, "one\ntwo\nthree\n");
  r = f.run({"stop", "--slot", "4", "--timeout", "2"});
  expectRun(r, 0);
  EXPECT_EQ(r.out, "Stopped slot4 (process " + std::to_string(game) + ", started by launch).\n");
  r = f.run({"stop", "--slot", "5"});
  expectRun(r, 0);
  EXPECT_EQ(r.out, "Stopped slot5 (process " + std::to_string(run) + ", started by run).\n");
  int status = 0;
  EXPECT_EQ(waitpid(run, &status, 0), run);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;  // asked, not killed
  waitpid(game, nullptr, 0);
  for (int i = 0; i < 50 && platform::processStartTime(left); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(platform::processStartTime(left)) << "the launched game's own process outlived stop";
  EXPECT_EQ(f.run({"stop", "--slot", "6"}).out, "slot6 does not run.\n");
  EXPECT_TRUE(test::contains(f.run({"list"}).out, "runs.\n"));

  // Records that name what is not ours are never believed, never signalled:
  // the machine's first process, a process of this user that is no game of
  // the instance, a lock that is a link to another slot's lock.
  record("slot1", 1, {"launch", 1, 1700000000, 0, "", 27990, "", ""});
  record("slot2", stranger, {"launch", stranger, 1700000000, 0, "", 27991, "", ""});
  record("slot8", run, {"run", run, 1700000000, 0, "", 27992, "", ""});
  const pid_t again = spawn(named.c_str(), "trap 'exit 0' TERM; while :; do sleep 0.1; done", nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  record("slot8", again, {"run", again, 1700000000, 0, "", 27992, "", ""});
  fs::remove(instanceLockFile(f.app, "slot3"));
  fs::create_symlink("slot8.lock", instanceLockFile(f.app, "slot3"));
  r = f.run({"list", "--json"});
  expectRun(r, 1,
            {"slot1 is not listed: its lock", "(process 1 is the system's own)", "slot2 is not listed: its lock",
             "is neither tarvex-cli nor a game started for slot2", "slot3 is not listed: its lock",
             "is a symbolic link, which is never followed"});
  EXPECT_EQ(nlohmann::json::parse(r.out).size(), 1u);  // slot8
  for (const char* slot : {"1", "2", "3"})
    expectRun(f.run({"stop", "--slot", slot, "--timeout", "1"}), 1, {"was not stopped", "never"});
  EXPECT_TRUE(platform::processStartTime(stranger));  // alive: never signalled
  EXPECT_TRUE(platform::processStartTime(again));
  EXPECT_EQ(platform::foreignProcess(0, "slot1", f.app), "process 0 is the system's own");
  for (const pid_t child : {stranger, again}) {
    kill(-child, SIGKILL);  // with what its shell started, which would hold the test's output open
    waitpid(child, nullptr, 0);
  }
}

// Run as root, a record naming another user's process (with its true start
// time) is foreign: stop refuses it and leaves the process alone.
TEST(Cli, StopNeverSignalsAnotherUsersProcess) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to start a process as another user";
  CliFixture f;
  const pid_t other = fork();
  if (other == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(126);
    const char* env[] = {"TARVEX_INSTANCE=slot4", nullptr};
    execle("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr), env);
    _exit(127);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  test::writeFile(instanceLockFile(f.app, "slot4"),
                  std::to_string(other) + " " + std::to_string(*platform::processStartTime(other)) + "\n");
  test::writeFile(instanceStateFile(f.app, "slot4"),
                  instanceStateText({"launch", other, 1700000000, 0, "", 27999, "", "id"}));
  expectRun(f.run({"stop", "--slot", "4", "--timeout", "1"}), 1, {"runs as another user (65534)", "never signalled"});
  EXPECT_TRUE(platform::processStartTime(other));
  kill(other, SIGKILL);
  waitpid(other, nullptr, 0);
}
#endif

// Windows' service manager runs a slot's server; here systemd does, and the
// command says so. What run says as a service goes into a bounded log of its
// own, which service status shows: a refusal before the game's log begins
// is never lost.
TEST(Cli, ServicesAreWindowsOwnAndAServicesMessagesGoIntoItsOwnLog) {
  CliFixture f;
  if (!platform::kHasServiceManager) {
    for (const char* action : {"install", "remove", "status"})
      expectRun(f.run({"service", action, "--slot", "3"}), 1, {"systemctl enable --now tarvex@N"});
  }
  expectRun(f.run({"service"}), 2, {"Usage: tarvex-cli service"});
  expectRun(f.run({"service", "install", "--slot", "10"}), 2);
  if (!platform::kHasServiceManager) {
    // Only Windows' service manager starts run --service: here it is refused before any file is touched.
    expectRun(f.run({"run", "--slot", "3", "--service"}), 2, {"systemd's unit tarvex@N"});
    EXPECT_FALSE(std::filesystem::exists(f.app / "logs"));
    return;
  }
  const CliRun r = f.run({"run", "--slot", "3", "--service"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.empty()) << r.err;
  const std::string said = test::readFile(f.app / "logs" / "slot3.service.log");
  EXPECT_TRUE(test::contains(said, kNeverUsedMessage)) << said;
  EXPECT_TRUE(test::contains(said, "config --slot 3 --edit")) << said;
  EXPECT_TRUE(f.services.started.empty());
}

// The writer of a launched game's log (Windows' launches start it): every
// byte as the game printed it, line ends and long lines included, and the
// log within its bound however much comes.
TEST(Cli, WriteLogCopiesTheGamesOutputIntoABoundedLog) {
  CliFixture f;
  const std::filesystem::path log = f.app / "logs" / "game.log";
  test::writeFile(log, "the last launch\n");
  const std::string longLine(10000, 'x');
  const std::string output = "first\r\n\nsecond\n" + longLine + "\n" + std::string(4095, 'y') + "\nlast, unended";
  expectRun(f.run({"write-log", log.string()}, output), 0);
  EXPECT_EQ(test::readFile(log), output);
  EXPECT_EQ(test::readFile(log.string() + ".1"), "the last launch\n");  // begun afresh, the last one kept

  std::string lots;
  for (int i = 0; lots.size() < 25u * 1024 * 1024; ++i) lots += std::to_string(i) + " a line of the game's output\n";
  expectRun(f.run({"write-log", log.string()}, lots), 0);
  std::uint64_t kept = 0;
  for (const char* suffix : {"", ".1", ".2"}) {
    const auto size = std::filesystem::file_size(log.string() + suffix);
    EXPECT_LE(size, LogLimits{}.maxBytes) << suffix;
    kept += size;
  }
  EXPECT_EQ(kept, lots.size());
  EXPECT_TRUE(test::readFile(log).ends_with(lots.substr(lots.size() - 100)));
}

#ifndef _WIN32
// backup keeps what the host made (path.ini, the slots, the added maps and
// their pictures; no logs, no records) in one archive for its owner alone;
// restore checks the whole archive first, keeps what it replaces, puts the
// backup's folders back whole, and waits for the servers to stop.
TEST(Cli, BackupKeepsWhatTheHostMadeAndRestorePutsItBackOnlyWhenTheWholeArchivePasses) {
  namespace fs = std::filesystem;
  CliFixture f;
  test::writeFile(f.app / "Map_Images" / "added.jpg", "picture");
  test::writeFile(f.app / "logs" / "slot1.log", "log");
  test::writeFile(f.app / "run" / "slot1.state", "state");
  expectRun(f.run({"game-folder", f.game.string()}), 0);
  const std::string slot1 = test::readFile(slotPath(f.app, 1));
  const fs::path archive = f.root / "b.zip";
  CliRun r = f.run({"backup", archive.string()});
  expectRun(r, 0);
  EXPECT_TRUE(test::contains(r.out, "Backed up ")) << r.out;
  EXPECT_EQ(fs::status(archive).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  {
    const auto zip = Pk3Archive::open(archive);
    ASSERT_TRUE(zip.ok()) << zip.problem();
    const std::set<std::string_view> names(zip->names().begin(), zip->names().end());
    for (const char* name : {kBackupManifest, "path.ini", "maps.ini", "save/save1.sav", "Map_Images/added.jpg"})
      EXPECT_TRUE(names.contains(name)) << name;
    for (const auto& name : names) EXPECT_FALSE(name.starts_with("logs/") || name.starts_with("run/")) << name;
  }
  // The slot changed, a picture lost, a slot added: the restore puts the folder back as it was.
  test::writeFile(slotPath(f.app, 1), "changed");
  fs::remove(f.app / "Map_Images" / "added.jpg");
  test::writeFile(f.app / "save" / "extra.sav", "extra");
  r = f.run({"restore", archive.string()});
  expectRun(r, 0);
  EXPECT_EQ(test::readFile(slotPath(f.app, 1)), slot1);
  EXPECT_EQ(test::readFile(f.app / "Map_Images" / "added.jpg"), "picture");
  EXPECT_FALSE(fs::exists(f.app / "save" / "extra.sav"));
  EXPECT_EQ(test::readFile(f.app / "logs" / "slot1.log"), "log");
  EXPECT_EQ(fs::status(slotPath(f.app, 1)).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  std::vector<fs::path> kept;
  for (const auto& entry : fs::directory_iterator(f.app / "backups")) kept.push_back(entry.path());
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_TRUE(test::contains(r.out, "What it held before is in " + kept[0].string())) << r.out;
  EXPECT_TRUE(test::contains(test::readFile(kept[0]), "save/extra.sav"));
  // Hostile or foreign archives change nothing.
  const std::string manifest = kBackupManifest;
  for (const auto& [entries, why] : std::vector<std::pair<BackupFiles, std::string>>{
           {{{manifest, ""}, {"../evil", "x"}}, "../evil, which is no file of a data folder"},
           {{{manifest, ""}, {"save/../../evil", "x"}}, "save/../../evil, which is no file"},
           {{{manifest, ""}, {"/etc/evil", "x"}}, "/etc/evil, which is no file"},
           {{{manifest, ""}, {"Map_Images/.hidden", "x"}}, "Map_Images/.hidden, which is no file"},
           {{{manifest, ""}, {"save/sub/x.sav", "x"}}, "save/sub/x.sav, which is no file"},
           {{{"save/save1.sav", "x"}}, "it is not a backup of Tarvex's"}}) {
    test::writeFile(archive, *zipBytes(entries));
    r = f.run({"restore", archive.string()});
    expectRun(r, 1, {why, "Nothing was changed."});
    EXPECT_EQ(test::readFile(slotPath(f.app, 1)), slot1);
  }
  EXPECT_FALSE(fs::exists(f.root / "evil"));
  EXPECT_EQ(fs::directory_iterator(f.app / "backups")->path(), kept[0]);  // nothing more kept
  expectRun(f.run({"restore", "-"}, "PK\x03\x04 not a zip"), 1,
            {"standard input was not restored", "it is not a backup that can be read (it is not a zip archive)"});
  // From standard output to standard input; the size of one file is bounded.
  r = f.run({"backup", "-"});
  expectRun(r, 0, {"to standard output"});
  EXPECT_TRUE(r.out.starts_with("PK"));
  expectRun(f.run({"restore", "-"}, r.out), 0);
  EXPECT_EQ(test::readFile(slotPath(f.app, 1)), slot1);
  EXPECT_FALSE(readBackupArchive(r.out, {4, 1 << 20, 100}).ok());
  // Without a file: backups/ in the data folder, the newest --keep kept.
  for (const char* old : {"tarvex-backup-20200101-000000.zip", "tarvex-backup-20200102-000000.zip"})
    test::writeFile(f.app / "backups" / old, "old");
  expectRun(f.run({"backup", "--keep", "2"}), 0);
  EXPECT_FALSE(fs::exists(f.app / "backups" / "tarvex-backup-20200101-000000.zip"));
  EXPECT_TRUE(fs::exists(f.app / "backups" / "tarvex-backup-20200102-000000.zip"));
  EXPECT_TRUE(fs::exists(kept[0]));  // the restore's own are not counted
  // A server of the folder runs (this process, recorded as slot4's run): restore waits for --force.
  test::writeFile(instanceLockFile(f.app, "slot4"),
                  std::to_string(getpid()) + " " + std::to_string(*platform::processStartTime(getpid())) + "\n");
  test::writeFile(instanceStateFile(f.app, "slot4"),
                  instanceStateText({"launch", getpid(), 1700000000, 0, "", 27999, "", ""}));
  expectRun(f.run({"restore", archive.string()}), 1, {"Nothing was changed."});
  test::writeFile(archive, *backupArchive(*collectBackup(f.app), "now"));
  expectRun(f.run({"restore", archive.string()}), 1,
            {"slot4 runs (process " + std::to_string(getpid()) + ")", "pass --force"});
  expectRun(f.run({"restore", "--force", archive.string()}), 0);
  // restart starts again only what run keeps up.
  expectRun(f.run({"restart", "--slot", "4"}), 1, {"slot4 was started by launch"});
  expectRun(f.run({"restart", "--slot", "5"}), 1, {"slot5 does not run, so there is nothing to restart"});
  expectRun(f.run({"restart", "--slot", "4", "--warning", "a\nb"}), 2, {"--warning contains a line break"});
}
#endif
