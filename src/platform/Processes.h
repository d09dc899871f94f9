#pragma once
// The processes Tarvex starts, watches and ends: the game (detached, or as
// run's child), an editor, and what tells one process from another.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Process.h"
#include "util/Problem.h"

namespace tarvex::platform {

// Lowers the calling thread's priority (and, on Linux, that of the threads it
// starts next), so that work done in the background for the window never
// keeps the window's own thread waiting for a core.
void runBehindTheWindow();

// A program started detached, in its working folder, in a session of its
// own with no terminal, its output into the request's log (see
// ProcessRequest): the game of the window and of "tarvex-cli launch", which
// outlives Tarvex. On Linux the Windows executable runs through "wine" (with
// WINEDEBUG quiet unless the user set it), or through the program named by
// the environment variable TARVEX_GAME_RUNNER, which receives the
// executable's path and the arguments. The object watches the program for
// an early end; letting it go leaves the program running.
class DetachedGame {
 public:
  DetachedGame();
  ~DetachedGame();
  DetachedGame(const DetachedGame&) = delete;
  DetachedGame& operator=(const DetachedGame&) = delete;
  // An error text, empty on success (a program started before is let go).
  Problem start(const ProcessRequest& request);
  // Whether the program has ended, waiting up to the time (see Services).
  std::optional<ProcessFailure> failure(int waitMilliseconds);
  // Its process; -1 when none was started.
  long id() const;
  // Asks it (and its process group) to end.
  void end();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// This program's own process.
long currentProcessId();

// How Debian installs Wine's 32-bit part, which the game (a 32-bit program) needs.
inline constexpr const char* kWine32Install =
    "dpkg --add-architecture i386 && apt-get update && apt-get install wine32:i386";

// What to do about a start the game's (or Wine's) output shows to have
// failed for a known cause, such as Wine without its 32-bit part; empty
// when it shows none.
std::string startHint(std::string_view output);

// What tells one process from a later one with the same number: its start
// time as the system counts it; nullopt when no such process runs.
std::optional<std::uint64_t> processStartTime(long pid);

// Whether the process is stopped (SIGSTOP, a debugger): it cannot answer.
bool processStopped(long pid);

// Why a running process that a record of the data folder names is not one
// that this program started for the instance; empty when it is: it is not
// process 0 or 1, it runs as the data folder's owner, and it is either
// tarvex-cli (a run) or a game started for the instance (its environment
// carries kInstanceVariable; a caller who may not read the environment may
// not signal the process either, and sees it listed). Only such a process is
// ever signalled.
Problem foreignProcess(long pid, const std::string& instance, const std::filesystem::path& dataFolder);

// Ends a process: asks it (SIGTERM; with group, its process group, but only
// when it leads that group), waits at most the grace time, then ends it for
// sure; a stopped process (SIGSTOP) is ended at once. On Windows it is ended
// at once (a run's job ends its game with it). True when it has ended.
bool endProcess(long pid, bool group, std::chrono::milliseconds grace);

// The game of "tarvex-cli run": its child, in a process group of its own
// (Windows: a job), started as startProcess starts it, its output read here.
class ChildGame {
 public:
  ChildGame();
  ~ChildGame();
  ChildGame(const ChildGame&) = delete;
  ChildGame& operator=(const ChildGame&) = delete;

  // Starts the request (its logFile is not used: the output comes to wait's
  // sink); an error text, empty on success. The game does not outlive this
  // program: on Linux it is killed when its parent ends, however that ends,
  // and its whole process group is ended at every end of the game and when
  // this object goes (on Windows its job does the same).
  Problem start(const ProcessRequest& request);
  bool running() const;
  long id() const;
  // Waits at most the time for output (passed to sink as it comes), the
  // game's end or a stop signal.
  GameWait wait(int milliseconds, const std::function<void(std::string_view)>& sink);
  // Asks every process of the game to end (SIGTERM), or ends them (SIGKILL).
  void signal(bool kill);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// From now on SIGTERM, SIGINT and SIGHUP (Windows: Ctrl+C, Ctrl+Break and
// closing the console) ask for a stop, which ChildGame::wait reports, instead
// of ending the program.
void catchStopSignals();

// Asks a run that waits to stop, as SIGTERM or Ctrl+C does (a Windows
// service's stop control comes this way).
void askToStop();

// This program's own file.
std::filesystem::path executablePath();

// Quotes an argument for a Windows command line as programs' start-up code
// splits it (backslashes before a quote doubled).
std::string quoteWindowsArgument(const std::string& argument);

// The arguments as one Windows command line, each quoted as it needs.
std::string windowsCommandLine(const std::vector<std::string>& arguments);

// The editor of "config --edit" when neither VISUAL nor EDITOR names one.
inline constexpr const char* kDefaultEditor =
#ifdef _WIN32
    "notepad";
#else
    "vi";
#endif

// Whether a program started now could open a window: on Linux a display
// (DISPLAY or WAYLAND_DISPLAY); Windows always has its desktop.
bool hasDisplay();

// Runs an editor command ($VISUAL, $EDITOR: a program, possibly with its
// options) on the file and waits for it. The file's name is passed as an
// argument, never spliced into a shell's text. How it ended: "" when it
// ended well, else as the shell says it ("exit status 1", "signal 9"); a
// failure when it could not be started.
Result<std::string> runEditor(const std::string& command, const std::filesystem::path& file);

// Called first thing in a console program's main(): what it writes to
// standard output passes byte for byte (on Windows no LF becomes CR LF, so a
// script's own CR LF passes through unchanged).
void keepStandardOutputBinary();

}  // namespace tarvex::platform
