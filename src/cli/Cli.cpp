#include "cli/Cli.h"

#include <chrono>
#include <cstdlib>
#include <iomanip>

#include <optional>
#include <ostream>

#include "launch/GameValues.h"
#include "launch/Launch.h"
#include "launch/LaunchSequence.h"
#include "maps/MapCatalogue.h"
#include "cli/Run.h"
#include "platform/Platform.h"
#include "server/Instance.h"
#include "maps/MapDiscovery.h"
#include "query/ServerQuery.h"

#include <nlohmann/json.hpp>
#include "saves/SaveFile.h"
#include "startup/DataFolder.h"
#include "startup/GameFolder.h"
#include "util/Files.h"
#include "util/Text.h"

namespace tarvex {

// A message's own lines stay lines; whatever a file or a server put into it
// is shown, never obeyed by the terminal.
void ConsoleServices::message(const std::string& text, Icon) { err_ << visibleLines(text) << '\n'; }

std::string ConsoleServices::startProcess(const ProcessRequest& request) { return platform::startProcess(request); }

std::optional<ProcessFailure> ConsoleServices::startedProcessFailure(int waitMilliseconds) {
  return platform::startedProcessFailure(waitMilliseconds);
}

std::string ConsoleServices::portProblem(const std::string& address, int port) {
  return platform::portProblem(address, port);
}

std::optional<std::vector<bool>> ConsoleServices::chooseMaps(const std::vector<MapChoice>& maps, const PictureJob&) {
  return std::vector<bool>(maps.size(), true);  // a console adds what --add asks for
}

std::string ConsoleServices::readRegistry(const std::string& key, const std::string& value) {
  return platform::readMachineRegistry(key, value);
}

namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  tarvex-cli [--app-folder DIR] render [--slot N | --save FILE]\n"
    "  tarvex-cli [--app-folder DIR] launch [--slot N | --save FILE]\n"
    "  tarvex-cli [--app-folder DIR] run    [--slot N | --save FILE] [RUN OPTIONS]\n"
    "  tarvex-cli [--app-folder DIR] log    [--slot N | --save FILE] [-f]\n"
    "  tarvex-cli [--app-folder DIR] maps   [--slot N | --save FILE] [--json]\n"
    "  tarvex-cli [--app-folder DIR] status [HOST][:PORT] [--slot N | --save FILE] [--json]\n"
    "  tarvex-cli [--app-folder DIR] rcon   [--slot N | --save FILE] [--raw] [HOST][:PORT] COMMAND...\n"
    "  tarvex-cli [--app-folder DIR] find-maps [--json] [--add]\n"
    "  tarvex-cli --help | --version\n";

constexpr const char* kHelp =
    "\n"
    "Hosts a \"Star Trek: Voyager - Elite Force\" server from a configuration saved\n"
    "in the Tarvex window, on a machine without a desktop.\n"
    "\n"
    "Commands:\n"
    "  render   print the game script (tarvex.cfg) that ENGAGE! would write;\n"
    "           nothing is written and nothing is started\n"
    "  launch   write tarvex.cfg into the game folder named by path.ini and\n"
    "           start the game with the saved server type, then exit\n"
    "  run      the server kept up, in the foreground: starts the game as launch\n"
    "           does (with a script of its own, tarvex-slotN.cfg), starts it again\n"
    "           when it ends or stops answering, and stops it on SIGTERM, SIGINT\n"
    "           or SIGHUP (Windows: Ctrl+C, Ctrl+Break, closing the console)\n"
    "  log      print the game's output as its log kept it (-f: and follow it)\n"
    "  maps     list the map catalogue: name, installed or not, class, limits;\n"
    "           with a slot, its rotation in order with each map's limits\n"
    "  status   ask a running server (default 127.0.0.1, at the slot's net port\n"
    "           when it sets one, else 27960) for its name, map, game type,\n"
    "           limits and players; --json prints the same for scripts\n"
    "  rcon     send one console command (\"map oa_dm2\", \"say Restart at 10\",\n"
    "           \"kick Name\", \"g_gravity\") with the slot's console password to\n"
    "           the server (address as for status) and print its answer, colour\n"
    "           codes removed (--raw: kept)\n"
    "  find-maps  list the maps inside the game's pk3 files (and loose maps)\n"
    "           that maps.ini does not know; --add appends them to maps.ini\n"
    "           (keeping the old one as maps.ini.bak) with their pictures\n"
    "\n"
    "Options:\n"
    "  --app-folder DIR  the Tarvex folder holding maps.ini, path.ini and save/\n"
    "                    (default: the folder of this program)\n"
    "  --slot N          use save slot N (1 to 9) of that folder\n"
    "  --save FILE       use FILE, read as a save slot\n"
    "  Without --slot or --save the window's start values and an empty rotation\n"
    "  are used.\n"
    "\n"
    "Run options:\n"
    "  --restart-limit N     give up after N ends within the restart window (5)\n"
    "  --restart-window S    that window, in seconds (600)\n"
    "  --watchdog S          check the server every S seconds (its status, asked\n"
    "                        again for 3 s, and its console) and start it again\n"
    "                        after 3 silent checks, 6 without a console password\n"
    "                        (30; 0: never); these restarts never make run give up\n"
    "  --stop-timeout S      after asking the game to end, end it for sure (10)\n"
    "  --log FILE | -        the game's log (default: logs/ in the data folder);\n"
    "                        -: the game's output to standard output (journald)\n"
    "  --log-size MB         start a new log file past this size (10; 64K: kilobytes)\n"
    "  --log-keep N          earlier log files kept (5)\n"
    "  Waits between starts: 1 s, doubling up to 60 s.\n"
    "\n"
    "The game's output never goes to tarvex-cli's terminal: logs/SLOT.log in the\n"
    "data folder (logs/slot3.log for --slot 3, logs/game.log without a slot and\n"
    "for the window), at most --log-size MB, with --log-keep earlier files.\n"
    "\n"
    "path.ini names the game folder: one line, the folder with a trailing / (or \\\n"
    "on Windows). The window writes it at its first start; on a server, write it\n"
    "by hand.\n"
    "\n"
    "On Linux the game runs through \"wine\", or through the program named by the\n"
    "environment variable TARVEX_GAME_RUNNER.\n"
    "\n"
    "Exit status: 0 done (run: stopped by a signal); 1 refused by a check or an\n"
    "unusable slot, nothing written and nothing started, or no answer (status);\n"
    "2 usage error; 3 the script was written but the game could not be started,\n"
    "or ended within a second; 4 run gave up after the game ended too often.\n";

struct Options {
  std::string appFolder;
  std::string command;
  int slot = 0;
  std::string saveFile;
  std::optional<std::string> address;
  bool json = false;
  bool add = false;
  bool follow = false;
  bool raw = false;
  std::vector<std::string> words;  // rcon's command
  RunOptions run;
  bool runOptionGiven = false;
};

// Lists the maps in the game's data folder that the catalogue does not know;
// with add, appends them to maps.ini as the window's "Find New Maps" does.
int findMaps(const Options& options, const MapCatalogue& catalogue, std::ostream& out, Services& services) {
  const std::filesystem::path appFolder = toPath(options.appFolder);
  const std::filesystem::path dataFolder = dataFolderFor(appFolder, DataUse::Read);
  const PathIni ini = readPathIni(dataFolder);
  if (ini.state != PathIniState::Known) {
    services.message("The game folder is not known: " + fromPath(dataFolder / kPathIniName) +
                     " is missing, unreadable or empty.  Please write the game folder as its first line, or name "
                     "another Tarvex folder with --app-folder.");
    return 1;
  }
  const MapDiscovery found = discoverMaps(findGameDataFolder(ini.gameFolder), catalogue);
  for (const auto& problem : found.problems) services.message(problem);
  if (options.json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& map : found.maps) {
      list.push_back({{"name", gameTextToUtf8(map.entry.name)},
                      {"longname", gameTextToUtf8(map.entry.caption1)},
                      {"ctf", map.entry.ctfFlag == "1"},
                      {"pk3", gameTextToUtf8(map.entry.caption2)},
                      {"picture", gameTextToUtf8(map.entry.picture)}});
    }
    out << list.dump(2) << '\n';
  } else if (found.maps.empty()) {
    services.message("No new maps were found in " + fromPath(findGameDataFolder(ini.gameFolder)) + ".");
  } else {
    for (const auto& map : found.maps)
      out << visibleText(map.entry.name) << '\t' << visibleText(map.entry.caption1) << '\t'
          << (map.entry.ctfFlag == "1" ? "CTF" : "HoloMatch") << '\t' << visibleText(map.entry.caption2) << '\t'
          << (map.entry.picture.empty() ? "no picture" : visibleText(map.entry.picture)) << '\n';
  }
  if (!options.add || found.maps.empty()) return 0;
  const CatalogueAddition added = addToCatalogue(appFolder / "maps.ini", appFolder / "Map_Images", found.maps);
  services.message(additionMessage(added));
  return added.error.empty() ? 0 : 1;
}

// Asks a running server for its status: the address given, else the slot's
// net port on this machine, else the game's usual port.
std::optional<std::pair<std::string, int>> serverAddress(const Options& options, const ServerSettings& settings,
                                                         Services& services) {
  int port = kDefaultServerPort;
  if ((options.slot != 0 || !options.saveFile.empty()) && settings.isOn("NetPort_Yes")) {
    if (const auto slotPort = parseServerAddress(":" + settings.text("NetPort"), {}, port)) port = slotPort->second;
  }
  const auto address = parseServerAddress(options.address.value_or(""), "127.0.0.1", port);
  if (!address) services.message("tarvex-cli: the port of " + *options.address + " must be a number from 1 to 65535");
  return address;
}

// The name of another server that answers on the launch's port (its status
// without the launch's token), empty when none or this one answers.
std::string otherServerOnPort(const PreparedLaunch& launch, const std::string& token) {
  std::string error, problem;
  const std::string host = launch.address.empty() ? "127.0.0.1" : launch.address;
  const auto answers = platform::udpExchange(host, launch.port, statusRequest(), {500, 1, 0}, error);
  const auto status = answers.empty() ? std::nullopt : parseStatusResponse(answers.front(), problem);
  if (!status || status->value(kIdentityVariable) == token) return {};
  return "\"" + visibleText(withoutColours(status->value("sv_hostname"))) + "\"";
}

// The reason nothing was answered, as status and rcon say it.
std::string noAnswerMessage(const std::string& error, const std::string& shown) {
  if (error.starts_with("no answer")) return "No answer from a game server at " + shown + " within two seconds.";
  return "No game server could be asked at " + shown + ": " + error + ".";
}

std::string joinWords(const std::vector<std::string>& words) {
  std::string text;
  for (const auto& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

// Sends one console command with the slot's console password and prints
// the server's answer.
int remoteCommand(const Options& options, const ServerSettings& settings, std::ostream& out, Services& services) {
  const std::string command = joinWords(options.words);
  if (holdsLineBreak(command)) {
    services.message("tarvex-cli: a console command cannot hold a line break: send one command at a time.");
    return 2;
  }
  const std::string& password = settings.text("Console_Password");
  if ((options.slot == 0 && options.saveFile.empty()) || password.empty()) {
    services.message(
        "There is no console password to send: please give the --slot or --save of a configuration whose "
        "\"Console Password:\" (the window's Server tab) is set, as the server was started with it.");
    return 1;
  }
  if (password.find(' ') != std::string::npos) {
    services.message("The console password holds a blank, which the game's remote console cannot take.  Please "
                     "choose one without blanks on the window's Server tab, and start the server again.");
    return 1;
  }
  const auto address = serverAddress(options, settings, services);
  if (!address) return 2;
  const auto& [host, port] = *address;
  const std::string shown = serverAddressText(host, port);
  std::string error;
  // A long answer comes in several datagrams; one try only: a command must not run twice.
  const auto answers = platform::udpExchange(host, port, rconRequest(password, command), {2000, 1, 200}, error);
  const auto text = parseRconAnswer(answers);
  if (!text) {
    services.message(answers.empty() ? noAnswerMessage(error, shown)
                                     : "The answer from " + shown + " was not the remote console's.");
    return 1;
  }
  if (text->starts_with("Bad rconpassword") || text->starts_with("No rconpassword set")) {
    services.message("The server at " + shown + " refused the console password: " + withoutColours(*text) +
                     "  Is the server running with this configuration's \"Console Password:\"?");
    return 1;
  }
  out << visibleLines(options.raw ? *text : withoutColours(*text));
  if (!text->empty() && text->back() != '\n') out << '\n';
  return 0;
}

int showStatus(const Options& options, const ServerSettings& settings, std::ostream& out, Services& services) {
  const auto address = serverAddress(options, settings, services);
  if (!address) return 2;
  const auto& [host, serverPort] = *address;
  const std::string shown = serverAddressText(host, serverPort);
  std::string error;
  // One more try after a second, on the same socket: a datagram can be lost.
  const std::vector<std::string> answers = platform::udpExchange(host, serverPort, statusRequest(), {1000, 2, 0}, error);
  if (answers.empty()) {
    services.message(noAnswerMessage(error, shown));
    return 1;
  }
  std::string problem;
  const auto status = parseStatusResponse(answers.front(), problem);
  if (!status) {
    services.message("The answer from " + shown + " could not be read: " + problem + ".");
    return 1;
  }
  out << (options.json ? statusJson(*status, shown) : statusTable(*status, shown));
  return 0;
}

int usageError(std::ostream& err, const std::string& problem) {
  err << "tarvex-cli: " << problem << "\n" << kUsage;
  return 2;
}

std::string installedText(const std::filesystem::path* dataFolder, const MapEntry& row, FolderListings& folders) {
  if (!dataFolder) return "unknown";
  return folders.ordinaryFileMatches(*dataFolder, row.mapFile) ? "installed" : "missing";
}

std::string classText(const MapEntry& row) {
  if (row.isCtf()) return "CTF";
  return row.isRefusedForCtf() ? "HoloMatch (refused for CTF)" : "HoloMatch";
}

// The catalogue with each map's state, class and limits; with a slot, its
// rotation in order too.
int listMaps(const Options& options, const Configuration& config, const std::filesystem::path& dataFolder,
             std::ostream& out) {
  const PathIni ini = readPathIni(dataFolder);
  std::filesystem::path gameData;
  if (ini.state == PathIniState::Known) gameData = findGameDataFolder(ini.gameFolder);
  FolderListings folders;
  const MapNameIndex index(config.catalogue);
  const bool withRotation = options.slot != 0 || !options.saveFile.empty();
  if (options.json) {
    const auto text = gameTextToUtf8;
    const auto limits = [&](const MapEntry& row) {
      return nlohmann::ordered_json{
          {"frag", text(row.fragLimit)}, {"time", text(row.timeLimit)}, {"capture", text(row.captureLimit)}};
    };
    nlohmann::ordered_json maps = nlohmann::ordered_json::array();
    for (const auto& row : config.catalogue.rows) {
      maps.push_back({{"name", text(row.name)},
                      {"installed", installedText(ini.state == PathIniState::Known ? &gameData : nullptr, row, folders)},
                      {"class", classText(row)},
                      {"limits", limits(row)}});
    }
    nlohmann::ordered_json json{{"maps", std::move(maps)}};
    if (withRotation) {
      json["rotation"] = nlohmann::ordered_json::array();
      for (const auto& name : config.rotation.maps) {
        const MapEntry* row = index.find(name);
        json["rotation"].push_back({{"name", text(name)}, {"limits", row ? limits(*row) : nullptr}});
      }
    }
    out << json.dump(2) << '\n';
    return 0;
  }
  const auto limits = [](const MapEntry& row) {
    return "frag " + visibleText(row.fragLimit) + "\ttime " + visibleText(row.timeLimit) + "\tcapture " +
           visibleText(row.captureLimit);
  };
  for (const auto& row : config.catalogue.rows) {
    out << visibleText(row.name) << '\t'
        << installedText(ini.state == PathIniState::Known ? &gameData : nullptr, row, folders) << '\t'
        << classText(row) << '\t' << limits(row) << '\n';
  }
  if (withRotation) {
    out << "\nRotation (" << config.rotation.maps.size() << (config.rotation.maps.size() == 1 ? " map" : " maps")
        << "):\n";
    for (std::size_t i = 0; i < config.rotation.maps.size(); ++i) {
      const MapEntry* row = index.find(config.rotation.maps[i]);
      out << std::setw(4) << i + 1 << ". " << visibleText(config.rotation.maps[i]) << '\t'
          << (row ? limits(*row) : std::string("not in the map list")) << '\n';
    }
  }
  return 0;
}

}  // namespace

int runCli(const std::vector<std::string>& args, const std::string& exeFolder, std::ostream& out, std::ostream& err,
           Services& services) {
  Options options;
  options.appFolder = exeFolder;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // rcon's command takes every word from its first on, as given.
    if (!options.words.empty()) {
      options.words.push_back(arg);
      continue;
    }
    const auto value = [&](const char* what) -> const std::string* {
      return i + 1 < args.size() ? &args[++i] : (usageError(err, std::string(what) + " needs a value"), nullptr);
    };
    if (arg == "--help" || arg == "-h") {
      out << kUsage << kHelp;
      return 0;
    } else if (arg == "--version") {
      out << "tarvex-cli " << TARVEX_VERSION << '\n';
      return 0;
    } else if (arg == "--app-folder") {
      const std::string* folder = value("--app-folder");
      if (!folder) return 2;
      options.appFolder = *folder;
    } else if (arg == "--slot") {
      const std::string* slot = value("--slot");
      if (!slot) return 2;
      if (slot->size() != 1 || (*slot)[0] < '1' || (*slot)[0] > '9') return usageError(err, "--slot takes 1 to 9");
      options.slot = (*slot)[0] - '0';
    } else if (arg == "--save") {
      const std::string* file = value("--save");
      if (!file) return 2;
      options.saveFile = *file;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--add") {
      options.add = true;
    } else if (arg == "--raw") {
      options.raw = true;
    } else if (arg == "-f" || arg == "--follow") {
      options.follow = true;
    } else if (arg == "--restart-limit" || arg == "--restart-window" || arg == "--watchdog" ||
               arg == "--stop-timeout" || arg == "--log-size" || arg == "--log-keep") {
      const std::string* text = value(arg.c_str());
      if (!text) return 2;
      // A log size may be given in kilobytes: "64K".
      const bool kilobytes = arg == "--log-size" && !text->empty() && (text->back() == 'K' || text->back() == 'k');
      const auto number = parseCount(kilobytes ? text->substr(0, text->size() - 1) : *text);
      const bool positive = arg == "--restart-limit" || arg == "--log-size" || arg == "--restart-window";
      if (!number || (positive && *number < 1) || *number > 1000000)
        return usageError(err, arg + " takes a whole number" + (positive ? " from 1" : ""));
      SupervisorOptions& supervisor = options.run.supervisor;
      if (arg == "--restart-limit") supervisor.restartBurst = int(*number);
      if (arg == "--restart-window") supervisor.restartInterval = std::chrono::seconds(*number);
      if (arg == "--watchdog") supervisor.watchdogInterval = std::chrono::seconds(*number);
      if (arg == "--stop-timeout") supervisor.stopTimeout = std::chrono::seconds(*number);
      if (arg == "--log-size") options.run.limits.maxBytes = std::uint64_t(*number) * 1024 * (kilobytes ? 1 : 1024);
      if (arg == "--log-keep") options.run.limits.keep = int(*number);
      options.runOptionGiven = true;
    } else if (arg == "--log") {
      const std::string* file = value("--log");
      if (!file) return 2;
      options.run.log = *file;
      options.runOptionGiven = true;
    } else if (options.command.empty() &&
               (arg == "render" || arg == "launch" || arg == "maps" || arg == "status" || arg == "find-maps" ||
                arg == "run" || arg == "log" || arg == "rcon")) {
      options.command = arg;
    } else if (options.command == "status" && !options.address && !arg.empty() && arg[0] != '-') {
      options.address = arg;
    } else if (options.command == "rcon" && !arg.empty() && arg[0] != '-') {
      // The first word is the server's address when it looks like one.
      if (!options.address && (arg.find_first_of(".:") != std::string::npos || arg == "localhost"))
        options.address = arg;
      else
        options.words.push_back(arg);
    } else {
      return usageError(err, "unexpected '" + arg + "'");
    }
  }
  if (options.command.empty()) return usageError(err, "no command given");
  if (options.slot != 0 && !options.saveFile.empty()) return usageError(err, "give --slot or --save, not both");
  if (options.json && options.command != "status" && options.command != "find-maps" && options.command != "maps")
    return usageError(err, "--json goes with status, maps or find-maps");
  if (options.add && options.command != "find-maps") return usageError(err, "--add goes with find-maps");
  if (options.follow && options.command != "log") return usageError(err, "-f goes with log");
  if (options.raw && options.command != "rcon") return usageError(err, "--raw goes with rcon");
  if (options.command == "rcon" && options.words.empty()) return usageError(err, "rcon needs a console command");
  if (options.runOptionGiven && options.command != "run") return usageError(err, "the run options go with run");

  // The configuration the window holds right after its load step.
  const std::filesystem::path appFolder = toPath(options.appFolder);
  // render, maps, status, rcon and log write nothing anywhere.
  const bool writes = options.command == "launch" || options.command == "run" || options.command == "find-maps";
  const std::filesystem::path dataFolder =  // path.ini, the save slots, the logs
      dataFolderFor(appFolder, writes ? DataUse::Write : DataUse::Read);
  if (writes) {
    // What a killed Tarvex left half-written is never the real file: remove it.
    for (const auto& folder : {appFolder, appFolder / "Map_Images", dataFolder, dataFolder / "save"})
      removeStaleTemporaries(folder);
  }
  const std::string instance = instanceName(options.slot, options.saveFile);
  if (options.command == "log") return showLog(services, dataFolder, instance, options.follow, out);
  Configuration config;
  const std::filesystem::path catalogueFile = appFolder / "maps.ini";
  CatalogueLoad load = loadCatalogueFile(catalogueFile);
  const std::string catalogueProblem = catalogueMessage(load.status, fromPath(catalogueFile));
  if (!catalogueProblem.empty() && options.command != "status") services.message(catalogueProblem);
  config.catalogue = std::move(load.catalogue);

  if (options.slot != 0 || !options.saveFile.empty()) {
    const std::filesystem::path file = options.slot != 0 ? slotPath(dataFolder, options.slot) : toPath(options.saveFile);
    const SaveRead read = restoreSaveFile(file, options.slot, config);
    if (read.outcome != RestoreOutcome::Restored) {
      services.message(read.message);
      return 1;
    }
  }

  if (options.command == "status") return showStatus(options, config.settings, out, services);
  if (options.command == "rcon") return remoteCommand(options, config.settings, out, services);
  if (options.command == "find-maps") {
    if (load.status != CatalogueStatus::Ok) return 1;  // the message was given: nothing to add to
    return findMaps(options, config.catalogue, out, services);
  }
  if (options.command == "maps") return listMaps(options, config, dataFolder, out);
  // Without a configuration there is no rotation: say where one comes from.
  const bool fromSlot = options.slot != 0 || !options.saveFile.empty();
  if (!fromSlot && config.rotation.maps.empty()) {
    services.message(kNoMapsMessage);
    services.message("tarvex-cli: without --slot N or --save FILE the window's start values and an empty rotation "
                     "are used.  Save a configuration in the window (tab \"Save/Load\") and name it with one of "
                     "them; the demo's is demo/demo.sav.");
    return 1;
  }
  if (options.command == "render") {
    const auto launch = prepareLaunch(services, config);
    if (!launch) return 1;
    out.write(launch->script.data(), static_cast<std::streamsize>(launch->script.size()));
    return out ? 0 : 1;
  }
#ifndef _WIN32
  // A non-dedicated server opens the game's own window; it is started all the same.
  if (config.settings.isOn("NonDedicated_Button") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    services.message("Note: the server type is \"Non-Dedicated \", which opens the game's window, and this machine "
                     "has no display (DISPLAY is not set): the game may not start.  \"Dedicated - LAN\" and "
                     "\"Dedicated - Internet\" on the window's Server tab need none.");
#endif
  if (options.command == "run") return runServer(services, dataFolder, config, instance, options.run, out, err);
  auto launch = prepareLaunch(services, config);
  if (!launch) return 1;
  // One launch of an instance while its game runs.
  platform::InstanceLock lock(instanceLockFile(dataFolder, instance));
  if (!lock.refusal().empty()) {
    services.message("The game was not started: " + instance + " is running already (" + lock.refusal() +
                     ").  Stop that server first.");
    return 1;
  }
  const std::string token = newIdentityToken();
  launch->arguments = withIdentity(launch->arguments, token);
  const std::filesystem::path logFile = instanceLogFile(dataFolder, instance);
  const auto started = std::chrono::steady_clock::now();
  switch (startPreparedLaunch(services, dataFolder, *launch, Frontend::Console, logFile)) {
    case LaunchResult::Refused:
      return 1;
    case LaunchResult::NotStarted:
      return 3;
    case LaunchResult::Started:
      break;
  }
  lock.record(platform::startedProcessId());
  // A game that ends within about a second was not launched.
  if (reportEarlyEnd(services, started)) return 3;
  // A server that answers on the port by then must be this one: the engine
  // takes the next port when its own was taken meanwhile.
  if (const std::string other = otherServerOnPort(*launch, token); !other.empty()) {
    platform::endStartedProcess();
    services.message("The game was stopped: another server (" + other + ") answers on its port " +
                     std::to_string(launch->port) + ".  " +
                     "Please stop that server, or give this configuration another net port.");
    return 3;
  }
  out << "Started " << commandLineText(launch->arguments) << " in " << visibleText(readPathIni(dataFolder).gameFolder)
      << '\n'
      << "Its output goes to " << fromPath(logFile) << ".\n";
  return 0;
}

}  // namespace tarvex
