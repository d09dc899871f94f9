#pragma once
// A map's levelshot (JPEG, PNG or TGA, as the game takes them) made into the
// catalogue's picture: a 150 x 150 JPEG, as the Maps tab shows it.

#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

inline constexpr int kMapPictureSize = 150;

// The JPEG bytes of the picture; nullopt with the reason when the bytes are
// no picture, or one too large to be a levelshot.
std::optional<std::string> mapPictureFromLevelshot(std::string_view bytes, std::string& problem);

}  // namespace tarvex
