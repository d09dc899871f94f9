#include "cli/Run.h"

#include <chrono>
#include <ctime>
#include <deque>
#include <fstream>
#include <iomanip>
#include <optional>
#include <ostream>
#include <sstream>
#include <thread>

#include "launch/GameValues.h"
#include "launch/Launch.h"
#include "launch/LaunchSequence.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/InstanceLock.h"
#include "platform/Processes.h"
#include "platform/SystemServices.h"
#include "platform/Time.h"
#include "platform/Udp.h"
#include "query/ServerQuery.h"
#include "server/Instance.h"
#include "util/Text.h"

namespace tarvex {

namespace {
std::string timestamp() {
  const std::tm local = platform::localTime(std::time(nullptr));
  std::ostringstream text;
  text << std::put_time(&local, "%Y-%m-%d %H:%M:%S");
  return text.str();
}

// The console's services, with the game started as run's own child and every
// message noted in the log as well.
class RunServices : public Services {
 public:
  RunServices(Services& console, platform::ChildGame& game, std::function<void(const std::string&)> note)
      : console_(console), game_(game), note_(std::move(note)) {}
  void message(const std::string& text, Icon) override { note_(text); }
  Problem startProcess(const ProcessRequest& request) override { return game_.start(request); }
  std::optional<ProcessFailure> startedProcessFailure(int) override { return std::nullopt; }
  // run watches its game itself (the supervisor asks the server).
  std::optional<std::string> serverIdentity(const std::string&, int) override { return std::nullopt; }
  Problem portProblem(const std::string& address, int port) override { return console_.portProblem(address, port); }
  std::string readRegistry(const std::string& key, const std::string& value) override {
    return console_.readRegistry(key, value);
  }

 private:
  Services& console_;
  platform::ChildGame& game_;
  std::function<void(const std::string&)> note_;
};

class RunHost : public ServerHost {
 public:
  RunHost(Services& console, const std::filesystem::path& dataFolder, PreparedLaunch launch,
          const ServerSettings& settings, RotatingLog* log, std::ostream& out, std::ostream& err)
      : services_(console, game_, [this](const std::string& line) { note(line); }),
        dataFolder_(dataFolder),
        log_(log),
        out_(out),
        err_(err) {
    adopt(std::move(launch), settings);
  }

  // What each start after the first does first: reads the slot again.
  void setReread(std::function<std::optional<Configuration>(Services&)> reread) { reread_ = std::move(reread); }
  void setRestartFile(std::filesystem::path file) { restartFile_ = std::move(file); }

  std::string logPath() const { return log_ ? log_->path() : std::string("standard output"); }

  // Where the game's output goes, as list and log say it.
  std::string outputPlace() const {
    if (log_) return log_->path();
    if (const std::string journal = platform::journalCommand(); !journal.empty()) return journal;
    return "the standard output of tarvex-cli run (process " + std::to_string(platform::currentProcessId()) + ")";
  }

  void setStateFile(std::filesystem::path file) { stateFile_ = std::move(file); }
  void setAsksServer(bool asks) { asksServer_ = asks; }

  // The game's last lines, for the note when run gives up.
  std::string lastOutput() const {
    std::string text;
    for (const auto& line : lastLines_) text += line + "\n";
    return text + partLine_;
  }

  Clock::time_point now() override { return Clock::now(); }

  Problem startGame() override {
    if (starts_ > 0 && reread_) rereadSlot();
    // The script is written anew at every start, and every start has a token of its own.
    token_ = newIdentityToken();
    launch_.arguments = withIdentity(arguments_, token_);
    switch (startPreparedLaunch(services_, dataFolder_, launch_, Frontend::Console, {})) {
      case LaunchResult::Refused:
        return "the launch was refused";
      case LaunchResult::NotStarted:
        return "the game did not start";
      case LaunchResult::Started:
        break;
    }
    note("Started " + commandLineText(launch_.arguments) + " (process " + std::to_string(game_.id()) +
         "); its output goes to " + logPath() + ".");
    startedAt_ = std::chrono::steady_clock::now();
    recordState();
    if (!asksServer_) readyAtStart();
    if (gravityUnkept_)
      note("The gravity " + gravity_ +
           " holds until the map restarts (as it does when warmup ends): run sets it "
           "again through the remote console, which needs a console password without blanks.");
    return {};
  }

  GameWait wait(std::chrono::milliseconds most) override {
    // systemd's watchdog hears from run at least every ten seconds while it waits.
    constexpr std::chrono::milliseconds kPing{10000};
    for (;;) {
      // Once an interval, however often the supervisor waits in between.
      if (const auto now = Clock::now(); now - lastPing_ >= kPing) {
        platform::notifyService("WATCHDOG=1");
        lastPing_ = now;
      }
      // A restart asked for is seen within a second.
      const auto part = std::min({most, kPing, kRequestPoll});
      const auto sink = [this](std::string_view bytes) { output(bytes); };
      GameWait waited = game_.wait(int(part.count()), sink);
      const Event event = waited.event;
      most -= part;
      if (event == Event::StopAsked) platform::notifyService("STOPPING=1");
      // A first start that ends at once has a configuration to mend: say what the game said, as launch does.
      if (event == Event::Ended && starts_ == 1 && std::chrono::steady_clock::now() - startedAt_ < kEarlyEndWait &&
          !lastOutput().empty())
        note("The game ended right after it was started.  What it printed last:\n\n" + lastOutput() +
             (log_ ? "\n\nAll it printed is in " + log_->path() + "." : std::string()));
      if (event != Event::Timeout || most <= std::chrono::milliseconds(0) || restartAsked()) return waited;
    }
  }

  Answer askServer(bool byConsole) override {
    if (byConsole) {
      // Any answer of the remote console shows a server that runs.
      const auto answers = platform::udpExchange(serverHost(), launch_.port, rconRequest(password_, "echo"),
                                                 {500, 1, 0, platform::kWatchdogSource});
      return answers ? Answer::Ours : Answer::Silent;
    }
    const auto status = askStatus(serverHost(), launch_.port, {500, 1, 0, platform::kWatchdogSource});
    if (!status) return Answer::Silent;
    if (status->value(kIdentityVariable) != token_) return Answer::Foreign;
    tellService(*status);
    // Where the game's output does not show its restarts, the watchdog's pace keeps the gravity.
    if (!restartsSeen_) keepGravity();
    return Answer::Ours;
  }

  std::chrono::seconds timeOfDay() override {
    const std::tm local = platform::localTime(std::time(nullptr));
    return std::chrono::hours(local.tm_hour) + std::chrono::minutes(local.tm_min) + std::chrono::seconds(local.tm_sec);
  }

  void say(const std::string& text) override {
    // Said once; the watchdog, not this, finds a server that does not answer.
    (void)platform::udpExchange(serverHost(), launch_.port, rconRequest(password_, "say " + text),
                                {500, 1, 100, platform::kWatchdogSource});
    note("Said to the players: " + text);
  }

  std::optional<RestartRequest> takeRestartRequest() override {
    if (!restartAsked()) return std::nullopt;
    const FileBytes bytes = readFileBytesNoLinks(restartFile_, 4096);
    std::error_code ec;
    if (!std::filesystem::remove(restartFile_, ec) || ec) {
      note("A restart asked for in " + fromPath(restartFile_) + " cannot be taken: the file cannot be removed (" +
           ec.message() + ").  Restarts asked with tarvex-cli restart are no longer heard.");
      restartFile_.clear();
      return std::nullopt;
    }
    if (bytes.status != ReadStatus::Ok) return std::nullopt;
    return parseRestartRequest(bytes.bytes);
  }

  std::optional<int> humanPlayers() override {
    if (console_) {
      const auto answers = platform::udpExchange(serverHost(), launch_.port, rconRequest(password_, "status"),
                                                 {1000, 2, 200, platform::kWatchdogSource});
      const auto text = answers ? parseRconAnswer(*answers) : std::nullopt;
      return text ? humansInConsoleStatus(*text) : std::nullopt;
    }
    const auto status = askStatus(serverHost(), launch_.port, {1000, 2, 0, platform::kWatchdogSource});
    return status ? std::optional<int>(humansInStatus(*status)) : std::nullopt;
  }

  bool hasConsole() override { return console_; }
  bool gameStopped() override { return platform::processStopped(game_.id()); }
  void askGameToStop() override { game_.signal(false); }
  void killGame() override { game_.signal(true); }

  void note(const std::string& line) override {
    const std::string text = visibleLines(timestamp() + " tarvex-cli run: " + line) + "\n";
    err_ << text << std::flush;
    if (log_) log_->write(text);
    platform::notifyService("STATUS=" + statusText(line));
  }

  // Without a watchdog nothing asks the server: the service is ready once the game started.
  void readyAtStart() {
    if (!ready_) platform::notifyService("READY=1");
    ready_ = true;
  }

 private:
  static constexpr std::chrono::milliseconds kRequestPoll{1000};

  // The launch and the settings run keeps to: the console password and the gravity.
  void adopt(PreparedLaunch launch, const ServerSettings& settings) {
    launch_ = std::move(launch);
    arguments_ = launch_.arguments;
    gravity_ = rotationGravity(settings);
    password_ = settings.text("Console_Password");
    // The remote console takes a password without blanks.
    console_ = !password_.empty() && password_.find(' ') == std::string::npos;
    gravityUnkept_ = !gravity_.empty() && !console_;
  }

  // The slot as it is now: a change made since the last start (config --set, the window) takes effect.
  void rereadSlot() {
    std::optional<PreparedLaunch> launch;
    if (const auto config = reread_(services_)) {
      launch = prepareLaunch(services_, *config, launch_.scriptName);
      if (launch) {
        launch->instance = launch_.instance;
        if (launch->script != launch_.script || launch->arguments != arguments_)
          note("The slot changed since the last start: the game starts with its new configuration.");
        adopt(std::move(*launch), config->settings);
        return;
      }
    }
    note("The slot no longer passes its checks (said above): the game starts with the last configuration that did.");
  }

  bool restartAsked() const {
    std::error_code ec;
    return !restartFile_.empty() && std::filesystem::exists(restartFile_, ec);
  }

  std::string serverHost() const { return launch_.address.empty() ? "127.0.0.1" : launch_.address; }

  // systemd hears that the server is ready at its first answer, and what it plays at every one.
  void tellService(const ServerStatus& status) {
    if (!ready_) platform::notifyService("READY=1");
    ready_ = true;
    platform::notifyService("STATUS=" +
                            statusText("Running " + gameTextToUtf8(withoutColours(status.value("mapname"))) + ", " +
                                       std::to_string(status.players.size()) + " of " +
                                       gameTextToUtf8(status.value("sv_maxclients")) + " players"));
  }

  // What list and stop read: this run, since its first start, with its restarts.
  void recordState() {
    if (stateFile_.empty()) return;
    if (starts_++ == 0) since_ = std::time(nullptr);
    const InstanceState state{
        "run", platform::currentProcessId(), since_, starts_ - 1, launch_.address, launch_.port, outputPlace(), token_};
    if (const Problem problem = writeFileAtomic(stateFile_, instanceStateText(state)); !problem.ok() && !stateUnkept_) {
      stateUnkept_ = true;  // said once
      note("list and stop do not see this run: its record " + fromPath(stateFile_) + " could not be written (" +
           problem + ").  Stop it with Ctrl+C or SIGTERM.");
    }
  }

  // The game module puts the map's own gravity back whenever it starts, at
  // every map_restart too (warmup's end runs one); the rotation lines set it
  // after map loads only. The remote console sets it again.
  void keepGravity() {
    if (gravity_.empty() || gravityUnkept_) return;
    // Set again at the next restart or watchdog question if this one is lost.
    (void)platform::udpExchange(serverHost(), launch_.port, rconRequest(password_, "g_gravity " + gravity_),
                                {500, 1, 100, platform::kWatchdogSource});
  }

  // Watches the game's output for the game module's start.
  void watchForRestart(std::string_view bytes) {
    static constexpr std::string_view kMarker = "Game Initialization";
    recent_.append(bytes);
    if (recent_.find(kMarker) != std::string::npos) {
      restartsSeen_ = true;
      recent_.clear();
      keepGravity();
    } else if (recent_.size() > kMarker.size()) {
      recent_.erase(0, recent_.size() - kMarker.size());
    }
  }

  void keepLastLines(std::string_view bytes) {
    static constexpr std::size_t kLines = 12, kLineBytes = 400;
    for (char c : bytes) {
      if (c == '\n') {
        if (!partLine_.empty() && partLine_.back() == '\r') partLine_.pop_back();
        lastLines_.push_back(std::move(partLine_));
        partLine_.clear();
        if (lastLines_.size() > kLines) lastLines_.pop_front();
      } else if (partLine_.size() < kLineBytes) {
        partLine_.push_back(c);
      }
    }
  }

  void output(std::string_view bytes) {
    keepLastLines(bytes);
    watchForRestart(bytes);
    if (log_) {
      log_->write(bytes);
      // Said once here; the log itself says it when it can be written again.
      if (const std::string failure = log_->takeRotationFailure(); !failure.empty())
        err_ << visibleLines(timestamp() + " tarvex-cli run: " + failure + ".") << '\n' << std::flush;
    } else {
      // A reader that went away (a closed journal pipe) never stops the game.
      out_.write(bytes.data(), std::streamsize(bytes.size()));
      out_.flush();
      out_.clear();
    }
  }

  // systemd's status line: UTF-8 without control characters, at most 200 bytes, never cut inside a character.
  static std::string statusText(const std::string& utf8) { return visibleUtf8(utf8Prefix(utf8, 200)); }

  platform::ChildGame game_;
  std::function<std::optional<Configuration>(Services&)> reread_;
  std::filesystem::path restartFile_;
  Clock::time_point lastPing_{};  // systemd's watchdog was told last
  RunServices services_;
  std::filesystem::path dataFolder_;
  PreparedLaunch launch_;
  std::vector<std::string> arguments_;  // the command line without the start's token
  std::string token_;
  std::string gravity_;   // empty: the game's own
  std::string password_;  // the console password
  bool console_ = false;  // the remote console can be asked
  bool gravityUnkept_ = false;
  bool restartsSeen_ = false;
  std::string recent_;  // the end of the output, for a marker split between reads
  std::deque<std::string> lastLines_;
  bool ready_ = false;  // systemd was told
  bool asksServer_ = true;
  std::filesystem::path stateFile_;
  bool stateUnkept_ = false;
  int starts_ = 0;
  std::chrono::steady_clock::time_point startedAt_;
  long long since_ = 0;
  std::string partLine_;
  RotatingLog* log_;  // null: the game's output to standard output
  std::ostream& out_;
  std::ostream& err_;
};
}  // namespace

int runServer(Services& services, const std::filesystem::path& dataFolder, const Configuration& config,
              const std::string& instance, const RunOptions& options, std::ostream& out, std::ostream& err) {
  // Its own script, so that servers from one game folder never share one.
  auto launch = prepareLaunch(services, config, instanceScriptName(instance));
  if (!launch) return kExitConfiguration;
  launch->instance = instance;
  // One run of an instance at a time; what is refused touches no live log.
  platform::InstanceLock lock(instanceLockFile(dataFolder, instance));
  if (!lock.refusal().empty()) {
    services.message("The game was not started: " + instance + " is running already (" + lock.refusal() +
                     ").  Stop it first (Ctrl+C where it runs, or end that process).");
    return 1;
  }
  // A server on the port is refused before a new log begins: its log may be this one.
  if (const Problem refusal = portRefusal(services, *launch, Frontend::Console); !refusal.ok()) {
    services.message(refusal);
    return 1;
  }
  std::optional<RotatingLog> log;
  if (options.log != "-") {
    log.emplace(options.log.empty() ? instanceLogFile(dataFolder, instance) : toPath(options.log), options.limits,
                true);
    if (!log->problem().ok()) {
      services.message("The game was not started: " + log->problem() +
                       ".  Name another file with --log FILE, or send the output to standard output with --log -.");
      return 1;
    }
  }
  platform::catchStopSignals();
  RunHost host(services, dataFolder, *launch, config.settings, log ? &*log : nullptr, out, err);
  const std::filesystem::path stateFile = instanceStateFile(dataFolder, instance);
  host.setStateFile(stateFile);
  host.setReread(options.reread);
  // A request left from an earlier run is not this one's.
  const std::filesystem::path restartFile = instanceRestartFile(dataFolder, instance);
  std::error_code ec;
  std::filesystem::remove(restartFile, ec);
  host.setRestartFile(restartFile);
  host.setAsksServer(options.supervisor.watchdogInterval.count() > 0);
  const SupervisorEnd end = supervise(host, options.supervisor);
  std::filesystem::remove(stateFile, ec);
  std::filesystem::remove(restartFile, ec);
  switch (end) {
    case SupervisorEnd::Stopped:
      return 0;
    case SupervisorEnd::NotStarted:
    case SupervisorEnd::PortTaken:
      return 1;
    case SupervisorEnd::GaveUp:
      break;
  }
  // Why it kept ending is in what the game printed last.
  const std::string last = host.lastOutput();
  host.note((last.empty() ? std::string("The game printed nothing.") : "What the game printed last:\n\n" + last) +
            (log ? "\n\nAll it printed is in " + log->path() + "." : std::string()));
  return kExitGaveUp;
}

int showLog(Services& services, const std::filesystem::path& dataFolder, const std::string& instance, bool follow,
            std::ostream& out) {
  // A running instance whose output goes elsewhere (the journal, run's standard output) says where.
  const FileBytes stateBytes = readFileBytesNoLinks(instanceStateFile(dataFolder, instance), 64 * 1024);
  if (stateBytes.status != ReadStatus::Ok && stateBytes.status != ReadStatus::Missing) {
    services.message("The record " + fromPath(instanceStateFile(dataFolder, instance)) + " of " +
                     visibleUtf8(instance) + " cannot be read.  " + platform::accessHint(dataFolder));
    return 1;
  }
  const auto state = stateBytes.status == ReadStatus::Ok ? parseInstanceState(stateBytes.bytes) : std::nullopt;
  const auto holder = platform::instanceHolder(instanceLockFile(dataFolder, instance), dataFolder);
  if (state && state->output != fromPath(instanceLogFile(dataFolder, instance)) && holder && *holder &&
      **holder == state->pid) {
    const bool journal = state->output.starts_with("journalctl");
    services.message("The game's output of " + visibleUtf8(instance) + " goes to " +
                     visibleUtf8(journal ? "the journal: " + state->output + " -f" : state->output) + ".");
    return 1;
  }
  LogFollower log(instanceLogFile(dataFolder, instance));
  if (!log.problem().ok()) {
    services.message(log.problem());
    return 1;
  }
  // An unfinished last line waits for its end, up to a bound: a log without
  // line breaks is shown in pieces, never gathered whole.
  constexpr std::size_t kChunk = 16384, kLongestLine = 65536;
  std::string pending;
  const auto printLines = [&](bool flushAll) {
    std::size_t at = 0;
    for (std::size_t end; (end = pending.find('\n', at)) != std::string::npos; at = end + 1) {
      std::string_view line(pending.data() + at, end - at);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      out << visibleText(line) << '\n';
    }
    pending.erase(0, at);
    if ((flushAll || pending.size() >= kLongestLine) && !pending.empty()) {
      out << visibleText(pending) << '\n';
      pending.clear();
    }
    out.flush();
  };
  for (;;) {
    for (std::string bytes; !(bytes = log.next(kChunk)).empty();) {
      pending += bytes;
      printLines(false);
    }
    if (!follow || !out) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  printLines(true);
  return 0;
}

}  // namespace tarvex
