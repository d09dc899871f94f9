#include "launch/LaunchSequence.h"

#include "launch/GameScript.h"
#include "launch/Launch.h"
#include "startup/GameFolder.h"
#include "util/Files.h"

namespace tarvex {

std::optional<PreparedLaunch> prepareLaunch(Services& services, const Configuration& config) {
  const LaunchCheck check = checkLaunch(config.settings, config.rotation.maps, config.catalogue);
  for (const auto& text : check.messages) services.message(text);
  if (!check.proceed) return std::nullopt;
  return PreparedLaunch{check.script, check.arguments};
}

namespace {
std::string folderHint(Frontend frontend, const std::filesystem::path& dataFolder) {
  if (frontend == Frontend::Window) return "Please use \"Refind Game Path\" on the Advanced tab.";
  return std::string("Please write the game folder as the first line of ") + fromPath(dataFolder / kPathIniName) +
         ", or name another Tarvex folder with --app-folder.";
}
}  // namespace

LaunchResult startPreparedLaunch(Services& services, const std::filesystem::path& dataFolder,
                                 const PreparedLaunch& launch, Frontend frontend) {
  const PathIni ini = readPathIni(dataFolder);
  if (ini.state != PathIniState::Known) {
    services.message("The game folder is not known: " + fromPath(dataFolder / kPathIniName) +
                     " is missing, unreadable or empty.  " + folderHint(frontend, dataFolder));
    return LaunchResult::Refused;
  }
  const std::string gameFolder = ini.gameFolder;
  const std::filesystem::path gameData = findGameDataFolder(gameFolder);
  const std::filesystem::path scriptPath = gameData / kScriptName;
  std::error_code ec;
  if (!std::filesystem::is_directory(gameData, ec)) {
    services.message("Tarvex could not write the game script: the folder " + fromPath(gameData) +
                     " does not exist.  " + folderHint(frontend, dataFolder));
    return LaunchResult::Refused;
  }
  removeStaleTemporaries(gameData);
  // The script holds the console password.
  if (const std::string error = writeFileAtomic(scriptPath, launch.script, FileAccess::OwnerOnly);
      !error.empty()) {
    services.message("Tarvex could not write the game script " + fromPath(scriptPath) + " (" + error + ").");
    return LaunchResult::Refused;
  }
  const auto executable = resolveNoCase(toPath(gameFolder), kGameExecutable);
  if (!executable || !std::filesystem::is_regular_file(*executable, ec)) {
    services.message("The game could not be started: " + gameFolder + kGameExecutable + " was not found.");
    return LaunchResult::NotStarted;
  }
  const std::string error =
      services.startProcess({gameFolder, fromPath(*executable), launch.arguments, frontend == Frontend::Window});
  if (!error.empty()) {
    services.message("The game could not be started: " + fromPath(*executable) + " (" + error + ").");
    return LaunchResult::NotStarted;
  }
  return LaunchResult::Started;
}

LaunchResult runLaunch(Services& services, const std::filesystem::path& dataFolder, const Configuration& config,
                       Frontend frontend) {
  const auto launch = prepareLaunch(services, config);
  if (!launch) return LaunchResult::Refused;
  return startPreparedLaunch(services, dataFolder, *launch, frontend);
}

bool reportEarlyEnd(Services& services, int waitMilliseconds) {
  const auto failure = services.startedProcessFailure(waitMilliseconds);
  if (!failure) return false;
  std::string text = "The game ended right after it was started (" + failure->status + ").";
  if (!failure->lastOutput.empty()) text += "  What it printed last:\n\n" + failure->lastOutput;
  services.message(text);
  return true;
}

}  // namespace tarvex
