#pragma once
// Whether a running server holds what its configuration sets: every variable
// the script sets, read back through the remote console and compared with
// the value the script gives it.

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "config/ServerSettings.h"
#include "util/Problem.h"

namespace tarvex {

// The variables of the engine's "cvarlist" answer (lines of flags, the name
// and the quoted value, then "N total cvars"), by lower-case name; complete
// when the count closing it is there and matches, so that a variable not
// listed is one the engine does not know. A variable flagged "?" was made by
// a script alone: neither the engine nor the game reads it.
struct VariableList {
  std::map<std::string, std::string> values;
  std::set<std::string> unread;
  bool complete = false;
};
VariableList parseVariableList(std::string_view answer);

// The value in the engine's answer to a variable's name ("NAME" is:"VALUE^7"
// default:"..."); nullopt when the answer is not of that variable (the
// engine does not know it).
std::optional<std::string> parseVariableAnswer(std::string_view answer, std::string_view variable);

struct CheckedSetting {
  const FieldSpec* field;
  std::string variable;
  std::string slotValue;
  std::string serverValue;  // empty for a variable the server does not know
};

struct Verification {
  int compared = 0;  // variables the server knows
  std::vector<CheckedSetting> differences;
  std::vector<CheckedSetting> unknown;
};

// One remote console command: its answer, or why none came.
using AskConsole = std::function<Result<std::string>(const std::string& command)>;

// Reads back every variable the script sets a value (not a reset) with one
// "cvarlist", asking by name for those it did not list where the list came
// incomplete. A failure when the server could not be asked.
Result<Verification> verifySettings(const ServerSettings& settings, const AskConsole& ask);

// Whether the field's value is a secret (a password), shown as hidden.
bool isSecret(const FieldSpec& field);

}  // namespace tarvex
