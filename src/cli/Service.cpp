#include "cli/Service.h"

#include <istream>
#include <ostream>
#include <streambuf>
#include <vector>

#include "cli/Cli.h"
#include "platform/Files.h"
#include "platform/Processes.h"
#include "platform/RotatingLog.h"
#include "platform/SystemServices.h"
#include "saves/SaveFile.h"
#include "server/Instance.h"
#include "startup/GameFolder.h"
#include "util/Text.h"

namespace tarvex {

namespace {
// What a service says goes into a log that stays small: its notes repeat in
// the game's log, this one holds what came before the game's log (refusals).
constexpr LogLimits kServiceLogLimits{1024 * 1024, 1};
constexpr std::chrono::milliseconds kStopWait{30000};

// An output stream into a rotating log.
class LogBuffer : public std::streambuf {
 public:
  explicit LogBuffer(RotatingLog& log) : log_(log) {}

 protected:
  int overflow(int c) override {
    if (c != traits_type::eof()) {
      const char byte = char(c);
      log_.write(std::string_view(&byte, 1));
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* bytes, std::streamsize count) override {
    log_.write(std::string_view(bytes, std::size_t(count)));
    return count;
  }

 private:
  RotatingLog& log_;
};

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

// The slot given, or without one (0) every slot.
std::vector<int> slotsAsked(int slot) {
  if (slot != 0) return {slot};
  std::vector<int> all;
  for (int each = 1; each <= kSlotCount; ++each) all.push_back(each);
  return all;
}

// What a slot's service may write: the services' data folder and, once the
// game folder is known, the game's BaseEF.
std::vector<std::filesystem::path> writableFolders(const std::filesystem::path& dataFolder) {
  std::vector<std::filesystem::path> folders{dataFolder};
  if (const PathIni ini = readPathIni(dataFolder); ini.state == PathIniState::Known)
    folders.push_back(findGameDataFolder(ini.gameFolder));
  return folders;
}

std::string listed(const std::vector<std::filesystem::path>& folders) {
  std::string text;
  for (const auto& folder : folders) text += (text.empty() ? "" : ", ") + fromPath(folder);
  return text;
}

// The service's state in a line, and what it runs and where its messages are.
void describe(int slot, const platform::ServiceState& state, const std::filesystem::path& dataFolder,
              std::ostream& out) {
  const std::string instance = instanceName(slot, {});
  out << serviceName(slot) << ": " << state.state;
  if (state.pid > 0 && state.state != "stopped") out << " (process " << state.pid << ")";
  out << ", " << state.startType;
  if (!state.restartSeconds.empty()) {
    out << ", started again after a failure in";
    for (std::size_t i = 0; i < state.restartSeconds.size(); ++i)
      out << (i == 0 ? " " : i + 1 == state.restartSeconds.size() ? " and " : ", ") << state.restartSeconds[i];
    out << " s";
  }
  out << "\n  runs: " << state.commandLine;
  if (!state.account.empty()) {
    std::vector<std::filesystem::path> writable;
    for (const auto& folder : writableFolders(dataFolder))
      if (platform::serviceMayWrite(serviceName(slot), folder)) writable.push_back(folder);
    out << "\n  as: " << state.account << ", who may write "
        << (writable.empty() ? "none of its folders" : listed(writable));
  }
  out << "\n  the game's log: " << fromPath(instanceLogFile(dataFolder, instance))
      << "\n  the service's messages: " << fromPath(serviceLogFile(dataFolder, instance)) << '\n';
  const std::string last = fileTail(serviceLogFile(dataFolder, instance));
  if (!last.empty()) out << "  its last messages:\n" << visibleLines(last) << (last.back() == '\n' ? "" : "\n");
}
}  // namespace

std::string serviceName(int slot) { return "Tarvex slot " + std::to_string(slot); }

std::filesystem::path serviceLogFile(const std::filesystem::path& dataFolder, const std::string& instance) {
  return dataFolder / "logs" / toPath(instance + ".service.log");
}

int installService(int slot, const std::filesystem::path& appFolder, const std::filesystem::path& dataFolder,
                   std::ostream& out, Services& services) {
  const std::string name = serviceName(slot);
  const std::filesystem::path program = platform::executablePath();
  std::vector<std::string> commandLine{fromPath(program)};
  // The program's own folder is the default; another is named.
  std::error_code ec;
  if (!std::filesystem::equivalent(appFolder, program.parent_path(), ec))
    commandLine.insert(commandLine.end(), {"--app-folder", fromPath(std::filesystem::absolute(appFolder, ec))});
  commandLine.insert(commandLine.end(), {"--system", "run", "--slot", std::to_string(slot), "--service"});
  const std::vector<std::filesystem::path> writable = writableFolders(dataFolder);
  const Problem problem =
      platform::installService({name,
                                "Keeps the Star Trek: Voyager - Elite Force server of save slot " +
                                    std::to_string(slot) + " of " + fromPath(dataFolder) + " up (tarvex-cli run).",
                                commandLine, writable});
  if (!problem.ok()) {
    services.message("The service " + quoted(name) + " was not set up: " + problem + ".");
    return 1;
  }
  out << "The service " << quoted(name) << " is registered: it starts with the machine and keeps the server of "
      << "slot " << slot << " of " << fromPath(dataFolder) << " up, as tarvex-cli --system run --slot " << slot
      << " does.\n"
      << "It runs as NT SERVICE\\" << name << ", an account of its own, who may write " << listed(writable)
      << " alone.\n"
      << (writable.size() < 2 ? "Name the game folder (tarvex-cli --system game-folder DIR) and it may write its "
                                "BaseEF too.\n"
                              : "")
      << "Start it now with: net start " << quoted(name) << "\n"
      << "Stop it with: net stop " << quoted(name) << " (the game stops with it)\n"
      << "See how it is with: tarvex-cli service status --slot " << slot << '\n';
  return 0;
}

int removeServices(int slot, const std::filesystem::path& dataFolder, std::ostream& out, Services& services) {
  const std::string name = serviceName(slot);
  int failed = 0;
  bool found = false;
  for (const int each : slotsAsked(slot)) {
    const auto state = platform::serviceState(serviceName(each));
    if (!state) {
      services.message("The service " + quoted(serviceName(each)) + ": " + state.problem() + ".");
      failed = 1;
      continue;
    }
    if (!*state) continue;
    found = true;
    if (const Problem problem = platform::removeService(serviceName(each), kStopWait, writableFolders(dataFolder));
        !problem.ok()) {
      services.message("The service " + quoted(serviceName(each)) + " was not removed: " + problem + ".");
      failed = 1;
      continue;
    }
    out << "The service " << quoted(serviceName(each)) << " was stopped and removed; its account may no longer write "
        << listed(writableFolders(dataFolder)) << ".\n";
  }
  if (!found && !failed)
    out << (slot != 0 ? "There is no service " + quoted(name) : "There is no Tarvex service")
        << ": nothing to remove.\n";
  if (found) out << "The data folder " << fromPath(dataFolder) << " (slots, logs, added maps) is kept.\n";
  return failed;
}

int showServices(int slot, const std::filesystem::path& dataFolder, std::ostream& out, Services& services) {
  const std::string name = serviceName(slot);
  bool any = false;
  for (const int each : slotsAsked(slot)) {
    const auto state = platform::serviceState(serviceName(each));
    if (!state) {
      services.message("The service " + quoted(serviceName(each)) + " cannot be asked: " + state.problem() + ".");
      return 1;
    }
    if (!*state) continue;
    describe(each, **state, dataFolder, out);
    any = true;
  }
  if (!any) {
    out << (slot != 0 ? "There is no service " + quoted(name) : std::string("No Tarvex service is registered"))
        << ".  Register one with: tarvex-cli service install --slot " << (slot != 0 ? std::to_string(slot) : "N")
        << '\n';
    // What a removal that failed half-way may have left.
    std::vector<std::filesystem::path> left;
    for (const auto& folder : writableFolders(dataFolder))
      if (slot != 0 && platform::serviceMayWrite(name, folder)) left.push_back(folder);
    if (!left.empty())
      out << "Its account NT SERVICE\\" << name << " may still write " << listed(left)
          << ": tarvex-cli service remove --slot " << slot << " takes that back.\n";
    return slot != 0 ? 1 : 0;
  }
  return 0;
}

std::vector<std::string> letServicesWriteGameData(const std::filesystem::path& dataFolder) {
  std::vector<std::string> granted;
  for (const int slot : slotsAsked(0)) {
    const auto state = platform::serviceState(serviceName(slot));
    if (!state || !*state) continue;
    if (platform::letServiceWrite(serviceName(slot), writableFolders(dataFolder)).ok())
      granted.push_back(serviceName(slot));
  }
  return granted;
}

int runAsService(const std::filesystem::path& dataFolder, const std::string& instance, Services& console,
                 const std::function<int(Services&, std::ostream&)>& body) {
  RotatingLog log(serviceLogFile(dataFolder, instance), kServiceLogLimits, false);
  LogBuffer buffer(log);
  std::ostream messages(&buffer);
  ConsoleServices services(messages);
  const Result<int> status = platform::runAsService([&] { return body(services, messages); });
  if (!status) {
    console.message("tarvex-cli: " + status.problem() + ".");
    return 2;
  }
  return *status;
}

int writeLog(const std::filesystem::path& file, std::istream& in) {
  RotatingLog log(file, LogLimits{}, true);
  // Line by line, so that each line is in the log as soon as it is printed;
  // a longer line goes in pieces.
  char buffer[4096];
  for (;;) {
    in.getline(buffer, sizeof buffer);
    const std::streamsize got = in.gcount();
    const bool lineEnded = !in.fail() && !in.eof();
    if (got > 0) log.write(std::string_view(buffer, std::size_t(got - (lineEnded ? 1 : 0))));
    if (lineEnded) log.write("\n");
    if (in.eof() || (in.fail() && got == 0)) break;
    in.clear();  // a piece of a longer line
  }
  return 0;
}

}  // namespace tarvex
