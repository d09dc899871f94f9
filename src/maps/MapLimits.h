#pragma once
// Per-map limits: the commands of the "Defaults" and "Customize Individual
// Maps" groups, and the rule for the capture-limit box.

#include <optional>
#include <string>
#include <string_view>

#include "maps/MapCatalogue.h"

namespace tarvex {

inline constexpr const char* kNoMapSelectedMessage = "!  No Map Selected";

struct Limits {
  std::string frag;
  std::string time;
  std::string capture;
};

// Stores the limits into every row of that name; false when no row has it.
bool setLimitsByName(MapCatalogue& catalogue, std::string_view name, const Limits& limits);

// Gives every row the same limits.
void setAllLimits(MapCatalogue& catalogue, const Limits& limits);

// "Set Defaults!": gives every row each limit that is not empty (an empty
// limit would reach the game as "fraglimit ;"). Returns the message naming
// the empty boxes, empty when there were none.
std::string setDefaultLimits(MapCatalogue& catalogue, const Limits& limits);

// Whether the capture-limit box is enabled after showing a map: disabled for
// flag 0, enabled for flag 1, unchanged (nullopt) for anything else.
std::optional<bool> captureBoxEnabled(const MapEntry& entry);

}  // namespace tarvex
