#include "cli/Cli.h"

#include <iostream>

#include "cli/Command.h"
#include "cli/Manual.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/SystemServices.h"
#include "startup/DataFolder.h"

namespace tarvex {
namespace {

// The options before the command, and the commands: the table parses the
// command line and makes --help, each command's --help and the manual page.
void describeTable(CLI::App& app, CommonOptions& common, bool& manual,
                   const std::vector<std::unique_ptr<Command>>& commands) {
  app.description(
      "Hosts a \"Star Trek: Voyager - Elite Force\" server on a machine without a desktop: sets it up,\n"
      "starts it, keeps it up and talks to it.");
  app.set_help_all_flag("--help-all", "every command's help");
  app.set_version_flag("--version", std::string("tarvex-cli ") + TARVEX_VERSION);
  app.require_subcommand(0, 1);
  app.fallthrough();
  app.add_option("--app-folder", common.appFolder, "the Tarvex program folder (default: the folder of this program)")
      ->option_text("DIR");
  app.add_flag("--system", common.system, "use the services' data folder (/var/lib/tarvex), as tarvex@N.service does");
  for (const auto& command : commands) command->describe(app);
  // Only the program's own help ends with where files live and a first setup.
  app.footer(helpFooter());
  app.add_flag("--manual-page", manual, "print the manual page (roff)")->group("");
}

// Checks that the services' folder exists and, as root, goes on as its owner.
Problem enterServicesFolder(const Command& command) {
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
  // A root shell works on the services' folder as the service's own user; a command that runs an editor or
  // grants as root keeps its way back.
  const auto owner = command.keepsWayBack() ? platform::OwnerSwitch::KeepWayBack : platform::OwnerSwitch::ForGood;
  if (const Problem problem = platform::actAsOwnerOf(folder, owner); !problem.ok())
    return named + " cannot be used: " + problem + ".";
  return {};
}

// The command in its data folder: read-only unless it writes there.
int inDataFolder(Command& command, Session& session) {
  const DataUse use = command.writes() ? DataUse::Write : DataUse::Read;
  session.dataFolder =
      session.system ? systemDataFolderFor(session.appFolder, use) : dataFolderFor(session.appFolder, use);
  {
    // What cannot be read is said, never taken for a folder with nothing in it.
    std::error_code ec;
    std::filesystem::directory_iterator look(session.dataFolder, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
      session.services.message("tarvex-cli: the data folder " + fromPath(session.dataFolder) +
                               " cannot be read by this user (" + ec.message() + ").  " +
                               platform::accessHint(session.dataFolder));
      return 1;
    }
  }
  if (command.writes()) {
    // What a killed Tarvex left half-written is never the real file: remove it.
    for (const auto& folder : {session.dataFolder, session.dataFolder / "Map_Images", session.dataFolder / "save"})
      removeStaleTemporaries(folder);
  }
  const int status = command.run(session);
  if (status != 0 && !session.system) noteServicesFolder(command, session);
  return status;
}

// The command line read: 0 to go on, else the exit status (help, version, a usage error).
std::optional<int> parse(CLI::App& app, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
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
  return std::nullopt;
}

}  // namespace

int runCli(const std::vector<std::string>& args, const std::string& exeFolder, std::ostream& out, std::ostream& err,
           Services& services, std::istream* in) {
  CommonOptions common{exeFolder};
  bool manual = false;
  const auto commands = makeCommands(common);
  CLI::App app("", "tarvex-cli");
  describeTable(app, common, manual, commands);
  if (const auto ended = parse(app, args, out, err)) return *ended;
  if (manual) {
    out << manualPage(app);
    return 0;
  }
  const auto given = std::find_if(commands.begin(), commands.end(), [](const auto& c) { return c->given(); });
  if (given == commands.end()) return usageError(err, "no command given", app);
  Command& command = **given;
  if (const auto ended = command.takeCommandLine(err, services)) return *ended;
  // Before any file is touched: the services' folder as its owner.
  if (common.system)
    if (const Problem problem = enterServicesFolder(command); !problem.ok()) {
      services.message(problem);
      return 1;
    }
  Session session{toPath(common.appFolder), {}, common.system, out, err, services, in ? *in : std::cin};
  return command.carryOut(session, [&command](Session& where) { return inDataFolder(command, where); });
}

}  // namespace tarvex
