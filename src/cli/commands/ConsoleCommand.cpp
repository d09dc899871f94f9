// console: an interactive remote console of the slot's running server.
#include <iostream>
#include <ostream>

#include "cli/Command.h"
#include "platform/LineEditor.h"
#include "platform/RotatingLog.h"
#include "query/ServerQuery.h"
#include "util/Text.h"

namespace tarvex {
namespace {

// The game's log from where it ends now: its new lines, whole, as they come.
class NewLogLines {
 public:
  explicit NewLogLines(const std::filesystem::path& file) : log_(file) {
    // What it held already is not shown again.
    while (log_.problem().ok() && !log_.next(kChunk).empty()) {
    }
  }
  const Problem& problem() const { return log_.problem(); }
  std::string next() {
    if (!log_.problem().ok()) return {};
    for (std::string bytes; !(bytes = log_.next(kChunk)).empty();) pending_ += bytes;
    std::string lines;
    std::size_t at = 0;
    for (std::size_t end; (end = pending_.find('\n', at)) != std::string::npos; at = end + 1) {
      std::string_view line(pending_.data() + at, end - at);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      lines += visibleText(line) + "\n";
    }
    pending_.erase(0, at);
    return lines;
  }

 private:
  static constexpr std::size_t kChunk = 65536;
  LogFollower log_;
  std::string pending_;
};

class Console final : public AskingCommand {
 public:
  using AskingCommand::AskingCommand;
  void describe(CLI::App& table) override {
    CLI::App* console = addWithSlot(
        table, "console",
        "type console commands to the slot's running server, with line editing and history, and see its log grow");
    console->footer(paragraph(
        "Each line is sent through the remote console with the slot's console password, only to the server run or "
        "launch started for the slot (it carries that start's identity, asked again before each line), and the "
        "answer is printed as rcon prints it.  The game's new log lines are shown as they come, where its log is "
        "in the data folder.  exit or Ctrl+D ends it; quit ends the server.  Line editing and the session's "
        "history come from libedit (on Windows, from the console itself)."));
  }
  int run(Session& session) override {
    const auto config = configuration(session, true);
    if (!config) return 1;
    auto console = slotConsole(session, *config);
    if (!console) return 1;
    const std::string name = visibleUtf8(instance());
    NewLogLines log(instanceLogFile(session.dataFolder, instance()));
    session.out << "The console of " << name << " at " << serverAddressText(console->host, console->port)
                << ": type a console command (cmdlist lists them); exit or Ctrl+D ends it.\n";
    if (!log.problem().ok()) session.out << "Its log is not shown: " << log.problem() << ".\n";
    session.out << std::flush;
    const bool interactive = &session.in == &std::cin && platform::isInteractive();
    platform::LineEditor editor(name + "> ");
    for (;;) {
      std::optional<std::string> line;
      if (interactive) {
        line = editor.next([&log] { return log.next(); });
      } else {
        session.out << log.next() << std::flush;
        std::string read;
        if (std::getline(session.in, read)) line = read;
      }
      if (!line) break;
      const std::string command = trimmedCommand(*line);
      if (command == "exit") break;
      if (command.empty()) continue;
      // Again before each line: the server may have been started again, or another taken its port.
      const auto own = ownServer(session, console->port);
      if (!own) continue;
      console->host = own->first;
      console->port = own->second;
      const auto answer = askConsole(*console, command, {2000, 1, 200});
      if (!answer) {
        session.services.message(answer.problem());
        continue;
      }
      session.out << visibleLines(withoutColours(*answer));
      if (!answer->empty() && answer->back() != '\n') session.out << '\n';
      session.out << log.next() << std::flush;
    }
    return 0;
  }

 private:
  static std::string trimmedCommand(std::string line) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.pop_back();
    const auto first = line.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : line.substr(first);
  }
};

}  // namespace

std::unique_ptr<Command> makeConsole(CommonOptions& common) { return std::make_unique<Console>(common); }

}  // namespace tarvex
