#include "saves/ConfigText.h"

#include <optional>

#include "maps/MapLimits.h"
#include "saves/SaveFile.h"
#include "util/Text.h"

namespace tarvex {

namespace {
constexpr std::string_view kBlanks = " \t";
constexpr int kLimitDigits = 3;  // as the limit boxes take them

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool isDigits(std::string_view text) {
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// A control character of the game's text: C0, DEL, and the bytes Windows-1252
// leaves undefined, which stand for C1 controls.
bool holdsControl(std::string_view bytes) {
  for (unsigned char c : bytes) {
    const char16_t character = windows1252Character(c);
    if (character < 0x20 || (character >= 0x7F && character <= 0x9F)) return true;
  }
  return false;
}

bool isLimit(std::string_view text) {
  return !text.empty() && text.size() <= std::size_t(kLimitDigits) && isDigits(text);
}

// A value as a line shows it: quoted when blanks at its ends or a leading
// quote would otherwise be lost or misread.
std::string shownValue(std::string_view bytes) {
  std::string text = visibleText(gameTextToUtf8(bytes));
  const bool quote = !text.empty() && (trimmed(text).size() != text.size() || text.front() == '"');
  return quote ? "\"" + text + "\"" : text;
}

// A line's value: trimmed, and without the quotes around a quoted one.
std::string_view lineValue(std::string_view text) {
  text = trimmed(text);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
  return text;
}

const char* yesNo(bool on) { return on ? "yes" : "no"; }

std::optional<bool> switchValue(std::string_view text) {
  const std::string value = lowerAscii(text);
  if (value == "yes" || value == "on" || value == "true" || value == "1") return true;
  if (value == "no" || value == "off" || value == "false" || value == "0") return false;
  return std::nullopt;
}

std::vector<const FieldSpec*> groupMembers(ChoiceGroup group) {
  std::vector<const FieldSpec*> members;
  for (const auto& field : fieldTable())
    if (field.kind == FieldKind::Choice && field.group == group) members.push_back(&field);
  return members;
}

std::string groupValues(ChoiceGroup group) {
  std::string values;
  for (const FieldSpec* member : groupMembers(group)) values += (values.empty() ? "" : ", ") + std::string(member->key);
  return values;
}

// The key a field is written under, and whether this field starts its line
// (a choice group has one line, at its first member).
bool startsLine(const FieldSpec& field) {
  if (field.readOnly) return false;
  return field.kind != FieldKind::Choice || groupMembers(field.group).front() == &field;
}

std::string_view keyOf(const FieldSpec& field) {
  return field.kind == FieldKind::Choice ? groupKey(field.group) : field.key;
}

// Why the window would not take the text into the box; empty when it would.
Problem textProblem(const FieldSpec& field, std::string_view bytes) {
  if (holdsControl(bytes)) return "holds a control character, which the box does not take";
  if (field.digitsOnly && !isDigits(bytes)) return "takes digits only";
  if (field.maxLength > 0 && bytes.size() > std::size_t(field.maxLength))
    return "takes at most " + std::to_string(field.maxLength) + " characters";
  return {};
}
}  // namespace

namespace {
std::string assignment(std::string_view key, const std::string& value) {
  return std::string(key) + " =" + (value.empty() ? "" : " " + value) + "\n";
}
}  // namespace

std::string configText(const Configuration& config, std::string_view description,
                       const std::vector<std::string>& heading) {
  std::string out;
  for (const auto& line : heading) out += "# " + line + "\n";
  out += "# Save/Load\n";
  out += assignment(kDescriptionKey, shownValue(description));
  const ServerSettings& s = config.settings;
  std::string_view tab;
  for (const auto& field : fieldTable()) {
    if (field.tab != tab) {
      tab = field.tab;
      out += "# " + std::string(tab) + "\n";
    }
    if (field.readOnly || !keptInSave(field.name)) {
      const std::string why = field.readOnly ? " (fixed)" : " (not kept in a save file)";
      out += "# " + assignment(field.key, shownValue(s.text(field.name)) + why);
      continue;
    }
    if (!startsLine(field)) continue;
    const std::string value = field.kind == FieldKind::Text     ? shownValue(s.text(field.name))
                              : field.kind == FieldKind::Switch ? std::string(yesNo(s.isOn(field.name)))
                                                                : std::string(s.selected(field.group).key);
    out += assignment(keyOf(field), value);
  }
  out += "# Maps: the rotation in order, each map with its frag, time and capture limits\n";
  const MapNameIndex index(config.catalogue);
  for (const auto& name : config.rotation.maps) {
    out += std::string(kMapKey) + " = " + shownValue(name);
    // Limits a text could not give back (as a hand-edited slot may hold) are kept by leaving them out.
    const MapEntry* row = index.find(name);
    if (row && isLimit(row->fragLimit) && isLimit(row->timeLimit) && isLimit(row->captureLimit))
      out += " " + row->fragLimit + " " + row->timeLimit + " " + row->captureLimit;
    out += "\n";
  }
  return out;
}

std::string configKeys() {
  std::string out = "key\ttab\tcaption\tvalues\tstart value\n";
  out += std::string(kDescriptionKey) + "\tSave/Load\tthe save file's description\ttext\t\n";
  const ServerSettings start;
  for (const auto& field : fieldTable()) {
    if (!startsLine(field)) continue;
    std::string caption(trimmed(field.caption)), values;
    if (!keptInSave(field.name)) {
      values = "not kept in a save file: always the start value";
    } else if (field.kind == FieldKind::Text) {
      values = field.digitsOnly ? "digits" : "text";
      if (field.maxLength > 0) values += ", at most " + std::to_string(field.maxLength);
      if (!field.governor.empty()) values += ", used with " + std::string(fieldSpec(field.governor).key) + " = yes";
    } else if (field.kind == FieldKind::Switch) {
      values = "yes, no";
    } else {
      caption.clear();
      for (const FieldSpec* member : groupMembers(field.group))
        caption += (caption.empty() ? "" : " / ") + std::string(trimmed(member->caption));
      values = groupValues(field.group);
    }
    std::string startValue = field.kind == FieldKind::Text     ? gameTextToUtf8(start.text(field.name))
                             : field.kind == FieldKind::Switch ? yesNo(start.isOn(field.name))
                                                               : std::string(start.selected(field.group).key);
    out += std::string(keyOf(field)) + "\t" + std::string(field.tab) + "\t" + caption + "\t" + values + "\t" +
           startValue + "\n";
  }
  out += std::string(kMapKey) +
         "\tMaps\tthe rotation, one line a map in order\tNAME [FRAG TIME CAPTURE] (limits: up to 3 digits; without "
         "them the map keeps its limits)\t\n";
  return out;
}

ConfigApplied applyConfigText(std::string_view text, const Configuration& config, std::string_view description) {
  ConfigApplied result;
  Configuration next = config;
  std::string nextDescription(description);
  struct Given {
    const FieldSpec* field;
    std::string value;  // the game's text
    std::size_t line;
  };
  std::vector<Given> switches, texts;
  std::map<std::string, std::size_t, std::less<>> keyLines;
  std::vector<std::pair<std::string, std::size_t>> maps;
  std::map<std::string, std::pair<Limits, std::size_t>, std::less<>> limits;
  const auto problem = [&result](std::size_t line, std::string message) {
    result.problems.push_back({line, std::move(message)});
  };
  // A byte-order mark that an editor put before the first line belongs to no key.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::size_t number = 0;
  for (const std::string_view rawLine : splitLines(text)) {
    ++number;
    const std::string_view line = trimmed(rawLine);
    if (line.empty() || line.front() == '#') continue;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
      problem(number, "\"" + shortVisible(line) + "\" is not a \"key = value\" line");
      continue;
    }
    const std::string key = lowerAscii(trimmed(line.substr(0, equals)));
    const std::string_view utf8 = lineValue(line.substr(equals + 1));
    const auto bytes = utf8ToGameText(utf8);
    if (!bytes) {
      problem(number, shortVisible(key) + ": the value holds a character the game's text cannot keep");
      continue;
    }
    if (key != kMapKey) {
      if (const auto [at, fresh] = keyLines.emplace(key, number); !fresh) {
        problem(number, shortVisible(key) + " was given on line " + std::to_string(at->second) + " already");
        continue;
      }
    }
    if (key == kDescriptionKey) {
      if (holdsControl(*bytes)) problem(number, "description: holds a control character");
      nextDescription = *bytes;
      continue;
    }
    if (key == kMapKey) {
      // NAME, or NAME FRAG TIME CAPTURE (a name may hold blanks).
      std::vector<std::string_view> words;
      for (std::size_t at = 0; at < bytes->size();) {
        const auto start = bytes->find_first_not_of(kBlanks, at);
        if (start == std::string::npos) break;
        const auto end = std::min(bytes->find_first_of(kBlanks, start), bytes->size());
        words.emplace_back(std::string_view(*bytes).substr(start, end - start));
        at = end;
      }
      std::string name = *bytes;
      std::optional<Limits> given;
      if (words.size() >= 4 && isDigits(words[words.size() - 1]) && isDigits(words[words.size() - 2]) &&
          isDigits(words[words.size() - 3])) {
        given = Limits{std::string(words[words.size() - 3]), std::string(words[words.size() - 2]),
                       std::string(words.back())};
        name = std::string(trimmed(std::string_view(*bytes).substr(0, words[words.size() - 3].data() - bytes->data())));
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
      }
      if (!given && words.size() >= 4 && !next.catalogue.find(name)) {
        // A known map followed by three words that are not all limits: name the word at fault.
        const std::string known(
            trimmed(std::string_view(*bytes).substr(0, words[words.size() - 3].data() - bytes->data())));
        if (next.catalogue.find(known)) {
          for (std::size_t i = words.size() - 3; i < words.size(); ++i)
            if (!isLimit(std::string(words[i]))) {
              problem(number, "the map \"" + shortVisible(gameTextToUtf8(known)) + "\": its limit \"" +
                                  shortVisible(gameTextToUtf8(words[i])) + "\" is not 1 to 3 digits");
              break;
            }
          continue;
        }
      }
      if (!next.catalogue.find(name)) {
        problem(number, "the map \"" + shortVisible(gameTextToUtf8(name)) +
                            "\" is not in the map list (tarvex-cli maps lists it; find-maps --add adds maps)");
        continue;
      }
      if (given) {
        for (const std::string* limit : {&given->frag, &given->time, &given->capture})
          if (!isLimit(*limit)) problem(number, "a map's limits take 1 to 3 digits each");
        const auto [at, fresh] = limits.emplace(name, std::pair{*given, number});
        const Limits& known = at->second.first;
        if (!fresh && (known.frag != given->frag || known.time != given->time || known.capture != given->capture))
          problem(number, "the map \"" + visibleText(gameTextToUtf8(name)) + "\" has other limits on line " +
                              std::to_string(at->second.second) + ": a map has one set of limits");
      }
      result.lines.emplace("map " + name, number);
      maps.emplace_back(std::move(name), number);
      continue;
    }
    const FieldSpec* field = nullptr;
    for (const auto& candidate : fieldTable())
      if (startsLine(candidate) && keyOf(candidate) == key) field = &candidate;
    if (!field) {
      problem(number, "there is no key \"" + shortVisible(key) + "\" (tarvex-cli config --keys lists them)");
      continue;
    }
    if (!keptInSave(field->name)) {
      problem(number, key + " is not kept in a save file: a slot always starts with " +
                          gameTextToUtf8(std::string(field->start)));
      continue;
    }
    if (field->kind == FieldKind::Choice) {
      const FieldSpec* chosen = nullptr;
      for (const FieldSpec* member : groupMembers(field->group))
        if (member->key == lowerAscii(*bytes)) chosen = member;
      if (!chosen) {
        problem(number, key + " takes one of: " + groupValues(field->group));
        continue;
      }
      switches.push_back({chosen, "1", number});
    } else if (field->kind == FieldKind::Switch) {
      const auto on = switchValue(*bytes);
      if (!on) {
        problem(number, key + " takes yes or no");
        continue;
      }
      switches.push_back({field, *on ? "1" : "0", number});
    } else {
      if (const Problem why = textProblem(*field, *bytes); !why.ok()) {
        problem(number, key + ": \"" + std::string(trimmed(field->caption)) + "\" " + why);
        continue;
      }
      texts.push_back({field, *bytes, number});
    }
    result.lines.emplace(std::string(field->name), number);
  }
  // Switches first, as a user would click them before typing into what they enable.
  for (const Given& given : switches) {
    if (given.field->kind == FieldKind::Choice)
      next.settings.select(given.field->name);
    else
      next.settings.setSwitch(given.field->name, given.value == "1");
  }
  for (const Given& given : texts) {
    const FieldSpec& field = *given.field;
    if (field.emptiedWhenOff && !next.settings.isOn(field.governor) && !given.value.empty()) {
      problem(given.line, std::string(field.key) + " stays empty while " + std::string(fieldSpec(field.governor).key) +
                              " is no, as the window keeps it");
      continue;
    }
    next.settings.setText(field.name, given.value);
  }
  if (!maps.empty()) {
    next.rotation.maps.clear();
    for (const auto& [name, line] : maps) next.rotation.maps.push_back(name);
  }
  for (const auto& [name, given] : limits) setLimitsByName(next.catalogue, name, given.first);
  if (!result.problems.empty()) return result;
  result.configuration = std::move(next);
  result.description = std::move(nextDescription);
  return result;
}

std::size_t lineOfMessage(const ConfigApplied& applied, std::string_view message) {
  std::size_t found = 0;
  for (const auto& [name, line] : applied.lines) {
    const bool named = name.starts_with("map ") ? message.find("\"" + name.substr(4) + "\"") != std::string_view::npos
                                                : message.find("(" + name + ")") != std::string_view::npos;
    if (named && (found == 0 || line < found)) found = line;
  }
  return found;
}

}  // namespace tarvex
