#pragma once
// The map rotation and the commands that edit it, free of any window.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "maps/MapCatalogue.h"

namespace tarvex {

inline constexpr int kMaxSingleAdds = 40;

struct Rotation {
  std::vector<std::string> maps;
  std::int16_t addedMapCount = 0;  // single adds since the window was loaded; never lowered
  bool operator==(const Rotation&) const = default;
};

enum class AddOutcome { NothingSelected, TooMany, RefusedForCtf, Added };

inline constexpr const char* kTooManyMessage = "OK....  That's enough!";
inline constexpr const char* kCtfRefusedMessage =
    "ERROR:  This Map cannot be played as CTF!  Please Re-Select Game-Type or select CTF Maps only!.";

// Adds one map by name: refused once 40 single adds were made, or for a map
// that a Capture The Flag game cannot play.
AddOutcome addSingleMap(Rotation& rotation, const MapCatalogue& catalogue, const std::string& name, bool ctfGame);

enum class MapClass { All, Ctf, HoloMatch };
// Replaces the rotation with every catalogue row of the class, installed or not.
void replaceWithClass(Rotation& rotation, const MapCatalogue& catalogue, MapClass mapClass);

// Puts the entries into a uniformly random order.
void shuffleRotation(Rotation& rotation, std::mt19937_64& generator);
void shuffleRotation(Rotation& rotation);

}  // namespace tarvex
