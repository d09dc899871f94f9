// status: a running server's name, map, game type, limits and players.
#include <ostream>

#include "cli/Command.h"
#include "query/ServerQuery.h"

namespace tarvex {
namespace {

class Status final : public AskingCommand {
 public:
  using AskingCommand::AskingCommand;
  void describe(CLI::App& table) override {
    CLI::App* status =
        addWithSlot(table, "status", "ask a running server for its name, map, game type, limits and players");
    status->footer(paragraph("The address defaults to 127.0.0.1, at the slot's net port when it sets one, else " +
                             std::to_string(kDefaultServerPort) + "."));
    status->add_option("address", address_, "the server's address")->option_text("[HOST][:PORT]");
    status->add_flag("--json", json_, "print the same as JSON, for scripts");
  }
  int run(Session& session) override {
    const auto config = configuration(session, true);
    if (!config) return 1;
    const auto address = serverAddress(config->settings, session.services);
    if (!address) return 2;
    const auto& [host, serverPort] = *address;
    const std::string shown = serverAddressText(host, serverPort);
    // One more try after a second, on the same socket: a datagram can be lost.
    // A slot's own server is asked as run's watchdog asks it, which other questions never crowd out.
    const auto answers = platform::udpExchange(host, serverPort, statusRequest(),
                                               {1000, 2, 0, address_ ? 0u : platform::kWatchdogSource});
    if (!answers) {
      session.services.message(noAnswerMessage(answers.problem(), shown));
      return 1;
    }
    const auto status = parseStatusResponse(answers->front());
    if (!status) {
      session.services.message("The answer from " + shown + " could not be read: " + status.problem() + ".");
      return 1;
    }
    session.out << (json_ ? statusJson(*status, shown) : statusTable(*status, shown));
    return 0;
  }

 private:
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> makeStatus(CommonOptions& common) { return std::make_unique<Status>(common); }

}  // namespace tarvex
