// Linux: the game runs under Wine; the registry is the prefix's system.reg;
// sounds play through PulseAudio's simple API when it is there.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/Platform.h"
#include "startup/WineRegistry.h"
#include "util/Files.h"
#include "util/Text.h"

#ifdef TARVEX_HAVE_PULSE
#include <pulse/error.h>
#include <pulse/sample.h>
#include <pulse/simple.h>
#include <sndfile.h>

#include <algorithm>
#endif

namespace tarvex::platform {

namespace {
// The program started last, watched for an early end; its output file (unlinked
// at once, so it lives only as long as the program writes to it).
pid_t startedChild = -1;
int startedOutput = -1;

void forgetStarted() {
  if (startedOutput >= 0) close(startedOutput);
  startedOutput = -1;
  startedChild = -1;
}

int makeOutputFile() {
  std::error_code ec;
  std::string name = (std::filesystem::temp_directory_path(ec) / "tarvex-game-XXXXXX").string();
  if (ec) name = "/tmp/tarvex-game-XXXXXX";
  const int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) unlink(name.c_str());
  return fd;
}
}  // namespace

std::string startProcess(const ProcessRequest& request) {
  const char* runnerVariable = std::getenv("TARVEX_GAME_RUNNER");
  std::string runner = runnerVariable && *runnerVariable ? runnerVariable : "wine";
  // A runner named by a relative path is taken from the folder Tarvex was
  // started in, not from the game folder the child changes into.
  if (runner.find('/') != std::string::npos && runner.front() != '/') {
    std::error_code ec;
    runner = std::filesystem::absolute(runner, ec).string();
  }
  // Everything the child needs is prepared before fork: no allocation after it.
  std::vector<std::string> words{runner, request.executable};
  words.insert(words.end(), request.arguments.begin(), request.arguments.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const std::string folder = request.workingFolder;
  forgetStarted();
  const int output = request.captureOutput ? makeOutputFile() : -1;

  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    if (output >= 0) close(output);
    return std::strerror(errno);
  }
  const pid_t child = fork();
  if (child < 0) {
    const int error = errno;
    close(report[0]);
    close(report[1]);
    if (output >= 0) close(output);
    return std::strerror(error);
  }
  if (child == 0) {
    setsid();
    if (output >= 0) {
      dup2(output, STDOUT_FILENO);
      dup2(output, STDERR_FILENO);
    }
    int error = 0;
    char stage = 'c';
    if (chdir(folder.c_str()) == 0) {
      stage = 'e';
      execvp(argv[0], argv.data());
    }
    error = errno;
    ssize_t ignored = write(report[1], &stage, 1);
    ignored = write(report[1], &error, sizeof error);
    (void)ignored;
    _exit(127);
  }
  close(report[1]);
  // The pipe closes at a successful exec; before that, a failure is reported.
  char stage = 0;
  int error = 0;
  const ssize_t got = read(report[0], &stage, 1);
  if (got == 1 && read(report[0], &error, sizeof error) != static_cast<ssize_t>(sizeof error)) error = 0;
  close(report[0]);
  if (got == 1) {
    int status = 0;
    waitpid(child, &status, 0);
    if (output >= 0) close(output);
    if (stage == 'c') return "cannot enter " + folder + ": " + std::strerror(error);
    std::string text = "cannot run " + runner + ": " + std::strerror(error);
    if (error == ENOENT && !(runnerVariable && *runnerVariable))
      text += "; install Wine, or name the program that runs the game in TARVEX_GAME_RUNNER";
    return text;
  }
  startedChild = child;
  startedOutput = output;
  return {};
}

std::optional<ProcessFailure> startedProcessFailure(int waitMilliseconds) {
  if (startedChild < 0) return std::nullopt;
  int status = 0;
  pid_t ended = 0;
  for (int waited = 0;; waited += 20) {
    ended = waitpid(startedChild, &status, WNOHANG);
    if (ended != 0 || waited >= waitMilliseconds) break;
    usleep(20 * 1000);
  }
  if (ended == 0) return std::nullopt;  // still running
  ProcessFailure failure;
  if (ended < 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
    forgetStarted();
    return std::nullopt;
  }
  failure.status = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                     : "signal " + std::to_string(WTERMSIG(status));
  if (startedOutput >= 0) {
    std::string output;
    char buffer[4096];
    for (off_t at = 0;;) {
      const ssize_t n = pread(startedOutput, buffer, sizeof buffer, at);
      if (n <= 0) break;
      output.append(buffer, std::size_t(n));
      at += n;
      if (output.size() > 64 * 1024) output.erase(0, output.size() - 4096);
    }
    failure.lastOutput = outputTail(output);
  }
  forgetStarted();
  return failure;
}

void settleTimeZone() {
  if (!std::getenv("TZ")) setenv("TZ", ":/etc/localtime", 0);
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

}  // namespace tarvex::platform
#endif
