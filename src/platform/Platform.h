#pragma once
// The operating system's side of the services that need no desktop: starting
// the game, reading the game's registry entry, playing a WAV file.

#include <chrono>
#include <cstdint>
#include <ctime>
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

// The local time of the moment, as the system's time zone has it.
std::tm localTime(std::time_t time);

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

// The lock of one instance (a slot or a save file) while a run of it runs,
// or a launch starts it: a file that records the process that holds the
// instance, locked by the holder (flock; on Windows, a byte lock). A launch
// records its game, which outlives it: the instance counts as held while
// that process runs.
class InstanceLock {
 public:
  explicit InstanceLock(const std::filesystem::path& file);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  // Empty when the lock was taken; else why not ("process 1234 runs it").
  const std::string& refusal() const { return refusal_; }
  // Records the process that holds the instance from now on.
  void record(long pid);

 private:
  std::filesystem::path file_;
  std::string refusal_;
  long handle_ = -1;  // the open file (a descriptor, or a HANDLE's number)
};

// The process that an instance's lock file records ("PID START") while that
// process runs; nullopt when none does (no lock, an empty one, or one whose
// process ended). The lock is opened without following links and believed
// only when it is a regular file of the data folder's owner; a failure says
// why it cannot be read or believed.
Result<std::optional<long>> instanceHolder(const std::filesystem::path& lockFile,
                                           const std::filesystem::path& dataFolder);

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

// Tells systemd how the service is ("READY=1", "STATUS=...", "WATCHDOG=1",
// "STOPPING=1"); nothing where systemd did not ask (NOTIFY_SOCKET unset) and
// on Windows.
void notifyService(const std::string& state);

// Where standard output goes when systemd's journal takes it: "journalctl -u
// UNIT" for the unit this process runs in; empty when it is not the journal.
std::string journalCommand();

// Whether another program holds the UDP port on the address (empty or
// 0.0.0.0: every address): a bind to it is refused as in use.
bool udpPortInUse(const std::string& address, int port);

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

// Windows services: what tarvex-cli service registers, one service a slot.
// Where there is no service manager of this kind (Linux has systemd's units),
// the calls do nothing and say so.
inline constexpr bool kHasServiceManager =
#ifdef _WIN32
    true;
#else
    false;
#endif
// The game is a Windows program: elsewhere it runs through Wine, whose
// services' user and units (systemd's) are this system's own.
inline constexpr bool kGameThroughWine = !kHasServiceManager;
// The name of the file's owner, or its number where the system knows no
// name; empty where files have no such owner (Windows) or it cannot be seen.
std::string ownerName(const std::filesystem::path& path);

struct ServiceDefinition {
  std::string name;                      // "Tarvex slot 3": the service's name and the name shown
  std::string description;               // what the service list shows beside it
  std::vector<std::string> commandLine;  // the program and its arguments
  // What its account may write (the services' data folder, the game's BaseEF); nothing else.
  std::vector<std::filesystem::path> writable;
};
// Registers the service to start with the machine, restarted by the service
// manager after a failure (after 10 s, 30 s, 60 s), under an account of its
// own with no rights beyond a user's (Windows' virtual account "NT
// SERVICE\NAME"), which is granted the right to write the folders named
// (and what they hold) alone. An error text, empty on success; an existing
// service of the name is given the new command line, account and folders.
Problem installService(const ServiceDefinition& definition);
// Stops the service (waiting at most the time), removes it, and takes back
// its account's right to write the folders. An error text, empty on success;
// a service that is not there is no error.
Problem removeService(const std::string& name, std::chrono::milliseconds stopWait,
                      const std::vector<std::filesystem::path>& writable);

struct ServiceState {
  std::string state;      // "running", "stopped", "starting", "stopping", ...
  long pid = 0;           // while it runs
  std::string startType;  // "starts with the machine", "started by hand", "disabled"
  std::string commandLine;
  std::vector<int> restartSeconds;  // the service manager's restarts after a failure, in order
  std::string account;              // "NT SERVICE\Tarvex slot 3"; "LocalSystem" as Windows shows it
};
// The service's state, nullopt when it is not registered; or why the service
// manager cannot be asked.
Result<std::optional<ServiceState>> serviceState(const std::string& name);
// Whether the service's own account may write the folder (an entry of its
// own that grants it); false where services have no account of their own.
bool serviceMayWrite(const std::string& name, const std::filesystem::path& folder);
// Grants a registered service's account the right to write the folders (a
// game folder named after the service was installed).
Problem letServiceWrite(const std::string& name, const std::vector<std::filesystem::path>& folders);

// Runs the body as the service the service manager started (Windows): the
// service is reported running, a stop control asks the body to stop (see
// askToStop) and its end is reported with the body's exit status, which is
// returned. Where this program was not started by the service manager, the
// body is not run and the problem says so. Elsewhere the body runs as it is.
Result<int> runAsService(const std::function<int()>& body);

// This program's own file.
std::filesystem::path executablePath();

// Quotes an argument for a Windows command line as programs' start-up code
// splits it (backslashes before a quote doubled).
std::string quoteWindowsArgument(const std::string& argument);
// The arguments as one Windows command line, each quoted as it needs.
std::string windowsCommandLine(const std::vector<std::string>& arguments);

// The game's code page, in which every text that reaches the game is bytes:
// on Windows the system's ANSI code page, elsewhere Windows-1252 (the game's
// under Wine). Every byte becomes one character and comes back as itself.
std::u16string fromGameBytes(std::string_view bytes);
// A character the code page lacks becomes '?'.
std::string toGameBytes(std::u16string_view text);
// True when the game's code page holds the character.
bool isGameCharacter(char16_t character);

// Paths are wide on Windows (path::wstring() is their own form), bytes in
// the locale's encoding elsewhere.
inline constexpr bool kWidePaths =
#ifdef _WIN32
    true;
#else
    false;
#endif

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

// Where each user's data folder lies (%APPDATA%\Tarvex; $XDG_DATA_HOME/tarvex,
// else ~/.local/share/tarvex), and the services' (%ProgramData%\Tarvex;
// /var/lib/tarvex).
std::filesystem::path usersDataFolder();
std::filesystem::path servicesDataFolder();
// True when Tarvex may write into the folder: it has write permission bits
// (a folder marked read-only is left alone, whoever runs Tarvex) and this
// process can make a file in it (on Windows access lists decide, which only
// a try shows).
bool isWritableFolder(const std::filesystem::path& folder);
// Whether this process may write the file or folder, as its permissions say
// (one marked read-only for all is not written, even by root).
bool mayWrite(const std::filesystem::path& path);
// The name of the user this process acts as.
std::string currentUserName();

// For an administrator working on the service's data folder: when this
// process runs as root and the folder belongs to another user, it goes on as
// that user (with the user's group and supplementary groups), so that every
// file it writes there is the service's own and every game it starts runs as
// the service would. ForGood gives up root for the rest of the process, and
// takes the user's HOME (the game's Wine prefix lies there). KeepWayBack
// changes only the effective ids and nothing of the environment, so that
// AsInvokingUser can step back: for a command that runs a program of the
// administrator's own (an editor), which must never run as, or with the
// files of, the folder's owner. Nothing changes otherwise, or on Windows.
// Lets the services write the game's data folder BaseEF alone, as root
// (within AsInvokingUser after a KeepWayBack switch): BaseEF goes to the
// group of the services' folder, which may write it, and what is made in it
// stays that group's; nothing else of the game folder changes. A link is
// never followed. Where this process cannot act as root, the problem says
// so (Windows: nothing to do).
Problem letServicesWrite(const std::filesystem::path& dataFolder, const std::filesystem::path& servicesFolder);

// The services' unit runs in a sandbox where the system is read-only and home
// folders are hidden. Its drop-in, game-folder.conf in the unit's .d folder,
// lets the sandbox write the game's data folder BaseEF (ReadWritePaths=) and,
// for a game below /home, /root or /run/user, read home folders. The text is
// empty for a folder no unit line can name (a control character in it).
std::string sandboxDropIn(const std::filesystem::path& dataFolder);
// Writes that drop-in for the unit tarvex@.service, as root, and returns its
// path: /etc/systemd/system/tarvex@.service.d/game-folder.conf
// (TARVEX_UNIT_FOLDER names another folder than /etc/systemd/system); an
// empty path where the services have no such sandbox (Windows).
Result<std::filesystem::path> writeSandboxDropIn(const std::filesystem::path& dataFolder);
// Why the services' sandbox would not let them write BaseEF: the drop-in is
// missing, unreadable or names another folder. Empty when it lets them, or
// where there is no such sandbox (no systemd, Windows).
Problem sandboxDropInProblem(const std::filesystem::path& dataFolder);

enum class OwnerSwitch { ForGood, KeepWayBack };
Problem actAsOwnerOf(const std::filesystem::path& folder, OwnerSwitch how = OwnerSwitch::ForGood);

// While it lives, a process that acts as a folder's owner with KeepWayBack
// is the user who started it again; elsewhere it changes nothing.
class AsInvokingUser {
 public:
  AsInvokingUser();
  ~AsInvokingUser();
  AsInvokingUser(const AsInvokingUser&) = delete;
  AsInvokingUser& operator=(const AsInvokingUser&) = delete;
};

// Runs an editor command ($VISUAL, $EDITOR: a program, possibly with its
// options) on the file and waits for it. The file's name is passed as an
// argument, never spliced into a shell's text. How it ended: "" when it
// ended well, else as the shell says it ("exit status 1", "signal 9"); a
// failure when it could not be started.
Result<std::string> runEditor(const std::string& command, const std::filesystem::path& file);

// What a user who cannot read a data folder does about it: run as root, or
// join the folder's group.
std::string accessHint(const std::filesystem::path& folder);

// Reads a value under HKEY_LOCAL_MACHINE in the 32-bit view (the game's
// installer is a 32-bit program). On Linux: the Wine prefix's system.reg
// ($WINEPREFIX, else ~/.wine), with the path mapped into the prefix.
std::string readMachineRegistry(const std::string& key, const std::string& value);

// The sound checks every platform shares: an empty path, another extension
// than "wav" in any case, or a missing file play nothing.
bool isPlayableWavePath(const std::string& path);

// Called first thing in main(): names the system's own time zone in TZ when
// nothing does, so that the C library reads it once instead of at every time
// conversion (reading a pk3's directory converts the time of every entry:
// five times faster this way). The zone is the same as before.
void settleTimeZone();

// Called first thing in a console program's main(): what it writes to
// standard output passes byte for byte (on Windows no LF becomes CR LF, so a
// script's own CR LF passes through unchanged).
void keepStandardOutputBinary();

// Plays the file synchronously; returns at once when it cannot be played.
void playWave(const std::string& path);

#ifdef TARVEX_HAVE_SOUND
// What the Linux player sends to the sound server: 16-bit frames; no samples
// when the file cannot be decoded.
struct DecodedWave {
  int channels = 0;
  int rate = 0;
  std::vector<short> samples;
};
DecodedWave decodeWave(const std::string& path);
#endif

}  // namespace tarvex::platform
