#include "launch/LaunchSequence.h"

#include <algorithm>

#include "launch/GameScript.h"
#include "launch/Launch.h"
#include "platform/Files.h"
#include "server/Instance.h"
#include "startup/GameFolder.h"

namespace tarvex {

std::optional<PreparedLaunch> prepareLaunch(Services& services, const Configuration& config,
                                            const std::string& scriptName) {
  const LaunchCheck check = checkLaunch(config.settings, config.rotation.maps, config.catalogue, scriptName);
  for (const auto& text : check.messages) services.message(text);
  if (!check.proceed) return std::nullopt;
  const auto [address, port] = serverEndpoint(config.settings);
  return PreparedLaunch{check.script, check.arguments, scriptName, address, port, {}};
}

namespace {
std::string folderHint(Frontend frontend) {
  if (frontend == Frontend::Window) return "Please use \"Refind Game Path\" on the Advanced tab.";
  return kGameFolderHint;
}

std::string portHint(Frontend frontend) {
  if (frontend == Frontend::Window)
    return "Please stop that server, or choose another \"Net Port\" on the Advanced tab.";
  return "Please stop that server, or give this configuration another net port (\"Set Netport?\" on the window's "
         "Advanced tab).";
}
}  // namespace

Problem portRefusal(Services& services, const PreparedLaunch& launch, Frontend frontend) {
  // The engine takes the next port when its own is taken, and a host then
  // reaches the other server: a port in use is refused before anything is written.
  const std::string problem = services.portProblem(launch.address, launch.port);
  if (problem.empty()) return {};
  return "The game was not started: its port " + std::to_string(launch.port) +
         (launch.address.empty() ? std::string() : " on " + launch.address) + " is in use (" + problem + ").  " +
         portHint(frontend);
}

LaunchResult startPreparedLaunch(Services& services, const std::filesystem::path& dataFolder,
                                 const PreparedLaunch& launch, Frontend frontend,
                                 const std::filesystem::path& logFile) {
  const PathIni ini = readPathIni(dataFolder);
  if (ini.state != PathIniState::Known) {
    services.message("The game folder is not known: " + fromPath(dataFolder / kPathIniName) +
                     " is missing, unreadable or empty.  " + folderHint(frontend));
    return LaunchResult::Refused;
  }
  const std::string gameFolder = ini.gameFolder;
  const std::filesystem::path gameData = findGameDataFolder(gameFolder);
  const std::filesystem::path scriptPath = gameData / launch.scriptName;
  std::error_code ec;
  if (!std::filesystem::is_directory(gameData, ec)) {
    services.message("Tarvex could not write the game script: the folder " + fromPath(gameData) + " does not exist.  " +
                     folderHint(frontend));
    return LaunchResult::Refused;
  }
  if (const std::string refusal = portRefusal(services, launch, frontend); !refusal.empty()) {
    services.message(refusal);
    return LaunchResult::Refused;
  }
  removeStaleTemporaries(gameData);
  // The script holds the console password.
  if (const std::string error = writeFileAtomic(scriptPath, launch.script, FileAccess::OwnerOnly); !error.empty()) {
    services.message("Tarvex could not write the game script " + fromPath(scriptPath) + " (" + error + ").");
    return LaunchResult::Refused;
  }
  const auto executable = resolveNoCase(toPath(gameFolder), kGameExecutable);
  if (!executable || !std::filesystem::is_regular_file(*executable, ec)) {
    services.message("The game could not be started: " + gameFolder + kGameExecutable + " was not found.");
    return LaunchResult::NotStarted;
  }
  const std::string error =
      services.startProcess({gameFolder, fromPath(*executable), launch.arguments, fromPath(logFile), launch.instance});
  if (!error.empty()) {
    services.message("The game could not be started: " + fromPath(*executable) + " (" + error + ").");
    return LaunchResult::NotStarted;
  }
  return LaunchResult::Started;
}

LaunchResult runLaunch(Services& services, const std::filesystem::path& dataFolder, const Configuration& config) {
  auto launch = prepareLaunch(services, config);
  if (!launch) return LaunchResult::Refused;
  launch->instance = instanceName(0, {});
  return startPreparedLaunch(services, dataFolder, *launch, Frontend::Window,
                             instanceLogFile(dataFolder, instanceName(0, {})));
}

bool reportEarlyEnd(Services& services, std::chrono::steady_clock::time_point started) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(started + kEarlyEndWait - std::chrono::steady_clock::now());
  const auto failure = services.startedProcessFailure(int(std::max<long long>(0, left.count())));
  if (!failure) return false;
  std::string text = "The game ended right after it was started (" + failure->status + ").";
  if (!failure->lastOutput.empty()) text += "  What it printed last:\n\n" + failure->lastOutput;
  if (!failure->logFile.empty()) text += "\n\nAll it printed is in " + failure->logFile + ".";
  services.message(text);
  return true;
}

}  // namespace tarvex
