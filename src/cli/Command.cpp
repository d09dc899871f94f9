#include "cli/Command.h"

#include <algorithm>
#include <ostream>

#include "cli/Check.h"
#include "launch/GameValues.h"
#include "launch/Launch.h"
#include "launch/LaunchSequence.h"
#include "platform/Files.h"
#include "platform/InstanceLock.h"
#include "platform/Processes.h"
#include "query/ServerQuery.h"
#include "saves/SaveFile.h"
#include "startup/DataFolder.h"
#include "util/Text.h"

namespace tarvex {

std::optional<int> Command::takeCommandLine(std::ostream&, Services&) { return std::nullopt; }

CLI::App* Command::add(CLI::App& table, const std::string& name, const std::string& description) {
  app_ = table.add_subcommand(name, description);
  return app_;
}

int Command::usageError(std::ostream& err, const std::string& problem) const {
  return tarvex::usageError(err, problem, *app_);
}

CLI::App* SlotCommand::addWithSlot(CLI::App& table, const std::string& name, const std::string& description) {
  CLI::App* command = add(table, name, description);
  auto* slot = command->add_option("--slot", slot_, "save slot N (1 to 9) of the data folder")
                   ->option_text("N")
                   ->check(CLI::Range(1, 9));
  command->add_option("--save", saveFile_, "a save file, read as a save slot")->option_text("FILE")->excludes(slot);
  return command;
}

std::filesystem::path SlotCommand::slotFile(const std::filesystem::path& dataFolder) const {
  return slot_ != 0 ? slotPath(dataFolder, slot_) : toPath(saveFile_);
}

std::string SlotCommand::instance() const { return instanceName(slot_, saveFile_); }

std::optional<Configuration> SlotCommand::configuration(Session& session, bool quiet) const {
  Configuration config;
  config.catalogue = loadMapListOf(session, quiet).catalogue;
  if (!fromSlot()) return config;
  const SaveRead read = restoreSaveFile(slotFile(session.dataFolder), slot_, config);
  if (read.outcome == RestoreOutcome::Restored) return config;
  session.services.message(read.message);
  if (read.outcome == RestoreOutcome::NeverUsed)
    session.services.message("Make its configuration with \"tarvex-cli " +
                             std::string(session.system ? "--system " : "") + "config " +
                             (slot_ != 0 ? "--slot " + std::to_string(slot_) : "--save FILE") +
                             " --edit\" (or --from FILE), or save one there in the window.");
  return std::nullopt;
}

std::optional<Configuration> SlotCommand::startable(Session& session) const {
  auto config = configuration(session);
  if (!config || fromSlot() || !config->rotation.maps.empty()) return config;
  // Without a configuration there is no rotation: say where one comes from.
  session.services.message(kNoMapsMessage);
  session.services.message(
      "tarvex-cli: without --slot N or --save FILE the window's start values and an empty rotation "
      "are used.  Make a configuration with \"tarvex-cli config --slot N --edit\" (or in the window, "
      "tab \"Save/Load\") and name it with --slot N.");
  return std::nullopt;
}

std::string SlotCommand::servicesFolderHolds(const std::filesystem::path& folder) const {
  if (slot_ == 0) return {};
  std::error_code ec;
  if (std::filesystem::exists(instanceStateFile(folder, instance()), ec))
    return "the record of " + instance() + "'s running server";
  Configuration probe;
  if (restoreSaveFile(slotPath(folder, slot_), slot_, probe).outcome == RestoreOutcome::Restored)
    return "a configuration in slot " + std::to_string(slot_);
  return {};
}

void StartingCommand::addStartTimeout(CLI::App& command) {
  startSeconds_ = int(kDefaultStartTimeout.count());
  command
      .add_option("--start-timeout", startSeconds_,
                  "how long a dedicated server's start may take until it first answers on its port (" +
                      std::to_string(kDefaultStartTimeout.count()) +
                      "; the first start of Wine makes its prefix): launch fails after it, run starts the game again")
      ->option_text("S")
      ->check(CLI::Range(1, 86400));
}

bool StartingCommand::mayStart(Session& session, const Configuration& config) const {
  // A non-dedicated server opens the game's own window; it is started all the same.
  if (config.settings.isOn("NonDedicated_Button") && !platform::hasDisplay())
    session.services.message(
        "Note: the server type is \"Non-Dedicated \", which opens the game's window, and this machine "
        "has no display (DISPLAY is not set): the game may not start.  \"Dedicated - LAN\" and "
        "\"Dedicated - Internet\" on the window's Server tab need none.");
  // The services never start a program that the game they run could have changed.
  if (!session.system) return true;
  const Problem problem = changeableProgramProblem(session.dataFolder);
  if (problem.ok()) return true;
  session.services.message("The game was not started: " + problem + ".");
  return false;
}

std::optional<std::pair<std::string, int>> AskingCommand::serverAddress(const ServerSettings& settings,
                                                                        Services& services) const {
  int port = kDefaultServerPort;
  if (fromSlot() && settings.isEnabled("NetPort")) {
    if (const auto slotPort = parseServerAddress(":" + settings.text("NetPort"), {}, port)) port = slotPort->second;
  }
  const auto address = parseServerAddress(address_.value_or(""), "127.0.0.1", port);
  if (!address) services.message("tarvex-cli: the port of " + *address_ + " must be a number from 1 to 65535");
  return address;
}

std::string AskingCommand::noAnswerMessage(const std::string& error, const std::string& shown) {
  if (error.starts_with("no answer")) return "No answer from a game server at " + shown + " within two seconds.";
  return "No game server could be asked at " + shown + ": " + error + ".";
}

std::optional<std::pair<std::string, int>> AskingCommand::ownServer(Session& session, int port) const {
  const std::string name = visibleUtf8(instance());
  const auto running = runningInstance(session.dataFolder, instance());
  if (!running) {
    session.services.message("tarvex-cli: the console password was not sent: " + name + "'s " + running.problem() +
                             ".");
    return std::nullopt;
  }
  if (!*running || !(*running)->state || (*running)->state->id.empty()) {
    session.services.message(
        "tarvex-cli: " + name +
        " does not run (no server that tarvex-cli run or launch started for it is recorded), so its console "
        "password was not sent.  To send a command to a server you know, give its address to rcon: "
        "tarvex-cli rcon ... HOST:PORT COMMAND.");
    return std::nullopt;
  }
  const InstanceState& state = *(*running)->state;
  const std::pair<std::string, int> address{state.address.empty() ? "127.0.0.1" : state.address,
                                            state.port > 0 ? state.port : port};
  const auto status = askStatus(address.first, address.second, kLocalAsk);
  if (status && status->value(kIdentityVariable) == state.id) return address;
  session.services.message("tarvex-cli: the server at " + serverAddressText(address.first, address.second) +
                           (status ? " is not the one" : " does not answer as the one") + " tarvex-cli started for " +
                           name + (status ? " (it does not carry its identity)" : "") +
                           ", so its console password was not sent.");
  return std::nullopt;
}

std::optional<std::string> AskingCommand::consolePassword(Session& session, const Configuration& config) const {
  const std::string& password = config.settings.text("Console_Password");
  if (!fromSlot() || password.empty()) {
    session.services.message(
        "There is no console password to send: please give the --slot or --save of a configuration whose "
        "\"Console Password:\" (the window's Server tab) is set, as the server was started with it.");
    return std::nullopt;
  }
  if (password.find(' ') != std::string::npos) {
    session.services.message(
        "The console password holds a blank, which the game's remote console cannot take.  Please "
        "choose one without blanks on the window's Server tab, and start the server again.");
    return std::nullopt;
  }
  return password;
}

std::optional<ConsoleTarget> AskingCommand::slotConsole(Session& session, const Configuration& config) const {
  auto password = consolePassword(session, config);
  if (!password) return std::nullopt;
  const auto address = serverAddress(config.settings, session.services);
  if (!address) return std::nullopt;
  const auto own = ownServer(session, address->second);
  if (!own) return std::nullopt;
  return ConsoleTarget{own->first, own->second, std::move(*password)};
}

Result<std::string> AskingCommand::askConsole(const ConsoleTarget& console, const std::string& command,
                                              const platform::UdpTiming& timing) {
  const std::string shown = serverAddressText(console.host, console.port);
  const auto answers =
      platform::udpExchange(console.host, console.port, rconRequest(console.password, command), timing);
  if (!answers) return failure(noAnswerMessage(answers.problem(), shown));
  const auto text = parseRconAnswer(*answers);
  if (!text) return failure("The answer from " + shown + " was not the remote console's.");
  if (text->starts_with("Bad rconpassword") || text->starts_with("No rconpassword set"))
    return failure("The server at " + shown + " refused the console password: " + withoutColours(*text) +
                   "  Is the server running with this configuration's \"Console Password:\"?");
  return *text;
}

MapListLoad loadMapListOf(Session& session, bool quiet) {
  MapListLoad load = loadMapList({session.appFolder, session.dataFolder});
  if (!quiet)
    for (const auto& text : load.messages) session.services.message(text);
  return load;
}

int usageError(std::ostream& err, const std::string& problem, const CLI::App& command) {
  err << "tarvex-cli: " << problem << "\n"
      << CLI::Formatter().make_usage(&command, command.get_parent() ? "tarvex-cli " + command.get_name() : "tarvex-cli")
      << "Run \"tarvex-cli" << (command.get_parent() ? " " + command.get_name() : "") << " --help\" for more.\n";
  return 2;
}

Problem warningProblem(const std::string& option, const std::string& text) {
  if (const Problem problem = gameValueProblem(text, ValueForm::Raw); !problem.ok())
    return option + " contains " + problem + ", which the game would misread";
  if (holdsLineBreak(text) || text.size() > 200) return option + " takes one line of at most 200 characters";
  return {};
}

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

std::string jsonText(const nlohmann::ordered_json& json) {
  return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// A shell that forgot --system (root's, most often) finds nothing of the
// services in its own data folder: when the services' folder holds what the
// command looked for, it is told to add --system.
void noteServicesFolder(const Command& command, const Session& session) {
  const std::filesystem::path folder = systemDataFolder();
  std::error_code ec;
  if (std::filesystem::equivalent(folder, session.dataFolder, ec)) return;
  const std::string holds = command.servicesFolderHolds(folder);
  if (holds.empty()) return;
  session.services.message("Note: the services' data folder " + fromPath(folder) + " holds " + holds +
                           ": add --system to work on it (sudo tarvex-cli --system " + command.app().get_name() +
                           " ...).");
}

Result<std::vector<std::string>> instancesOf(const std::filesystem::path& dataFolder) {
  std::vector<std::string> instances;
  std::error_code ec;
  const std::filesystem::path runFolder = dataFolder / "run";
  for (std::filesystem::directory_iterator entry(runFolder, ec), end; !ec && entry != end; entry.increment(ec))
    if (entry->path().extension() == ".lock") instances.push_back(fromPath(entry->path().stem()));
  if (ec && ec != std::errc::no_such_file_or_directory)
    return failure(fromPath(runFolder) + " cannot be read (" + ec.message() + ")");
  std::sort(instances.begin(), instances.end());
  return instances;
}

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

}  // namespace tarvex
