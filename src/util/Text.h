#pragma once
// Byte-exact text helpers shared by every file format of Tarvex. Text is kept
// as bytes in the system's single-byte code page; nothing here converts it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// Reads file contents one line at a time: a line ends at CR LF, a lone CR or
// a lone LF (what a Linux editor writes); a final terminator does not start a
// further line. The views point into the bytes; nothing is copied, so a
// reader that stops early costs only what it read.
class LineReader {
 public:
  explicit LineReader(std::string_view bytes) : rest_(bytes) {}
  std::optional<std::string_view> next();
  bool atEnd() const { return rest_.empty(); }
  std::size_t remaining() const { return rest_.size(); }  // the bytes not read yet

 private:
  std::string_view rest_;
};

// All lines of the contents, as LineReader reads them.
std::vector<std::string_view> splitLines(std::string_view bytes);

// The words of a text, between single blanks.
std::vector<std::string_view> splitWords(std::string_view text);

// Reads a whole line as one decimal number, as hand-edited files write them:
// surrounding blanks, a sign and a fraction are allowed; anything else makes
// the text "no number", so a stray letter never passes for a zero.
std::optional<double> parseNumber(std::string_view text);

// A count line: digits only (surrounding blanks tolerated), at most 9 digits.
std::optional<long> parseCount(std::string_view text);

// Appends text and a CR LF line end.
void appendLine(std::string& out, std::string_view text);

// Windows-1252, the game's code page: the characters of the bytes 0x80 to
// 0x9F (the five it leaves undefined stand for the control characters of the
// same number, as Windows maps them); the other bytes are their own number.
extern const char16_t kWindows1252High[32];
char16_t windows1252Character(unsigned char byte);
// The other way: the byte of a character, -1 when the code page has none.
int windows1252Byte(char32_t character);

// The game's text (Windows-1252 bytes) as UTF-8, for JSON and terminals.
std::string gameTextToUtf8(std::string_view bytes);
// UTF-8 as the game's text; nullopt when it is not UTF-8 or holds a
// character Windows-1252 has not.
std::optional<std::string> utf8ToGameText(std::string_view utf8);

// Text that a file or a server gave, made safe to print to a terminal: every
// control character (tab and line breaks too, DEL, and the C1 controls as
// UTF-8 writes them, and 0x80 to 0x9F standing alone, as single-byte text
// holds them) is shown as \xHH, so that nothing read can move the cursor,
// retitle or clear the terminal, or start a line that looks like Tarvex's
// own. Other bytes pass unchanged.
std::string visibleText(std::string_view bytes);
// The same, and every byte that is not part of UTF-8 shown too: text for a
// reader that takes only UTF-8 (file names in tables, systemd's status).
std::string visibleUtf8(std::string_view bytes);
// At most `most` bytes of UTF-8 text, never cut inside a character.
std::string utf8Prefix(std::string_view utf8, std::size_t most);
// visibleText of at most the first `most` bytes, "..." marking a cut: a
// part of a line to quote in a message, however long the line.
std::string shortVisible(std::string_view text, std::size_t most = 60);
// The same for a text of several lines: its line feeds stay.
std::string visibleLines(std::string_view text);

// A file name made from a text: its last `most` letters and digits (from the
// first of them on, anything else as '_'), then '-' and a checksum of `whole`
// that tells apart what the letters alone would not ("night_quit-1a2b3c4d").
std::string nameWithChecksum(std::string_view text, std::string_view whole, std::size_t most);

bool endsWithNoCase(std::string_view text, std::string_view suffix);
bool equalsNoCase(std::string_view a, std::string_view b);
std::string lowerAscii(std::string_view text);

}  // namespace tarvex
