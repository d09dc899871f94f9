#include "cli/Check.h"

#include <chrono>
#include <cstdlib>
#include <ostream>
#include <vector>

#include "launch/Launch.h"
#include "launch/LaunchSequence.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/InstanceLock.h"
#include "platform/Processes.h"
#include "platform/SystemServices.h"
#include "saves/SaveFile.h"
#include "server/Instance.h"
#include "startup/DataFolder.h"
#include "startup/GameFolder.h"
#include "util/Text.h"

namespace tarvex {

namespace {
enum class Mark { Ok, Warn, Fail };

class Report {
 public:
  explicit Report(std::ostream& out) : out_(out) {}
  void line(Mark mark, const std::string& text) {
    static constexpr const char* kMarks[] = {"ok    ", "warn  ", "FAIL  "};
    out_ << kMarks[int(mark)] << visibleLines(text) << '\n';
    if (mark == Mark::Fail) ++failures_;
  }
  int failures() const { return failures_; }

 private:
  std::ostream& out_;
  int failures_ = 0;
};

// The launch checks' messages, kept instead of shown; the port is asked as it is.
class Collected : public Services {
 public:
  explicit Collected(Services& real) : real_(real) {}
  std::vector<std::string> messages;
  void message(const std::string& text, Icon) override { messages.push_back(text); }
  Problem startProcess(const ProcessRequest&) override { return "a check starts nothing"; }
  std::optional<ProcessFailure> startedProcessFailure(int) override { return std::nullopt; }
  std::optional<std::string> serverIdentity(const std::string& address, int port) override {
    return real_.serverIdentity(address, port);
  }
  Problem portProblem(const std::string& address, int port) override { return real_.portProblem(address, port); }
  std::string readRegistry(const std::string& key, const std::string& value) override {
    return real_.readRegistry(key, value);
  }

 private:
  Services& real_;
};

// A program started as the game is (through wine, with the game's
// environment), its output kept; how it ended, or why it did not.
struct Probe {
  Problem problem;     // it could not be started, or did not end in time
  std::string status;  // "exit status 0"
  std::string output;
};

Probe probe(const std::vector<std::string>& words, std::chrono::seconds timeout) {
  platform::ChildGame child;
  ProcessRequest request{"/", words.front(), {words.begin() + 1, words.end()}, {}, {}};
  if (const Problem problem = child.start(request); !problem.ok()) return {problem, {}, {}};
  Probe result;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  const auto keep = [&result](std::string_view bytes) {
    if (result.output.size() < 64 * 1024) result.output.append(bytes);
  };
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.problem = "it did not end within " + std::to_string(timeout.count()) + " s";
      return result;  // the child's end ends it
    }
    if (GameWait waited = child.wait(int(left.count()), keep); waited.event == GameEvent::Ended) {
      result.status = std::move(waited.endStatus);
      return result;
    }
  }
}

std::string trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n' || text.back() == '\t'))
    text.remove_suffix(1);
  return std::string(text);
}

// The last line of a program's output that says something.
std::string lastLine(std::string_view output) {
  std::string last;
  for (const std::string_view line : splitLines(output))
    if (const std::string text = trimmed(std::string(line)); !text.empty()) last = text;
  return last;
}

std::filesystem::path winePrefix() {
  if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) return prefix;
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home ? home : "") / ".wine";
}

// Wine, and whether it starts a 32-bit program (the game is one).
void checkWine(Report& report, std::chrono::seconds timeout) {
  if (const char* runner = std::getenv("TARVEX_GAME_RUNNER"); runner && *runner) {
    report.line(Mark::Ok, std::string("The game runs through TARVEX_GAME_RUNNER (") + runner +
                              "), not through Wine: Wine is not checked.");
    return;
  }
  const std::string install =
      std::string("Install Wine and its 32-bit part as root: apt-get install wine && ") + platform::kWine32Install;
  const Probe version = probe({"--version"}, std::chrono::seconds(30));
  // A start that failed says what to install itself.
  if (!version.problem.ok()) {
    report.line(Mark::Fail, "Wine cannot be run: " + version.problem + ".");
    return;
  }
  if (version.status != "exit status 0") {
    report.line(Mark::Fail, "Wine cannot be run (\"wine --version\" ended with " + version.status + ": " +
                                lastLine(version.output) + ").  " + install);
    return;
  }
  // Debian's wine says more than its version where its 32-bit part is missing.
  const std::string wine = lastLine(version.output);
  // Its first start makes the prefix, which takes a while; a win64 prefix keeps its 32-bit part in syswow64.
  const std::filesystem::path prefix = winePrefix();
  const Probe boot = probe({"cmd", "/c", "exit"}, timeout);
  std::error_code ec;
  const bool wow64 = std::filesystem::is_directory(prefix / "drive_c" / "windows" / "syswow64", ec);
  const Probe start =
      boot.problem.ok()
          ? probe({wow64 ? "C:\\windows\\syswow64\\cmd.exe" : "cmd", "/c", "echo", "tarvex-32-bit"}, timeout)
          : boot;
  const std::string said = boot.output + start.output;
  if (start.problem.ok() && start.output.find("tarvex-32-bit") != std::string::npos &&
      platform::startHint(said).empty()) {
    report.line(Mark::Ok, wine + " starts 32-bit programs, in its prefix " + fromPath(prefix) + " (as user " +
                              platform::currentUserName() + ").");
    return;
  }
  // Wine's own line of what it could not load says most.
  std::string why = !start.problem.ok() ? std::string(start.problem) : lastLine(said);
  for (const std::string_view line : splitLines(said))
    if (line.find("c0000135") != std::string_view::npos) why = trimmed(line);
  const std::string hint = platform::startHint(said);
  report.line(Mark::Fail, wine + " cannot start a 32-bit program such as the game" +
                              (why.empty() ? std::string(".") : " (" + why + ").") + "  " +
                              (hint.empty() ? "Its prefix is " + fromPath(prefix) + "." : hint));
}

// The game folder, its program and BaseEF; whether the game's user may write
// BaseEF (the script) and, for a service, may not change the game's program.
void checkGameFolder(Report& report, const HostCheck& check) {
  const PathIni ini = readPathIni(check.dataFolder);
  const std::string hint =
      std::string("Set it with \"tarvex-cli ") + (check.system ? "--system " : "") + "game-folder DIR\".";
  if (ini.state != PathIniState::Known) {
    report.line(Mark::Fail, unknownGameFolder(check.dataFolder) + "  " + hint);
    return;
  }
  const std::filesystem::path folder = toPath(ini.gameFolder);
  const auto executable = resolveNoCase(folder, kGameExecutable);
  const std::filesystem::path data = findGameDataFolder(ini.gameFolder);
  std::error_code ec;
  const bool hasProgram = executable && std::filesystem::is_regular_file(*executable, ec);
  const bool hasData = std::filesystem::is_directory(data, ec);
  if (!hasProgram || !hasData) {
    report.line(Mark::Fail,
                "The game folder " + ini.gameFolder + " does not hold " +
                    (!hasProgram ? std::string(kGameExecutable) + (hasData ? "" : " and BaseEF") : "BaseEF") + ".  " +
                    hint);
    return;
  }
  report.line(Mark::Ok, "The game folder " + ini.gameFolder + " holds " + kGameExecutable + " and BaseEF.");
  const std::string user = platform::currentUserName();
  if (platform::mayWrite(data)) {
    report.line(Mark::Ok, "BaseEF can be written by " + user + ", who runs the game (its script goes there).");
  } else {
    report.line(Mark::Fail, "BaseEF (" + fromPath(data) + ") cannot be written by " + user +
                                ", who runs the game, and the game's script goes there.  " +
                                (check.system ? "As root: tarvex-cli --system game-folder " + ini.gameFolder
                                              : std::string("Give this user the right to write it.")));
  }
  if (check.system && !platform::kHasServiceManager) {
    if (const Problem problem = platform::sandboxDropInProblem(data); !problem.ok())
      report.line(Mark::Fail, "The service's sandbox does not let it write BaseEF: " + problem +
                                  ".  As root: tarvex-cli --system game-folder " + ini.gameFolder +
                                  " (a server that runs sees it after systemctl daemon-reload and its restart)");
    else
      report.line(Mark::Ok, "The service's sandbox lets it write BaseEF.");
  }
  // The network-facing game must not be able to change its own program.
  if (check.system) {
    if (const Problem problem = changeableProgramProblem(check.dataFolder); !problem.ok())
      report.line(Mark::Fail, problem);
    else
      report.line(Mark::Ok, std::string(kGameExecutable) + " cannot be changed by " + user + ".");
  }
}

}  // namespace

Problem changeableProgramProblem(const std::filesystem::path& dataFolder) {
  // Windows' service accounts are given BaseEF and the services' folder; what else they may write is the
  // machine's own rights (a game folder under Program Files is safe), not checked here.
  if (!platform::kGameThroughWine) return {};
  const PathIni ini = readPathIni(dataFolder);
  if (ini.state != PathIniState::Known) return {};
  const auto executable = resolveNoCase(toPath(ini.gameFolder), kGameExecutable);
  if (!executable || !platform::mayWrite(*executable)) return {};
  const std::string file = fromPath(*executable);
  return file + " can be changed by " + platform::currentUserName() +
         ", who runs the game: a game broken into could change what the service starts next.  As root: chown "
         "root:root " +
         file + " && chmod 755 " + file + " (the services need to write BaseEF alone: tarvex-cli --system game-folder)";
}

namespace {
// The slot's configuration and its port.
void checkSlot(Report& report, const HostCheck& check, Services& services) {
  const std::string named = check.slot > 0 ? "Slot " + std::to_string(check.slot) : "The save file";
  if (!check.slotFile) {
    report.line(Mark::Ok, "No slot was named: --slot N checks a configuration and its port too.");
    return;
  }
  Configuration config;
  config.catalogue = check.catalogue;
  const SaveRead read = restoreSaveFile(*check.slotFile, check.slot, config);
  if (read.outcome == RestoreOutcome::NeverUsed) {
    report.line(Mark::Fail, named + " was never used.  Make its configuration with \"tarvex-cli " +
                                (check.system ? "--system " : "") + "config " +
                                (check.slot > 0 ? "--slot " + std::to_string(check.slot) : "--save FILE") +
                                " --edit\".");
    return;
  }
  if (read.outcome != RestoreOutcome::Restored) {
    report.line(Mark::Fail, read.message);
    return;
  }
  Collected collected(services);
  const auto launch = prepareLaunch(collected, config);
  if (!launch) {
    std::string text = named + " does not pass the launch checks:";
    for (const auto& message : collected.messages) text += "  " + message;
    report.line(Mark::Fail, text);
    return;
  }
  report.line(Mark::Ok, named + " passes the launch checks" +
                            (collected.messages.empty() ? std::string(".") : " (" + collected.messages.front() + ")."));
  const std::string port =
      "Its port " + std::to_string(launch->port) + (launch->address.empty() ? std::string() : " on " + launch->address);
  const auto holder = platform::instanceHolder(instanceLockFile(check.dataFolder, check.instance), check.dataFolder);
  if (holder && *holder) {
    report.line(Mark::Ok, port + " is its own running server's (process " + std::to_string(**holder) + ").");
  } else if (const Problem problem = services.portProblem(launch->address, launch->port); !problem.ok()) {
    report.line(Mark::Fail, port + " is in use (" + problem + ").  " + kNetPortHint);
  } else {
    report.line(Mark::Ok, port + " is free.");
  }
}

// The services' folder belongs to the services' user; systemd starts the slot with the machine.
void checkServices(Report& report, const HostCheck& check) {
  const std::filesystem::path folder = systemDataFolder();
  const std::string name = platform::ownerName(folder);
  if (name.empty())
    report.line(Mark::Fail,
                "The services' folder " + fromPath(folder) +
                    " cannot be looked at.  The package makes it (sudo apt-get install --reinstall tarvex).");
  else if (name != "tarvex")
    report.line(Mark::Fail, "The services' folder " + fromPath(folder) + " belongs to " + name +
                                ", not to the services' user tarvex, and the service could not write it.  As "
                                "root: chown -R tarvex:tarvex " +
                                fromPath(folder));
  else
    report.line(Mark::Ok, "The services' folder " + fromPath(folder) + " belongs to tarvex.");
  std::error_code ec;
  if (check.slot == 0 || !std::filesystem::is_directory("/run/systemd/system", ec)) return;
  // What "systemctl enable" makes: the unit wanted by a target.
  const std::string unit = "tarvex@" + std::to_string(check.slot) + ".service";
  bool enabled = false;
  for (const auto& entry : std::filesystem::directory_iterator("/etc/systemd/system", ec))
    if (entry.path().extension() == ".wants" && std::filesystem::exists(entry.path() / unit, ec)) enabled = true;
  if (enabled)
    report.line(Mark::Ok, "systemd starts " + unit + " with the machine.");
  else
    report.line(Mark::Warn,
                "systemd does not start " + unit + " with the machine.  As root: systemctl enable --now " + unit);
}
}  // namespace

int checkHost(const HostCheck& check, std::ostream& out, Services& services) {
  Report report(out);
  if (platform::kGameThroughWine) checkWine(report, check.wineTimeout);
  checkGameFolder(report, check);
  checkSlot(report, check, services);
  if (platform::kGameThroughWine && check.system) checkServices(report, check);
  if (report.failures() == 0) {
    out << "Nothing keeps the server from starting.\n";
    return 0;
  }
  out << report.failures() << (report.failures() == 1 ? " problem keeps" : " problems keep")
      << " the server from starting.\n";
  return 1;
}

}  // namespace tarvex
