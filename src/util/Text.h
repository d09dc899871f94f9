#pragma once
// Byte-exact text helpers shared by every file format of Tarvex. Text is kept
// as bytes in the system's single-byte code page; nothing here converts it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// Splits file contents into lines the way the program has always read them:
// a line ends at CR LF or at a lone CR; a lone LF stays part of the line; a
// final terminator does not start a further line. The views point into bytes.
std::vector<std::string_view> splitLines(std::string_view bytes);

// Reads a decimal number the way the old reader's Val() did for a whole line:
// surrounding blanks, a sign and a fraction are allowed; anything else that is
// not part of one number makes the text "no number".
std::optional<double> parseNumber(std::string_view text);

// A count line: digits only (surrounding blanks tolerated), at most 9 digits.
std::optional<long> parseCount(std::string_view text);

// Appends text and a CR LF line end.
void appendLine(std::string& out, std::string_view text);

bool endsWithNoCase(std::string_view text, std::string_view suffix);
bool equalsNoCase(std::string_view a, std::string_view b);
std::string lowerAscii(std::string_view text);

}  // namespace tarvex
