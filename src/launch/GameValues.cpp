#include "launch/GameValues.h"

#include <utility>

namespace tarvex {

namespace {
bool isControl(unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7F; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// How each text setting reaches the game.
ValueForm formOf(std::string_view name) {
  if (name == "NetPort" || name == "Memory") return ValueForm::Digits;
  if (name == "NetIP") return ValueForm::Address;
  if (name == "Server_Name") return ValueForm::ServerName;
  if (name == "Quad_Text" || name == "WarmupTime" || name == "kick_text") return ValueForm::Raw;
  return ValueForm::Quoted;
}

// Outside quotes the engine ends a command at '//' (a comment to the line's
// end) and at '/*' ... '*/' (what follows the comment runs as a new command).
std::string commentProblem(std::string_view value) {
  if (value.find("//") != std::string_view::npos) return "a comment mark (//)";
  if (value.find("/*") != std::string_view::npos || value.find("*/") != std::string_view::npos)
    return "a comment mark (/* or */)";
  return {};
}

std::string refusal(const std::string& what, const std::string& problem) {
  return what + " contains " + problem + ", which the game would misread.  Please change it before launching.";
}

std::string settingName(const FieldSpec& field) {
  return "The setting \"" + std::string(field.caption) + "\" (" + std::string(field.name) + ")";
}
}  // namespace

bool holdsLineBreak(std::string_view value) { return value.find_first_of("\r\n") != std::string_view::npos; }

std::string gameValueProblem(std::string_view value, ValueForm form) {
  // The game reads its script as C text, line by line: a NUL ends it, a line
  // break starts a new command.
  for (char c : value) {
    if (c == '\r' || c == '\n') return "a line break";
    if (c == '\0') return "a NUL character";
    if (isControl(static_cast<unsigned char>(c))) return "a control character";
  }
  switch (form) {
    case ValueForm::Digits:
      for (char c : value)
        if (!isDigit(c)) return "something other than digits";
      return {};
    case ValueForm::Address:
      for (char c : value)
        if (!isDigit(c) && !isLetter(c) && c != '.' && c != '-')
          return "something other than letters, digits, dots (.) and hyphens (-)";
      return {};
    case ValueForm::ServerName:
      // The server's info string is split at backslashes, and the name is
      // dropped from it when it holds one or a semicolon.
      if (value.find(';') != std::string_view::npos) return "a semicolon (;)";
      if (value.find('\\') != std::string_view::npos) return "a backslash (\\)";
      [[fallthrough]];
    case ValueForm::Quoted:
      if (value.find('"') != std::string_view::npos) return "a double quote (\")";
      return {};
    case ValueForm::Raw:
      if (value.find('"') != std::string_view::npos) return "a double quote (\")";
      if (value.find(';') != std::string_view::npos) return "a semicolon (;)";
      return commentProblem(value);
  }
  return {};
}

std::string valueLengthRefusal(const std::string& what, std::string_view value) {
  if (value.size() <= std::size_t(kMaxValueBytes)) return {};
  return what + " is " + std::to_string(value.size()) + " characters long, and the game keeps at most " +
         std::to_string(kMaxValueBytes) + ".  Please shorten it before launching.";
}

bool isWrittenToGame(const ServerSettings& settings, const FieldSpec& field) {
  if (field.kind != FieldKind::Text || field.readOnly) return false;
  return field.governor.empty() || settings.isOn(field.governor);
}

std::string rotationGravity(const ServerSettings& settings) {
  const std::string& gravity = settings.text("game_gravity");
  return gravity == "800" ? std::string() : gravity;
}

std::string gameValueRefusal(const ServerSettings& settings, const std::vector<std::string>& rotation,
                             const MapCatalogue& catalogue) {
  for (const auto& field : fieldTable()) {
    if (!isWrittenToGame(settings, field)) continue;
    const std::string& value = settings.text(field.name);
    const std::string problem = gameValueProblem(value, formOf(field.name));
    if (!problem.empty()) return refusal(settingName(field), problem);
    if (std::string tooLong = valueLengthRefusal(settingName(field), value); !tooLong.empty()) return tooLong;
  }
  // The gravity also goes bare into every rotation line.
  if (const std::string problem = gameValueProblem(rotationGravity(settings), ValueForm::Digits); !problem.empty())
    return refusal(settingName(fieldSpec("game_gravity")), problem);
  // Map names and limits stand bare inside the quoted rotation lines.
  std::vector<bool> checked(catalogue.rows.size(), false);
  const MapNameIndex index(catalogue);
  for (const auto& name : rotation) {
    const int row = index.lastIndexOf(name);
    if (row < 0 || checked[std::size_t(row)]) continue;
    checked[std::size_t(row)] = true;
    const MapEntry& entry = catalogue.rows[std::size_t(row)];
    // An empty limit would leave the game's "fraglimit ;" without a value.
    const std::pair<const char*, const std::string*> limits[] = {
        {"frag", &entry.fragLimit}, {"time", &entry.timeLimit}, {"capture", &entry.captureLimit}};
    for (const auto& [kind, limit] : limits) {
      if (limit->empty())
        return "The map \"" + name + "\" has no " + kind +
               " limit.  Please set its limits on the Maps tab before launching.";
    }
    if (const std::string problem = gameValueProblem(entry.name, ValueForm::Raw); !problem.empty())
      return refusal("The name of the map \"" + name + "\"", problem);
    if (std::string tooLong = valueLengthRefusal("The name of the map \"" + name + "\"", entry.name); !tooLong.empty())
      return tooLong;
    // The limits are numbers to the game.
    for (const auto& [kind, limit] : limits) {
      const std::string what = std::string("The ") + kind + " limit of the map \"" + name + "\"";
      if (const std::string problem = gameValueProblem(*limit, ValueForm::Digits); !problem.empty())
        return refusal(what, problem);
      if (std::string tooLong = valueLengthRefusal(what, *limit); !tooLong.empty()) return tooLong;
    }
  }
  return {};
}

}  // namespace tarvex
