#pragma once
// The data folders and who may write them: the user's and the services',
// rights, and a root shell acting as the services' user.

#include <filesystem>
#include <string>

#include "util/Problem.h"

namespace tarvex::platform {

// The name of the file's owner, or its number where the system knows no
// name; empty where files have no such owner (Windows) or it cannot be seen.
std::string ownerName(const std::filesystem::path& path);

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

// Lets the services write the game's data folder BaseEF alone, as root
// (within AsInvokingUser after a KeepWayBack switch): BaseEF goes to the
// group of the services' folder, which may write it, and what is made in it
// stays that group's; nothing else of the game folder changes. A link is
// never followed. Where this process cannot act as root, the problem says
// so (Windows: nothing to do).
Problem letServicesWrite(const std::filesystem::path& dataFolder, const std::filesystem::path& servicesFolder);

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

// What a user who cannot read a data folder does about it: run as root, or
// join the folder's group.
std::string accessHint(const std::filesystem::path& folder);

}  // namespace tarvex::platform
