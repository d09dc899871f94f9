#include "launch/GameValues.h"

#include <utility>

namespace tarvex {

namespace {
std::string refusal(const std::string& what, const std::string& problem) {
  return what + " contains " + problem + ", which the game would misread.  Please change it before launching.";
}

std::string settingName(const FieldSpec& field) {
  return "The setting \"" + std::string(field.caption) + "\" (" + std::string(field.name) + ")";
}
}  // namespace

Problem valueLengthRefusal(const std::string& what, std::string_view value) {
  if (value.size() <= std::size_t(kMaxValueBytes)) return {};
  return what + " is " + std::to_string(value.size()) + " characters long, and the game keeps at most " +
         std::to_string(kMaxValueBytes) + ".  Please shorten it before launching.";
}

bool isWrittenToGame(const ServerSettings& settings, const FieldSpec& field) {
  return field.kind == FieldKind::Text && settings.isEnabled(field.name);
}

std::string rotationGravity(const ServerSettings& settings) {
  const std::string& gravity = settings.text("game_gravity");
  return gravity == "800" ? std::string() : gravity;
}

Problem gameValueRefusal(const ServerSettings& settings, const std::vector<std::string>& rotation,
                         const MapCatalogue& catalogue) {
  for (const auto& field : fieldTable()) {
    if (!isWrittenToGame(settings, field)) continue;
    const std::string& value = settings.text(field.name);
    const Problem problem = gameValueProblem(value, field.form);
    if (!problem.ok()) return refusal(settingName(field), problem);
    if (Problem tooLong = valueLengthRefusal(settingName(field), value); !tooLong.ok()) return tooLong;
  }
  // The gravity also goes bare into every rotation line.
  if (const Problem problem = gameValueProblem(rotationGravity(settings), ValueForm::Digits); !problem.ok())
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
    if (const Problem problem = gameValueProblem(entry.name, ValueForm::Raw); !problem.ok())
      return refusal("The name of the map \"" + name + "\"", problem);
    if (Problem tooLong = valueLengthRefusal("The name of the map \"" + name + "\"", entry.name); !tooLong.ok())
      return tooLong;
    // The limits are numbers to the game.
    for (const auto& [kind, limit] : limits) {
      const std::string what = std::string("The ") + kind + " limit of the map \"" + name + "\"";
      if (const Problem problem = gameValueProblem(*limit, ValueForm::Digits); !problem.ok())
        return refusal(what, problem);
      if (Problem tooLong = valueLengthRefusal(what, *limit); !tooLong.ok()) return tooLong;
    }
  }
  return {};
}

}  // namespace tarvex
