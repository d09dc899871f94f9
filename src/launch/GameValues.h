#pragma once
// What the game may receive from a configuration: every setting, map name
// and limit that reaches the script or the game's command line, checked by
// the game's rules for text (util/GameText) before anything is written.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "config/ServerSettings.h"
#include "maps/MapCatalogue.h"
#include "util/GameText.h"

namespace tarvex {

// The refusal for a value longer than the game keeps, naming it as `what`
// ("The setting ..."); empty when it fits.
Problem valueLengthRefusal(const std::string& what, std::string_view value);

// True when the setting goes into the script or onto the command line with
// these settings (a text whose switch is off is not written).
bool isWrittenToGame(const ServerSettings& settings, const FieldSpec& field);

// The gravity the rotation lines set after each map load (the map resets
// it), empty when the game's own 800 applies.
std::string rotationGravity(const ServerSettings& settings);

// The refusal message for the first written setting, rotation map or limit
// the game would misread or cut short; empty when there is none.
Problem gameValueRefusal(const ServerSettings& settings, const std::vector<std::string>& rotation,
                         const MapCatalogue& catalogue);

}  // namespace tarvex
