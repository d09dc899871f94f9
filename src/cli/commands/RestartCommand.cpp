// restart: asks the slot's run to start its game again, now or once no human player is on.
#include <chrono>
#include <ostream>
#include <thread>

#include "cli/Command.h"
#include "platform/Files.h"
#include "server/Supervisor.h"
#include "util/Text.h"

namespace tarvex {
namespace {

class Restart final : public SlotCommand {
 public:
  using SlotCommand::SlotCommand;
  void describe(CLI::App& table) override {
    CLI::App* restart =
        addWithSlot(table, "restart", "start the game of the slot's run again, now or once no human player is on");
    restart->add_flag("--when-empty", request_.whenEmpty,
                      "wait until no human player is on (bots do not count); the players are counted every " +
                          std::to_string(SupervisorOptions{}.emptyCheck.count()) + " s");
    restart
        ->add_option("--warning", request_.warning,
                     std::string("what the players are told first, through the remote console (\"") +
                         kRestartNowWarning + "\", with --when-empty \"" + kRestartWhenEmptyWarning + "\")")
        ->option_text("TEXT");
    restart->footer(
        paragraph("run reads the slot again at every start of the game, so a change made with config --set or the "
                  "window takes effect here; a slot that no longer passes its checks keeps the last configuration "
                  "that did.  The players hear the warning where the slot has a console password.  A server "
                  "that launch started is not restarted: stop it and start it again."));
  }
  std::optional<int> takeCommandLine(std::ostream& err, Services& services) override {
    if (!fromSlot()) return usageError(err, "restart needs --slot N or --save FILE");
    if (const Problem problem = warningProblem("--warning", request_.warning); !problem.ok())
      return usageError(err, problem);
    return Command::takeCommandLine(err, services);
  }
  bool writes() const override { return true; }
  int run(Session& session) override {
    const std::string name = visibleUtf8(instance());
    const auto running = runningInstance(session.dataFolder, instance());
    if (!running) {
      session.services.message("tarvex-cli: " + name + " was not restarted: " + running.problem() + ".");
      return 1;
    }
    if (!*running) {
      session.services.message("tarvex-cli: " + name + " does not run, so there is nothing to restart.");
      noteServicesFolder(*this, session);
      return 1;
    }
    const Running& found = **running;
    if (found.state && found.state->startedBy == "launch") {
      session.services.message("tarvex-cli: " + name + " was started by launch (process " + std::to_string(found.pid) +
                               "), which does not start it again: stop it (tarvex-cli stop) and launch it again, or "
                               "keep it up with tarvex-cli run.");
      return 1;
    }
    const std::filesystem::path file = instanceRestartFile(session.dataFolder, instance());
    if (const Problem problem = writeFileAtomic(file, restartRequestText(request_)); !problem.ok()) {
      session.services.message("tarvex-cli: " + name + " was not restarted: " + fromPath(file) +
                               " could not be written (" + problem + ").");
      return 1;
    }
    // run takes a request within a second.
    std::error_code ec;
    for (int i = 0; i < 50 && std::filesystem::exists(file, ec); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (std::filesystem::exists(file, ec)) {
      std::filesystem::remove(file, ec);
      session.services.message("tarvex-cli: " + name + "'s run (process " + std::to_string(found.pid) +
                               ") did not take the restart within five seconds, so none was asked for.");
      return 1;
    }
    session.out << (request_.whenEmpty ? name + " restarts once no human player is on (process " +
                                             std::to_string(found.pid) + " says so in its log).\n"
                                       : name + " restarts now (process " + std::to_string(found.pid) + ").\n");
    return 0;
  }

 private:
  RestartRequest request_;
};

}  // namespace

std::unique_ptr<Command> makeRestart(CommonOptions& common) { return std::make_unique<Restart>(common); }

}  // namespace tarvex
