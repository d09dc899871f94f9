// Windows: starting the game with its output into its log, watching run's
// game in a job of its own, and the console's stop events.
#ifdef _WIN32
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>

#include "platform/Files.h"
#include "platform/InstanceLock.h"
#include "platform/Processes.h"
#include "platform/RotatingLog.h"
#include "platform/SystemServices.h"
#include "platform/WindowsApi.h"

namespace tarvex::platform {

namespace {
HANDLE inheritable(HANDLE handle) {
  SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  return handle;
}

HANDLE openNul() {
  SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
  return CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &security, OPEN_EXISTING,
                     0, nullptr);
}

// Starts the program with the given output (asInput: the given handle is
// its input, and its output goes nowhere): the process and (suspended) its
// first thread.
Result<PROCESS_INFORMATION> create(const ProcessRequest& request, HANDLE output, DWORD flags, bool asInput = false) {
  PROCESS_INFORMATION info{};
  std::vector<std::string> arguments{request.executable};
  arguments.insert(arguments.end(), request.arguments.begin(), request.arguments.end());
  std::string commandLine = windowsCommandLine(arguments);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_SHOWNORMAL;
  const HANDLE nul = openNul();
  const bool given = output != INVALID_HANDLE_VALUE;
  startup.hStdInput = given && asInput ? output : nul;
  startup.hStdOutput = given && !asInput ? output : nul;
  startup.hStdError = startup.hStdOutput;
  const bool ok = CreateProcessA(request.executable.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr,
                                 request.workingFolder.c_str(), &startup, &info);
  const DWORD error = GetLastError();
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (!ok) return failure("Windows error " + std::to_string(error));
  return info;
}

std::string exitText(HANDLE process) {
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  return "exit code " + std::to_string(code);
}

// The name of the log writer's program, beside this one.
constexpr const char* kLogWriter = "tarvex-cli.exe";

// The writer of a detached game's log: "tarvex-cli.exe write-log FILE", a
// process of its own that reads the game's output from a pipe into the
// rotating log until the game and everything it started have closed it, so
// that the log stays bounded while the game runs for weeks. The pipe's end
// for the game (inheritable) goes to output; nullptr and no output when the
// writer cannot be started (the log says why).
HANDLE startLogWriter(const std::string& logFile, HANDLE& output) {
  output = INVALID_HANDLE_VALUE;
  const std::filesystem::path writer = executablePath().parent_path() / kLogWriter;
  const auto unkept = [&](const std::string& why) {
    RotatingLog log(toPath(logFile), LogLimits{}, true);
    log.write("The game's output is not kept: " + why + ".\r\n");
    return nullptr;
  };
  std::error_code ec;
  if (!std::filesystem::is_regular_file(writer, ec)) return unkept(fromPath(writer) + " was not found");
  HANDLE read = nullptr, write = nullptr;
  SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
  if (!CreatePipe(&read, &write, &security, 0)) return unkept("Windows error " + std::to_string(GetLastError()));
  // Only the reading end is inheritable while the writer starts: a writer
  // that held the game's end would never see the output end.
  ProcessRequest request;
  request.executable = fromPath(writer);
  request.arguments = {"write-log", logFile};
  request.workingFolder = fromPath(writer.parent_path());
  const auto started = create(request, inheritable(read), CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP,
                              /*asInput=*/true);
  CloseHandle(read);
  if (!started) {
    CloseHandle(write);
    return unkept(fromPath(writer) + " did not start (" + started.problem() + ")");
  }
  const PROCESS_INFORMATION& info = *started;
  CloseHandle(info.hThread);
  output = inheritable(write);
  return info.hProcess;
}
}  // namespace

namespace {
std::atomic<bool> stopAsked{false};
// Made before anything can ask for a stop (a console event, a service's stop control).
const HANDLE stopEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);

BOOL WINAPI onConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  askToStop();
  // A closing console ends the process when this returns: give run its stop.
  if (event == CTRL_CLOSE_EVENT) Sleep(5000);
  return TRUE;
}
}  // namespace

struct DetachedGame::State {
  HANDLE process = nullptr;
  HANDLE writer = nullptr;  // the log's writer, which ends after the game
  std::string logFile;
  void close() {
    for (HANDLE handle : {process, writer})
      if (handle) CloseHandle(handle);
    process = writer = nullptr;
    logFile.clear();
  }
};

DetachedGame::DetachedGame() : state_(std::make_unique<State>()) {}

DetachedGame::~DetachedGame() { state_->close(); }

Problem DetachedGame::start(const ProcessRequest& request) {
  state_->close();
  HANDLE output = INVALID_HANDLE_VALUE;
  HANDLE writer = request.logFile.empty() ? nullptr : startLogWriter(request.logFile, output);
  const auto started = create(request, output, DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP);
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);  // the writer ends when the game's side closes
  if (!started) {
    if (writer) WaitForSingleObject(writer, 1000), CloseHandle(writer);
    return started.problem();
  }
  CloseHandle(started->hThread);
  state_->process = started->hProcess;
  state_->writer = writer;
  state_->logFile = request.logFile;
  return {};
}

std::optional<ProcessFailure> DetachedGame::failure(int waitMilliseconds) {
  State& started = *state_;
  if (!started.process) return std::nullopt;
  if (WaitForSingleObject(started.process, DWORD(std::max(0, waitMilliseconds))) != WAIT_OBJECT_0) return std::nullopt;
  ProcessFailure failure{exitText(started.process), {}, started.logFile, {}};
  // The writer ends once everything the game started has closed the pipe.
  if (started.writer) WaitForSingleObject(started.writer, 500);
  if (!started.logFile.empty()) failure.lastOutput = fileTail(toPath(started.logFile));
  started.close();
  return failure;
}

long DetachedGame::id() const { return state_->process ? long(GetProcessId(state_->process)) : -1; }

void DetachedGame::end() {
  if (state_->process) TerminateProcess(state_->process, 1);
}

std::optional<std::uint64_t> processStartTime(long pid) {
  if (pid <= 0) return std::nullopt;
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
  if (!process) return std::nullopt;
  FILETIME created{}, exited{}, kernel{}, user{};
  DWORD code = 0;
  const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE &&
                       GetProcessTimes(process, &created, &exited, &kernel, &user);
  CloseHandle(process);
  if (!running) return std::nullopt;
  return std::uint64_t(created.dwHighDateTime) << 32 | created.dwLowDateTime;
}

bool processStopped(long) { return false; }

namespace {
// A byte far past the recorded text is what is locked: Windows' locks keep
// others from reading locked bytes.
constexpr DWORD kLockedByte = 1u << 30;

std::optional<long> runningHolder(HANDLE file) {
  char text[64] = {};
  DWORD got = 0;
  OVERLAPPED at{};
  if (!ReadFile(file, text, sizeof text - 1, &got, &at) || got == 0) return std::nullopt;
  long pid = 0;
  unsigned long long start = 0;
  if (std::sscanf(text, "%ld %llu", &pid, &start) != 2 || pid <= 0) return std::nullopt;
  const auto now = processStartTime(pid);
  if (!now || *now != start) return std::nullopt;
  return pid;
}
}  // namespace

InstanceLock::InstanceLock(const std::filesystem::path& file) : file_(file) {
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    refusal_ =
        "its lock " + fromPath(file) + " cannot be opened (Windows error " + std::to_string(GetLastError()) + ")";
    return;
  }
  OVERLAPPED at{};
  at.Offset = kLockedByte;
  const bool locked = LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
  const auto holder = runningHolder(handle);
  if (!locked || holder) {
    refusal_ = holder ? "process " + std::to_string(*holder) + " runs it" : "another tarvex-cli runs it";
    CloseHandle(handle);
    return;
  }
  handle_ = long(reinterpret_cast<std::intptr_t>(handle));
  record(long(GetCurrentProcessId()));
}

InstanceLock::~InstanceLock() {
  if (handle_ < 0) return;
  const HANDLE handle = reinterpret_cast<HANDLE>(std::intptr_t(handle_));
  if (runningHolder(handle) == std::optional<long>(long(GetCurrentProcessId()))) {
    SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(handle);
  }
  CloseHandle(handle);
}

void InstanceLock::record(long pid) {
  if (handle_ < 0 || pid <= 0) return;
  const HANDLE handle = reinterpret_cast<HANDLE>(std::intptr_t(handle_));
  const std::string text = std::to_string(pid) + " " + std::to_string(processStartTime(pid).value_or(0)) + "\n";
  SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
  SetEndOfFile(handle);
  DWORD written = 0;
  WriteFile(handle, text.data(), DWORD(text.size()), &written, nullptr);
}

long currentProcessId() { return long(GetCurrentProcessId()); }

Result<std::optional<long>> instanceHolder(const std::filesystem::path& lockFile, const std::filesystem::path&) {
  const FileBytes read = readFileBytes(lockFile, 256);
  if (read.status == ReadStatus::Missing) return std::optional<long>();
  if (read.status != ReadStatus::Ok) return failure("its lock " + fromPath(lockFile) + " cannot be read");
  long pid = 0;
  unsigned long long start = 0;
  if (std::sscanf(read.bytes.c_str(), "%ld %llu", &pid, &start) != 2 || pid <= 0) return std::optional<long>();
  const auto now = processStartTime(pid);
  if (!now || *now != start) return std::optional<long>();  // ended, or its number was given to another
  return std::optional<long>(pid);
}

Problem foreignProcess(long pid, const std::string&, const std::filesystem::path&) {
  // The system's own processes (the idle process and System) are never a game or a run.
  if (pid <= 4) return "process " + std::to_string(pid) + " is the system's own";
  return {};
}

bool endProcess(long pid, bool, std::chrono::milliseconds) {
  // Windows has no request to end that a console program of another console
  // receives: it is ended; a run's job ends its game with it.
  const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, DWORD(pid));
  if (!process) return !processStartTime(pid).has_value();
  TerminateProcess(process, 1);
  const bool ended = WaitForSingleObject(process, 5000) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

std::string journalCommand() { return {}; }

struct ChildGame::State {
  HANDLE process = nullptr;
  HANDLE job = nullptr;
  HANDLE output = nullptr;
  DWORD id = 0;
  void close() {
    for (HANDLE* handle : {&process, &job, &output})
      if (*handle) CloseHandle(*handle), *handle = nullptr;
  }
};

ChildGame::ChildGame() : state_(std::make_unique<State>()) {}

ChildGame::~ChildGame() { state_->close(); }

Problem ChildGame::start(const ProcessRequest& request) {
  state_->close();
  HANDLE read = nullptr, write = nullptr;
  SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
  if (!CreatePipe(&read, &write, &security, 0)) return "Windows error " + std::to_string(GetLastError());
  const auto started = create(request, inheritable(write), CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP);
  CloseHandle(write);
  if (!started) {
    CloseHandle(read);
    return started.problem();
  }
  const PROCESS_INFORMATION& info = *started;
  // A job holds the game and everything it starts, so that ending it ends them all.
  state_->job = CreateJobObjectA(nullptr, nullptr);
  if (state_->job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(state_->job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    AssignProcessToJobObject(state_->job, info.hProcess);
  }
  ResumeThread(info.hThread);
  CloseHandle(info.hThread);
  state_->process = info.hProcess;
  state_->output = read;
  state_->id = info.dwProcessId;
  return {};
}

bool ChildGame::running() const { return state_->process != nullptr; }

long ChildGame::id() const { return long(state_->id); }

GameWait ChildGame::wait(int milliseconds, const std::function<void(std::string_view)>& sink) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  char buffer[16384];
  const auto drain = [&] {
    DWORD available = 0;
    while (state_->output && PeekNamedPipe(state_->output, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
      DWORD got = 0;
      if (!ReadFile(state_->output, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr) || got == 0)
        break;
      sink(std::string_view(buffer, got));
    }
  };
  for (;;) {
    if (stopAsked.exchange(false)) return {GameEvent::StopAsked, {}};
    drain();
    if (state_->process && WaitForSingleObject(state_->process, 0) == WAIT_OBJECT_0) {
      drain();
      std::string endStatus = exitText(state_->process);
      state_->close();
      return {GameEvent::Ended, std::move(endStatus)};
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return {GameEvent::Timeout, {}};
    // Output is looked for at least every twentieth of a second.
    HANDLE handles[2];
    DWORD count = 0;
    if (stopEvent) handles[count++] = stopEvent;
    if (state_->process) handles[count++] = state_->process;
    const DWORD slice = DWORD(std::min<long long>(left, 50));
    if (count > 0)
      WaitForMultipleObjects(count, handles, FALSE, slice);
    else
      Sleep(slice);
  }
}

void ChildGame::signal(bool kill) {
  if (!state_->process) return;
  if (kill) {
    if (state_->job)
      TerminateJobObject(state_->job, 1);
    else
      TerminateProcess(state_->process, 1);
    return;
  }
  // A window program is asked to close its windows; a console one gets Ctrl+Break.
  EnumWindows(
      [](HWND window, LPARAM id) -> BOOL {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == DWORD(id)) PostMessageA(window, WM_CLOSE, 0, 0);
        return TRUE;
      },
      LPARAM(state_->id));
  GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, state_->id);
}

void askToStop() {
  stopAsked = true;
  if (stopEvent) SetEvent(stopEvent);
}

void catchStopSignals() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

}  // namespace tarvex::platform
#endif
