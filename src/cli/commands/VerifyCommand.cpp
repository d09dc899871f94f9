// verify: whether the slot's running server holds what the slot sets.
#include <ostream>

#include "cli/Command.h"
#include "query/ServerQuery.h"
#include "server/Verify.h"
#include "util/Text.h"

namespace tarvex {
namespace {

// The exit statuses, as diff has them.
constexpr int kSame = 0, kDiffers = 1, kNotCompared = 2;

class Verify final : public AskingCommand {
 public:
  using AskingCommand::AskingCommand;
  void describe(CLI::App& table) override {
    CLI::App* verify =
        addWithSlot(table, "verify", "compare what the slot's running server holds with what the slot sets");
    verify->footer(paragraph(
        "Every variable the slot's script sets is read back through the remote console (which needs the slot's "
        "console password) from the server run or launch started for the slot.  One line for each difference "
        "(setting, key, variable, the slot's value, the server's), then a summary; variables the server does not "
        "know are listed apart.  Passwords are shown as (hidden).  Exit status: 0 when the server holds what the "
        "slot sets, 1 when any differ (a value the engine refused or clamped, or one changed by a vote or an admin "
        "during play), 2 when the server could not be asked."));
    verify->add_flag("--json", json_, "print the same as JSON, for scripts");
  }
  int run(Session& session) override {
    const auto config = configuration(session, true);
    if (!config) return kNotCompared;
    const auto console = slotConsole(session, *config);
    if (!console) return kNotCompared;
    // A variable asked again is harmless: each question gets three tries.
    const auto ask = [&](const std::string& command) { return askConsole(*console, command, {1000, 3, 300}); };
    const auto result = verifySettings(config->settings, ask);
    if (!result) {
      session.services.message("tarvex-cli: " + visibleUtf8(instance()) + " was not verified: " + result.problem());
      return kNotCompared;
    }
    const std::string shown = serverAddressText(console->host, console->port);
    session.out << (json_ ? asJson(*result, shown) : asText(*result, shown));
    return result->differences.empty() ? kSame : kDiffers;
  }

 private:
  static std::string shownValue(const CheckedSetting& setting, const std::string& value) {
    return isSecret(*setting.field) ? "(hidden)" : visibleUtf8(gameTextToUtf8(value));
  }
  static std::string keyOf(const FieldSpec& field) {
    return std::string(field.kind == FieldKind::Choice ? groupKey(field.group) : field.key);
  }
  // The caption without its closing colon.
  static std::string nameOf(const FieldSpec& field) {
    std::string caption(field.caption);
    while (!caption.empty() && (caption.back() == ':' || caption.back() == ' ')) caption.pop_back();
    return caption.empty() ? std::string(field.name) : caption;
  }
  static std::string line(const char* what, const CheckedSetting& setting) {
    return std::string(what) + " \"" + nameOf(*setting.field) + "\" (" + keyOf(*setting.field) + ", " +
           visibleUtf8(setting.variable) + "): the slot sets \"" + shownValue(setting, setting.slotValue) + "\"";
  }
  std::string asText(const Verification& result, const std::string& shown) const {
    std::string text;
    for (const auto& setting : result.differences)
      text += line("Differs:", setting) + ", the server holds \"" + shownValue(setting, setting.serverValue) + "\".\n";
    for (const auto& setting : result.unknown) text += line("Not known to the server:", setting) + ".\n";
    const std::size_t differ = result.differences.size();
    text += visibleUtf8(instance()) + " at " + shown + ": " + std::to_string(result.compared) +
            (result.compared == 1 ? " variable" : " variables") + " compared, " +
            (differ == 0 ? std::string("all as the slot sets them")
                         : std::to_string(differ) + " differ" + (differ == 1 ? "s" : "")) +
            (result.unknown.empty() ? std::string()
                                    : "; " + std::to_string(result.unknown.size()) + " the server does not know") +
            ".\n";
    return text;
  }
  std::string asJson(const Verification& result, const std::string& shown) const {
    const auto entry = [](const CheckedSetting& setting, bool held) {
      nlohmann::ordered_json json{{"setting", nameOf(*setting.field)},
                                  {"key", keyOf(*setting.field)},
                                  {"variable", gameTextToUtf8(setting.variable)},
                                  {"slot", shownValue(setting, setting.slotValue)}};
      if (held) json["server"] = shownValue(setting, setting.serverValue);
      return json;
    };
    nlohmann::ordered_json json{{"instance", instance()}, {"server", shown}, {"compared", result.compared}};
    json["differences"] = nlohmann::ordered_json::array();
    for (const auto& setting : result.differences) json["differences"].push_back(entry(setting, true));
    json["unknown"] = nlohmann::ordered_json::array();
    for (const auto& setting : result.unknown) json["unknown"].push_back(entry(setting, false));
    return jsonText(json) + "\n";
  }

  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> makeVerify(CommonOptions& common) { return std::make_unique<Verify>(common); }

}  // namespace tarvex
