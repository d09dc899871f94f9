// stop: ends the server of a slot or save file, whether run or launch started it.
#include <chrono>
#include <ostream>

#include "cli/Command.h"
#include "platform/Processes.h"
#include "util/Text.h"

namespace tarvex {
namespace {

class Stop final : public SlotCommand {
 public:
  using SlotCommand::SlotCommand;
  void describe(CLI::App& table) override {
    CLI::App* stop =
        addWithSlot(table, "stop", "end the server of a slot or save file, whether run or launch started it");
    stop->add_option("--timeout", seconds_,
                     "seconds to wait for it to end before ending it for sure (" + std::to_string(seconds_) +
                         "; run is given 5 more to end its game)")
        ->option_text("S")
        ->check(CLI::Range(0, 3600));
    stop->footer(
        paragraph("run stops its game and exits 0, as on SIGTERM.  On Windows the process is ended at once "
                  "(run's game ends with it).  A server that does not run is nothing to stop: exit 0."));
  }
  // Ends what runs under the instance: run (which stops its game and exits) or a launched game.
  int run(Session& session) override {
    const auto running = runningInstance(session.dataFolder, instance());
    if (!running) {
      session.services.message("tarvex-cli: " + visibleUtf8(instance()) + " was not stopped: " + running.problem() +
                               ".");
      return 1;
    }
    if (!*running) {
      session.out << visibleUtf8(instance()) << " does not run.\n";
      return 0;
    }
    const Running& found = **running;
    const bool launched = found.state && found.state->startedBy == "launch";
    const std::string what = visibleUtf8(instance()) + " (process " + std::to_string(found.pid) + ", started by " +
                             (launched ? "launch" : "run") + ")";
    const auto grace = std::chrono::seconds(seconds_ + (launched ? 0 : 5));
    if (!platform::endProcess(found.pid, launched, grace)) {
      session.services.message("tarvex-cli: " + what + " did not end.");
      return 1;
    }
    session.out << "Stopped " << what << ".\n";
    return 0;
  }

 private:
  int seconds_ = 10;
};

}  // namespace

std::unique_ptr<Command> makeStop(CommonOptions& common) { return std::make_unique<Stop>(common); }

}  // namespace tarvex
