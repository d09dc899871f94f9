#pragma once
// The game script tarvex.cfg: server variables from the settings, then the
// map rotation, then the line that starts it.

#include <optional>
#include <string>
#include <vector>

#include "config/ServerSettings.h"

namespace tarvex {

inline constexpr const char* kScriptName = "tarvex.cfg";

// One game variable the script sets: the field's value as the settings table
// spells it (a switch's "1" or "0", a selected choice's number, a text as it
// stands, a governed text whose switch is off as the table says), or nullopt
// for "reset VARIABLE", the engine's own value.
struct ScriptValue {
  const FieldSpec* field;
  std::string variable;
  std::optional<std::string> value;
};
// In the script's order, one for each variable of a field.
std::vector<ScriptValue> scriptValues(const ServerSettings& settings);

// The exact bytes of tarvex.cfg for the settings and ready rotation lines;
// firstCaptureLimit is the capture limit of the rotation's first map.
std::string renderScript(const ServerSettings& settings, const std::vector<std::string>& rotationLines,
                         std::string_view firstCaptureLimit);

}  // namespace tarvex
