#include "cli/Cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <iomanip>
#include <iostream>
#include <istream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <thread>

#include "cli/Check.h"
#include "cli/Run.h"
#include "cli/Service.h"
#include "launch/GameValues.h"
#include "launch/Launch.h"
#include "launch/LaunchSequence.h"
#include "maps/MapCatalogue.h"
#include "maps/MapDiscovery.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "platform/Udp.h"
#include "query/ServerQuery.h"
#include "saves/ConfigText.h"
#include "saves/SaveFile.h"
#include "server/Instance.h"
#include "startup/DataFolder.h"
#include "startup/GameFolder.h"
#include "util/GameText.h"
#include "util/Text.h"

namespace tarvex {

// A message's own lines stay lines; whatever a file or a server put into it
// is shown, never obeyed by the terminal.
void ConsoleServices::message(const std::string& text, Icon) { err_ << visibleLines(text) << '\n'; }

Problem ConsoleServices::startProcess(const ProcessRequest& request) { return game_.start(request); }

std::optional<ProcessFailure> ConsoleServices::startedProcessFailure(int waitMilliseconds) {
  return game_.failure(waitMilliseconds);
}

std::optional<std::string> ConsoleServices::serverIdentity(const std::string& address, int port) {
  return answeringIdentity(address, port);
}

Problem ConsoleServices::portProblem(const std::string& address, int port) {
  return tarvex::portProblem(address, port);
}

std::string ConsoleServices::readRegistry(const std::string& key, const std::string& value) {
  return platform::readMachineRegistry(key, value);
}

namespace {

// What --help adds after the commands and options, and the manual page's
// sections of the same names.
struct HelpSection {
  const char* manualTitle;
  const char* title;
  const char* body;  // lines, each indented by two blanks
};
constexpr HelpSection kSections[] = {
    {"FILES", "Files",
     "  The program folder (--app-folder, default: the folder of this program)\n"
     "  holds the shipped maps.ini, Map_Images/ and the start save slots.\n"
     "  What Tarvex writes (path.ini, save/saveN.sav, logs/, run/, and the maps\n"
     "  added with find-maps --add: maps.ini and Map_Images/) goes into a data\n"
     "  folder:\n"
     "    the program folder itself when it is writable and no package installed\n"
     "    it (a portable folder);\n"
     "    else the user's: $XDG_DATA_HOME/tarvex, else ~/.local/share/tarvex\n"
     "    (Windows: %APPDATA%\\Tarvex);\n"
     "    with --system the services' own: /var/lib/tarvex (Windows:\n"
     "    %ProgramData%\\Tarvex; TARVEX_SYSTEM_FOLDER names another). Run as root,\n"
     "    tarvex-cli --system acts as the owner of that folder (the user tarvex),\n"
     "    so that the service can read and write all it holds; config --edit\n"
     "    runs the editor as the user who started tarvex-cli, on a copy.\n"
     "  The maps added there lie over the shipped list: an added map of a\n"
     "  shipped map's name takes its place.\n"
     "  path.ini names the game folder (the folder of stvoyHM.exe, with BaseEF);\n"
     "  game-folder shows and sets it.\n"
     "  The game's output never goes to tarvex-cli's terminal: logs/INSTANCE.log\n"
     "  in the data folder (logs/slot3.log for --slot 3, logs/game.log without a\n"
     "  slot and for the window), at most --log-size MB, with --log-keep earlier\n"
     "  files.\n"},
    {"ENVIRONMENT", "Environment",
     "  On Linux the game runs through \"wine\", or through the program named by\n"
     "  TARVEX_GAME_RUNNER. The game is a 32-bit Windows program: on amd64, Wine\n"
     "  needs its 32-bit part (as root: dpkg --add-architecture i386 && apt-get\n"
     "  update && apt-get install wine32:i386); check says whether it is there.\n"
     "  Wine's prefix is WINEPREFIX, else ~/.wine of the user who runs the game\n"
     "  (/var/lib/tarvex/.wine for the services). WINEDEBUG, when set, says which\n"
     "  of Wine's notes reach the game's log (else its errors, not its fixme\n"
     "  notes). VISUAL, else EDITOR, is the editor of config --edit.\n"},
    {"EXAMPLES", "A first server from the shell (slot 3, as the service tarvex@3)",
     "  sudo tarvex-cli --system game-folder /srv/eliteforce\n"
     "  sudo tarvex-cli --system find-maps --add\n"
     "  sudo tarvex-cli --system config --slot 3 --edit\n"
     "  sudo systemctl enable --now tarvex@3\n"
     "  tarvex-cli --system status --slot 3\n"
     "  journalctl -u tarvex@3 -f\n"
     "  sudo tarvex-cli --system check --slot 3    # what keeps it from starting\n"},
    {"EXIT STATUS", "Exit status",
     "  0 done (run: stopped by a signal); 1 refused by a check or an unusable\n"
     "  slot, nothing written and nothing started, or no answer (status); 2 usage\n"
     "  error; 3 the script was written but the game could not be started, ended\n"
     "  before its server answered, or did not answer in time (launch). run, as\n"
     "  systemd names them: 1 not started for now (another run of the slot, its\n"
     "  port in use); 69 (UNAVAILABLE) it gave up after the game ended too\n"
     "  often; 78 (CONFIG) the configuration is refused by its checks or the\n"
     "  slot cannot be used, which no restart mends (the unit does not restart\n"
     "  it).\n"},
};

std::string helpFooter() {
  std::string text;
  for (const HelpSection& section : kSections) text += "\n" + std::string(section.title) + ":\n" + section.body;
  return text;
}

// Text for the manual page: its backslashes and hyphens as roff writes them,
// and no line that roff would take for a request.
std::string roff(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if ((c == '.' || c == '\'') && (i == 0 || text[i - 1] == '\n')) out += "\\&";
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
  }
  return out;
}

std::string_view withoutLineBreaksAround(std::string_view text) {
  while (!text.empty() && text.front() == '\n') text.remove_prefix(1);
  while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  return text;
}

// The manual page, made from the same table as the help.
std::string manualPage(const CLI::App& app) {
  const auto options = [](const CLI::App& command) {
    std::string out;
    for (const CLI::Option* option : command.get_options()) {
      if (option->get_group().empty()) continue;  // hidden
      if (command.get_parent() && (option == command.get_help_ptr() || option == command.get_help_all_ptr())) continue;
      std::string name = option->get_name(true, true);
      if (!option->get_option_text().empty()) name += " " + option->get_option_text();
      out += ".TP\n.B " + roff(name) + "\n" + roff(option->get_description()) + "\n";
    }
    return out;
  };
  std::string out = ".TH TARVEX\\-CLI 1 \"December 2026\" \"Tarvex " TARVEX_VERSION "\" \"User Commands\"\n";
  out += ".SH NAME\ntarvex\\-cli \\- set up, start, keep up and talk to Star Trek: Voyager \\- Elite Force servers\n";
  out +=
      ".SH SYNOPSIS\n.B tarvex\\-cli\n.RB [ \\-\\-app\\-folder\n.IR DIR ]\n.RB [ \\-\\-system ]\n.I COMMAND\n"
      ".RI [ OPTIONS ]\n";
  out += ".SH DESCRIPTION\n" + roff(app.get_description()) + "\n";
  out += ".SH OPTIONS\n" + options(app);
  out += ".SH COMMANDS\n";
  for (const CLI::App* command : app.get_subcommands({})) {
    if (command->get_group().empty()) continue;  // hidden
    out += ".SS " + roff(command->get_name()) + "\n" + roff(command->get_description()) + "\n";
    if (!command->get_footer().empty()) out += ".PP\n" + roff(withoutLineBreaksAround(command->get_footer())) + "\n";
    out += options(*command);
    for (const CLI::App* action : command->get_subcommands({}))
      out += ".SS \"" + roff(command->get_name() + " " + action->get_name()) + "\"\n" +
             roff(action->get_description()) + "\n" + options(*action);
  }
  for (const HelpSection& section : kSections)
    out += ".SH \"" + std::string(section.manualTitle) + "\"\n" +
           (section.manualTitle == std::string_view("EXAMPLES") ? roff(section.title) + ":\n" : "") + ".nf\n" +
           roff(section.body) + ".fi\n";
  out += ".SH SEE ALSO\n.BR tarvex (1),\n.BR systemctl (1),\n.BR journalctl (1)\n";
  return out;
}

struct ConfigOptions {
  bool keys = false;
  std::optional<std::string> from;
  std::vector<std::string> sets;
  bool edit = false;
};

struct Options {
  std::string appFolder;
  bool system = false;  // the services' data folder
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
  std::map<std::string, std::string> runNumbers;  // as given, checked after parsing
  std::vector<std::string> restartTimes;          // --restart-at, as given
  std::optional<std::string> gameFolder;          // game-folder's DIR
  bool manualPage = false;
  int stopSeconds = 10;
  int startSeconds = int(kDefaultStartTimeout.count());  // --start-timeout of launch and run
  ConfigOptions config;
  std::string serviceAction;  // service's install, remove or status
  bool runAsService = false;  // run --service
  std::string logFile;        // write-log's FILE
};

// JSON text for a terminal or a script: valid UTF-8 whatever a file name or a
// server held (a byte that is not UTF-8 becomes U+FFFD).
std::string jsonText(const nlohmann::ordered_json& json) {
  return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// How this machine's own servers are asked (list, status and rcon of a slot):
// from the watchdog's loopback address, which a busy host's other questions never crowd out.
constexpr platform::UdpTiming kLocalAsk{500, 1, 0, platform::kWatchdogSource};

// Lists the maps in the game's data folder that the catalogue does not know;
// with add, appends them to maps.ini as the window's "Find New Maps" does.
int findMaps(const Options& options, const MapListFolders& mapList, const MapCatalogue& catalogue, std::ostream& out,
             Services& services) {
  const PathIni ini = readPathIni(mapList.data);
  if (ini.state != PathIniState::Known) {
    services.message(unknownGameFolder(mapList.data) + "  " + kGameFolderHint);
    return 1;
  }
  const MapDiscovery found = discoverMaps(findGameDataFolder(ini.gameFolder), catalogue);
  for (const auto& problem : found.problems) services.message(problem);
  if (options.json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& map : found.maps) {
      list.push_back({{"name", gameTextToUtf8(map.entry.name)},
                      {"longname", gameTextToUtf8(map.entry.caption1)},
                      {"ctf", map.entry.isCtf()},
                      {"pk3", gameTextToUtf8(map.entry.caption2)},
                      {"picture", gameTextToUtf8(map.entry.picture)}});
    }
    out << jsonText(list) << '\n';
  } else if (found.maps.empty()) {
    services.message("No new maps were found in " + fromPath(findGameDataFolder(ini.gameFolder)) + ".");
  } else {
    for (const auto& map : found.maps)
      out << visibleText(map.entry.name) << '\t' << visibleText(map.entry.caption1) << '\t'
          << (map.entry.isCtf() ? "CTF" : "HoloMatch") << '\t' << visibleText(map.entry.caption2) << '\t'
          << (map.entry.picture.empty() ? "no picture" : visibleText(map.entry.picture)) << '\n';
  }
  if (!options.add || found.maps.empty()) return 0;
  const CatalogueAddition added = addToMapList(mapList, catalogue.rows.size(), found.maps);
  services.message(additionMessage(added));
  return added.error.empty() ? 0 : 1;
}

// Shows the game folder that path.ini names, or checks DIR and writes it there.
int gameFolderCommand(const Options& options, const std::filesystem::path& dataFolder, std::ostream& out,
                      Services& services) {
  const std::filesystem::path ini = dataFolder / kPathIniName;
  if (!options.gameFolder) {
    const PathIni read = readPathIni(dataFolder);
    if (read.state != PathIniState::Known) {
      services.message(unknownGameFolder(dataFolder) + "  " + kGameFolderHint);
      return 1;
    }
    out << "Game folder: " << visibleText(read.gameFolder) << "\n"
        << "Named in:    " << visibleText(fromPath(ini)) << "\n";
    return 0;
  }
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::absolute(toPath(*options.gameFolder), ec).lexically_normal();
  const std::string text = withTrailingSeparator(fromPath(folder));
  const auto refuse = [&](const std::string& why) {
    services.message("The game folder was not set: " + visibleText(text) + " " + why + ".  Nothing was written.");
    return 1;
  };
  if (ec || !std::filesystem::is_directory(folder, ec)) return refuse("is not a folder this user can read");
  if (holdsLineBreak(text)) return refuse("holds a line break, which path.ini cannot keep");
  const auto executable = resolveNoCase(folder, kGameExecutable);
  if (!executable || !std::filesystem::is_regular_file(*executable, ec))
    return refuse(std::string("does not hold the game's program ") + kGameExecutable);
  if (!std::filesystem::is_directory(findGameDataFolder(text), ec))
    return refuse(std::string("does not hold the game's data folder ") + kDataFolderName);
  if (const Problem error = writePathIni(dataFolder, text); !error.ok()) {
    services.message("Tarvex could not write " + fromPath(ini) + " (" + error + ").");
    return 1;
  }
  const std::filesystem::path gameData = findGameDataFolder(text);
  if (options.system) {
    // The services write BaseEF alone (the script, the game's own files); root lets them.
    // As root: the folder's group, and the drop-in that opens the unit's sandbox to it.
    const auto grant = [&]() -> Result<std::filesystem::path> {
      const platform::AsInvokingUser invoking;
      if (Problem granted = platform::letServicesWrite(gameData, systemDataFolder()); !granted.ok())
        return failure(std::move(granted));
      return platform::writeSandboxDropIn(gameData);
    };
    // Windows: each slot's service has an account of its own, which may write this BaseEF from now on.
    if (platform::kHasServiceManager)
      for (const std::string& service : letServicesWriteGameData(dataFolder))
        services.message("The service \"" + service + "\" may write " + fromPath(gameData) + " from now on.");
    if (const auto dropIn = grant(); !dropIn.ok()) {
      services.message("Note: the services may not write " + fromPath(gameData) + " yet: " + dropIn.problem() + ".");
    } else if (!dropIn->empty()) {
      services.message("The services may write " + fromPath(gameData) +
                       " (their group owns it now), and nothing else of the game folder; their sandbox lets them "
                       "through " +
                       fromPath(*dropIn) +
                       " (a server that runs sees it after systemctl daemon-reload and its restart).");
    }
    if (const std::string problem = changeableProgramProblem(dataFolder); !problem.empty())
      services.message("Note: " + problem + ".");
  } else if (!platform::isWritableFolder(gameData)) {
    // launch and run write the game's script there.
    services.message("Note: " + fromPath(gameData) +
                     " cannot be written by this user, and launch and run write the game's script there.  Please "
                     "let this user write it.");
  }
  out << "Game folder: " << visibleText(text) << "\n"
      << "Named in:    " << visibleText(fromPath(ini)) << "\n";
  return 0;
}

// The text of a configuration in $VISUAL or $EDITOR: the text as saved, or
// nullopt when the editor failed (said why). As sudoedit does it: the editor
// runs as the user who started tarvex-cli, with that user's environment, on
// a copy in that user's temporary folder; only the slot's reading and
// writing happen as the data folder's owner.
std::optional<std::string> editedText(const std::string& text, Services& services) {
  const platform::AsInvokingUser invoking;
  const char* visual = std::getenv("VISUAL");
  const char* editor = visual && *visual ? visual : std::getenv("EDITOR");
  const std::string command = editor && *editor ? editor : platform::kDefaultEditor;
  // Owner-only and made anew: the text holds the console password.
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  if (ec) {
    services.message("Tarvex could not find a temporary folder for the text to edit (" + ec.message() +
                     "; TMPDIR names it): nothing was written.");
    return std::nullopt;
  }
  const std::filesystem::path file = folder / ("tarvex-config-" + newIdentityToken() + ".txt");
  if (const Problem error = writeFileAtomic(file, text, FileAccess::OwnerOnly, FileWrite::CreateOnly); !error.ok()) {
    services.message("Tarvex could not write the text to edit, " + fromPath(file) + " (" + error + ").");
    return std::nullopt;
  }
  const Result<std::string> ended = platform::runEditor(command, file);
  const FileBytes edited = readFileBytesNoLinks(file, kMaxConfigTextBytes);
  std::filesystem::remove(file, ec);
  if (!ended || !ended->empty()) {
    services.message("The editor (" + shortVisible(command) + ") " +
                     (ended ? "ended with " + *ended : std::string(ended.problem())) + ": nothing was written.");
    return std::nullopt;
  }
  if (edited.status != ReadStatus::Ok) {
    services.message("The edited text " + fromPath(file) + " could not be read back" +
                     (edited.status == ReadStatus::TooLarge ? " (it is larger than 1 MB)" : "") +
                     ": nothing was written.");
    return std::nullopt;
  }
  return edited.bytes;
}

// Prints a slot's configuration as text, or writes it from a text (a file,
// standard input, --set lines or the editor) once that reads back clean and
// the launch checks take it.
int configCommand(const Options& options, const std::filesystem::path& dataFolder, Configuration& config,
                  std::istream& in, std::ostream& out, Services& services) {
  if (options.config.keys) {
    out << configKeys();
    return 0;
  }
  const std::filesystem::path file = options.slot != 0 ? slotPath(dataFolder, options.slot) : toPath(options.saveFile);
  const std::string title = options.slot != 0 ? slotTitle(options.slot) : "Save File";
  const std::string name = options.slot != 0 ? "slot " + std::to_string(options.slot) : fromPath(file);
  std::string description;
  bool unused = false;
  std::error_code ec;
  const auto found = std::filesystem::symlink_status(file, ec);
  if (ec && found.type() != std::filesystem::file_type::not_found) {
    // What cannot be looked at is never an unused slot.
    services.message("The configuration " + fromPath(file) + " cannot be read (" + ec.message() + ").  " +
                     platform::accessHint(file.parent_path()));
    return 1;
  }
  if (!std::filesystem::exists(found)) {
    unused = true;
  } else {
    const SaveRead read = restoreSaveFile(file, options.slot, config);
    if (read.outcome == RestoreOutcome::Unreadable) {
      services.message(read.message);
      return 1;
    }
    unused = read.outcome == RestoreOutcome::NeverUsed;
    if (!unused) description = saveDescription(readFileHead(file, 64 * 1024).bytes).value_or(std::string());
  }
  const bool writing = options.config.from || !options.config.sets.empty() || options.config.edit;
  std::vector<std::string> heading{"Tarvex configuration of " + visibleText(name) +
                                   (unused ? ", unused: the settings a new slot starts with" : "")};
  heading.push_back("Keys and their values: tarvex-cli config --keys");
  if (!writing) {
    out << configText(config, description, heading);
    return 0;
  }
  // Applies a text; on a finding says where (place: "" / "FILE, " / "--set "), writes nothing and returns false.
  const auto write = [&](const std::string& text, const std::function<std::string(std::size_t)>& place) {
    Configuration next = config;
    std::string nextDescription = unused ? std::string("Made with tarvex-cli config") : description;
    const ConfigApplied applied = applyConfigText(text, next, nextDescription);
    for (const auto& problem : applied.problems) services.message(place(problem.line) + problem.text);
    if (!applied.problems.empty()) return false;
    const LaunchCheck check = checkLaunch(next.settings, next.rotation.maps, next.catalogue);
    for (const auto& message : check.messages) services.message(place(lineOfMessage(applied, message)) + message);
    if (!check.proceed) return false;
    const SlotSave saved = saveSlotFile(file, title, nextDescription, next);
    if (!saved.refusal.empty()) services.message(saved.refusal);
    if (!saved.writeProblem.ok())
      services.message("Tarvex could not write " + fromPath(file) + " (" + saved.writeProblem + ").");
    if (!saved.ok()) return false;
    services.message("The configuration of " + visibleText(name) + " was written (" + fromPath(file) +
                     ").  A running server takes it when it is started again.");
    return true;
  };
  const auto nothingWritten = [&] {
    services.message("Nothing was written.");
    return 1;
  };
  if (options.config.from) {
    std::string text;
    const bool standardInput = *options.config.from == "-";
    if (standardInput) {
      // Read up to one byte past the bound: more is refused, never gathered.
      text.resize(kMaxConfigTextBytes + 1);
      in.read(text.data(), std::streamsize(text.size()));
      text.resize(std::size_t(in.gcount()));
      if (text.size() > kMaxConfigTextBytes) {
        services.message(
            "The configuration text on standard input is larger than 1 MB, and a configuration is a "
            "few kilobytes.  Nothing was written.");
        return 1;
      }
    } else {
      const FileBytes read = readFileBytes(toPath(*options.config.from), kMaxConfigTextBytes);
      if (read.status != ReadStatus::Ok) {
        services.message("The configuration text " + shortVisible(*options.config.from, 200) +
                         (read.status == ReadStatus::TooLarge  ? " is larger than 1 MB, and a configuration is a few "
                                                                 "kilobytes"
                          : read.status == ReadStatus::Missing ? " does not exist"
                                                               : " cannot be read") +
                         ".  Nothing was written.");
        return 1;
      }
      text = read.bytes;
    }
    const std::string source = standardInput ? "standard input" : *options.config.from;
    const auto place = [&](std::size_t line) {
      return line == 0 ? source + ": " : source + ", line " + std::to_string(line) + ": ";
    };
    return write(text, place) ? 0 : nothingWritten();
  }
  if (!options.config.sets.empty()) {
    std::string text;
    for (const auto& set : options.config.sets) {
      if (holdsLineBreak(set)) {
        services.message("--set " + shortVisible(set) + ": a value cannot hold a line break.  Nothing was written.");
        return 1;
      }
      text += set + "\n";
    }
    const auto place = [&](std::size_t line) {
      return line == 0 ? std::string() : "--set " + shortVisible(options.config.sets[line - 1]) + ": ";
    };
    return write(text, place) ? 0 : nothingWritten();
  }
  std::string text = configText(config, description, heading);
  const std::string original = text;
  for (;;) {
    const auto edited = editedText(text, services);
    if (!edited) return 1;
    if (*edited == original) {
      services.message("No change: nothing was written.");
      return 0;
    }
    const auto place = [](std::size_t line) {
      return line == 0 ? std::string() : "line " + std::to_string(line) + ": ";
    };
    if (write(*edited, place)) return 0;
    text = *edited;  // offered again as it was left
    out << "Edit the text again? [Y/n] " << std::flush;
    std::string answer;
    if (!std::getline(in, answer) || (!answer.empty() && (answer[0] == 'n' || answer[0] == 'N')))
      return nothingWritten();
  }
}

// What runs under an instance, when something does: its process and record.
struct Running {
  long pid = 0;
  std::optional<InstanceState> state;
};
// nullopt when nothing runs under the instance; a failure when its records
// cannot be read, or name a process that is not this data folder's own (a
// stale or foreign record, which is never signalled).
Result<std::optional<Running>> runningInstance(const std::filesystem::path& dataFolder, const std::string& instance) {
  const auto holder = platform::instanceHolder(instanceLockFile(dataFolder, instance), dataFolder);
  if (!holder) return Failure{holder.problem()};
  if (!*holder) return std::optional<Running>();
  const long pid = **holder;
  if (const Problem foreign = platform::foreignProcess(pid, instance, dataFolder); !foreign.ok())
    return failure("its lock " + fromPath(instanceLockFile(dataFolder, instance)) +
                   " names a process that is not its own (" + foreign +
                   "): a stale or foreign record, which is never signalled");
  const std::filesystem::path stateFile = instanceStateFile(dataFolder, instance);
  const FileBytes bytes = readFileBytesNoLinks(stateFile, 64 * 1024);
  if (bytes.status != ReadStatus::Ok && bytes.status != ReadStatus::Missing)
    return failure("its record " + fromPath(stateFile) + " cannot be read");
  auto state = bytes.status == ReadStatus::Ok ? parseInstanceState(bytes.bytes) : std::nullopt;
  if (state && state->pid != pid) state.reset();  // a record of an earlier start
  return std::optional<Running>(Running{pid, std::move(state)});
}

// Ends what runs under the instance: run (which stops its game and exits)
// or a launched game.
int stopInstance(const Options& options, const std::filesystem::path& dataFolder, const std::string& instance,
                 std::ostream& out, Services& services) {
  const auto running = runningInstance(dataFolder, instance);
  if (!running) {
    services.message("tarvex-cli: " + visibleUtf8(instance) + " was not stopped: " + running.problem() + ".");
    return 1;
  }
  if (!*running) {
    out << visibleUtf8(instance) << " does not run.\n";
    return 0;
  }
  const Running& found = **running;
  const bool launched = found.state && found.state->startedBy == "launch";
  const std::string what = visibleUtf8(instance) + " (process " + std::to_string(found.pid) + ", started by " +
                           (launched ? "launch" : "run") + ")";
  const auto grace = std::chrono::seconds(options.stopSeconds + (launched ? 0 : 5));
  if (!platform::endProcess(found.pid, launched, grace)) {
    services.message("tarvex-cli: " + what + " did not end.");
    return 1;
  }
  out << "Stopped " << what << ".\n";
  return 0;
}

// The instances of the data folder that run, with what their servers answer.
// A shell that forgot --system (root's, most often) finds nothing of the
// services in its own data folder: when the services' folder holds what the
// command looked for, it is told to add --system.
void noteServicesFolder(const Options& options, const std::filesystem::path& dataFolder, Services& services) {
  const std::filesystem::path folder = systemDataFolder();
  std::error_code ec;
  if (std::filesystem::equivalent(folder, dataFolder, ec) || options.command == "write-log") return;
  const std::string instance = instanceName(options.slot, options.saveFile);
  std::string holds;
  if (options.command == "list") {
    for (std::filesystem::directory_iterator entry(folder / "run", ec), end; !ec && entry != end; entry.increment(ec))
      if (entry->path().extension() == ".state") holds = "the records of servers that run";
  } else if (options.slot != 0) {
    Configuration probe;
    const bool used =
        restoreSaveFile(slotPath(folder, options.slot), options.slot, probe).outcome == RestoreOutcome::Restored;
    if (std::filesystem::exists(instanceStateFile(folder, instance), ec))
      holds = "the record of " + instance + "'s running server";
    else if (options.command == "log" && std::filesystem::exists(instanceLogFile(folder, instance), ec))
      holds = instance + "'s log";
    else if (used)
      holds = "a configuration in slot " + std::to_string(options.slot);
  }
  if (holds.empty()) return;
  services.message("Note: the services' data folder " + fromPath(folder) + " holds " + holds +
                   ": add --system to work on it (sudo tarvex-cli --system " + options.command + " ...).");
}

int listInstances(const Options& options, const std::filesystem::path& dataFolder, std::ostream& out,
                  Services& services) {
  std::vector<std::string> instances;
  std::error_code ec;
  const std::filesystem::path runFolder = dataFolder / "run";
  for (std::filesystem::directory_iterator entry(runFolder, ec), end; !ec && entry != end; entry.increment(ec))
    if (entry->path().extension() == ".lock") instances.push_back(fromPath(entry->path().stem()));
  if (ec && ec != std::errc::no_such_file_or_directory) {
    services.message("tarvex-cli: the servers of " + fromPath(dataFolder) +
                     " cannot be listed: " + fromPath(runFolder) + " cannot be read (" + ec.message() + ").  " +
                     platform::accessHint(dataFolder));
    return 1;
  }
  std::sort(instances.begin(), instances.end());
  nlohmann::ordered_json json = nlohmann::ordered_json::array();
  std::string table;
  int status = 0;
  for (const auto& instance : instances) {
    const auto running = runningInstance(dataFolder, instance);
    if (!running) {
      services.message("tarvex-cli: " + visibleUtf8(instance) + " is not listed: " + running.problem() + ".");
      status = 1;
      continue;
    }
    if (!*running) continue;
    const Running& found = **running;
    const InstanceState state = found.state.value_or(InstanceState{"run", found.pid, 0, 0, {}, 0, {}, {}});
    std::optional<ServerStatus> answer;
    if (state.port > 0)
      answer = askStatus(state.address.empty() ? "127.0.0.1" : state.address, state.port, kLocalAsk).value();
    const std::string map = answer ? visibleText(gameTextToUtf8(answer->value("mapname"))) : "-";
    const std::string players = answer ? std::to_string(answer->players.size()) + "/" +
                                             visibleText(gameTextToUtf8(answer->value("sv_maxclients")))
                                       : "-";
    char since[32] = "-";
    if (state.since > 0) {
      const std::tm local = platform::localTime(std::time_t(state.since));
      std::strftime(since, sizeof since, "%Y-%m-%d %H:%M:%S", &local);
    }
    const std::string port = state.port > 0 ? std::to_string(state.port) : "-";
    json.push_back({{"instance", instance},
                    {"pid", found.pid},
                    {"started_by", state.startedBy},
                    {"since", state.since > 0 ? nlohmann::ordered_json(since) : nullptr},
                    {"restarts", state.restarts},
                    {"port", state.port > 0 ? nlohmann::ordered_json(state.port) : nullptr},
                    {"map", answer ? nlohmann::ordered_json(gameTextToUtf8(answer->value("mapname"))) : nullptr},
                    {"players", answer ? nlohmann::ordered_json(answer->players.size()) : nullptr},
                    {"output", state.output}});
    table += visibleUtf8(instance) + "\t" + std::to_string(found.pid) + "\t" + visibleUtf8(state.startedBy) + "\t" +
             since + "\t" + std::to_string(state.restarts) + "\t" + port + "\t" + map + "\t" + players + "\n";
  }
  if (options.json) {
    out << jsonText(json) << '\n';
  } else if (table.empty()) {
    out << "No server of " << visibleUtf8(fromPath(dataFolder)) << " runs.\n";
    if (!options.system) noteServicesFolder(options, dataFolder, services);
  } else {
    out << "INSTANCE\tPROCESS\tSTARTED BY\tSINCE\tRESTARTS\tPORT\tMAP\tPLAYERS\n" << table;
  }
  return status;
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

// The reason nothing was answered, as status and rcon say it.
std::string noAnswerMessage(const std::string& error, const std::string& shown) {
  if (error.starts_with("no answer")) return "No answer from a game server at " + shown + " within two seconds.";
  return "No game server could be asked at " + shown + ": " + error + ".";
}

// Whether the console command ends the server ("quit", "killserver").
bool endsServer(const std::string& command) {
  const std::string word = lowerAscii(command.substr(0, command.find(' ')));
  return word == "quit" || word == "killserver";
}

std::string joinWords(const std::vector<std::string>& words) {
  std::string text;
  for (const auto& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

// Sends one console command with the slot's console password and prints
// the server's answer.
int remoteCommand(const Options& options, const ServerSettings& settings, const std::filesystem::path& dataFolder,
                  const std::string& instance, std::ostream& out, Services& services) {
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
    services.message(
        "The console password holds a blank, which the game's remote console cannot take.  Please "
        "choose one without blanks on the window's Server tab, and start the server again.");
    return 1;
  }
  auto address = serverAddress(options, settings, services);
  if (!address) return 2;
  if (!options.address) {
    // The slot's own server: the password goes only to the server that carries this start's identity.
    const std::string name = visibleUtf8(instance);
    const auto running = runningInstance(dataFolder, instance);
    if (!running) {
      services.message("tarvex-cli: the console password was not sent: " + name + "'s " + running.problem() + ".");
      return 1;
    }
    if (!*running || !(*running)->state || (*running)->state->id.empty()) {
      services.message(
          "tarvex-cli: " + name +
          " does not run (no server that tarvex-cli run or launch started for it is recorded), so its console "
          "password was not sent.  To send it to a server you know, give its address before the command: "
          "tarvex-cli rcon ... HOST:PORT COMMAND.");
      return 1;
    }
    const InstanceState& state = *(*running)->state;
    address = {state.address.empty() ? "127.0.0.1" : state.address, state.port > 0 ? state.port : address->second};
    const std::string asked = serverAddressText(address->first, address->second);
    const auto status = askStatus(address->first, address->second, kLocalAsk);
    if (!status || status->value(kIdentityVariable) != state.id) {
      services.message("tarvex-cli: the server at " + asked +
                       (status ? " is not the one" : " does not answer as the one") + " tarvex-cli started for " +
                       name + (status ? " (it does not carry its identity)" : "") +
                       ", so its console password was not sent.");
      return 1;
    }
  }
  const auto& [host, port] = *address;
  const std::string shown = serverAddressText(host, port);
  // A long answer comes in several datagrams; one try only: a command must not run twice.
  const auto answers = platform::udpExchange(host, port, rconRequest(password, command), {2000, 1, 200});
  const auto text = answers ? parseRconAnswer(*answers) : std::nullopt;
  if (!answers && endsServer(command)) {
    // A server that ends answers nothing: it went away as asked when its port is free.
    for (int i = 0; i < 8 && !portProblem(host, port).empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
    if (portProblem(host, port).empty()) {
      out << "The server at " << shown << " ended.\n";
      return 0;
    }
  }
  if (!text) {
    services.message(!answers ? noAnswerMessage(answers.problem(), shown)
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
  // One more try after a second, on the same socket: a datagram can be lost.
  // A slot's own server is asked as run's watchdog asks it, which other questions never crowd out.
  const auto answers = platform::udpExchange(host, serverPort, statusRequest(),
                                             {1000, 2, 0, options.address ? 0u : platform::kWatchdogSource});
  if (!answers) {
    services.message(noAnswerMessage(answers.problem(), shown));
    return 1;
  }
  const auto status = parseStatusResponse(answers->front());
  if (!status) {
    services.message("The answer from " + shown + " could not be read: " + status.problem() + ".");
    return 1;
  }
  out << (options.json ? statusJson(*status, shown) : statusTable(*status, shown));
  return 0;
}

int usageError(std::ostream& err, const std::string& problem, const CLI::App& command) {
  err << "tarvex-cli: " << problem << "\n"
      << CLI::Formatter().make_usage(&command, command.get_parent() ? "tarvex-cli " + command.get_name() : "tarvex-cli")
      << "Run \"tarvex-cli" << (command.get_parent() ? " " + command.get_name() : "") << " --help\" for more.\n";
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
      maps.push_back(
          {{"name", text(row.name)},
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
    out << jsonText(json) << '\n';
    return 0;
  }
  const auto limits = [](const MapEntry& row) {
    return "frag " + visibleText(row.fragLimit) + "\ttime " + visibleText(row.timeLimit) + "\tcapture " +
           visibleText(row.captureLimit);
  };
  for (const auto& row : config.catalogue.rows) {
    out << visibleText(row.name) << '\t'
        << installedText(ini.state == PathIniState::Known ? &gameData : nullptr, row, folders) << '\t' << classText(row)
        << '\t' << limits(row) << '\n';
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

namespace {
// A paragraph broken into lines of at most 78 characters, for a command's help.
std::string paragraph(std::string_view text) {
  std::string out = "\n", line;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    const std::string_view word = text.substr(at, end - at);
    if (!line.empty() && line.size() + 1 + word.size() > 78) {
      out += line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + std::string(word);
    at = end + 1;
  }
  return out + line + "\n";
}

// One table of commands and options: it parses the command line and makes
// --help, each command's --help and the manual page's list.
void describeCommandLine(CLI::App& app, Options& options) {
  app.description(
      "Hosts a \"Star Trek: Voyager - Elite Force\" server on a machine without a desktop: sets it up,\n"
      "starts it, keeps it up and talks to it.");
  app.set_help_all_flag("--help-all", "every command's help");
  app.set_version_flag("--version", std::string("tarvex-cli ") + TARVEX_VERSION);
  app.require_subcommand(0, 1);
  app.fallthrough();
  app.add_option("--app-folder", options.appFolder, "the Tarvex program folder (default: the folder of this program)")
      ->option_text("DIR");
  app.add_flag("--system", options.system, "use the services' data folder (/var/lib/tarvex), as tarvex@N.service does");
  const auto configuration = [&options](CLI::App* command) {
    auto* slot = command->add_option("--slot", options.slot, "save slot N (1 to 9) of the data folder")
                     ->option_text("N")
                     ->check(CLI::Range(1, 9));
    command->add_option("--save", options.saveFile, "a save file, read as a save slot")
        ->option_text("FILE")
        ->excludes(slot);
  };
  const auto command = [&](const char* name, const char* description) {
    CLI::App* sub = app.add_subcommand(name, description);
    sub->callback([&options, name] { options.command = name; });
    return sub;
  };
  configuration(command("render", "print the game script (tarvex.cfg) that launch would write; nothing is written"));
  CLI::App* launch = command("launch",
                             "write tarvex.cfg into the game folder and start the game, then exit once its server "
                             "answers on its port");
  configuration(launch);
  CLI::App* run = command("run",
                          "keep the server up, in the foreground: start the game as launch does (with a script of "
                          "its own), again when it ends or stops answering, and stop it on SIGTERM, SIGINT or SIGHUP");
  // The defaults the help names are the ones run starts with.
  const SupervisorOptions supervised;
  const LogLimits logged;
  const auto count = [](auto value) { return std::to_string(value); };
  run->footer(paragraph("The game's own script is tarvex-slotN.cfg.  Waits between starts: " +
                        count(supervised.firstDelay.count() / 1000) + " s, doubling up to " +
                        count(supervised.mostDelay.count() / 1000) +
                        " s.  On Windows, Ctrl+C, Ctrl+Break and closing the console stop it."));
  configuration(run);
  for (CLI::App* starts : {launch, run})
    starts
        ->add_option("--start-timeout", options.startSeconds,
                     "how long a dedicated server's start may take until it first answers on its port (" +
                         count(kDefaultStartTimeout.count()) +
                         "; the first start of Wine makes its prefix): launch fails after it, run starts the game "
                         "again")
        ->option_text("S")
        ->check(CLI::Range(1, 86400));
  struct Number {
    const char* name;
    const char* text;
    std::string description;
  };
  const std::string confirm = count(supervised.confirmTries * supervised.confirmGap.count() / 1000);
  for (const Number& number :
       {Number{"--restart-limit", "N",
               "give up after N ends within the restart window (" + count(supervised.restartBurst) + ")"},
        {"--restart-window", "S", "that window, in seconds (" + count(supervised.restartInterval.count()) + ")"},
        {"--watchdog", "S",
         "check the server every S seconds (its status, asked again for " + confirm +
             " s, and its console) and start it again after " + count(supervised.watchdogMisses) + " silent checks, " +
             count(supervised.watchdogMisses * 2) + " without a console password (" +
             count(supervised.watchdogInterval.count()) + "; 0: never); these restarts never make run give up"},
        {"--stop-timeout", "S",
         "after asking the game to end, end it for sure (" + count(supervised.stopTimeout.count()) + ")"},
        {"--log-size", "MB",
         "start a new log file past this size (" + count(logged.maxBytes / (1024 * 1024)) + "; 64K: kilobytes)"},
        {"--log-keep", "N", "earlier log files kept (" + count(logged.keep) + ")"}})
    run->add_option(number.name, options.runNumbers[number.name], number.description)->option_text(number.text);
  run->add_option("--restart-at", options.restartTimes,
                  "restart the game at this time of day (local, HH:MM; may be given more than once), warning the "
                  "players through the remote console 5 and 1 minutes before; these restarts never make run give up")
      ->option_text("HH:MM");
  run->add_option("--restart-warning", options.run.supervisor.restartWarning,
                  "what the players are told before a scheduled restart; {minutes} is \"5 minutes\" or \"1 minute\" "
                  "(\"The server restarts in {minutes}.\")")
      ->option_text("TEXT");
  run->add_option("--log", options.run.log,
                  "the game's log (default: logs/ in the data folder); -: the game's output to standard output "
                  "(journald)")
      ->option_text("FILE|-");
  run->add_flag("--service", options.runAsService, "run as the Windows service that the service manager started")
      ->group("");
  CLI::App* log = command("log", "print the game's output as its log kept it");
  configuration(log);
  log->add_flag("-f,--follow", options.follow, "and follow it");
  CLI::App* stop = command("stop", "end the server of a slot or save file, whether run or launch started it");
  configuration(stop);
  stop->add_option("--timeout", options.stopSeconds,
                   "seconds to wait for it to end before ending it for sure (10; run is given 5 more to end its game)")
      ->option_text("S")
      ->check(CLI::Range(0, 3600));
  stop->footer(
      paragraph("run stops its game and exits 0, as on SIGTERM.  On Windows the process is ended at once "
                "(run's game ends with it).  A server that does not run is nothing to stop: exit 0."));
  CLI::App* list = command("list",
                           "list the servers of the data folder that run: instance, process, since when, "
                           "restarts, port, map and players");
  list->add_flag("--json", options.json, "print the same as JSON");
  CLI::App* maps = command("maps", "list the map list (name, installed, class, limits); with a slot, its rotation too");
  configuration(maps);
  maps->add_flag("--json", options.json, "print the same as JSON");
  CLI::App* check = command("check",
                            "say whether this host can start the server: Wine and its 32-bit part, the game "
                            "folder, who may write what, the slot's checks and port, the services' folder and unit");
  configuration(check);
  check->footer(paragraph(
      "One line an item, \"ok\", \"warn\" or \"FAIL\" with what to do about it; exit status 1 when anything "
      "keeps the server from starting.  With --system it checks as the services' user, whose Wine prefix it makes "
      "on its first start (a while), as the service's first start would."));
  CLI::App* status = command("status", "ask a running server for its name, map, game type, limits and players");
  status->footer(paragraph("The address defaults to 127.0.0.1, at the slot's net port when it sets one, else 27960."));
  configuration(status);
  status->add_option("address", options.address, "the server's address")->option_text("[HOST][:PORT]");
  status->add_flag("--json", options.json, "print the same as JSON, for scripts");
  CLI::App* rcon = command("rcon", "send one console command with the slot's console password and print the answer");
  rcon->footer(
      paragraph("Examples: rcon --slot 3 map oa_dm2; rcon --slot 3 say Restart at 10; rcon --slot 3 "
                "127.0.0.1:27961 kick Name.  The address, as for status, comes before the command; colour codes are "
                "removed from the answer unless --raw is given.  Without an address the password goes only to the "
                "server that run or launch started for the slot, which carries that start's identity."));
  configuration(rcon);
  rcon->add_flag("--raw", options.raw, "keep the colour codes");
  // The command's words are taken as given, options and command names included.
  rcon->prefix_command()->fallthrough(false);
  CLI::App* findMaps = command("find-maps", "list the maps in the game's pk3 files that the map list does not know");
  findMaps->add_flag("--json", options.json, "print the same as JSON");
  findMaps->add_flag("--add", options.add,
                     "add them to the map list in the data folder with their pictures (keeping its previous version "
                     "as maps.ini.bak)");
  CLI::App* gameFolder =
      command("game-folder", "print the game folder and the path.ini that names it; with DIR, check and set it");
  gameFolder->add_option("DIR", options.gameFolder, "the game folder");
  gameFolder->footer(paragraph(
      "With --system, run as root, the services may write the game's BaseEF alone (the script and the game's own "
      "files go there), never its program or the folder above: on Linux BaseEF goes to the group tarvex, which may "
      "write it, and the unit's sandbox is opened to it by /etc/systemd/system/tarvex@.service.d/game-folder.conf "
      "(a running server sees it after systemctl daemon-reload and its restart); on Windows each slot's service "
      "account may write it.  Never give the game folder to the services' user (chown -R): the game faces the "
      "network."));
  CLI::App* config = command("config", "print a configuration as text, or write it from such a text");
  config->footer(paragraph(
      "The text has one \"key = value\" line a setting, in the window's order, # comments naming its tabs, and "
      "one \"map = NAME FRAG TIME CAPTURE\" line a map of the rotation, in order (without limits a map keeps its "
      "own).  Keys not given keep their values.  A value with blanks at its ends is written in double quotes.  "
      "Nothing is written unless every line reads back clean and the launch checks take the configuration."));
  configuration(config);
  config->add_flag("--keys", options.config.keys, "list every key with its tab, caption, values and start value");
  config->add_option("--from", options.config.from, "write the configuration from FILE (-: standard input)")
      ->option_text("FILE");
  config->add_option("--set", options.config.sets, "change single settings")->option_text("KEY=VALUE ...");
  config->add_flag("--edit", options.config.edit,
                   "edit the text with $VISUAL or $EDITOR and write it back once it reads back clean");
  CLI::App* service =
      command("service",
              "Windows: make the server of a slot a service that starts with the machine and keeps it up as run "
              "does (install), remove it, or show how it is (status)");
  service->require_subcommand(1, 1);
  service->footer(paragraph(
      "The service \"Tarvex slot N\" runs \"tarvex-cli --system run --slot N\" on the services' data folder "
      "(%ProgramData%\\Tarvex) as an account of its own, NT SERVICE\\Tarvex slot N, which may write that folder "
      "and the game's BaseEF alone (install grants it, remove takes it back).  It starts with the machine, and "
      "again 10, 30 and 60 s "
      "after run ends with a failure; stopping it (net stop, the Services window) stops the game as Ctrl+C does.  "
      "The game's output goes to logs\\slotN.log there, what run says to logs\\slotN.service.log.  install and "
      "remove need a command prompt opened with \"Run as administrator\".  On Linux the package's unit does the "
      "same: systemctl enable --now tarvex@N."));
  const auto serviceAction = [&](const char* name, const char* description) {
    CLI::App* sub = service->add_subcommand(name, description);
    sub->callback([&options, name] { options.serviceAction = name; });
    return sub->add_option("--slot", options.slot, "save slot N (1 to 9) of the services' data folder")
        ->option_text("N")
        ->check(CLI::Range(1, 9));
  };
  serviceAction("install", "register the service of a slot, which starts with the machine (start it with net start)");
  serviceAction("remove",
                "stop the service of a slot (without --slot: every slot's) and remove it; no data is removed");
  serviceAction("status", "show the service of a slot (without --slot: every slot's): state, command line, logs");
  // The writer of a launched game's log on Windows (the window's launches too).
  app.add_subcommand("write-log", "copy standard input into a rotating log")
      ->group("")
      ->callback([&options] { options.command = "write-log"; })
      ->add_option("FILE", options.logFile, "the log")
      ->required();
  // Only the program's own help ends with where files live and a first setup.
  app.footer(helpFooter());
  app.add_flag("--manual-page", options.manualPage, "print the manual page (roff)")->group("");
}

// The run options' times of day and the warning's text.
Problem takeRestartTimes(Options& options) {
  for (const std::string& text : options.restartTimes) {
    // Exactly HH:MM: two digits, a colon, two digits.
    const bool shaped = text.size() == 5 && text[2] == ':' && std::all_of(text.begin(), text.end(), [](char c) {
                          return c == ':' || (c >= '0' && c <= '9');
                        });
    const auto hours = shaped ? parseCount(text.substr(0, 2)) : std::nullopt;
    const auto minutes = shaped ? parseCount(text.substr(3)) : std::nullopt;
    if (!hours || !minutes || *hours > 23 || *minutes > 59)
      return "--restart-at takes a time of day as HH:MM, such as 04:30";
    options.run.supervisor.restartTimes.push_back(std::chrono::hours(*hours) + std::chrono::minutes(*minutes));
  }
  // Said through the remote console: a text the console reads as one command.
  const std::string& warning = options.run.supervisor.restartWarning;
  if (const Problem problem = gameValueProblem(warning, ValueForm::Raw); !problem.ok())
    return "--restart-warning contains " + problem + ", which the game would misread";
  if (holdsLineBreak(warning) || warning.size() > 200)
    return "--restart-warning takes one line of at most 200 characters";
  return {};
}

// The run options' numbers, as they were given.
Problem takeRunNumbers(Options& options) {
  for (const auto& [name, text] : options.runNumbers) {
    if (text.empty()) continue;
    // A log size may be given in kilobytes: "64K".
    const bool kilobytes = name == "--log-size" && (text.back() == 'K' || text.back() == 'k');
    const auto number = parseCount(kilobytes ? text.substr(0, text.size() - 1) : text);
    const bool positive = name == "--restart-limit" || name == "--log-size" || name == "--restart-window";
    if (!number || (positive && *number < 1) || *number > 1000000)
      return name + " takes a whole number" + (positive ? " from 1" : "");
    SupervisorOptions& supervisor = options.run.supervisor;
    if (name == "--restart-limit") supervisor.restartBurst = int(*number);
    if (name == "--restart-window") supervisor.restartInterval = std::chrono::seconds(*number);
    if (name == "--watchdog") supervisor.watchdogInterval = std::chrono::seconds(*number);
    if (name == "--stop-timeout") supervisor.stopTimeout = std::chrono::seconds(*number);
    if (name == "--log-size") options.run.limits.maxBytes = std::uint64_t(*number) * 1024 * (kilobytes ? 1 : 1024);
    if (name == "--log-keep") options.run.limits.keep = int(*number);
  }
  return {};
}

// Everything after the command line was read.
int execute(Options& options, std::ostream& out, std::ostream& err, Services& services, std::istream* in);
int executeIn(Options& options, const std::filesystem::path& dataFolder, std::ostream& out, std::ostream& err,
              Services& services, std::istream* in);
// Checks that the services' folder exists and, as root, goes on as its owner.
Problem enterServicesFolder(const Options& options);
}  // namespace

int runCli(const std::vector<std::string>& args, const std::string& exeFolder, std::ostream& out, std::ostream& err,
           Services& services, std::istream* in) {
  Options options;
  options.appFolder = exeFolder;
  CLI::App app("", "tarvex-cli");
  describeCommandLine(app, options);
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // as CLI11 takes them
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return 0;
  } catch (const CLI::CallForAllHelp&) {
    out << app.help("", CLI::AppFormatMode::All);
    return 0;
  } catch (const CLI::CallForVersion& version) {
    out << version.what() << '\n';
    return 0;
  } catch (const CLI::ParseError& error) {
    const auto chosen = app.get_subcommands();
    return usageError(err, error.what(), chosen.empty() ? app : *chosen.front());
  }
  if (options.manualPage) {
    out << manualPage(app);
    return 0;
  }
  if (app.get_subcommands().empty()) return usageError(err, "no command given", app);
  CLI::App& given = *app.get_subcommands().front();
  if (Problem problem = takeRunNumbers(options); !problem.ok()) return usageError(err, problem, given);
  if (Problem problem = takeRestartTimes(options); !problem.ok()) return usageError(err, problem, given);
  options.run.supervisor.firstAnswerWait = std::chrono::seconds(options.startSeconds);
  if (options.command == "rcon") {
    // The first word is the server's address when it looks like one.
    std::vector<std::string> words = given.remaining();
    if (!words.empty() && (words.front().find_first_of(".:") != std::string::npos || words.front() == "localhost")) {
      options.address = words.front();
      words.erase(words.begin());
    }
    options.words = std::move(words);
    if (options.words.empty()) return usageError(err, "rcon needs a console command", given);
  }
  if (options.command == "config") {
    const ConfigOptions& c = options.config;
    if (int(c.keys) + int(c.from.has_value()) + int(!c.sets.empty()) + int(c.edit) > 1)
      return usageError(err, "give one of --keys, --from, --set and --edit", given);
    if (!c.keys && options.slot == 0 && options.saveFile.empty())
      return usageError(err, "config needs --slot N or --save FILE", given);
  }
  if (options.command == "service") {
    if (!platform::kHasServiceManager) {
      services.message(
          "tarvex-cli service registers Windows services.  Here systemd's unit tarvex@N runs the server of slot N: "
          "sudo systemctl enable --now tarvex@N");
      return 1;
    }
    if (options.serviceAction == "install" && options.slot == 0)
      return usageError(err, "service install needs --slot N", *given.get_subcommands().front());
    options.system = true;  // a service works in the services' data folder
  }
  if (options.runAsService && !platform::kHasServiceManager)
    return usageError(err, "run --service is for Windows' service manager; here systemd's unit tarvex@N runs slot N",
                      given);
  // Before any file is touched: the services' folder as its owner.
  if (options.system)
    if (const Problem problem = enterServicesFolder(options); !problem.ok()) {
      services.message(problem);
      return 1;
    }
  if (options.command == "write-log") return writeLog(toPath(options.logFile), in ? *in : std::cin);
  if (options.runAsService) {
    // Without a console: everything run says goes into the service's log.
    const std::filesystem::path appFolder = toPath(options.appFolder);
    const std::filesystem::path dataFolder =
        options.system ? systemDataFolderFor(appFolder, DataUse::Write) : dataFolderFor(appFolder, DataUse::Write);
    return runAsService(dataFolder, instanceName(options.slot, options.saveFile), services,
                        [&](Services& serviceMessages, std::ostream& serviceErr) {
                          return execute(options, out, serviceErr, serviceMessages, in);
                        });
  }
  return execute(options, out, err, services, in);
}

namespace {
Problem enterServicesFolder(const Options& options) {
  const std::filesystem::path folder = systemDataFolder();
  const std::string named = "tarvex-cli: the services' data folder " + fromPath(folder);
  std::error_code ec;
  // The package makes it, owned by the services' user; root never makes it (the service could not write
  // it). On Windows an administrator's first command makes it, and service install lets each slot's service
  // account write it.
  const bool made = std::filesystem::is_directory(folder, ec);
  if (!made && !platform::kHasServiceManager) {
    if (ec && ec != std::errc::no_such_file_or_directory)
      return named + " cannot be looked at (" + ec.message() + ").  " + platform::accessHint(folder.parent_path());
    return named + " does not exist.  The package makes it, owned by the services' user tarvex " +
           "(sudo apt-get install --reinstall tarvex); TARVEX_SYSTEM_FOLDER names another.";
  }
  // A root shell works on the services' folder as the service's own user;
  // config --edit keeps its way back, so that the editor runs as root does.
  // So does game-folder DIR, which lets the services write BaseEF as root.
  const bool edits =
      (options.command == "config" && options.config.edit) || (options.command == "game-folder" && options.gameFolder);
  if (const Problem problem =
          platform::actAsOwnerOf(folder, edits ? platform::OwnerSwitch::KeepWayBack : platform::OwnerSwitch::ForGood);
      !problem.ok())
    return named + " cannot be used: " + problem + ".";
  return {};
}

int execute(Options& options, std::ostream& out, std::ostream& err, Services& services, std::istream* in) {
  // The configuration the window holds right after its load step.
  const std::filesystem::path appFolder = toPath(options.appFolder);
  // render, maps, status, rcon, log and the readings of config and game-folder write nothing anywhere.
  const bool writes =
      options.command == "launch" || options.command == "run" || (options.command == "find-maps" && options.add) ||
      (options.command == "game-folder" && options.gameFolder) ||
      (options.command == "service" && options.serviceAction == "install") ||
      (options.command == "config" && (options.config.from || !options.config.sets.empty() || options.config.edit));
  const DataUse use = writes ? DataUse::Write : DataUse::Read;
  const std::filesystem::path dataFolder =  // path.ini, the save slots, the logs, the added maps
      options.system ? systemDataFolderFor(appFolder, use) : dataFolderFor(appFolder, use);
  {
    // What cannot be read is said, never taken for a folder with nothing in it.
    std::error_code ec;
    std::filesystem::directory_iterator look(dataFolder, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
      services.message("tarvex-cli: the data folder " + fromPath(dataFolder) + " cannot be read by this user (" +
                       ec.message() + ").  " + platform::accessHint(dataFolder));
      return 1;
    }
  }
  if (writes) {
    // What a killed Tarvex left half-written is never the real file: remove it.
    for (const auto& folder : {dataFolder, dataFolder / "Map_Images", dataFolder / "save"})
      removeStaleTemporaries(folder);
  }
  const int status = executeIn(options, dataFolder, out, err, services, in);
  if (status != 0 && !options.system) noteServicesFolder(options, dataFolder, services);
  return status;
}

int executeIn(Options& options, const std::filesystem::path& dataFolder, std::ostream& out, std::ostream& err,
              Services& services, std::istream* in) {
  const std::filesystem::path appFolder = toPath(options.appFolder);
  if (options.command == "game-folder") return gameFolderCommand(options, dataFolder, out, services);
  if (options.command == "service" && options.serviceAction != "install")
    return serviceCommand(options.serviceAction, options.slot, appFolder, dataFolder, out, services);
  const std::string instance = instanceName(options.slot, options.saveFile);
  if (options.command == "log") return showLog(services, dataFolder, instance, options.follow, out);
  if (options.command == "stop") return stopInstance(options, dataFolder, instance, out, services);
  if (options.command == "list") return listInstances(options, dataFolder, out, services);
  Configuration config;
  const MapListFolders mapList{appFolder, dataFolder};
  MapListLoad load = loadMapList(mapList);
  if (options.command != "status")
    for (const auto& text : load.messages) services.message(text);
  config.catalogue = std::move(load.catalogue);
  if (options.command == "config")
    return configCommand(options, dataFolder, config, in ? *in : std::cin, out, services);
  if (options.command == "check") {
    HostCheck check{dataFolder, std::nullopt, options.slot, instance, options.system, config.catalogue};
    if (options.slot != 0) check.slotFile = slotPath(dataFolder, options.slot);
    if (!options.saveFile.empty()) check.slotFile = toPath(options.saveFile);
    return checkHost(check, out, services);
  }

  if (options.slot != 0 || !options.saveFile.empty()) {
    const std::filesystem::path file =
        options.slot != 0 ? slotPath(dataFolder, options.slot) : toPath(options.saveFile);
    const SaveRead read = restoreSaveFile(file, options.slot, config);
    if (read.outcome != RestoreOutcome::Restored) {
      services.message(read.message);
      if (read.outcome == RestoreOutcome::NeverUsed)
        services.message("Make its configuration with \"tarvex-cli " + std::string(options.system ? "--system " : "") +
                         "config " + (options.slot != 0 ? "--slot " + std::to_string(options.slot) : "--save FILE") +
                         " --edit\" (or --from FILE), or save one there in the window.");
      return options.command == "run" ? kExitConfiguration : 1;
    }
  }

  if (options.command == "service") {
    // A service that would not start is not registered.
    if (!prepareLaunch(services, config)) return 1;
    return serviceCommand(options.serviceAction, options.slot, appFolder, dataFolder, out, services);
  }
  if (options.command == "status") return showStatus(options, config.settings, out, services);
  if (options.command == "rcon") return remoteCommand(options, config.settings, dataFolder, instance, out, services);
  if (options.command == "find-maps") {
    if (load.status != CatalogueStatus::Ok) return 1;  // the message was given: nothing to add to
    return findMaps(options, mapList, config.catalogue, out, services);
  }
  if (options.command == "maps") return listMaps(options, config, dataFolder, out);
  // Without a configuration there is no rotation: say where one comes from.
  const bool fromSlot = options.slot != 0 || !options.saveFile.empty();
  if (!fromSlot && config.rotation.maps.empty()) {
    services.message(kNoMapsMessage);
    services.message(
        "tarvex-cli: without --slot N or --save FILE the window's start values and an empty rotation "
        "are used.  Make a configuration with \"tarvex-cli config --slot N --edit\" (or in the window, "
        "tab \"Save/Load\") and name it with --slot N.");
    return options.command == "run" ? kExitConfiguration : 1;
  }
  if (options.command == "render") {
    const auto launch = prepareLaunch(services, config);
    if (!launch) return 1;
    out.write(launch->script.data(), static_cast<std::streamsize>(launch->script.size()));
    return out ? 0 : 1;
  }
  // A non-dedicated server opens the game's own window; it is started all the same.
  if (config.settings.isOn("NonDedicated_Button") && !platform::hasDisplay())
    services.message(
        "Note: the server type is \"Non-Dedicated \", which opens the game's window, and this machine "
        "has no display (DISPLAY is not set): the game may not start.  \"Dedicated - LAN\" and "
        "\"Dedicated - Internet\" on the window's Server tab need none.");
  // The services never start a program that the game they run could have changed.
  if (options.system && (options.command == "run" || options.command == "launch"))
    if (const std::string problem = changeableProgramProblem(dataFolder); !problem.empty()) {
      services.message("The game was not started: " + problem + ".");
      return options.command == "run" ? kExitConfiguration : 1;
    }
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
  launch->identity = token;
  launch->instance = instance;
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
  lock.record(services.startedProcessId());
  if (const Problem problem =
          writeFileAtomic(instanceStateFile(dataFolder, instance),
                          instanceStateText({"launch", services.startedProcessId(), std::time(nullptr), 0,
                                             launch->address, launch->port, fromPath(logFile), token}));
      !problem.ok())
    services.message("Note: list does not show this game: its record " +
                     fromPath(instanceStateFile(dataFolder, instance)) + " could not be written (" + problem + ").");
  // Launched once its server answers, with this start's token: the engine takes the next port
  // when its own was taken meanwhile.
  if (!awaitStartedServer(services, *launch, started, std::chrono::seconds(options.startSeconds), Frontend::Console))
    return 3;
  out << "Started " << commandLineText(launch->arguments) << " in " << visibleText(readPathIni(dataFolder).gameFolder)
      << '\n'
      << "Its output goes to " << fromPath(logFile) << ".\n";
  return 0;
}
}  // namespace

}  // namespace tarvex
