#pragma once
// A configuration as text, for a host without the window: one "key = value"
// line a setting, in the window's order, "#" comments naming each tab, and
// the rotation as "map = NAME FRAG TIME CAPTURE" lines. The keys come from the
// settings table; the values are what the window's boxes, switches and
// option groups would take. Text is UTF-8 here and the game's code page in
// the configuration.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "config/Configuration.h"

namespace tarvex {

inline constexpr const char* kDescriptionKey = "description";
inline constexpr const char* kMapKey = "map";
// The longest configuration text taken: a slot's values are a few kilobytes.
inline constexpr std::size_t kMaxConfigTextBytes = 1024 * 1024;

// The text of a configuration: heading lines (each printed as a comment),
// the save file's description, every setting and the rotation with its limits.
std::string configText(const Configuration& config, std::string_view description,
                       const std::vector<std::string>& heading);

// Every key with its tab, caption, values and start value, one a line,
// separated by tabs.
std::string configKeys();

struct ConfigProblem {
  std::size_t line = 0;  // 1-based; 0 when no line is at fault
  std::string text;
};

struct ConfigApplied {
  std::vector<ConfigProblem> problems;  // the text is not taken when there are any
  // The line of each setting (by its table name) and map given, to name
  // with a later check's finding.
  std::map<std::string, std::size_t, std::less<>> lines;
  // Without problems: the configuration and description with the text applied.
  Configuration configuration;
  std::string description;
};

// Applies the lines of a text to a configuration and description: keys not
// given keep their values; "map" lines, when there are any, are the new
// rotation in order. All or nothing.
ConfigApplied applyConfigText(std::string_view text, const Configuration& config, std::string_view description);

// The line a check's message is about: the first setting or map it names
// that the text gave, 0 when none.
std::size_t lineOfMessage(const ConfigApplied& applied, std::string_view message);

}  // namespace tarvex
