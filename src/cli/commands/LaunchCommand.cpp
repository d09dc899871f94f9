// launch: writes tarvex.cfg, starts the game and exits once its server answers.
#include <chrono>
#include <ctime>
#include <ostream>

#include "cli/Command.h"
#include "launch/Launch.h"
#include "launch/LaunchSequence.h"
#include "platform/Files.h"
#include "platform/InstanceLock.h"
#include "server/Instance.h"
#include "startup/GameFolder.h"
#include "util/Text.h"

namespace tarvex {
namespace {

class Launch final : public StartingCommand {
 public:
  using StartingCommand::StartingCommand;
  void describe(CLI::App& table) override {
    addStartTimeout(*addWithSlot(table, "launch",
                                 "write tarvex.cfg into the game folder and start the game, then exit once its "
                                 "server answers on its port"));
  }
  int run(Session& session) override {
    const auto config = startable(session);
    if (!config || !mayStart(session, *config)) return 1;
    auto launch = prepareLaunch(session.services, *config);
    if (!launch) return 1;
    // One launch of an instance while its game runs.
    platform::InstanceLock lock(instanceLockFile(session.dataFolder, instance()));
    if (!lock.refusal().empty()) {
      session.services.message("The game was not started: " + instance() + " is running already (" + lock.refusal() +
                               ").  Stop that server first.");
      return 1;
    }
    const std::string token = newIdentityToken();
    launch->arguments = withIdentity(launch->arguments, token);
    launch->identity = token;
    launch->instance = instance();
    const std::filesystem::path logFile = instanceLogFile(session.dataFolder, instance());
    const auto started = std::chrono::steady_clock::now();
    switch (startPreparedLaunch(session.services, session.dataFolder, *launch, Frontend::Console, logFile)) {
      case LaunchResult::Refused:
        return 1;
      case LaunchResult::NotStarted:
        return 3;
      case LaunchResult::Started:
        break;
    }
    lock.record(session.services.startedProcessId());
    keepRecord(session, *launch, logFile, token);
    // Launched once its server answers, with this start's token: the engine takes the next port
    // when its own was taken meanwhile.
    if (!awaitStartedServer(session.services, *launch, started, std::chrono::seconds(startSeconds_), Frontend::Console))
      return 3;
    session.out << "Started " << commandLineText(launch->arguments) << " in "
                << visibleText(readPathIni(session.dataFolder).gameFolder) << '\n'
                << "Its output goes to " << fromPath(logFile) << ".\n";
    return 0;
  }

 private:
  // The record that list, stop and rcon read.
  void keepRecord(Session& session, const PreparedLaunch& launch, const std::filesystem::path& logFile,
                  const std::string& token) const {
    const std::filesystem::path record = instanceStateFile(session.dataFolder, instance());
    const long pid = session.services.startedProcessId();
    if (const Problem problem =
            writeFileAtomic(record, instanceStateText({"launch", pid, std::time(nullptr), 0, launch.address,
                                                       launch.port, fromPath(logFile), token}));
        !problem.ok())
      session.services.message("Note: list does not show this game: its record " + fromPath(record) +
                               " could not be written (" + problem + ").");
  }
};

}  // namespace

std::unique_ptr<Command> makeLaunch(CommonOptions& common) { return std::make_unique<Launch>(common); }

}  // namespace tarvex
