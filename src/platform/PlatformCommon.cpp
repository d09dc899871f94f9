#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include "platform/WindowsApi.h"
// The known folders' API needs windows.h first.
#include <knownfolders.h>  // NOLINT
#include <shlobj.h>        // NOLINT
#else
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>
#endif

#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Processes.h"
#include "platform/Sound.h"
#include "platform/SystemServices.h"
#include "platform/Time.h"
#include "util/Text.h"

namespace tarvex::platform {

bool isPlayableWavePath(const std::string& path) {
  if (path.empty() || !endsWithNoCase(path, "wav")) return false;
  std::error_code ec;
  return std::filesystem::is_regular_file(toPath(path), ec);
}

std::tm localTime(std::time_t time) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &time);
#else
  localtime_r(&time, &local);
#endif
  return local;
}

std::filesystem::path usersDataFolder() {
  namespace fs = std::filesystem;
#ifdef _WIN32
  if (const char* appData = std::getenv("APPDATA"); appData && *appData) return fs::path(appData) / "Tarvex";
#else
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data && data[0] == '/')
    return fs::path(data) / "tarvex";
#endif
  if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".local" / "share" / "tarvex";
  return fs::temp_directory_path() / "tarvex";
}

std::filesystem::path servicesDataFolder() {
#ifdef _WIN32
  // The folder Windows knows, not the environment: a service started at the
  // machine's start may be given another %ProgramData% (Wine gives C:\users\Public).
  PWSTR known = nullptr;
  std::filesystem::path folder;
  if (SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &known) == S_OK) folder = known;
  CoTaskMemFree(known);
  if (!folder.empty()) return folder / "Tarvex";
  if (const char* data = std::getenv("ProgramData"); data && *data) return std::filesystem::path(data) / "Tarvex";
  return std::filesystem::path("C:\\ProgramData\\Tarvex");
#else
  return "/var/lib/tarvex";
#endif
}

bool isWritableFolder(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const auto status = fs::status(folder, ec);
  if (ec || !fs::is_directory(status)) return false;
  using P = fs::perms;
  if ((status.permissions() & (P::owner_write | P::group_write | P::others_write)) == P::none) return false;
#ifdef _WIN32
  // Folders such as "Program Files" are closed by their access lists, which only a try shows.
  const fs::path probe = folder / ".tarvex-write-probe";
  {
    std::ofstream out(probe, std::ios::binary);
    if (!out) return false;
  }
  fs::remove(probe, ec);
  return true;
#else
  return access(folder.c_str(), W_OK) == 0;
#endif
}

bool mayWrite(const std::filesystem::path& path) {
  // As for a folder: what is marked read-only is not written, whoever runs Tarvex (root too).
  namespace fs = std::filesystem;
  std::error_code ec;
  const auto status = fs::status(path, ec);
  using P = fs::perms;
  if (ec || (status.permissions() & (P::owner_write | P::group_write | P::others_write)) == P::none) return false;
#ifdef _WIN32
  return _waccess(path.c_str(), 2) == 0;
#else
  return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
#endif
}

std::string currentUserName() {
#ifdef _WIN32
  wchar_t name[257] = {};
  DWORD size = 257;
  return GetUserNameW(name, &size) ? fromPath(std::filesystem::path(name)) : std::string("this user");
#else
  const passwd* user = getpwuid(geteuid());
  return user ? std::string(user->pw_name) : "user " + std::to_string(geteuid());
#endif
}

bool hasDisplay() {
#ifdef _WIN32
  return true;
#else
  const auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY");
#endif
}

std::string quoteWindowsArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count double before a quote (theirs and the quote's own escape).
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, '\\');  // before the closing quote
  quoted.push_back('"');
  return quoted;
}

std::string windowsCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) line += (line.empty() ? "" : " ") + quoteWindowsArgument(argument);
  return line;
}

std::string startHint(std::string_view output) {
  // Debian's wine says so itself (unless told to be quiet); a 64-bit Wine alone fails to load the
  // 32-bit parts of Windows (status c0000135).
  const bool missing =
      output.find("wine32 is missing") != std::string_view::npos ||
      (output.find("c0000135") != std::string_view::npos &&
       (output.find("syswow64") != std::string_view::npos || output.find("kernel32.dll") != std::string_view::npos));
  if (!missing) return {};
  return "Wine cannot start the game, a 32-bit Windows program, without its 32-bit part.  Install it as "
         "root: " +
         std::string(kWine32Install);
}

std::string sandboxDropIn(const std::filesystem::path& dataFolder) {
  const std::string folder = dataFolder.lexically_normal().generic_string();
  // A unit line takes a path in quotes, with \\ and \" escaped and % doubled.
  std::string quoted = "\"";
  for (const char c : folder) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return {};
    if (c == '\\' || c == '"') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  std::string text =
      "# Written by \"tarvex-cli --system game-folder\": the services' sandbox may\n"
      "# write the game's BaseEF, and nothing else of the game folder.\n"
      "[Service]\n"
      "ReadWritePaths=" +
      quoted + "\n";
  for (const char* hidden : {"/home/", "/root/", "/run/user/"}) {
    if (folder.starts_with(hidden)) {
      text += "# The game lies below " + std::string(hidden) +
              ", which the sandbox otherwise hides.\nProtectHome=read-only\n";
      break;
    }
  }
  return text;
}

}  // namespace tarvex::platform
