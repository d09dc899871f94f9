#pragma once
// A command of tarvex-cli: its place in the table of commands and options
// (which makes --help, each command's help and the manual page), whether it
// writes into the data folder, and what it does. One class a command, one
// file each (src/cli/commands/); the steps several share are here.

#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/Configuration.h"
#include "maps/MapCatalogue.h"
#include "platform/Udp.h"
#include "server/Instance.h"
#include "services/Services.h"
#include "util/Problem.h"

namespace tarvex {

// The options before the command, which every command heeds.
struct CommonOptions {
  std::string appFolder;
  bool system = false;  // the services' data folder
};

// Where a command works and talks.
struct Session {
  std::filesystem::path appFolder;
  std::filesystem::path dataFolder;  // path.ini, the save slots, the logs, the added maps
  bool system = false;
  std::ostream& out;
  std::ostream& err;
  Services& services;
  std::istream& in;
};

class Command {
 public:
  explicit Command(CommonOptions& common) : common_(common) {}
  virtual ~Command() = default;
  Command(const Command&) = delete;
  Command& operator=(const Command&) = delete;

  // Adds the command to the table: its name, description, options and help.
  virtual void describe(CLI::App& table) = 0;
  // Once the command line was read, before any file is touched: an exit
  // status when it ends here (a usage error, said on err with the command's
  // usage, or a refusal, said through the services).
  virtual std::optional<int> takeCommandLine(std::ostream& err, Services& services);
  // Whether it writes into the data folder (else the folder is only read).
  virtual bool writes() const { return false; }
  // Whether a root shell keeps its way back after acting as the services'
  // user (an editor or a grant runs as root).
  virtual bool keepsWayBack() const { return false; }
  // Carries the command out; inDataFolder finds the data folder and calls run.
  using Step = std::function<int(Session&)>;
  virtual int carryOut(Session& session, const Step& inDataFolder) { return inDataFolder(session); }
  // Does the work in session.dataFolder.
  virtual int run(Session& session) = 0;
  // What the services' data folder holds of what the command looked for, for
  // a shell that forgot --system ("" : nothing).
  virtual std::string servicesFolderHolds(const std::filesystem::path&) const { return {}; }

  // The command's place in the table once it was described.
  const CLI::App& app() const { return *app_; }
  bool given() const { return app_ && app_->parsed(); }

 protected:
  // The command's entry in the table, made once by describe.
  CLI::App* add(CLI::App& table, const std::string& name, const std::string& description);
  int usageError(std::ostream& err, const std::string& problem) const;

  CommonOptions& common_;
  CLI::App* app_ = nullptr;
};

// The commands that take a configuration: --slot N or --save FILE.
class SlotCommand : public Command {
 public:
  using Command::Command;
  std::string servicesFolderHolds(const std::filesystem::path& folder) const override;

 protected:
  CLI::App* addWithSlot(CLI::App& table, const std::string& name, const std::string& description);
  bool fromSlot() const { return slot_ != 0 || !saveFile_.empty(); }
  std::filesystem::path slotFile(const std::filesystem::path& dataFolder) const;
  std::string instance() const;
  // The map list (its messages said unless quiet) and, when one is named, the
  // slot's configuration. nullopt when the slot cannot be used (said why).
  std::optional<Configuration> configuration(Session& session, bool quiet = false) const;
  // As configuration(), with a rotation to start: without a slot there is none.
  std::optional<Configuration> startable(Session& session) const;

  int slot_ = 0;
  std::string saveFile_;
};

// The commands that start the game: launch and run.
class StartingCommand : public SlotCommand {
 public:
  using SlotCommand::SlotCommand;
  bool writes() const override { return true; }

 protected:
  void addStartTimeout(CLI::App& command);
  // Whether the game may be started here; when not, said why.
  bool mayStart(Session& session, const Configuration& config) const;

  int startSeconds_;  // --start-timeout
};

// A running server's remote console: where it is and its password.
struct ConsoleTarget {
  std::string host;
  int port = 0;
  std::string password;
};

// The commands that ask a running server: status, rcon, verify, console, restart.
class AskingCommand : public SlotCommand {
 public:
  using SlotCommand::SlotCommand;

 protected:
  // The configuration's console password, when the remote console can take
  // it; else nullopt, said why.
  std::optional<std::string> consolePassword(Session& session, const Configuration& config) const;
  // The server run or launch started for the slot, which carries that
  // start's identity, at its recorded address (port: the slot's, where the
  // record has none); else nullopt, said why (the password is not sent).
  std::optional<std::pair<std::string, int>> ownServer(Session& session, int port) const;
  // Both: the slot's own server and its password.
  std::optional<ConsoleTarget> slotConsole(Session& session, const Configuration& config) const;
  // One console command: the answer's text, or why none came (a refused
  // password included).
  static Result<std::string> askConsole(const ConsoleTarget& console, const std::string& command,
                                        const platform::UdpTiming& timing);

  // The address given, else the slot's net port on this machine, else the
  // game's usual port; nullopt when the address given is no address (said).
  std::optional<std::pair<std::string, int>> serverAddress(const ServerSettings& settings, Services& services) const;
  // The reason nothing was answered, as status and rcon say it.
  static std::string noAnswerMessage(const std::string& error, const std::string& shown);

  std::optional<std::string> address_;
};

// The commands, in the order of the help.
std::vector<std::unique_ptr<Command>> makeCommands(CommonOptions& common);

// The map list of the program and data folders, its messages said unless quiet.
MapListLoad loadMapListOf(Session& session, bool quiet = false);

// Says the problem with the command's usage; exit status 2.
int usageError(std::ostream& err, const std::string& problem, const CLI::App& command);

// Why a text to the players, said through the remote console as one
// command, cannot be given with the option; empty when it can.
Problem warningProblem(const std::string& option, const std::string& text);

// A paragraph broken into lines of at most 78 characters, for a command's help.
std::string paragraph(std::string_view text);

// JSON text for a terminal or a script: valid UTF-8 whatever a file name or a
// server held (a byte that is not UTF-8 becomes U+FFFD).
std::string jsonText(const nlohmann::ordered_json& json);

// Tells a shell that forgot --system when the services' folder holds what the
// command looked for.
void noteServicesFolder(const Command& command, const Session& session);

// How this machine's own servers are asked (list, status and rcon of a slot):
// from the watchdog's loopback address, which a busy host's other questions never crowd out.
inline constexpr platform::UdpTiming kLocalAsk{500, 1, 0, platform::kWatchdogSource};

// The instances that have run in the data folder (those with a lock in
// run/), sorted; a failure when run/ cannot be read.
Result<std::vector<std::string>> instancesOf(const std::filesystem::path& dataFolder);

// What runs under an instance, when something does: its process and record.
struct Running {
  long pid = 0;
  std::optional<InstanceState> state;
};
// nullopt when nothing runs under the instance; a failure when its records
// cannot be read, or name a process that is not this data folder's own (a
// stale or foreign record, which is never signalled).
Result<std::optional<Running>> runningInstance(const std::filesystem::path& dataFolder, const std::string& instance);

}  // namespace tarvex
