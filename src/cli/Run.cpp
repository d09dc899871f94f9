#include "cli/Run.h"

#include <chrono>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <optional>
#include <ostream>
#include <sstream>
#include <thread>

#include "launch/GameValues.h"
#include "launch/Launch.h"
#include "launch/LaunchSequence.h"
#include "platform/Platform.h"
#include "query/ServerQuery.h"
#include "server/Instance.h"
#include "util/Files.h"
#include "util/Text.h"

namespace tarvex {

namespace {
std::string timestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
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
  std::optional<std::string> prompt(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> openFile(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  void playWave(const std::string&) override {}
  std::string startProcess(const ProcessRequest& request) override { return game_.start(request); }
  std::optional<ProcessFailure> startedProcessFailure(int) override { return std::nullopt; }
  std::string portProblem(const std::string& address, int port) override {
    return console_.portProblem(address, port);
  }
  void openLink(const std::string&) override {}
  std::string readRegistry(const std::string& key, const std::string& value) override {
    return console_.readRegistry(key, value);
  }
  std::optional<std::vector<bool>> chooseMaps(const std::vector<MapChoice>&, const PictureJob&) override {
    return std::nullopt;
  }

 private:
  Services& console_;
  platform::ChildGame& game_;
  std::function<void(const std::string&)> note_;
};

class RunHost : public ServerHost {
 public:
  RunHost(Services& console, const std::filesystem::path& dataFolder, PreparedLaunch launch,
          const ServerSettings& settings, const std::filesystem::path& logFile, const RunOptions& options,
          std::ostream& out, std::ostream& err)
      : services_(console, game_, [this](const std::string& line) { note(line); }),
        dataFolder_(dataFolder),
        launch_(std::move(launch)),
        gravity_(rotationGravity(settings)),
        password_(settings.text("Console_Password")),
        toOutput_(options.log == "-"),
        out_(out),
        err_(err) {
    if (!toOutput_) log_.emplace(logFile, options.limits, true);
    if (!gravity_.empty() && (password_.empty() || password_.find(' ') != std::string::npos))
      gravityUnkept_ = true;
  }

  std::string logPath() const { return log_ ? log_->path() : std::string("standard output"); }

  Clock::time_point now() override { return Clock::now(); }

  std::string startGame() override {
    // The script is written anew at every start.
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
    if (gravityUnkept_)
      note("The gravity " + gravity_ + " holds until the map restarts (as it does when warmup ends): run sets it "
           "again through the remote console, which needs a console password without blanks.");
    return {};
  }

  Event wait(std::chrono::milliseconds most, std::string& endStatus) override {
    return game_.wait(int(most.count()), [this](std::string_view bytes) { output(bytes); }, endStatus);
  }

  bool serverAnswers() override {
    std::string error, problem;
    const auto answers = platform::udpExchange(serverHost(), launch_.port, statusRequest(), {1000, 1, 0}, error);
    const bool answered = !answers.empty() && parseStatusResponse(answers.front(), problem).has_value();
    // Where the game's output does not show its restarts, the watchdog's pace keeps the gravity.
    if (answered && !restartsSeen_) keepGravity();
    return answered;
  }

  void askGameToStop() override { game_.signal(false); }
  void killGame() override { game_.signal(true); }

  void note(const std::string& line) override {
    const std::string text = visibleLines(timestamp() + " tarvex-cli run: " + line) + "\n";
    err_ << text << std::flush;
    if (log_) log_->write(text);
  }

 private:
  std::string serverHost() const { return launch_.address.empty() ? "127.0.0.1" : launch_.address; }

  // The game module puts the map's own gravity back whenever it starts, at
  // every map_restart too (warmup's end runs one); the rotation lines set it
  // after map loads only. The remote console sets it again.
  void keepGravity() {
    if (gravity_.empty() || gravityUnkept_) return;
    std::string error;
    platform::udpExchange(serverHost(), launch_.port, rconRequest(password_, "g_gravity " + gravity_), {500, 1, 100},
                          error);
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

  void output(std::string_view bytes) {
    watchForRestart(bytes);
    if (log_) {
      log_->write(bytes);
    } else {
      // A reader that went away (a closed journal pipe) never stops the game.
      out_.write(bytes.data(), std::streamsize(bytes.size()));
      out_.flush();
      out_.clear();
    }
  }

  platform::ChildGame game_;
  RunServices services_;
  std::filesystem::path dataFolder_;
  PreparedLaunch launch_;
  std::string gravity_;   // empty: the game's own
  std::string password_;  // the console password
  bool gravityUnkept_ = false;
  bool restartsSeen_ = false;
  std::string recent_;  // the end of the output, for a marker split between reads
  bool toOutput_;
  std::optional<RotatingLog> log_;
  std::ostream& out_;
  std::ostream& err_;
};
}  // namespace

int runServer(Services& services, const std::filesystem::path& dataFolder, const Configuration& config,
              const std::string& instance, const RunOptions& options, std::ostream& out, std::ostream& err) {
  // Its own script, so that servers from one game folder never share one.
  const auto launch = prepareLaunch(services, config, instanceScriptName(instance));
  if (!launch) return 1;
  const std::filesystem::path logFile =
      options.log.empty() ? instanceLogFile(dataFolder, instance) : toPath(options.log);
  platform::catchStopSignals();
  RunHost host(services, dataFolder, *launch, config.settings, logFile, options, out, err);
  switch (supervise(host, options.supervisor)) {
    case SupervisorEnd::Stopped:
      return 0;
    case SupervisorEnd::NotStarted:
      return 1;
    case SupervisorEnd::GaveUp:
      break;
  }
  return 4;
}

int showLog(Services& services, const std::filesystem::path& dataFolder, const std::string& instance, bool follow,
            std::ostream& out) {
  const std::filesystem::path file = instanceLogFile(dataFolder, instance);
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    services.message("There is no log " + fromPath(file) + " yet: it begins when the game is started.");
    return 1;
  }
  std::string pending;  // an unfinished last line waits for its end
  std::uintmax_t offset = 0;
  const auto printLines = [&](bool flushAll) {
    std::size_t at = 0;
    for (std::size_t end; (end = pending.find('\n', at)) != std::string::npos; at = end + 1) {
      std::string_view line(pending.data() + at, end - at);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      out << visibleText(line) << '\n';
    }
    pending.erase(0, at);
    if (flushAll && !pending.empty()) {
      out << visibleText(pending) << '\n';
      pending.clear();
    }
    out.flush();
  };
  for (;;) {
    char buffer[16384];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
      pending.append(buffer, std::size_t(in.gcount()));
      offset += std::uintmax_t(in.gcount());
      printLines(false);
    }
    if (!follow) break;
    in.clear();
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    // A rotated log begins afresh under the same name.
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (!ec && size < offset) {
      in = std::ifstream(file, std::ios::binary);
      offset = 0;
    }
  }
  printLines(true);
  return 0;
}

}  // namespace tarvex
