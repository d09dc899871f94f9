#pragma once
// The game script tarvex.cfg: server variables from the settings, then the
// map rotation, then the line that starts it.

#include <string>
#include <vector>

#include "config/ServerSettings.h"

namespace tarvex {

inline constexpr const char* kScriptName = "tarvex.cfg";

// The exact bytes of tarvex.cfg for the settings and ready rotation lines;
// firstCaptureLimit is the capture limit of the rotation's first map.
std::string renderScript(const ServerSettings& settings, const std::vector<std::string>& rotationLines,
                         std::string_view firstCaptureLimit);

}  // namespace tarvex
