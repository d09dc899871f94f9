#include "util/GameText.h"

namespace tarvex {

namespace {
bool isControl(unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7F; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Outside quotes the engine ends a command at '//' (a comment to the line's
// end) and at '/*' ... '*/' (what follows the comment runs as a new command).
std::string commentProblem(std::string_view value) {
  if (value.find("//") != std::string_view::npos) return "a comment mark (//)";
  if (value.find("/*") != std::string_view::npos || value.find("*/") != std::string_view::npos)
    return "a comment mark (/* or */)";
  return {};
}

}  // namespace

bool holdsLineBreak(std::string_view value) { return value.find_first_of("\r\n") != std::string_view::npos; }

Problem gameValueProblem(std::string_view value, ValueForm form) {
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
    case ValueForm::ConsolePassword: {
      if (value.find('"') != std::string_view::npos) return "a double quote (\")";
      // The remote console reads the password as a word, which ends at a comment mark.
      if (value.find("//") != std::string_view::npos) return "a comment mark (//)";
      if (value.find("/*") != std::string_view::npos) return "a comment mark (/*)";
      return {};
    }
    case ValueForm::Raw:
      if (value.find('"') != std::string_view::npos) return "a double quote (\")";
      if (value.find(';') != std::string_view::npos) return "a semicolon (;)";
      return commentProblem(value);
  }
  return {};
}

}  // namespace tarvex
