#include "launch/Launch.h"

#include "launch/GameScript.h"

namespace tarvex {

RotationLines makeRotationLines(const std::vector<std::string>& rotation, const MapCatalogue& catalogue) {
  RotationLines result;
  const std::size_t count = rotation.size();
  for (std::size_t i = 0; i < count; ++i) {
    const MapEntry* entry = catalogue.find(rotation[i]);
    if (!entry) {
      result.lines.clear();
      result.missingMap = rotation[i];
      return result;
    }
    const std::size_t next = i + 1 < count ? i + 2 : 1;
    result.lines.push_back("Set m" + std::to_string(i + 1) + " \"fraglimit " + entry->fragLimit + "; timelimit " +
                           entry->timeLimit + "; capturelimit " + entry->captureLimit + "; map " + entry->name +
                           "; set nextmap vstr m" + std::to_string(next) + "\"");
  }
  return result;
}

namespace {
// The game's console has no escape inside quotes and splits commands at ';'
// outside them, so such values would end a line early or run commands.
std::string unsafeFor(std::string_view value, bool raw) {
  for (char c : value) {
    if (c == '"') return "a double quote (\")";
    if (c == '\r' || c == '\n') return "a line break";
    if (raw && c == ';') return "a semicolon (;)";
  }
  return {};
}

bool writtenRaw(std::string_view name) {
  return name == "Quad_Text" || name == "WarmupTime" || name == "kick_text" || name == "Memory" || name == "NetIP" ||
         name == "NetPort";
}

std::string unsafeValueMessage(const ServerSettings& settings, const std::vector<std::string>& rotation,
                               const MapCatalogue& catalogue) {
  const auto refuse = [](const std::string& what, const std::string& problem) {
    return what + " contains " + problem + ", which the game's script cannot hold.  Please change it before launching.";
  };
  for (const auto& field : fieldTable()) {
    if (field.kind != FieldKind::Text || field.readOnly || field.name == "Master2") continue;
    const std::string problem = unsafeFor(settings.text(field.name), writtenRaw(field.name));
    if (!problem.empty())
      return refuse("The setting \"" + std::string(field.caption) + "\" (" + std::string(field.name) + ")", problem);
  }
  for (const auto& name : rotation) {
    const MapEntry* entry = catalogue.find(name);
    if (!entry) continue;
    for (const std::string* value : {&entry->name, &entry->fragLimit, &entry->timeLimit, &entry->captureLimit}) {
      const std::string problem = unsafeFor(*value, true);
      if (!problem.empty()) return refuse("The map \"" + name + "\" or one of its limits", problem);
    }
  }
  return {};
}
}  // namespace

LaunchCheck checkLaunch(const ServerSettings& settings, const std::vector<std::string>& rotation,
                        const MapCatalogue& catalogue) {
  LaunchCheck check;
  const auto stop = [&check](std::string message) {
    check.messages.push_back(std::move(message));
    check.proceed = false;
    return check;
  };
  if (rotation.empty()) return stop(kNoMapsMessage);
  if (settings.isOn("game_1v1")) check.messages.emplace_back(kOneVsOneNote);
  if (settings.isOn("Game_CTF")) {
    for (const auto& name : rotation) {
      const MapEntry* entry = catalogue.find(name);
      if (entry && entry->isRefusedForCtf()) return stop(kCtfLaunchMessage);
    }
  }
  const RotationLines lines = makeRotationLines(rotation, catalogue);
  if (!lines.ok())
    return stop("The map \"" + lines.missingMap +
                "\" of the rotation is not in the map list (maps.ini).  Please remove it before launching.");
  if (std::string message = unsafeValueMessage(settings, rotation, catalogue); !message.empty())
    return stop(std::move(message));
  return check;
}

std::string renderLaunchScript(const ServerSettings& settings, const std::vector<std::string>& rotation,
                               const MapCatalogue& catalogue) {
  return renderScript(settings, makeRotationLines(rotation, catalogue).lines);
}

std::vector<std::string> gameArguments(const ServerSettings& settings) {
  std::vector<std::string> args{"+set", "dedicated",
                                std::to_string(settings.selected(ChoiceGroup::ServerType).choiceNumber)};
  // net_port and net_ip are read when the network starts, before any script
  // runs, so only the command line can set them.
  if (settings.isOn("NetPort_Yes") && !settings.text("NetPort").empty()) {
    args.insert(args.end(), {"+set", "net_port", settings.text("NetPort")});
  }
  if (settings.isOn("NetIP_Check") && !settings.text("NetIP").empty()) {
    args.insert(args.end(), {"+set", "net_ip", settings.text("NetIP")});
  }
  args.insert(args.end(), {"+sets", "configured_by", "Tarvex", "+exec", kScriptName});
  return args;
}

std::string commandLineText(const std::vector<std::string>& arguments) {
  std::string text = kGameExecutable;
  for (const auto& argument : arguments) {
    text.push_back(' ');
    text.append(argument);
  }
  return text;
}

}  // namespace tarvex
