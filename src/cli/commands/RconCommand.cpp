// rcon: one console command, sent with the slot's console password.
#include <chrono>
#include <ostream>
#include <thread>

#include "cli/Command.h"
#include "query/ServerQuery.h"
#include "server/Instance.h"
#include "util/Text.h"

namespace tarvex {
namespace {

// Whether the console command ends the server ("quit", "killserver").
bool endsServer(const std::string& command) {
  const std::string word = lowerAscii(command.substr(0, command.find(' ')));
  return word == "quit" || word == "killserver";
}

class Rcon final : public AskingCommand {
 public:
  using AskingCommand::AskingCommand;
  void describe(CLI::App& table) override {
    CLI::App* rcon =
        addWithSlot(table, "rcon", "send one console command with the slot's console password and print the answer");
    rcon->footer(
        paragraph("Examples: rcon --slot 3 map oa_dm2; rcon --slot 3 say Restart at 10; rcon --slot 3 "
                  "127.0.0.1:27961 kick Name.  The address, as for status, comes before the command; colour codes are "
                  "removed from the answer unless --raw is given.  Without an address the password goes only to the "
                  "server that run or launch started for the slot, which carries that start's identity."));
    rcon->add_flag("--raw", raw_, "keep the colour codes");
    // The command's words are taken as given, options and command names included.
    rcon->prefix_command()->fallthrough(false);
  }
  std::optional<int> takeCommandLine(std::ostream& err, Services&) override {
    // The first word is the server's address when it looks like one.
    std::vector<std::string> words = app_->remaining();
    if (!words.empty() && (words.front().find_first_of(".:") != std::string::npos || words.front() == "localhost")) {
      address_ = words.front();
      words.erase(words.begin());
    }
    for (const auto& word : words) command_ += (command_.empty() ? "" : " ") + word;
    if (words.empty()) return usageError(err, "rcon needs a console command");
    return std::nullopt;
  }
  int run(Session& session) override;

 private:
  // The server's answer, said; the exit status.
  int answer(Session& session, const std::pair<std::string, int>& address, const std::string& password) const;

  bool raw_ = false;
  std::string command_;
};

int Rcon::run(Session& session) {
  const auto config = configuration(session);
  if (!config) return 1;
  if (holdsLineBreak(command_)) {
    session.services.message("tarvex-cli: a console command cannot hold a line break: send one command at a time.");
    return 2;
  }
  const auto password = consolePassword(session, *config);
  if (!password) return 1;
  auto address = serverAddress(config->settings, session.services);
  if (!address) return 2;
  if (!address_) address = ownServer(session, address->second);
  return address ? answer(session, *address, *password) : 1;
}

int Rcon::answer(Session& session, const std::pair<std::string, int>& address, const std::string& password) const {
  const auto& [host, port] = address;
  // A long answer comes in several datagrams; one try only: a command must not run twice.
  const auto text = askConsole({host, port, password}, command_, {2000, 1, 200});
  if (!text && endsServer(command_)) {
    // A server that ends answers nothing: it went away as asked when its port is free.
    for (int i = 0; i < 8 && !portProblem(host, port).ok(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
    if (portProblem(host, port).ok()) {
      session.out << "The server at " << serverAddressText(host, port) << " ended.\n";
      return 0;
    }
  }
  if (!text) {
    session.services.message(text.problem());
    return 1;
  }
  session.out << visibleLines(raw_ ? *text : withoutColours(*text));
  if (!text->empty() && text->back() != '\n') session.out << '\n';
  return 0;
}

}  // namespace

std::unique_ptr<Command> makeRcon(CommonOptions& common) { return std::make_unique<Rcon>(common); }

}  // namespace tarvex
