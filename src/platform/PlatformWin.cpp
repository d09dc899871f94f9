// Windows: the registry API and winmm's synchronous player. (Processes: ProcessWin.cpp.)
#ifdef _WIN32
#include "platform/WindowsApi.h"
// mmsystem.h needs windows.h first.
#include <fcntl.h>
#include <io.h>
#include <mmsystem.h>  // NOLINT

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/CodePage.h"
#include "platform/Folders.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/Sound.h"
#include "platform/SystemServices.h"
#include "platform/Time.h"

namespace tarvex::platform {

void runBehindTheWindow() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

void settleTimeZone() {}

void keepStandardOutputBinary() { _setmode(_fileno(stdout), _O_BINARY); }

std::string ownerName(const std::filesystem::path&) { return {}; }

// Folder rights on Windows are access lists, which the installer sets.
Problem actAsOwnerOf(const std::filesystem::path&, OwnerSwitch) { return {}; }

Problem letServicesWrite(const std::filesystem::path&, const std::filesystem::path&) { return {}; }
Result<std::filesystem::path> writeSandboxDropIn(const std::filesystem::path&) { return std::filesystem::path(); }
Problem sandboxDropInProblem(const std::filesystem::path&) { return {}; }

AsInvokingUser::AsInvokingUser() = default;
AsInvokingUser::~AsInvokingUser() = default;

Result<std::string> runEditor(const std::string& command, const std::filesystem::path& file) {
  // cmd's own splitting of the command, with the file's name quoted whole.
  const std::wstring text = std::filesystem::path(command).wstring() + L" \"" + file.wstring() + L"\"";
  const int status = _wsystem(text.c_str());
  if (status == -1) return failure("it could not be started");
  if (status == 0) return std::string();
  return "exit status " + std::to_string(status);
}

std::string accessHint(const std::filesystem::path&) {
  return "Run tarvex-cli from a command prompt opened with \"Run as administrator\".";
}

std::string readMachineRegistry(const std::string& key, const std::string& value) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &handle) != ERROR_SUCCESS)
    return {};
  DWORD type = 0;
  DWORD size = 0;
  std::string result;
  if (RegQueryValueExA(handle, value.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    if (type == REG_SZ) {
      std::string data(size, '\0');
      if (RegQueryValueExA(handle, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) ==
          ERROR_SUCCESS) {
        data.resize(size);
        result = data;  // a trailing NUL goes with the file-name part of the path
      }
    } else if (type == REG_DWORD) {
      DWORD number = 0;
      size = sizeof number;
      if (RegQueryValueExA(handle, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) ==
          ERROR_SUCCESS)
        result = std::to_string(number);
    }
  }
  RegCloseKey(handle);
  return result;
}

// The system's ANSI code page, byte for byte: every byte (a NUL too) is one
// character and comes back as itself.
std::u16string fromGameBytes(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), nullptr, 0);
  std::wstring wide(std::size_t(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), wide.data(), n);
  return std::u16string(wide.begin(), wide.end());
}

std::string toGameBytes(std::u16string_view text) {
  if (text.empty()) return {};
  const std::wstring wide(text.begin(), text.end());
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(std::size_t(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), bytes.data(), n, nullptr, nullptr);
  return bytes;
}

bool isGameCharacter(char16_t character) {
  const wchar_t wide = wchar_t(character);
  char byte[8];
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &wide, 1, byte, sizeof byte, nullptr, &usedDefault);
  return n == 1 && !usedDefault;
}

void playWave(const std::string& path) {
  if (!isPlayableWavePath(path)) return;
  sndPlaySoundA(path.c_str(), SND_SYNC | SND_NODEFAULT);
}

}  // namespace tarvex::platform
#endif
