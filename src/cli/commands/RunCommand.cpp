// run: keeps the server of a slot up in the foreground (systemd's unit and
// the Windows service run it).
#include <algorithm>
#include <chrono>
#include <map>

#include "cli/Command.h"
#include "cli/Run.h"
#include "cli/Service.h"
#include "launch/GameValues.h"
#include "platform/SystemServices.h"
#include "startup/DataFolder.h"
#include "util/GameText.h"
#include "util/Text.h"

namespace tarvex {
namespace {

class Run final : public StartingCommand {
 public:
  using StartingCommand::StartingCommand;
  void describe(CLI::App& table) override;
  std::optional<int> takeCommandLine(std::ostream& err, Services& services) override;
  int carryOut(Session& session, const Step& inDataFolder) override;
  int run(Session& session) override {
    const auto config = startable(session);
    if (!config || !mayStart(session, *config)) return kExitConfiguration;
    options_.reread = [this, &session](Services& notes) -> std::optional<Configuration> {
      Session again{session.appFolder, session.dataFolder, session.system, session.out, session.err, notes, session.in};
      auto now = startable(again);
      if (!now || !mayStart(again, *now)) return std::nullopt;
      return now;
    };
    return runServer(session.services, session.dataFolder, *config, instance(), options_, session.out, session.err);
  }

 private:
  Problem takeNumbers();
  Problem takeRestartTimes();

  RunOptions options_;
  std::map<std::string, std::string> numbers_;  // as given, checked after parsing
  std::vector<std::string> restartTimes_;       // --restart-at, as given
  bool asService_ = false;                      // run --service
};

void Run::describe(CLI::App& table) {
  CLI::App& run = *addWithSlot(
      table, "run",
      "keep the server up, in the foreground: start the game as launch does (with a script of its own), again when "
      "it ends or stops answering, and stop it on SIGTERM, SIGINT or SIGHUP");
  // The defaults the help names are the ones run starts with.
  const SupervisorOptions& supervised = options_.supervisor;
  const LogLimits& logged = options_.limits;
  const auto count = [](auto value) { return std::to_string(value); };
  run.footer(paragraph("The game's own script is tarvex-slotN.cfg.  Waits between starts: " +
                       count(supervised.firstDelay.count() / 1000) + " s, doubling up to " +
                       count(supervised.mostDelay.count() / 1000) +
                       " s.  On Windows, Ctrl+C, Ctrl+Break and closing the console stop it."));
  addStartTimeout(run);
  const std::string confirm = count(supervised.confirmTries * supervised.confirmGap.count() / 1000);
  const std::pair<const char*, std::string> numbers[] = {
      {"--restart-limit", "give up after N ends within the restart window (" + count(supervised.restartBurst) + ")"},
      {"--restart-window", "that window, in seconds (" + count(supervised.restartInterval.count()) + ")"},
      {"--watchdog", "check the server every S seconds (its status, asked again for " + confirm +
                         " s, and its console) and start it again after " + count(supervised.watchdogMisses) +
                         " silent checks, " + count(supervised.watchdogMisses * 2) + " without a console password (" +
                         count(supervised.watchdogInterval.count()) +
                         "; 0: never); these restarts never make run give up"},
      {"--stop-timeout",
       "after asking the game to end, end it for sure (" + count(supervised.stopTimeout.count()) + ")"},
      {"--log-size",
       "start a new log file past this size (" + count(logged.maxBytes / (1024 * 1024)) + "; 64K: kilobytes)"},
      {"--log-keep", "earlier log files kept (" + count(logged.keep) + ")"}};
  const std::map<std::string, const char*> shown{{"--restart-limit", "N"}, {"--log-size", "MB"}, {"--log-keep", "N"}};
  for (const auto& [name, description] : numbers)
    run.add_option(name, numbers_[name], description)->option_text(shown.contains(name) ? shown.at(name) : "S");
  run.add_option("--restart-at", restartTimes_,
                 "restart the game at this time of day (local, HH:MM; may be given more than once), warning the "
                 "players through the remote console 5 and 1 minutes before; these restarts never make run give up")
      ->option_text("HH:MM");
  run.add_option("--restart-warning", options_.supervisor.restartWarning,
                 "what the players are told before a scheduled restart; {minutes} is \"5 minutes\" or \"1 minute\" "
                 "(\"The server restarts in {minutes}.\")")
      ->option_text("TEXT");
  run.add_option("--log", options_.log,
                 "the game's log (default: logs/ in the data folder); -: the game's output to standard output "
                 "(journald)")
      ->option_text("FILE|-");
  run.add_flag("--service", asService_, "run as the Windows service that the service manager started")->group("");
}

std::optional<int> Run::takeCommandLine(std::ostream& err, Services&) {
  if (Problem problem = takeNumbers(); !problem.ok()) return usageError(err, problem);
  if (Problem problem = takeRestartTimes(); !problem.ok()) return usageError(err, problem);
  options_.supervisor.firstAnswerWait = std::chrono::seconds(startSeconds_);
  if (asService_ && !platform::kHasServiceManager)
    return usageError(err, "run --service is for Windows' service manager; here systemd's unit tarvex@N runs slot N");
  return std::nullopt;
}

int Run::carryOut(Session& session, const Step& inDataFolder) {
  if (!asService_) return inDataFolder(session);
  // Without a console: everything run says goes into the service's log.
  const std::filesystem::path dataFolder = session.system ? systemDataFolderFor(session.appFolder, DataUse::Write)
                                                          : dataFolderFor(session.appFolder, DataUse::Write);
  return runAsService(dataFolder, instance(), session.services, [&](Services& messages, std::ostream& serviceErr) {
    Session service{session.appFolder, {}, session.system, session.out, serviceErr, messages, session.in};
    return inDataFolder(service);
  });
}

// The numbers as they were given.
Problem Run::takeNumbers() {
  for (const auto& [name, text] : numbers_) {
    if (text.empty()) continue;
    // A log size may be given in kilobytes: "64K".
    const bool kilobytes = name == "--log-size" && (text.back() == 'K' || text.back() == 'k');
    const auto number = parseCount(kilobytes ? text.substr(0, text.size() - 1) : text);
    const bool positive = name == "--restart-limit" || name == "--log-size" || name == "--restart-window";
    if (!number || (positive && *number < 1) || *number > 1000000)
      return name + " takes a whole number" + (positive ? " from 1" : "");
    SupervisorOptions& supervisor = options_.supervisor;
    if (name == "--restart-limit") supervisor.restartBurst = int(*number);
    if (name == "--restart-window") supervisor.restartInterval = std::chrono::seconds(*number);
    if (name == "--watchdog") supervisor.watchdogInterval = std::chrono::seconds(*number);
    if (name == "--stop-timeout") supervisor.stopTimeout = std::chrono::seconds(*number);
    if (name == "--log-size") options_.limits.maxBytes = std::uint64_t(*number) * 1024 * (kilobytes ? 1 : 1024);
    if (name == "--log-keep") options_.limits.keep = int(*number);
  }
  return {};
}

// The times of day and the warning's text.
Problem Run::takeRestartTimes() {
  for (const std::string& text : restartTimes_) {
    // Exactly HH:MM: two digits, a colon, two digits.
    const bool shaped = text.size() == 5 && text[2] == ':' && std::all_of(text.begin(), text.end(), [](char c) {
                          return c == ':' || (c >= '0' && c <= '9');
                        });
    const auto hours = shaped ? parseCount(text.substr(0, 2)) : std::nullopt;
    const auto minutes = shaped ? parseCount(text.substr(3)) : std::nullopt;
    if (!hours || !minutes || *hours > 23 || *minutes > 59)
      return "--restart-at takes a time of day as HH:MM, such as 04:30";
    options_.supervisor.restartTimes.push_back(std::chrono::hours(*hours) + std::chrono::minutes(*minutes));
  }
  return warningProblem("--restart-warning", options_.supervisor.restartWarning);
}

}  // namespace

std::unique_ptr<Command> makeRun(CommonOptions& common) { return std::make_unique<Run>(common); }

}  // namespace tarvex
