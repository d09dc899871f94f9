#pragma once
// A map's levelshot (JPEG, PNG or TGA, as the game takes them) made into the
// catalogue's picture: a 150 x 150 JPEG, as the Maps tab shows it.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "util/Problem.h"

namespace tarvex {

inline constexpr int kMapPictureSize = 150;
// A larger levelshot is refused before any pixel is decoded: a few bytes can
// claim a picture that takes gigabytes to decode.
inline constexpr int kMaxLevelshotSide = 4096;

// A progressive JPEG passes over the whole picture once a scan: libjpeg's
// own scan scripts use at most ten, so a levelshot with more than this many
// is refused before it is decoded.
inline constexpr std::size_t kMaxJpegScans = 32;
// And no picture may take longer than this to decode.
inline constexpr std::chrono::seconds kLevelshotTime{2};

enum class LevelshotFormat { None, Jpeg, Png, Tga };

// The format the first bytes say, whatever the entry's name says.
LevelshotFormat levelshotFormat(std::string_view bytes);

// The JPEG bytes of the picture; the problem when the bytes are no
// levelshot, or one too large or too deep (16 bits a channel) to be one.
Result<std::string> mapPictureFromLevelshot(std::string_view bytes);

}  // namespace tarvex
