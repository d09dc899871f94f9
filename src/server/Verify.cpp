#include "server/Verify.h"

#include <charconv>

#include "launch/GameScript.h"
#include "util/Text.h"

namespace tarvex {

namespace {
// The answer's lines, without their line ends.
std::vector<std::string_view> linesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}
}  // namespace

VariableList parseVariableList(std::string_view answer) {
  VariableList list;
  std::optional<long> total;
  for (const std::string_view line : linesOf(answer)) {
    if (const auto quote = line.find(" \"");
        quote != std::string_view::npos && line.size() > quote + 2 && line.back() == '"') {
      const auto blank = line.rfind(' ', quote - 1);
      const std::size_t from = blank == std::string_view::npos ? 0 : blank + 1;
      const std::string_view variable = line.substr(from, quote - from);
      if (variable.empty()) continue;
      const std::string name = lowerAscii(variable);
      list.values[name] = std::string(line.substr(quote + 2, line.size() - quote - 3));
      if (line.substr(0, from).find('?') != std::string_view::npos) list.unread.insert(name);
      continue;
    }
    static constexpr std::string_view kTotal = " total cvars";
    if (line.ends_with(kTotal)) {
      long count = 0;
      const std::string_view digits = line.substr(0, line.size() - kTotal.size());
      if (const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
          error == std::errc() && end == digits.data() + digits.size())
        total = count;
    }
  }
  list.complete = total && *total == long(list.values.size());
  return list;
}

std::optional<std::string> parseVariableAnswer(std::string_view answer, std::string_view variable) {
  for (const std::string_view line : linesOf(answer)) {
    static constexpr std::string_view kIs = "\" is:\"";
    const auto is = line.find(kIs);
    if (!line.starts_with('"') || is == std::string_view::npos ||
        lowerAscii(line.substr(1, is - 1)) != lowerAscii(variable))
      continue;
    std::string_view value = line.substr(is + kIs.size());
    // The value ends where the engine's white colour and closing quote do, before " default:" or " latched:".
    auto end = value.find("^7\"");
    if (end == std::string_view::npos) end = value.rfind('"');
    if (end == std::string_view::npos) continue;
    return std::string(value.substr(0, end));
  }
  return std::nullopt;
}

bool isSecret(const FieldSpec& field) { return lowerAscii(field.name).find("password") != std::string::npos; }

Result<Verification> verifySettings(const ServerSettings& settings, const AskConsole& ask) {
  const auto listed = ask("cvarlist");
  if (!listed) return failure(listed.problem());
  const VariableList list = parseVariableList(*listed);
  Verification result;
  for (const ScriptValue& set : scriptValues(settings)) {
    if (!set.value) continue;
    std::optional<std::string> held;
    if (list.unread.contains(lowerAscii(set.variable))) {
      // Set by the script, read by nothing: the engine does not know it.
    } else if (const auto found = list.values.find(lowerAscii(set.variable)); found != list.values.end()) {
      held = found->second;
    } else if (!list.complete) {
      const auto answer = ask(set.variable);
      if (!answer) return failure(answer.problem());
      held = parseVariableAnswer(*answer, set.variable);
    }
    CheckedSetting checked{set.field, set.variable, *set.value, held.value_or("")};
    if (!held) {
      result.unknown.push_back(std::move(checked));
      continue;
    }
    ++result.compared;
    if (*held != *set.value) result.differences.push_back(std::move(checked));
  }
  return result;
}

}  // namespace tarvex
