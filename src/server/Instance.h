#pragma once
// The name a configuration runs under, and the files named after it: run's
// own script (so that two servers from one game folder never read each
// other's settings) and the log of the game's output.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/Supervisor.h"

namespace tarvex {

// "slot3" for save slot 3; for a save file "save-" with the letters of its
// name and a checksum of its full path ("save-team_night-1a2b3c4d"), one
// name for each file; "game" for the window, and a launch with neither.
std::string instanceName(int slot, const std::string& saveFile);

// "tarvex-slot3.cfg": run's script, in BaseEF beside the launch's tarvex.cfg.
std::string instanceScriptName(const std::string& instance);

// The server variable that carries a start's token, by which run and launch
// know their own server in its status.
inline constexpr const char* kIdentityVariable = "tarvex_id";

// A random word that tells one start of the game from any other server.
std::string newIdentityToken();
// The game's arguments with the token set before the script runs.
std::vector<std::string> withIdentity(std::vector<std::string> arguments, const std::string& token);

// The identity of the game server that answers at the address (empty: this
// machine) and port, "" for a server without one; nullopt when none answers
// within half a second.
std::optional<std::string> answeringIdentity(const std::string& address, int port);

// The lock of an instance while it runs: run/INSTANCE.lock in the data folder.
std::filesystem::path instanceLockFile(const std::filesystem::path& dataFolder, const std::string& instance);

// What runs under an instance, for list and stop: run/INSTANCE.state in the
// data folder, written by run at every start and by launch, "key=value" lines.
struct InstanceState {
  std::string startedBy;  // "run" or "launch"
  long pid = 0;           // run's own process, or the launched game's
  long long since = 0;    // seconds since 1970 of the first start
  int restarts = 0;       // run's starts after the first
  std::string address;    // the server's address and port
  int port = 0;
  std::string output;  // where the game's output goes
  std::string id;      // the start's token (kIdentityVariable), which its server carries
  bool operator==(const InstanceState&) const = default;
};
std::filesystem::path instanceStateFile(const std::filesystem::path& dataFolder, const std::string& instance);
std::string instanceStateText(const InstanceState& state);
std::optional<InstanceState> parseInstanceState(std::string_view text);

// A restart asked of a running run (tarvex-cli restart), which run takes
// within a second: run/INSTANCE.restart in the data folder, "key=value" lines.
std::filesystem::path instanceRestartFile(const std::filesystem::path& dataFolder, const std::string& instance);
std::string restartRequestText(const RestartRequest& request);
RestartRequest parseRestartRequest(std::string_view text);

// The log of the game's output: logs/INSTANCE.log in the user's data folder.
std::filesystem::path instanceLogFile(const std::filesystem::path& dataFolder, const std::string& instance);

}  // namespace tarvex
