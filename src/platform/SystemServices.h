#pragma once
// The service managers: Windows services, and systemd's notifications,
// journal and sandbox.

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "util/Problem.h"

namespace tarvex::platform {

// Tells systemd how the service is ("READY=1", "STATUS=...", "WATCHDOG=1",
// "STOPPING=1"); nothing where systemd did not ask (NOTIFY_SOCKET unset) and
// on Windows.
void notifyService(const std::string& state);

// Where standard output goes when systemd's journal takes it: "journalctl -u
// UNIT" for the unit this process runs in; empty when it is not the journal.
std::string journalCommand();

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

}  // namespace tarvex::platform
