// service (Windows): the server of a slot as a service that starts with the
// machine: install, remove and status.
#include "cli/Command.h"
#include "cli/Service.h"
#include "launch/LaunchSequence.h"
#include "platform/SystemServices.h"

namespace tarvex {
namespace {

class Service final : public SlotCommand {
 public:
  using SlotCommand::SlotCommand;
  void describe(CLI::App& table) override;
  std::optional<int> takeCommandLine(std::ostream& err, Services& services) override {
    if (!platform::kHasServiceManager) {
      services.message(
          "tarvex-cli service registers Windows services.  Here systemd's unit tarvex@N runs the server of slot N: "
          "sudo systemctl enable --now tarvex@N");
      return 1;
    }
    if (action_ == Action::Install && slot_ == 0)
      return tarvex::usageError(err, "service install needs --slot N", *app_->get_subcommands().front());
    common_.system = true;  // a service works in the services' data folder
    return std::nullopt;
  }
  bool writes() const override { return action_ == Action::Install; }
  int run(Session& session) override {
    switch (action_) {
      case Action::Install: {
        // A service that would not start is not registered.
        const auto config = configuration(session);
        if (!config || !prepareLaunch(session.services, *config)) return 1;
        return installService(slot_, session.appFolder, session.dataFolder, session.out, session.services);
      }
      case Action::Remove:
        return removeServices(slot_, session.dataFolder, session.out, session.services);
      case Action::Status:
        break;
    }
    return showServices(slot_, session.dataFolder, session.out, session.services);
  }

 private:
  enum class Action { Install, Remove, Status };
  Action action_ = Action::Status;
};

void Service::describe(CLI::App& table) {
  CLI::App* service =
      add(table, "service",
          "Windows: make the server of a slot a service that starts with the machine and keeps it up as run "
          "does (install), remove it, or show how it is (status)");
  service->require_subcommand(1, 1);
  service->footer(paragraph(
      "The service \"Tarvex slot N\" runs \"tarvex-cli --system run --slot N\" on the services' data folder "
      "(%ProgramData%\\Tarvex) as an account of its own, NT SERVICE\\Tarvex slot N, which may write that folder "
      "and the game's BaseEF alone (install grants it, remove takes it back).  It starts with the machine, and "
      "again 10, 30 and 60 s after run ends with a failure; stopping it (net stop, the Services window) stops the "
      "game as Ctrl+C does.  The game's output goes to logs\\slotN.log there, what run says to "
      "logs\\slotN.service.log.  install and remove need a command prompt opened with \"Run as administrator\".  "
      "On Linux the package's unit does the same: systemctl enable --now tarvex@N."));
  const auto action = [&](Action given, const char* name, const char* description) {
    CLI::App* sub = service->add_subcommand(name, description);
    sub->callback([this, given] { action_ = given; });
    sub->add_option("--slot", slot_, "save slot N (1 to 9) of the services' data folder")
        ->option_text("N")
        ->check(CLI::Range(1, 9));
  };
  action(Action::Install, "install",
         "register the service of a slot, which starts with the machine (start it with net start)");
  action(Action::Remove, "remove",
         "stop the service of a slot (without --slot: every slot's) and remove it; no data is removed");
  action(Action::Status, "status",
         "show the service of a slot (without --slot: every slot's): state, command line, logs");
}

}  // namespace

std::unique_ptr<Command> makeService(CommonOptions& common) { return std::make_unique<Service>(common); }

}  // namespace tarvex
