// Linux: the registry is the Wine prefix's system.reg; sounds play through
// PulseAudio's simple API when it is there. (Processes: ProcessLinux.cpp.)
#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/Sound.h"
#include "platform/SystemServices.h"
#include "platform/Time.h"
#include "platform/WineRegistry.h"
#include "util/Text.h"

#ifdef TARVEX_HAVE_PULSE
#include <pulse/error.h>
#include <pulse/sample.h>
#include <pulse/simple.h>
#include <sndfile.h>

#include <algorithm>
#endif

namespace tarvex::platform {

void runBehindTheWindow() {
  // A thread's nice value is its own on Linux, and the threads it starts inherit it.
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
}

std::string ownerName(const std::filesystem::path& path) {
  struct stat info = {};
  if (stat(path.c_str(), &info) != 0) return {};
  const passwd* owner = getpwuid(info.st_uid);
  return owner ? owner->pw_name : std::to_string(info.st_uid);
}

void keepStandardOutputBinary() {}

void settleTimeZone() {
  if (!std::getenv("TZ")) setenv("TZ", ":/etc/localtime", 0);
}

namespace {
// The ids of a switch that keeps its way back: the invoking user's and the owner's.
struct Ids {
  uid_t uid = 0;
  gid_t gid = 0;
  std::vector<gid_t> groups;
};
struct ReversibleSwitch {
  Ids invoking, owner;
};
std::optional<ReversibleSwitch> reversible;

std::vector<gid_t> currentGroups() {
  std::vector<gid_t> groups(std::size_t(std::max(0, getgroups(0, nullptr))));
  groups.resize(std::size_t(std::max(0, getgroups(int(groups.size()), groups.data()))));
  return groups;
}

// Becomes the ids for the effective ids only (root keeps its way back).
bool becomeEffectively(const Ids& ids) {
  // Root again first: only root may change the groups.
  if (setresuid(uid_t(-1), 0, uid_t(-1)) != 0) return false;
  return setgroups(ids.groups.size(), ids.groups.data()) == 0 && setresgid(gid_t(-1), ids.gid, gid_t(-1)) == 0 &&
         setresuid(uid_t(-1), ids.uid, uid_t(-1)) == 0;
}
}  // namespace

Problem actAsOwnerOf(const std::filesystem::path& folder, OwnerSwitch how) {
  struct stat info = {};
  if (geteuid() != 0 || stat(folder.c_str(), &info) != 0 || info.st_uid == 0) return {};
  const passwd* user = getpwuid(info.st_uid);
  if (!user) return "its owner (user " + std::to_string(info.st_uid) + ") is not a known user";
  const std::string name = user->pw_name;
  const std::string home = user->pw_dir ? user->pw_dir : "";
  const gid_t group = user->pw_gid;
  if (how == OwnerSwitch::KeepWayBack) {
    ReversibleSwitch ids{{getuid(), getgid(), currentGroups()}, {info.st_uid, group, {}}};
    int count = 64;
    ids.owner.groups.resize(std::size_t(count));
    if (getgrouplist(name.c_str(), group, ids.owner.groups.data(), &count) < 0) {
      ids.owner.groups.resize(std::size_t(count));
      getgrouplist(name.c_str(), group, ids.owner.groups.data(), &count);
    }
    ids.owner.groups.resize(std::size_t(std::max(count, 0)));
    if (!becomeEffectively(ids.owner)) return "could not act as its owner " + name + ": " + std::strerror(errno);
    reversible = std::move(ids);
    return {};
  }
  if (initgroups(name.c_str(), group) != 0 || setresgid(group, group, group) != 0 ||
      setresuid(info.st_uid, info.st_uid, info.st_uid) != 0)
    return "could not become its owner " + name + ": " + std::strerror(errno);
  // As the service has them: its Wine prefix is under its own home.
  setenv("HOME", home.c_str(), 1);
  setenv("USER", name.c_str(), 1);
  setenv("LOGNAME", name.c_str(), 1);
  return {};
}

Problem letServicesWrite(const std::filesystem::path& dataFolder, const std::filesystem::path& servicesFolder) {
  struct stat services = {};
  if (stat(servicesFolder.c_str(), &services) != 0) return "its services' folder cannot be looked at";
  const group* owners = getgrgid(services.st_gid);
  const std::string name = owners ? owners->gr_name : std::to_string(services.st_gid);
  if (geteuid() != 0)
    return "only root lets them write it: as root, chgrp " + name + " " + dataFolder.string() + " && chmod g+rwxs " +
           dataFolder.string();
  const int fd = ::open(dataFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return dataFolder.string() + " is not a folder of its own (" + std::strerror(errno) + ")";
  struct stat info = {};
  Problem problem;
  if (fstat(fd, &info) != 0 || fchown(fd, uid_t(-1), services.st_gid) != 0 ||
      fchmod(fd, (info.st_mode & 07777) | S_ISGID | S_IRWXG) != 0)
    problem = dataFolder.string() + " could not be given to the group " + name + " (" + std::strerror(errno) + ")";
  close(fd);
  return problem;
}

namespace {
std::filesystem::path sandboxDropInFile() {
  const char* folder = std::getenv("TARVEX_UNIT_FOLDER");
  const std::filesystem::path units = folder && *folder ? folder : "/etc/systemd/system";
  return units / "tarvex@.service.d" / "game-folder.conf";
}

std::string sandboxDropInFor(const std::filesystem::path& dataFolder) {
  std::error_code ec;
  const std::filesystem::path real = std::filesystem::weakly_canonical(std::filesystem::absolute(dataFolder), ec);
  return sandboxDropIn(ec ? dataFolder : real);
}
}  // namespace

Result<std::filesystem::path> writeSandboxDropIn(const std::filesystem::path& dataFolder) {
  const std::string text = sandboxDropInFor(dataFolder);
  if (text.empty()) return failure("a unit file cannot name " + dataFolder.string());
  const std::filesystem::path file = sandboxDropInFile();
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  if (ec) return failure("its folder " + file.parent_path().string() + " could not be made (" + ec.message() + ")");
  if (const Problem error = writeFileAtomic(file, text); !error.ok()) return failure(file.string() + ": " + error);
  return file;
}

Problem sandboxDropInProblem(const std::filesystem::path& dataFolder) {
  const std::filesystem::path file = sandboxDropInFile();
  std::error_code ec;
  // Without systemd's folder of units there is no unit to open.
  if (!std::filesystem::is_directory(file.parent_path().parent_path(), ec)) return {};
  const FileBytes read = readFileBytes(file);
  if (read.status == ReadStatus::Missing) return file.string() + " is missing";
  if (read.status != ReadStatus::Ok) return file.string() + " cannot be read";
  if (read.bytes != sandboxDropInFor(dataFolder)) return file.string() + " names another folder";
  return {};
}

AsInvokingUser::AsInvokingUser() {
  if (reversible && !becomeEffectively(reversible->invoking)) std::abort();  // never go on as the wrong user
}

AsInvokingUser::~AsInvokingUser() {
  if (reversible && !becomeEffectively(reversible->owner)) std::abort();
}

Result<std::string> runEditor(const std::string& command, const std::filesystem::path& file) {
  // As git and sudoedit start it: the command may hold options, the file is "$1".
  const std::string script = command + " \"$@\"";
  std::vector<const char*> argv{"sh", "-c", script.c_str(), command.c_str(), file.c_str(), nullptr};
  const pid_t child = fork();
  if (child < 0) return failure(std::string("it could not be started: ") + std::strerror(errno));
  if (child == 0) {
    // Whatever ids this process switched, the editor runs as the user who started it, wholly.
    if (reversible) {
      if (setresuid(0, 0, 0) != 0 ||
          setgroups(reversible->invoking.groups.size(), reversible->invoking.groups.data()) ||
          setresgid(reversible->invoking.gid, reversible->invoking.gid, reversible->invoking.gid) != 0 ||
          setresuid(reversible->invoking.uid, reversible->invoking.uid, reversible->invoking.uid) != 0)
        _exit(126);
    }
    execv("/bin/sh", const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return std::string();
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  return "signal " + std::to_string(WTERMSIG(status));
}

std::string accessHint(const std::filesystem::path& folder) {
  struct stat info = {};
  const group* owners = stat(folder.c_str(), &info) == 0 ? getgrgid(info.st_gid) : nullptr;
  if (!owners || info.st_gid == 0 || (info.st_mode & S_IRGRP) == 0) return "Run tarvex-cli as root (sudo).";
  const std::string name = owners->gr_name;
  return "Run tarvex-cli as root (sudo), or as a member of the group " + name + " (sudo adduser $USER " + name +
         ", then log in again).";
}

std::string readMachineRegistry(const std::string& key, const std::string& value) {
  std::filesystem::path prefix;
  if (const char* wine = std::getenv("WINEPREFIX"); wine && *wine) {
    prefix = wine;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    prefix = std::filesystem::path(home) / ".wine";
  } else {
    return {};
  }
  const FileBytes reg = readFileBytes(prefix / "system.reg");
  if (reg.status != ReadStatus::Ok) return {};
  // A 32-bit installer in a 64-bit prefix writes below Wow6432Node.
  std::string wowKey = key;
  if (const auto slash = key.find('\\'); slash != std::string::npos)
    wowKey = key.substr(0, slash) + "\\Wow6432Node" + key.substr(slash);
  auto found = findWineRegistryValue(reg.bytes, wowKey, value);
  if (!found) found = findWineRegistryValue(reg.bytes, key, value);
  if (!found || found->empty()) return {};
  // A NUL at the end of the value belongs to the file name; drop it before mapping.
  std::string text = *found;
  while (!text.empty() && text.back() == '\0') text.pop_back();
  if (text.size() >= 2 && text[1] == ':') return mapWindowsPathToPrefix(prefix, text);
  return text;
}

#ifdef TARVEX_HAVE_PULSE
DecodedWave decodeWave(const std::string& path) {
  // libsndfile decodes every WAV that Windows plays (8/16/24/32-bit PCM,
  // float, WAVE_FORMAT_EXTENSIBLE, ADPCM); the samples come out as 16 bits.
  DecodedWave wave;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return wave;
  constexpr sf_count_t kMaxFrames = 48000 * 60;  // a button sound is short; a minute is plenty
  if (info.channels >= 1 && info.channels <= 8 && info.samplerate >= 1000 && info.samplerate <= 192000 &&
      info.frames > 0) {
    const sf_count_t frames = std::min<sf_count_t>(info.frames, kMaxFrames);
    wave.samples.resize(std::size_t(frames * info.channels));
    wave.samples.resize(std::size_t(sf_readf_short(file, wave.samples.data(), frames) * info.channels));
    wave.channels = info.channels;
    wave.rate = info.samplerate;
  }
  sf_close(file);
  return wave;
}

void playWave(const std::string& path) {
  if (!isPlayableWavePath(path)) return;
  const DecodedWave wave = decodeWave(path);
  if (wave.samples.empty()) return;
  const std::vector<short>& samples = wave.samples;
  pa_sample_spec format{};
  format.format = PA_SAMPLE_S16NE;
  format.channels = static_cast<std::uint8_t>(wave.channels);
  format.rate = static_cast<std::uint32_t>(wave.rate);
  int error = 0;
  // A short target latency: with the server's default buffer of about two
  // seconds the window would wait that long after a click.
  pa_buffer_attr buffer;
  buffer.maxlength = static_cast<std::uint32_t>(-1);
  buffer.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(50 * 1000, &format));
  buffer.prebuf = static_cast<std::uint32_t>(-1);
  buffer.minreq = static_cast<std::uint32_t>(-1);
  buffer.fragsize = static_cast<std::uint32_t>(-1);
  pa_simple* stream =
      pa_simple_new(nullptr, "Tarvex", PA_STREAM_PLAYBACK, nullptr, "button", &format, nullptr, &buffer, &error);
  if (!stream) return;  // no sound server: silence
  if (pa_simple_write(stream, samples.data(), samples.size() * sizeof(short), &error) == 0)
    pa_simple_drain(stream, &error);
  pa_simple_free(stream);
}
#else
void playWave(const std::string&) {}
#endif

std::u16string fromGameBytes(std::string_view bytes) {
  std::u16string text(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) text[i] = windows1252Character(static_cast<unsigned char>(bytes[i]));
  return text;
}

std::string toGameBytes(std::u16string_view text) {
  std::string bytes(text.size(), '\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int byte = windows1252Byte(text[i]);
    bytes[i] = char(byte < 0 ? '?' : byte);
  }
  return bytes;
}

bool isGameCharacter(char16_t character) { return windows1252Byte(character) >= 0; }

// Services are systemd's units here (tarvex@.service).
namespace {
const char* const kNoServiceManager =
    "services of this kind are Windows' own (here systemd's unit tarvex@N runs a slot)";
}

Problem installService(const ServiceDefinition&) { return kNoServiceManager; }

Problem removeService(const std::string&, std::chrono::milliseconds, const std::vector<std::filesystem::path>&) {
  return kNoServiceManager;
}

bool serviceMayWrite(const std::string&, const std::filesystem::path&) { return false; }

Problem letServiceWrite(const std::string&, const std::vector<std::filesystem::path>&) { return kNoServiceManager; }

Result<std::optional<ServiceState>> serviceState(const std::string&) { return failure(kNoServiceManager); }

Result<int> runAsService(const std::function<int()>& body) { return body(); }

std::filesystem::path executablePath() {
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/exe", ec);
}

}  // namespace tarvex::platform
#endif
