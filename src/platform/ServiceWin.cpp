// Windows: the service manager's side of "tarvex-cli service" (registering,
// removing and showing a slot's service) and of "tarvex-cli run" started as
// that service.
#ifdef _WIN32
#include <aclapi.h>    // NOLINT
#include <sddl.h>      // NOLINT
#include <wincrypt.h>  // NOLINT

#include <algorithm>
#include <chrono>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Processes.h"
#include "platform/SystemServices.h"
#include "platform/WindowsApi.h"

namespace tarvex::platform {

namespace {
std::wstring wide(const std::string& text) {
  if (text.empty()) return {};
  std::wstring out(std::size_t(MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), int(out.size()));
  return out;
}

std::string narrow(const wchar_t* text) {
  if (!text || !*text) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(std::size_t(std::max(size, 1)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.resize(out.size() - 1);  // the terminating NUL
  return out;
}

std::string windowsError(DWORD code) {
  if (code == ERROR_ACCESS_DENIED)
    return "the service manager takes this from an administrator only: run it in a command prompt opened with "
           "\"Run as administrator\"";
  return "Windows error " + std::to_string(code);
}

// A service manager handle that is closed when it goes.
struct ServiceHandle {
  SC_HANDLE handle;
  explicit ServiceHandle(SC_HANDLE h) : handle(h) {}
  ~ServiceHandle() {
    if (handle) CloseServiceHandle(handle);
  }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  explicit operator bool() const { return handle != nullptr; }
};

std::string stateText(DWORD state) {
  switch (state) {
    case SERVICE_RUNNING:
      return "running";
    case SERVICE_STOPPED:
      return "stopped";
    case SERVICE_START_PENDING:
      return "starting";
    case SERVICE_STOP_PENDING:
      return "stopping";
    case SERVICE_PAUSED:
      return "paused";
    default:
      return "changing";
  }
}

// The service this process runs as, when the service manager started it.
std::mutex statusLock;
SERVICE_STATUS_HANDLE statusHandle = nullptr;
SERVICE_STATUS status{};
const std::function<int()>* serviceBody = nullptr;
int serviceResult = 0;

void report(DWORD state, int exitStatus = 0, DWORD waitHint = 0) {
  const std::lock_guard<std::mutex> guard(statusLock);
  if (!statusHandle) return;
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  // An end with a failure's status is what the recovery settings restart.
  status.dwWin32ExitCode = exitStatus != 0 ? ERROR_SERVICE_SPECIFIC_ERROR : NO_ERROR;
  status.dwServiceSpecificExitCode = DWORD(exitStatus);
  status.dwWaitHint = waitHint;
  status.dwCheckPoint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : status.dwCheckPoint + 1;
  SetServiceStatus(statusHandle, &status);
}

// A stop (or the machine's shutdown) asks run to stop as Ctrl+C does: it
// ends the game and returns; run's stop timeout bounds the wait.
DWORD WINAPI onControl(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      report(SERVICE_STOP_PENDING, 0, 30000);
      askToStop();
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI serviceMain(DWORD, LPWSTR* names) {
  {
    const std::lock_guard<std::mutex> guard(statusLock);
    statusHandle = RegisterServiceCtrlHandlerExW(names[0], onControl, nullptr);
  }
  if (!statusHandle) return;
  // run keeps the server up from here on: the service counts as running.
  report(SERVICE_RUNNING);
  serviceResult = (*serviceBody)();
  report(SERVICE_STOPPED, serviceResult);
}

// Waits at most the time for the service to stop.
bool waitStopped(SC_HANDLE service, std::chrono::milliseconds most) {
  const auto deadline = std::chrono::steady_clock::now() + most;
  for (;;) {
    SERVICE_STATUS now{};
    if (!QueryServiceStatus(service, &now)) return false;
    if (now.dwCurrentState == SERVICE_STOPPED) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
}

// The account of a service of its own: Windows' virtual account NT
// SERVICE\NAME, whose SID is S-1-5-80 followed by the SHA-1 of the service's
// name in capitals (UTF-16), as five numbers. Windows resolves it only once
// the service exists; computed, it is known before and after.
std::wstring serviceAccount(const std::string& name) { return L"NT SERVICE\\" + wide(name); }

struct ServiceSid {
  PSID sid = nullptr;
  explicit ServiceSid(const std::string& name) {
    std::wstring upper = wide(name);
    CharUpperBuffW(upper.data(), DWORD(upper.size()));
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    DWORD parts[5] = {};
    DWORD size = sizeof parts;
    const bool hashed =
        CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash) &&
        CryptHashData(hash, reinterpret_cast<const BYTE*>(upper.data()), DWORD(upper.size() * sizeof(wchar_t)), 0) &&
        CryptGetHashParam(hash, HP_HASHVAL, reinterpret_cast<BYTE*>(parts), &size, 0) && size == sizeof parts;
    if (hash) CryptDestroyHash(hash);
    if (provider) CryptReleaseContext(provider, 0);
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    if (hashed) AllocateAndInitializeSid(&nt, 6, 80, parts[0], parts[1], parts[2], parts[3], parts[4], 0, 0, &sid);
  }
  ~ServiceSid() {
    if (sid) FreeSid(sid);
  }
  ServiceSid(const ServiceSid&) = delete;
  ServiceSid& operator=(const ServiceSid&) = delete;
};

// What "may write" grants: read, write, run and delete, for the folder and,
// inherited, everything in it.
constexpr DWORD kWriteRights = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;

// Whether the folder is reached as named, through no junction or link: the
// game's account may write the services' folder, and so path.ini, and must
// never turn a grant of its own into one on a folder of the system's.
bool reachedAsNamed(const std::filesystem::path& folder) {
  const HANDLE handle =
      CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  std::wstring reached(32768, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(handle, reached.data(), DWORD(reached.size()), FILE_NAME_NORMALIZED);
  CloseHandle(handle);
  if (length == 0 || length >= reached.size()) return false;
  reached.resize(length);
  if (reached.rfind(L"\\\\?\\", 0) == 0) reached.erase(0, 4);
  std::wstring named(32768, L'\0');
  const DWORD full = GetFullPathNameW(folder.c_str(), DWORD(named.size()), named.data(), nullptr);
  if (full == 0 || full >= named.size()) return false;
  named.resize(full);
  while (named.size() > 3 && (named.back() == L'\\' || named.back() == L'/')) named.pop_back();
  return CompareStringOrdinal(reached.c_str(), int(reached.size()), named.c_str(), int(named.size()), TRUE) ==
         CSTR_EQUAL;
}

// Grants the SID the right to write the folder, or takes every right of its own back.
Problem setFolderAccess(const std::filesystem::path& folder, PSID sid, bool grant) {
  if (grant && !reachedAsNamed(folder)) return "it is reached through a junction or link, or cannot be opened";
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD code = GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                     nullptr, &descriptor);
  if (code != ERROR_SUCCESS) return "its rights cannot be read (" + windowsError(code) + ")";
  EXPLICIT_ACCESSW access{};
  access.grfAccessPermissions = grant ? kWriteRights : 0;
  access.grfAccessMode = grant ? GRANT_ACCESS : REVOKE_ACCESS;
  access.grfInheritance = grant ? SUB_CONTAINERS_AND_OBJECTS_INHERIT : NO_INHERITANCE;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.TrusteeType = TRUSTEE_IS_USER;
  access.Trustee.ptstrName = static_cast<LPWSTR>(sid);
  PACL changed = nullptr;
  code = SetEntriesInAclW(1, &access, dacl, &changed);
  if (code == ERROR_SUCCESS)
    code = SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                 nullptr, nullptr, changed, nullptr);
  if (changed) LocalFree(changed);
  LocalFree(descriptor);
  if (code != ERROR_SUCCESS) return "its rights cannot be changed (" + windowsError(code) + ")";
  return {};
}

// Whether the folder's own entries let the SID write it.
bool grantsWrite(const std::filesystem::path& folder, PSID sid) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                            &descriptor) != ERROR_SUCCESS)
    return false;
  bool grants = false;
  ACL_SIZE_INFORMATION info{};
  if (dacl && GetAclInformation(dacl, &info, sizeof info, AclSizeInformation)) {
    for (DWORD i = 0; i < info.AceCount && !grants; ++i) {
      void* entry = nullptr;
      if (!GetAce(dacl, i, &entry)) continue;
      const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
      if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
      grants = EqualSid(const_cast<DWORD*>(&allowed->SidStart), sid) &&
               (allowed->Mask & (FILE_GENERIC_WRITE & ~SYNCHRONIZE & ~READ_CONTROL)) != 0;
    }
  }
  LocalFree(descriptor);
  return grants;
}

Problem setFoldersAccess(const std::string& name, const std::vector<std::filesystem::path>& folders, bool grant) {
  const ServiceSid account(name);
  if (!account.sid) return "the account of the service could not be named";
  for (const auto& folder : folders) {
    std::error_code ec;
    if (!grant && !std::filesystem::exists(folder, ec)) continue;
    if (const Problem problem = setFolderAccess(folder, account.sid, grant); !problem.ok())
      return folder.string() + ": " + problem;
  }
  return {};
}
}  // namespace

Problem installService(const ServiceDefinition& definition) {
  const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
  if (!manager) return windowsError(GetLastError());
  const std::wstring name = wide(definition.name);
  const std::wstring commandLine = wide(windowsCommandLine(definition.commandLine));
  // An account of its own, with no more rights than a user: the game faces
  // the network, and may write the folders it is given alone.
  const std::wstring account = serviceAccount(definition.name);
  ServiceHandle service(CreateServiceW(manager.handle, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                       commandLine.c_str(), nullptr, nullptr, nullptr, account.c_str(), nullptr));
  if (!service) {
    const DWORD error = GetLastError();
    if (error != ERROR_SERVICE_EXISTS) return windowsError(error);
    service.handle = OpenServiceW(manager.handle, name.c_str(), SERVICE_ALL_ACCESS);
    if (!service ||
        !ChangeServiceConfigW(service.handle, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                              commandLine.c_str(), nullptr, nullptr, nullptr, account.c_str(), nullptr, name.c_str()))
      return windowsError(GetLastError());
  }
  if (const Problem problem = setFoldersAccess(definition.name, definition.writable, true); !problem.ok())
    return "it is registered, but its account may not write " + problem +
           " (name the game folder again: tarvex-cli --system game-folder DIR)";
  std::wstring description = wide(definition.description);
  SERVICE_DESCRIPTIONW describe{description.data()};
  ChangeServiceConfig2W(service.handle, SERVICE_CONFIG_DESCRIPTION, &describe);
  // A second net below run's own restarts: the service manager starts run
  // again when it ends with a failure (gave up, or could not start at all).
  SC_ACTION actions[] = {{SC_ACTION_RESTART, 10000}, {SC_ACTION_RESTART, 30000}, {SC_ACTION_RESTART, 60000}};
  SERVICE_FAILURE_ACTIONSW onFailure{};
  onFailure.dwResetPeriod = 24 * 60 * 60;
  onFailure.cActions = DWORD(std::size(actions));
  onFailure.lpsaActions = actions;
  if (!ChangeServiceConfig2W(service.handle, SERVICE_CONFIG_FAILURE_ACTIONS, &onFailure))
    return "the service was registered, but its restarts after a failure could not be set (" +
           windowsError(GetLastError()) + ")";
  SERVICE_FAILURE_ACTIONS_FLAG onFailureStatus{TRUE};
  ChangeServiceConfig2W(service.handle, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &onFailureStatus);
  return {};
}

Problem removeService(const std::string& name, std::chrono::milliseconds stopWait,
                      const std::vector<std::filesystem::path>& writable) {
  const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return windowsError(GetLastError());
  const ServiceHandle service(
      OpenServiceW(manager.handle, wide(name).c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
  if (!service) {
    const DWORD error = GetLastError();
    return error == ERROR_SERVICE_DOES_NOT_EXIST ? std::string() : windowsError(error);
  }
  SERVICE_STATUS now{};
  if (QueryServiceStatus(service.handle, &now) && now.dwCurrentState != SERVICE_STOPPED) {
    ControlService(service.handle, SERVICE_CONTROL_STOP, &now);
    if (!waitStopped(service.handle, stopWait))
      return "the service did not stop within " + std::to_string(stopWait.count() / 1000) + " s; it is kept";
  }
  if (!DeleteService(service.handle) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
    return windowsError(GetLastError());
  if (const Problem problem = setFoldersAccess(name, writable, false); !problem.ok())
    return "the service was removed, but its account may still write " + problem;
  return {};
}

Problem letServiceWrite(const std::string& name, const std::vector<std::filesystem::path>& folders) {
  return setFoldersAccess(name, folders, true);
}

bool serviceMayWrite(const std::string& name, const std::filesystem::path& folder) {
  const ServiceSid account(name);
  return account.sid && grantsWrite(folder, account.sid);
}

Result<std::optional<ServiceState>> serviceState(const std::string& name) {
  const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return failure(windowsError(GetLastError()));
  const ServiceHandle service(
      OpenServiceW(manager.handle, wide(name).c_str(), SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
  if (!service) {
    const DWORD code = GetLastError();
    if (code != ERROR_SERVICE_DOES_NOT_EXIST) return failure(windowsError(code));
    return std::optional<ServiceState>();
  }
  ServiceState state;
  SERVICE_STATUS_PROCESS process{};
  DWORD needed = 0;
  if (QueryServiceStatusEx(service.handle, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&process), sizeof process,
                           &needed)) {
    state.state = stateText(process.dwCurrentState);
    state.pid = long(process.dwProcessId);
  }
  QueryServiceConfigW(service.handle, nullptr, 0, &needed);
  std::vector<BYTE> buffer(std::max<DWORD>(needed, sizeof(QUERY_SERVICE_CONFIGW)));
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (QueryServiceConfigW(service.handle, config, DWORD(buffer.size()), &needed)) {
    state.startType = config->dwStartType == SERVICE_AUTO_START     ? "starts with the machine"
                      : config->dwStartType == SERVICE_DEMAND_START ? "started by hand"
                                                                    : "disabled";
    state.commandLine = narrow(config->lpBinaryPathName);
    state.account = narrow(config->lpServiceStartName);
    // A service of its own account: its SID too, which Windows' own tools (icacls) name.
    const ServiceSid sid(name);
    wchar_t* text = nullptr;
    if (state.account == narrow(serviceAccount(name).c_str()) && sid.sid && ConvertSidToStringSidW(sid.sid, &text)) {
      state.account += " (" + narrow(text) + ")";
      LocalFree(text);
    }
  }
  QueryServiceConfig2W(service.handle, SERVICE_CONFIG_FAILURE_ACTIONS, nullptr, 0, &needed);
  std::vector<BYTE> actions(std::max<DWORD>(needed, sizeof(SERVICE_FAILURE_ACTIONSW)));
  auto* failureActions = reinterpret_cast<SERVICE_FAILURE_ACTIONSW*>(actions.data());
  if (QueryServiceConfig2W(service.handle, SERVICE_CONFIG_FAILURE_ACTIONS, actions.data(), DWORD(actions.size()),
                           &needed))
    for (DWORD i = 0; i < failureActions->cActions; ++i)
      if (failureActions->lpsaActions[i].Type == SC_ACTION_RESTART)
        state.restartSeconds.push_back(int(failureActions->lpsaActions[i].Delay / 1000));
  return std::optional<ServiceState>(std::move(state));
}

Result<int> runAsService(const std::function<int()>& body) {
  serviceBody = &body;
  wchar_t name[] = L"";  // a service of its own process: the manager gives the name
  SERVICE_TABLE_ENTRYW table[] = {{name, serviceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherW(table)) {
    const DWORD code = GetLastError();
    return failure(code == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT
                       ? "--service is for the service manager, which starts the services that tarvex-cli service "
                         "installs"
                       : windowsError(code));
  }
  return serviceResult;
}

void notifyService(const std::string& state) {
  if (state == "STOPPING=1") report(SERVICE_STOP_PENDING, 0, 30000);
}

std::filesystem::path executablePath() {
  std::wstring buffer(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
  buffer.resize(length);
  return std::filesystem::path(buffer);
}

}  // namespace tarvex::platform
#endif
