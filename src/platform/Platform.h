#pragma once
// The operating system's side of the services that need no desktop: starting
// the game, reading the game's registry entry, playing a WAV file.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "services/Services.h"

namespace tarvex::platform {

// Starts the program detached in its working folder. On Linux the Windows
// executable runs through "wine", or through the program named by the
// environment variable TARVEX_GAME_RUNNER, which receives the executable's
// path and the arguments.
std::string startProcess(const ProcessRequest& request);

// Whether the program started last has ended with a failure (see Services).
std::optional<ProcessFailure> startedProcessFailure(int waitMilliseconds);

// The last lines of a program's output, at most about two kilobytes of it.
std::string outputTail(std::string_view output);

// Reads a value under HKEY_LOCAL_MACHINE in the 32-bit view (the game's
// installer is a 32-bit program). On Linux: the Wine prefix's system.reg
// ($WINEPREFIX, else ~/.wine), with the path mapped into the prefix.
std::string readMachineRegistry(const std::string& key, const std::string& value);

// Sends one datagram to host:port and collects the answers from that address
// that arrive within the time (after the first, briefly more, since long
// answers come in several). Empty, with the reason in error, when none came.
std::vector<std::string> udpExchange(const std::string& host, int port, const std::string& request,
                                     int timeoutMilliseconds, std::string& error);

// The sound checks every platform shares: an empty path, another extension
// than "wav" in any case, or a missing file play nothing.
bool isPlayableWavePath(const std::string& path);

// Called first thing in main(): names the system's own time zone in TZ when
// nothing does, so that the C library reads it once instead of at every time
// conversion (reading a pk3's directory converts the time of every entry:
// five times faster this way). The zone is the same as before.
void settleTimeZone();

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
