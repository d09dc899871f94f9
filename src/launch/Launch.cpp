#include "launch/Launch.h"

#include <algorithm>

#include "launch/GameScript.h"
#include "launch/GameValues.h"
#include "query/ServerQuery.h"
#include "util/Text.h"

namespace tarvex {

namespace {
std::size_t decimalDigits(std::size_t n) {
  std::size_t digits = 1;
  while (n >= 10) n /= 10, ++digits;
  return digits;
}
}  // namespace

RotationLines makeRotationLines(const std::vector<std::string>& rotation, const MapCatalogue& catalogue,
                                const ServerSettings& settings) {
  RotationLines result;
  const MapNameIndex index(catalogue);
  const std::string loadCommand = settings.isOn("Cheats_yes") ? "; devmap " : "; map ";
  const std::string gravity = rotationGravity(settings);
  const std::string afterLoad = gravity.empty() ? std::string() : "; g_gravity " + gravity;
  const std::size_t count = rotation.size();
  result.lines.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const MapEntry* entry = index.find(rotation[i]);
    if (!entry) {
      result.lines.clear();
      result.missingMap = rotation[i];
      return result;
    }
    if (i == 0) result.firstCaptureLimit = entry->captureLimit;
    const std::size_t next = i + 1 < count ? i + 2 : 1;
    result.lines.push_back("Set m" + std::to_string(i + 1) + " \"fraglimit " + entry->fragLimit + "; timelimit " +
                           entry->timeLimit + "; capturelimit " + entry->captureLimit + loadCommand + entry->name +
                           afterLoad + "; set nextmap vstr m" + std::to_string(next) + "\"");
  }
  return result;
}

namespace {
// The message for a script the engine would drop, with the number of maps to
// take off the end of the rotation so that it fits (the last remaining line
// then points back at m1, which changes its length).
std::string scriptTooLongMessage(const std::string& script, const std::vector<std::string>& lines) {
  const std::size_t count = lines.size();
  std::size_t rotationBytes = 0;
  for (const auto& line : lines) rotationBytes += line.size() + 2;
  const std::size_t fixed = script.size() - rotationBytes;
  std::size_t keep = 0;
  std::size_t before = 0;  // the lines ahead of the last kept one
  for (std::size_t m = 1; m <= count; ++m) {
    const std::size_t lastLine = lines[m - 1].size() + 2 - (m < count ? decimalDigits(m + 1) - 1 : 0);
    if (fixed + before + lastLine > kMaxScriptBytes) break;
    keep = m;
    before += lines[m - 1].size() + 2;
  }
  std::string text = "The game script would be " + std::to_string(script.size()) +
                     " bytes long, and the game ignores a script longer than " + std::to_string(kMaxScriptBytes) +
                     " bytes whole.  ";
  if (keep == 0) return text + "Please shorten the longest texts of the settings before launching.";
  return text + "Please remove at least " + std::to_string(count - keep) + " map" + (count - keep == 1 ? "" : "s") +
         " from the rotation before launching.";
}
}  // namespace

LaunchCheck checkLaunch(const ServerSettings& settings, const std::vector<std::string>& rotation,
                        const MapCatalogue& catalogue, const std::string& scriptName) {
  LaunchCheck check;
  const auto stop = [&check](std::string message) {
    check.messages.push_back(std::move(message));
    check.proceed = false;
    return check;
  };
  if (rotation.empty()) return stop(kNoMapsMessage);
  if (settings.isOn("game_1v1")) check.messages.emplace_back(kOneVsOneNote);
  const MapNameIndex index(catalogue);
  if (settings.isOn("Game_CTF")) {
    // The message as it always was, and a second line naming the maps to remove.
    std::vector<std::string> refused;
    for (const auto& name : rotation) {
      const MapEntry* entry = index.find(name);
      if (entry && entry->isRefusedForCtf() && std::find(refused.begin(), refused.end(), name) == refused.end())
        refused.push_back(name);
    }
    if (!refused.empty()) {
      std::string names;
      for (const auto& name : refused) names += (names.empty() ? "" : ", ") + name;
      return stop(std::string(kCtfLaunchMessage) + "\n" + (refused.size() == 1 ? "Not a CTF map: " : "Not CTF maps: ") +
                  names);
    }
  }
  RotationLines lines = makeRotationLines(rotation, catalogue, settings);
  if (!lines.ok())
    return stop("The map \"" + lines.missingMap +
                "\" of the rotation is not in the map list (maps.ini).  Please remove it before launching.");
  if (Problem message = gameValueRefusal(settings, rotation, catalogue); !message.ok()) return stop(std::move(message));
  if (settings.isEnabled("NetPort") && !settings.text("NetPort").empty()) {
    // The engine would take any number modulo 65536, and nothing would find the server.
    const auto port = parseCount(settings.text("NetPort"));
    if (!port || *port < 1 || *port > 65535)
      return stop("The net port " + settings.text("NetPort") +
                  " is not a port.  Please give a number from 1 to 65535 (\"Net Port\" on the Advanced tab; "
                  "net-port in a configuration text) before launching.");
  }
  for (std::size_t i = 0; i < lines.lines.size(); ++i) {
    if (lines.lines[i].size() > kMaxScriptLineBytes)
      return stop("The rotation line of the map \"" + rotation[i] + "\" would be " +
                  std::to_string(lines.lines[i].size()) + " characters long, and the game cuts a line after " +
                  std::to_string(kMaxScriptLineBytes) + ".  Please shorten the map's name or limits before launching.");
  }
  std::string script = renderScript(settings, lines.lines, lines.firstCaptureLimit);
  if (script.size() > kMaxScriptBytes) return stop(scriptTooLongMessage(script, lines.lines));
  // Every value is at most 255 characters, which keeps the settings' lines short;
  // this holds the whole script to it all the same.
  for (const std::string_view line : splitLines(script)) {
    if (line.size() > kMaxScriptLineBytes)
      return stop("The game script would hold a line of " + std::to_string(line.size()) +
                  " characters, and the game cuts a line after " + std::to_string(kMaxScriptLineBytes) +
                  ".  Please shorten the longest texts of the settings before launching.");
  }
  check.script = std::move(script);
  check.arguments = gameArguments(settings, scriptName);
  return check;
}

std::vector<std::string> gameArguments(const ServerSettings& settings, const std::string& scriptName) {
  // The server type, the network's port and address and the memory the
  // engine reserves are read before any script runs: only the command line
  // sets them.
  std::vector<std::string> args;
  for (const FieldSpec& field : fieldTable()) {
    if (!field.onCommandLine) continue;
    if (field.kind == FieldKind::Choice && settings.isOn(field.name))
      args.insert(args.end(), {"+set", std::string(field.variable), std::to_string(field.choiceNumber)});
    if (field.kind == FieldKind::Text && settings.isEnabled(field.name) && !settings.text(field.name).empty())
      args.insert(args.end(), {"+set", std::string(field.variable), settings.text(field.name)});
  }
  args.insert(args.end(), {"+sets", "configured_by", "Tarvex", "+exec", scriptName});
  return args;
}

std::pair<std::string, int> serverEndpoint(const ServerSettings& settings) {
  std::string address;
  if (settings.isEnabled("NetIP")) address = settings.text("NetIP");
  int port = kDefaultServerPort;
  if (settings.isEnabled("NetPort")) {
    const std::string& text = settings.text("NetPort");
    if (!text.empty() && text.size() <= 5 && text.find_first_not_of("0123456789") == std::string::npos) {
      const int number = std::stoi(text);
      if (number >= 1 && number <= 65535) port = number;
    }
  }
  return {address, port};
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
