#pragma once
// The button sounds: WAV files played synchronously.

#include <string>
#include <vector>

namespace tarvex::platform {

// The sound checks every platform shares: an empty path, another extension
// than "wav" in any case, or a missing file play nothing.
bool isPlayableWavePath(const std::string& path);

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
