// game-folder: shows the game folder that path.ini names, or checks DIR and sets it.
#include <ostream>

#include "cli/Check.h"
#include "cli/Command.h"
#include "cli/Service.h"
#include "launch/Launch.h"
#include "launch/LaunchSequence.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/SystemServices.h"
#include "startup/DataFolder.h"
#include "startup/GameFolder.h"
#include "util/Text.h"

namespace tarvex {
namespace {

class GameFolder final : public Command {
 public:
  using Command::Command;
  void describe(CLI::App& table) override {
    CLI::App* command =
        add(table, "game-folder", "print the game folder and the path.ini that names it; with DIR, check and set it");
    command->add_option("DIR", folder_, "the game folder");
    command->footer(paragraph(
        "With --system, run as root, the services may write the game's BaseEF alone (the script and the game's "
        "own files go there), never its program or the folder above: on Linux BaseEF goes to the group tarvex, "
        "which may write it, and the unit's sandbox is opened to it by "
        "/etc/systemd/system/tarvex@.service.d/game-folder.conf (a running server sees it after systemctl "
        "daemon-reload and its restart); on Windows each slot's service account may write it.  Never give the game "
        "folder to the services' user (chown -R): the game faces the network."));
  }
  bool writes() const override { return folder_.has_value(); }
  bool keepsWayBack() const override { return folder_.has_value(); }  // root lets the services write BaseEF
  int run(Session& session) override {
    if (!folder_) {
      const PathIni read = readPathIni(session.dataFolder);
      if (read.state != PathIniState::Known) {
        session.services.message(unknownGameFolder(session.dataFolder) + "  " + kGameFolderHint);
        return 1;
      }
      return show(session, read.gameFolder);
    }
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::absolute(toPath(*folder_), ec).lexically_normal();
    const std::string text = withTrailingSeparator(fromPath(folder));
    if (const Problem refused = folderProblem(folder, text, bool(ec)); !refused.ok()) {
      session.services.message("The game folder was not set: " + visibleText(text) + " " + refused +
                               ".  Nothing was written.");
      return 1;
    }
    if (const Problem error = writePathIni(session.dataFolder, text); !error.ok()) {
      session.services.message("Tarvex could not write " + fromPath(session.dataFolder / kPathIniName) + " (" + error +
                               ").");
      return 1;
    }
    const std::filesystem::path gameData = findGameDataFolder(text);
    if (session.system) {
      letServicesWrite(session, gameData);
    } else if (!platform::isWritableFolder(gameData)) {
      // launch and run write the game's script there.
      session.services.message("Note: " + fromPath(gameData) +
                               " cannot be written by this user, and launch and run write the game's script "
                               "there.  Please let this user write it.");
    }
    return show(session, text);
  }

 private:
  static int show(Session& session, const std::string& folder) {
    session.out << "Game folder: " << visibleText(folder) << "\n"
                << "Named in:    " << visibleText(fromPath(session.dataFolder / kPathIniName)) << "\n";
    return 0;
  }
  // Why DIR is no game folder path.ini can name.
  static Problem folderProblem(const std::filesystem::path& folder, const std::string& text, bool unusable) {
    std::error_code ec;
    if (unusable || !std::filesystem::is_directory(folder, ec)) return "is not a folder this user can read";
    if (holdsLineBreak(text)) return "holds a line break, which path.ini cannot keep";
    const auto executable = resolveNoCase(folder, kGameExecutable);
    if (!executable || !std::filesystem::is_regular_file(*executable, ec))
      return std::string("does not hold the game's program ") + kGameExecutable;
    if (!std::filesystem::is_directory(findGameDataFolder(text), ec))
      return std::string("does not hold the game's data folder ") + kDataFolderName;
    return {};
  }
  // The services write BaseEF alone (the script, the game's own files); root lets them.
  static void letServicesWrite(Session& session, const std::filesystem::path& gameData);

  std::optional<std::string> folder_;  // DIR
};

void GameFolder::letServicesWrite(Session& session, const std::filesystem::path& gameData) {
  // As root: the folder's group, and the drop-in that opens the unit's sandbox to it.
  const auto grant = [&]() -> Result<std::filesystem::path> {
    const platform::AsInvokingUser invoking;
    if (Problem granted = platform::letServicesWrite(gameData, systemDataFolder()); !granted.ok())
      return failure(std::move(granted));
    return platform::writeSandboxDropIn(gameData);
  };
  Services& services = session.services;
  // Windows: each slot's service has an account of its own, which may write this BaseEF from now on.
  if (platform::kHasServiceManager)
    for (const std::string& service : letServicesWriteGameData(session.dataFolder))
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
  if (const Problem problem = changeableProgramProblem(session.dataFolder); !problem.ok())
    services.message("Note: " + problem + ".");
}

}  // namespace

std::unique_ptr<Command> makeGameFolder(CommonOptions& common) { return std::make_unique<GameFolder>(common); }

}  // namespace tarvex
