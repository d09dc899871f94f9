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
  return PreparedLaunch{
      check.script, check.arguments, scriptName, address, port, {}, !config.settings.isOn("NonDedicated_Button"), {}};
}

namespace {
std::string folderHint(Frontend frontend) {
  if (frontend == Frontend::Window) return "Please use \"Refind Game Path\" on the Advanced tab.";
  return kGameFolderHint;
}

std::string portHint(Frontend frontend) {
  if (frontend == Frontend::Window)
    return "Please stop that server, or choose another \"Net Port\" on the Advanced tab.";
  return kNetPortHint;
}
}  // namespace

Problem portRefusal(Services& services, const PreparedLaunch& launch, Frontend frontend) {
  // The engine takes the next port when its own is taken, and a host then
  // reaches the other server: a port in use is refused before anything is written.
  const Problem problem = services.portProblem(launch.address, launch.port);
  if (problem.ok()) return {};
  return "The game was not started: its port " + std::to_string(launch.port) +
         (launch.address.empty() ? std::string() : " on " + launch.address) + " is in use (" + problem + ").  " +
         portHint(frontend);
}

LaunchResult startPreparedLaunch(Services& services, const std::filesystem::path& dataFolder,
                                 const PreparedLaunch& launch, Frontend frontend,
                                 const std::filesystem::path& logFile) {
  const PathIni ini = readPathIni(dataFolder);
  if (ini.state != PathIniState::Known) {
    services.message(unknownGameFolder(dataFolder) + "  " + folderHint(frontend));
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
  if (const Problem refusal = portRefusal(services, launch, frontend); !refusal.ok()) {
    services.message(refusal);
    return LaunchResult::Refused;
  }
  removeStaleTemporaries(gameData);
  // The script holds the console password.
  if (const Problem error = writeFileAtomic(scriptPath, launch.script, FileAccess::OwnerOnly); !error.ok()) {
    services.message("Tarvex could not write the game script " + fromPath(scriptPath) + " (" + error + ").");
    return LaunchResult::Refused;
  }
  const auto executable = resolveNoCase(toPath(gameFolder), kGameExecutable);
  if (!executable || !std::filesystem::is_regular_file(*executable, ec)) {
    services.message("The game could not be started: " + gameFolder + kGameExecutable + " was not found.");
    return LaunchResult::NotStarted;
  }
  const Problem error =
      services.startProcess({gameFolder, fromPath(*executable), launch.arguments, fromPath(logFile), launch.instance});
  if (!error.ok()) {
    services.message("The game could not be started: " + fromPath(*executable) + " (" + error + ").");
    return LaunchResult::NotStarted;
  }
  return LaunchResult::Started;
}

LaunchResult runLaunch(Services& services, const std::filesystem::path& dataFolder, const Configuration& config,
                       const std::function<void()>& started) {
  auto launch = prepareLaunch(services, config);
  if (!launch) return LaunchResult::Refused;
  launch->instance = instanceName(0, {});
  const auto startedAt = std::chrono::steady_clock::now();
  const LaunchResult result = startPreparedLaunch(services, dataFolder, *launch, Frontend::Window,
                                                  instanceLogFile(dataFolder, instanceName(0, {})));
  if (result != LaunchResult::Started) return result;
  if (started) started();
  // The window's command line is the game's own, without an identity: the port was free just before.
  return awaitStartedServer(services, *launch, startedAt, kDefaultStartTimeout, Frontend::Window)
             ? LaunchResult::Started
             : LaunchResult::NotStarted;
}

namespace {
// What the game printed last and where all of it is, after a first line.
std::string withOutput(std::string text, const ProcessFailure& failure) {
  if (!failure.lastOutput.empty()) text += "  What it printed last:\n\n" + failure.lastOutput;
  if (!failure.hint.empty()) text += "\n\n" + failure.hint;
  if (!failure.logFile.empty()) text += "\n\nAll it printed is in " + failure.logFile + ".";
  return text;
}

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;
}  // namespace

bool awaitStartedServer(Services& services, const PreparedLaunch& launch, Clock::time_point started,
                        std::chrono::seconds timeout, Frontend frontend) {
  const auto earlyEnd = started + kEarlyEndWait;
  const auto deadline = launch.dedicated ? started + timeout : earlyEnd;
  const std::string port = std::to_string(launch.port);
  bool told = false;
  for (;;) {
    // The game is looked at a quarter of a second at a time, and at least once.
    const auto now = Clock::now();
    const auto wait = std::clamp(std::chrono::duration_cast<Ms>(std::min(deadline, earlyEnd) - now), Ms(0), Ms(250));
    if (const auto failure = services.startedProcessFailure(int(wait.count()))) {
      const bool atOnce = Clock::now() < earlyEnd;
      services.message(withOutput(std::string(atOnce ? "The game ended right after it was started ("
                                                     : "The game ended before its server answered (") +
                                      failure->status + ").",
                                  *failure));
      return false;
    }
    // Whoever answers on the port first: this server, or another that took it meanwhile (the
    // engine then takes the next port).
    if (const auto identity = services.serverIdentity(launch.address, launch.port)) {
      if (launch.identity.empty() || *identity == launch.identity) return true;
      services.endStartedProcess();
      services.message("The game was stopped: another server answers on its port " + port + ".  " + portHint(frontend));
      return false;
    }
    if (Clock::now() >= deadline) break;
    if (!told && Clock::now() - started >= std::chrono::seconds(3)) {
      services.progress("Waiting for the server to answer on its port " + port + " (at most " +
                        std::to_string(timeout.count()) + " s)...");
      told = true;
    }
  }
  // A server with the game's window answers once a map runs, which may wait on its player.
  if (!launch.dedicated) return true;
  services.endStartedProcess();
  ProcessFailure silent{"", {}, {}, {}};
  if (const auto failure = services.startedProcessFailure(2000)) silent = *failure;
  std::string text = "The game was stopped: its server did not answer on its port " + port + " within " +
                     std::to_string(timeout.count()) + " s.";
  text = withOutput(text, silent);
  if (frontend == Frontend::Console) text += "\n\nA slow machine may need longer: --start-timeout S waits S seconds.";
  services.message(text);
  return false;
}

}  // namespace tarvex
