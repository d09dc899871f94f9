#pragma once
// Every server setting of the main window, declared once. The window is built
// from this table and read back through it; the script writer and the save
// file name their fields from it.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "util/GameText.h"

namespace tarvex {

// The game keeps at most 255 bytes of a console variable's value (and cuts
// the rest off, or refuses to start over a longer one), so no box takes more.
inline constexpr int kMaxValueBytes = 255;

enum class FieldKind { Text, Switch, Choice };
// What the script says of a governed text while its switch is off.
enum class WhenOff {
  Nothing,  // no line
  Reset,    // "reset VARIABLE": the engine's own value, not one it kept from an earlier start
  Value,    // the line with offValue
};
enum class ChoiceGroup { None, ServerType, GameType, BotSkill };

struct FieldSpec {
  std::string_view name;  // the control's name
  FieldKind kind;
  std::string_view caption;  // the text shown beside or above the control
  std::string_view start;    // texts: start text; switches/choices: "1" on, "0" off
  int maxLength;             // 0: no limit
  bool digitsOnly;
  std::string_view governor;  // texts: the switch that enables it, empty when always enabled
  bool emptiedWhenOff;        // texts: emptied when the governing switch is unchecked
  int sound;                  // switches/choices: button sound of a click, 0 none
  ChoiceGroup group;          // choices only
  int choiceNumber;           // choices: dedicated N, game type number, skill number
  bool readOnly;              // permanently disabled, never read
  std::string_view key;       // its name in a configuration's text (choices: the group's value)
  std::string_view tab;       // the window's tab that shows it
  // How it reaches the game's script: "VERB VARIABLE VALUE" (with gap as
  // the blanks after the variable), a switch as "1" or "0", a choice as its
  // number while it is selected, a text as it stands; quoted or bare as its
  // form says, which is also the check its value gets. The script sets the
  // fields in the rising order of scriptOrder; 0: the script does not set it.
  int scriptOrder = 0;
  std::string_view verb = {};      // "set" (for this start only), "seta" (kept by the engine), or none
  std::string_view variable = {};  // the game's variable; more than one, by blanks: one line each
  ValueForm form = ValueForm::Quoted;
  std::string_view gap = " ";
  WhenOff whenOff = WhenOff::Value;  // governed texts: the line while the switch is off
  std::string_view offValue = {};    // WhenOff::Value: the value then
  // Set on the game's command line too ("+set VARIABLE VALUE"), as the
  // engine reads it before any script runs; a text only when it is enabled
  // and holds something.
  bool onCommandLine = false;
};

// Whether a value of the form stands bare in the script (else in double quotes).
bool isBare(ValueForm form);

// A choice group's key in a configuration's text ("game-type").
std::string_view groupKey(ChoiceGroup group);

std::span<const FieldSpec> fieldTable();
// The fields the script sets, in its order.
std::vector<const FieldSpec*> scriptFields();

// While it lives, fieldTable() is this table (a copy of the built-in one
// with a setting more, say): what a new setting reaches without another edit.
class FieldTableInUse {
 public:
  explicit FieldTableInUse(std::vector<FieldSpec> fields);
  ~FieldTableInUse();
  FieldTableInUse(const FieldTableInUse&) = delete;
  FieldTableInUse& operator=(const FieldTableInUse&) = delete;

 private:
  std::vector<FieldSpec> fields_;
  const std::vector<FieldSpec>* before_;
};
const FieldSpec& fieldSpec(std::string_view name);           // throws std::out_of_range for unknown names
const FieldSpec* governedText(std::string_view switchName);  // nullptr when the switch governs none

// The values of every setting. Start values on construction; changes obey the
// option groups and the enabling rules as a user's click would.
class ServerSettings {
 public:
  ServerSettings();

  const std::string& text(std::string_view name) const;
  void setText(std::string_view name, std::string value);

  bool isOn(std::string_view name) const;  // switch checked, or choice selected
  // Checks or unchecks a switch and applies its enabling rule.
  void setSwitch(std::string_view name, bool on);
  // Selects one option; the other options of its group are deselected.
  void select(std::string_view choiceName);
  const FieldSpec& selected(ChoiceGroup group) const;

  // A text is enabled exactly when its governing switch is checked.
  bool isEnabled(std::string_view textName) const;

  bool operator==(const ServerSettings&) const = default;

 private:
  std::size_t index(std::string_view name) const;
  std::vector<std::string> texts_;
  std::vector<bool> on_;
};

}  // namespace tarvex
