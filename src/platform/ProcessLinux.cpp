// Linux: starting the game (through Wine or TARVEX_GAME_RUNNER), its output
// into a log that stays within its bound, watching it, and stop signals.
#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/InstanceLock.h"
#include "platform/Processes.h"
#include "platform/SystemServices.h"

#ifdef TARVEX_HAVE_SYSTEMD
#include <systemd/sd-daemon.h>
#endif
#include "platform/Files.h"
#include "platform/RotatingLog.h"
#include "util/Text.h"

extern char** environ;

namespace tarvex::platform {

namespace {
// The program's words and environment, made before any fork: nothing is
// allocated in a child.
struct Command {
  std::string runner;
  bool runnerFromEnvironment = false;
  std::vector<std::string> words;
  std::vector<std::string> environment;
  std::vector<char*> argv;
  std::vector<char*> envp;
};

Command commandFor(const ProcessRequest& request) {
  Command command;
  const char* runnerVariable = std::getenv("TARVEX_GAME_RUNNER");
  command.runnerFromEnvironment = runnerVariable && *runnerVariable;
  command.runner = command.runnerFromEnvironment ? runnerVariable : "wine";
  // A runner named by a relative path is taken from the folder Tarvex was
  // started in, not from the game folder the child changes into.
  if (command.runner.find('/') != std::string::npos && command.runner.front() != '/') {
    std::error_code ec;
    command.runner = std::filesystem::absolute(command.runner, ec).string();
  }
  command.words = {command.runner, request.executable};
  command.words.insert(command.words.end(), request.arguments.begin(), request.arguments.end());
  // systemd's notification socket and watchdog are run's: a game that wrote
  // to them would speak for the service (and could say READY or MAINPID).
  for (char** variable = environ; *variable; ++variable) {
    const std::string_view entry(*variable);
    if (entry.starts_with("NOTIFY_SOCKET=") || entry.starts_with("WATCHDOG_PID=") ||
        entry.starts_with("WATCHDOG_USEC=") || entry.starts_with(std::string(kInstanceVariable) + "="))
      continue;
    command.environment.emplace_back(entry);
  }
  if (!request.instance.empty()) command.environment.push_back(std::string(kInstanceVariable) + "=" + request.instance);
  // Wine's own notes of what it lacks (fixme) can outgrow the game's output many times over, and a
  // server has no window to make (winediag, systray, ole); its errors stay, for a game Wine cannot
  // start. WINEDEBUG set by the host is kept.
  if (!command.runnerFromEnvironment && !std::getenv("WINEDEBUG"))
    command.environment.emplace_back("WINEDEBUG=fixme-all,err-winediag,err-systray,err-ole");
  for (auto& word : command.words) command.argv.push_back(word.data());
  command.argv.push_back(nullptr);
  for (auto& variable : command.environment) command.envp.push_back(variable.data());
  command.envp.push_back(nullptr);
  return command;
}

// Closes every descriptor from `first` on (close_range where the kernel has it).
void closeFrom(int first) {
#ifdef SYS_close_range
  if (syscall(SYS_close_range, unsigned(first), ~0U, 0) == 0) return;
#endif
  for (int fd = first; fd < 4096; ++fd) close(fd);
}

// The child's side of a start: a session of its own, no terminal, the output
// into `output`, the working folder, then the program. A failure before the
// program runs is written to `report`.
[[noreturn]] void becomeGame(const Command& command, const std::string& folder, int devNull, int output, int report,
                             pid_t diesWith) {
  setsid();
  // A game of run's dies with run, even one killed by SIGKILL; a launched game lives on.
  if (diesWith > 0 && (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != diesWith)) _exit(127);
  dup2(devNull, STDIN_FILENO);
  dup2(output >= 0 ? output : devNull, STDOUT_FILENO);
  dup2(output >= 0 ? output : devNull, STDERR_FILENO);
  // A log writer that went away makes writes fail, never ends the game.
  ::signal(SIGPIPE, SIG_IGN);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  char stage = 'c';
  if (chdir(folder.c_str()) == 0) {
    stage = 'e';
    execvpe(command.argv[0], command.argv.data(), command.envp.data());
  }
  const int error = errno;
  ssize_t ignored = write(report, &stage, 1);
  ignored = write(report, &error, sizeof error);
  (void)ignored;
  _exit(127);
}

// Forks the game; waits for its exec (or the reason it failed). With
// diesWithParent, the game is killed when this process ends.
pid_t forkGame(const Command& command, const std::string& folder, int output, bool diesWithParent, std::string& error) {
  const pid_t parent = diesWithParent ? getpid() : 0;
  const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
  int report[2];
  if (devNull < 0 || pipe2(report, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    if (devNull >= 0) close(devNull);
    return -1;
  }
  const pid_t child = fork();
  if (child == 0) becomeGame(command, folder, devNull, output, report[1], parent);
  const int forkError = errno;
  close(devNull);
  close(report[1]);
  if (child < 0) {
    close(report[0]);
    error = std::strerror(forkError);
    return -1;
  }
  // The pipe closes at a successful exec; before that, a failure is reported.
  char stage = 0;
  int cause = 0;
  const ssize_t got = read(report[0], &stage, 1);
  if (got == 1 && read(report[0], &cause, sizeof cause) != static_cast<ssize_t>(sizeof cause)) cause = 0;
  close(report[0]);
  if (got != 1) return child;
  int status = 0;
  waitpid(child, &status, 0);
  if (stage == 'c') {
    error = "cannot enter " + folder + ": " + std::strerror(cause);
  } else {
    error = "cannot run " + command.runner + ": " + std::strerror(cause);
    if (cause == ENOENT && !command.runnerFromEnvironment)
      error += "; install Wine (with its 32-bit part: " + std::string(kWine32Install) +
               "), or name the program that runs the game in TARVEX_GAME_RUNNER";
  }
  return -1;
}

std::string endText(int status) {
  return WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                           : "signal " + std::to_string(WTERMSIG(status));
}

// The writer of a detached game's log: a child that reads the game's output
// from a pipe until the game ends (or everything holding the pipe closed it).
// Wine's helpers (wineserver, winedevice.exe) inherit the game's output and
// may outlive it: the log ends with the game, never with them. It keeps only
// the pipe and the log open (not the window's connections).
pid_t forkLogWriter(RotatingLog& log, int input, pid_t game) {
  const auto gameStart = processStartTime(game);
  const pid_t child = fork();
  if (child != 0) return child;
  setsid();
  const int devNull = open("/dev/null", O_RDWR);
  if (devNull >= 0) {
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
  }
  // The pipe to 3 and the log to 4, by way of numbers above both.
  constexpr int kInput = 3, kLog = 4;
  log.useDescriptor(fcntl(log.descriptor(), F_DUPFD, 20));
  const int input20 = fcntl(input, F_DUPFD, 20);
  dup2(input20, kInput);
  dup2(log.descriptor(), kLog);
  log.useDescriptor(kLog);
  closeFrom(kLog + 1);
  (void)fcntl(kInput, F_SETFL, O_NONBLOCK);
  char buffer[16384];
  for (bool gameEnded = false;;) {
    pollfd ready{kInput, POLLIN, 0};
    if (!gameEnded && poll(&ready, 1, 500) < 0 && errno != EINTR) break;
    const ssize_t n = read(kInput, buffer, sizeof buffer);
    if (n > 0) {
      log.write(std::string_view(buffer, std::size_t(n)));
      continue;
    }
    if (n == 0 || (errno != EAGAIN && errno != EINTR)) break;
    // Nothing more to read now: once the game has ended, what it wrote is all in.
    if (gameEnded) break;
    gameEnded = !gameStart || processStartTime(game) != gameStart;
  }
  _exit(0);
}

// Reaps a child, waiting at most the time; true when it has ended.
bool reap(pid_t child, int waitMilliseconds, int& status) {
  for (int waited = 0;; waited += 10) {
    const pid_t ended = waitpid(child, &status, WNOHANG);
    if (ended == child || ended < 0) return true;
    if (waited >= waitMilliseconds) return false;
    usleep(10 * 1000);
  }
}

// The stop signals, passed to ChildGame::wait through a pipe.
int stopPipe[2] = {-1, -1};
volatile sig_atomic_t stopAsked = 0;
void onStopSignal(int) {
  stopAsked = 1;
  if (stopPipe[1] >= 0) {
    const char byte = 's';
    ssize_t ignored = write(stopPipe[1], &byte, 1);
    (void)ignored;
  }
}
}  // namespace

struct DetachedGame::State {
  pid_t game = -1;
  pid_t writer = -1;  // the log's writer, which ends after the game
  std::string logFile;
};

DetachedGame::DetachedGame() : state_(std::make_unique<State>()) {}

DetachedGame::~DetachedGame() = default;

Problem DetachedGame::start(const ProcessRequest& request) {
  Command command = commandFor(request);
  *state_ = {};
  int output[2] = {-1, -1};
  std::optional<RotatingLog> log;
  if (!request.logFile.empty()) {
    log.emplace(toPath(request.logFile), LogLimits{}, true);
    if (log->isOpen() && pipe2(output, O_CLOEXEC) != 0) output[0] = output[1] = -1;
  }
  std::string error;
  const pid_t game = forkGame(command, request.workingFolder, output[1], false, error);
  if (output[1] >= 0) close(output[1]);
  // The writer, told which game it writes for; a game that did not start leaves nothing to write.
  pid_t writer = -1;
  if (output[0] >= 0) {
    if (game > 0) writer = forkLogWriter(*log, output[0], game);
    close(output[0]);
  }
  if (game < 0) return error;
  *state_ = {game, writer, request.logFile};
  return {};
}

std::optional<ProcessFailure> DetachedGame::failure(int waitMilliseconds) {
  State& started = *state_;
  if (started.game < 0) return std::nullopt;
  int status = 0;
  if (!reap(started.game, waitMilliseconds, status)) return std::nullopt;  // still running
  ProcessFailure failure{endText(status), {}, started.logFile, {}};
  // The writer ends within half a second of the game, with all it wrote.
  int writerStatus = 0;
  if (started.writer > 0) reap(started.writer, 2000, writerStatus);
  if (!started.logFile.empty()) {
    failure.lastOutput = fileTail(toPath(started.logFile));
    const FileBytes head = readFileHead(toPath(started.logFile), 4096);
    failure.hint = startHint(head.bytes + "\n" + failure.lastOutput);
  }
  started = {};
  return failure;
}

long DetachedGame::id() const { return state_->game; }

void DetachedGame::end() {
  // The game's group is asked to end; a game that does not, within a few seconds, is ended for sure.
  if (state_->game > 0) endProcess(state_->game, true, std::chrono::seconds(5));
}

struct ChildGame::State {
  pid_t pid = -1;
  pid_t group = -1;  // the game's process group, kept after the game itself ended
  int output = -1;
  // Ends what is left of the game's process group.
  void endGroup() {
    if (group > 0) ::kill(-group, SIGKILL);
    group = -1;
  }
};

ChildGame::ChildGame() : state_(std::make_unique<State>()) {}

ChildGame::~ChildGame() {
  if (state_->pid > 0) {
    ::kill(-state_->pid, SIGKILL);
    int status = 0;
    waitpid(state_->pid, &status, 0);
  }
  state_->endGroup();
  if (state_->output >= 0) close(state_->output);
}

Problem ChildGame::start(const ProcessRequest& request) {
  Command command = commandFor(request);
  int output[2];
  if (pipe2(output, O_CLOEXEC) != 0) return std::strerror(errno);
  std::string error;
  const pid_t game = forkGame(command, request.workingFolder, output[1], true, error);
  close(output[1]);
  if (game < 0) {
    close(output[0]);
    return error;
  }
  if (state_->output >= 0) close(state_->output);
  state_->endGroup();
  state_->pid = game;
  state_->group = game;
  state_->output = output[0];
  return {};
}

bool ChildGame::running() const { return state_->pid > 0; }

long ChildGame::id() const { return state_->pid; }

GameWait ChildGame::wait(int milliseconds, const std::function<void(std::string_view)>& sink) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  char buffer[16384];
  for (;;) {
    if (stopAsked) {
      stopAsked = 0;
      char drained[64];
      while (stopPipe[0] >= 0 && read(stopPipe[0], drained, sizeof drained) > 0) {
      }
      return {GameEvent::StopAsked, {}};
    }
    if (state_->pid > 0) {
      int status = 0;
      if (waitpid(state_->pid, &status, WNOHANG) == state_->pid) {
        // What it printed last, up to the pipe's end (a process it left behind may hold it open).
        for (int chunk = 0; chunk < 64 && state_->output >= 0; ++chunk) {
          pollfd fd{state_->output, POLLIN, 0};
          if (poll(&fd, 1, 0) <= 0) break;
          const ssize_t n = read(state_->output, buffer, sizeof buffer);
          if (n <= 0) break;
          sink(std::string_view(buffer, std::size_t(n)));
        }
        if (state_->output >= 0) close(state_->output);
        state_->output = -1;
        state_->pid = -1;
        // What the game started and left behind ends with it.
        state_->endGroup();
        return {GameEvent::Ended, endText(status)};
      }
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return {GameEvent::Timeout, {}};
    // The end of a child is seen by waitpid, at least every tenth of a second.
    pollfd fds[2] = {{state_->output, POLLIN, 0}, {stopPipe[0], POLLIN, 0}};
    const int ready = poll(fds, 2, int(std::min<long long>(left, 100)));
    if (ready > 0 && state_->output >= 0 && (fds[0].revents & (POLLIN | POLLHUP))) {
      const ssize_t n = read(state_->output, buffer, sizeof buffer);
      if (n > 0) {
        sink(std::string_view(buffer, std::size_t(n)));
      } else if (n == 0) {
        close(state_->output);  // everything closed its output; the end comes by waitpid
        state_->output = -1;
      }
    }
  }
}

void ChildGame::signal(bool kill) {
  if (state_->group > 0) ::kill(-state_->group, kill ? SIGKILL : SIGTERM);
}

namespace {
// The fields of /proc/PID/stat after the name: the state (field 3) and on.
std::optional<std::vector<std::string>> statFields(long pid) {
  if (pid <= 0) return std::nullopt;
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line) || line.rfind(')') == std::string::npos) return std::nullopt;
  std::istringstream words(line.substr(line.rfind(')') + 1));
  std::vector<std::string> fields;
  for (std::string field; words >> field;) fields.push_back(field);
  if (fields.size() < 20) return std::nullopt;
  return fields;
}
// Field N of /proc/PID/stat (3: state, 5: process group, 22: start time).
const std::string& statField(const std::vector<std::string>& fields, int n) { return fields[std::size_t(n - 3)]; }

// The real user a process runs as.
std::optional<uid_t> processUser(long pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.starts_with("Uid:")) return uid_t(std::strtoul(line.c_str() + 4, nullptr, 10));
  return std::nullopt;
}

// Whether the process's environment holds the entry; nullopt when it cannot be read.
std::optional<bool> environmentHolds(long pid, const std::string& entry) {
  // A file of /proc tells no size: it is read to its end.
  std::ifstream in("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes;
  char buffer[4096];
  while (bytes.size() < 1024 * 1024 && in.read(buffer, sizeof buffer).gcount() > 0)
    bytes.append(buffer, std::size_t(in.gcount()));
  if (in.bad()) return std::nullopt;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t end = std::min(bytes.find('\0', at), bytes.size());
    if (std::string_view(bytes).substr(at, end - at) == entry) return true;
    at = end + 1;
  }
  return false;
}

// Whether the process is tarvex-cli by its name (its program may have been
// replaced by an upgrade since it started).
bool isTarvexCli(long pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name == "tarvex-cli";
}

// The process a record names is ours (see foreignProcess), for an owner.
Problem foreignTo(long pid, const std::string& instance, uid_t owner) {
  const std::string process = "process " + std::to_string(pid);
  if (pid <= 1) return process + " is the system's own";
  if (pid == getpid()) return {};
  const auto user = processUser(pid);
  if (!user) return process + " cannot be looked at";
  if (*user != owner) return process + " runs as another user (" + std::to_string(*user) + ")";
  if (isTarvexCli(pid)) return {};
  // One who may not read its environment (a member of the owner's group)
  // may not signal it either: for such a reader the process is only listed.
  if (environmentHolds(pid, std::string(kInstanceVariable) + "=" + instance).value_or(true)) return {};
  return process + " is neither tarvex-cli nor a game started for " + instance;
}

uid_t folderOwner(const std::filesystem::path& folder) {
  struct stat info = {};
  return stat(folder.c_str(), &info) == 0 ? info.st_uid : geteuid();
}
}  // namespace

std::optional<std::uint64_t> processStartTime(long pid) {
  const auto fields = statFields(pid);
  if (!fields) return std::nullopt;
  const std::string& state = statField(*fields, 3);
  if (state == "Z" || state == "X") return std::nullopt;  // ended, not yet reaped
  return std::strtoull(statField(*fields, 22).c_str(), nullptr, 10);
}

bool processStopped(long pid) {
  const auto fields = statFields(pid);
  return fields && (statField(*fields, 3) == "T" || statField(*fields, 3) == "t");
}

Problem foreignProcess(long pid, const std::string& instance, const std::filesystem::path& dataFolder) {
  return foreignTo(pid, instance, folderOwner(dataFolder));
}

namespace {
// The process a lock file records ("PID START"), when it still runs.
std::optional<long> runningHolder(int fd) {
  char text[64] = {};
  const ssize_t n = pread(fd, text, sizeof text - 1, 0);
  if (n <= 0) return std::nullopt;
  long pid = 0;
  unsigned long long start = 0;
  if (std::sscanf(text, "%ld %llu", &pid, &start) != 2 || pid <= 0) return std::nullopt;
  const auto now = processStartTime(pid);
  if (!now || *now != start) return std::nullopt;  // ended, or its number was given to another
  return pid;
}
}  // namespace

Result<std::optional<long>> instanceHolder(const std::filesystem::path& lockFile,
                                           const std::filesystem::path& dataFolder) {
  const int fd = ::open(lockFile.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  const std::string shown = "its lock " + lockFile.string();
  if (fd < 0) {
    if (errno == ENOENT) return std::optional<long>();
    if (errno == ELOOP) return failure(shown + " is a symbolic link, which is never followed");
    return failure(shown + " cannot be read (" + std::strerror(errno) + ")");
  }
  struct stat info = {};
  const bool stated = fstat(fd, &info) == 0;
  const uid_t owner = folderOwner(dataFolder);
  std::optional<long> holder;
  if (stated && S_ISREG(info.st_mode) && info.st_uid == owner) holder = runningHolder(fd);
  close(fd);
  if (!stated || !S_ISREG(info.st_mode)) return failure(shown + " is not a regular file");
  if (info.st_uid != owner)
    return failure(shown + " belongs to user " + std::to_string(info.st_uid) + ", not to the data folder's owner");
  return holder;
}

InstanceLock::InstanceLock(const std::filesystem::path& file) : file_(file) {
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0640);
  if (fd < 0) {
    refusal_ = "its lock " + file.string() + " cannot be opened (" + std::strerror(errno) + ")";
    return;
  }
  // The folder's group (the services' group) may read what runs: list works for its members.
  (void)fchmod(fd, 0640);  // best effort: a lock of another owner keeps its mode
  const bool locked = flock(fd, LOCK_EX | LOCK_NB) == 0;
  auto holder = runningHolder(fd);
  // A record naming a process that is not this user's tarvex-cli or game holds nothing.
  if (holder && !foreignTo(*holder, file.stem().string(), geteuid()).ok()) holder.reset();
  if (!locked || holder) {
    refusal_ = holder ? "process " + std::to_string(*holder) + " runs it" : "another tarvex-cli runs it";
    close(fd);
    return;
  }
  handle_ = fd;
  record(getpid());
}

InstanceLock::~InstanceLock() {
  if (handle_ < 0) return;
  const int fd = int(handle_);
  // A run that ends frees the instance; a launched game that runs keeps it.
  if (runningHolder(fd) == std::optional<long>(getpid()) && ftruncate(fd, 0) != 0) {
  }
  close(fd);
}

void InstanceLock::record(long pid) {
  if (handle_ < 0 || pid <= 0) return;
  const std::string text = std::to_string(pid) + " " + std::to_string(processStartTime(pid).value_or(0)) + "\n";
  if (ftruncate(int(handle_), 0) != 0 || pwrite(int(handle_), text.data(), text.size(), 0) < 0) {
  }
}

long currentProcessId() { return long(getpid()); }

void notifyService(const std::string& state) {
#ifdef TARVEX_HAVE_SYSTEMD
  sd_notify(0, state.c_str());
#else
  (void)state;
#endif
}

bool endProcess(long pid, bool group, std::chrono::milliseconds grace) {
  if (pid <= 1) return false;
  const auto start = processStartTime(pid);
  if (!start) return true;
  const auto ended = [&] { return processStartTime(pid) != start; };
  // A group is signalled only through the process that leads it.
  const pid_t target = group && getpgid(pid_t(pid)) == pid_t(pid) ? -pid_t(pid) : pid_t(pid);
  // A stopped process cannot take a request to end: it is ended at once.
  kill(target, processStopped(pid) ? SIGKILL : SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + grace;
  while (!ended() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (ended()) return true;
  kill(target, SIGKILL);
  for (int i = 0; i < 50 && !ended(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return ended();
}

std::string journalCommand() {
  if (!std::getenv("JOURNAL_STREAM")) return {};
  // The unit is the last part of this process's control group: ".../tarvex@3.service".
  const FileBytes cgroup = readFileBytes("/proc/self/cgroup", 64 * 1024);
  std::string unit;
  if (cgroup.status == ReadStatus::Ok)
    for (const std::string_view line : splitLines(cgroup.bytes))
      if (const auto slash = line.rfind('/'); slash != std::string_view::npos && line.ends_with(".service"))
        unit = std::string(line.substr(slash + 1));
  return unit.empty() ? "journalctl _PID=" + std::to_string(getpid()) : "journalctl -u " + unit;
}

void askToStop() { onStopSignal(SIGTERM); }

void catchStopSignals() {
  if (stopPipe[0] < 0 && pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) stopPipe[0] = stopPipe[1] = -1;
  struct sigaction action = {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
  // A reader of run's output that went away is no reason to end.
  ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace tarvex::platform
#endif
