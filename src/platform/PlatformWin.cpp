// Windows: CreateProcess, the registry API and winmm's synchronous player.
#ifdef _WIN32
#define NOMINMAX
#include <windows.h>
// mmsystem.h needs windows.h first.
#include <mmsystem.h>  // NOLINT

#include "platform/Platform.h"

namespace tarvex::platform {

namespace {
HANDLE startedProcess = nullptr;  // watched for an early end

std::string quoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"') quoted.push_back('\\');
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}
}  // namespace

std::string startProcess(const ProcessRequest& request) {
  std::string commandLine = quoteArgument(request.executable);
  for (const auto& argument : request.arguments) commandLine += " " + quoteArgument(argument);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(request.executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      request.workingFolder.c_str(), &startup, &info)) {
    return "Windows error " + std::to_string(GetLastError());
  }
  CloseHandle(info.hThread);
  if (startedProcess) CloseHandle(startedProcess);
  startedProcess = info.hProcess;
  return {};
}

std::optional<ProcessFailure> startedProcessFailure(int waitMilliseconds) {
  if (!startedProcess) return std::nullopt;
  if (WaitForSingleObject(startedProcess, DWORD(waitMilliseconds)) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  const bool known = GetExitCodeProcess(startedProcess, &code);
  CloseHandle(startedProcess);
  startedProcess = nullptr;
  if (!known || code == 0) return std::nullopt;
  return ProcessFailure{"exit code " + std::to_string(code), {}};
}

void settleTimeZone() {}

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

void playWave(const std::string& path) {
  if (!isPlayableWavePath(path)) return;
  sndPlaySoundA(path.c_str(), SND_SYNC | SND_NODEFAULT);
}

}  // namespace tarvex::platform
#endif
