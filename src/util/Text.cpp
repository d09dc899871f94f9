#include "util/Text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <iterator>

namespace tarvex {

std::optional<std::string_view> LineReader::next() {
  if (rest_.empty()) return std::nullopt;
  const std::size_t end = rest_.find_first_of("\r\n");
  const std::string_view line = rest_.substr(0, end);
  if (end == std::string_view::npos) {
    rest_ = {};
  } else {
    const bool crLf = rest_[end] == '\r' && end + 1 < rest_.size() && rest_[end + 1] == '\n';
    rest_.remove_prefix(end + (crLf ? 2 : 1));
  }
  return line;
}

std::vector<std::string_view> splitLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  LineReader reader(bytes);
  while (const auto line = reader.next()) lines.push_back(*line);
  return lines;
}

std::vector<std::string_view> splitWords(std::string_view text) {
  std::vector<std::string_view> words;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    if (end > at) words.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}
}  // namespace

std::optional<double> parseNumber(std::string_view text) {
  text = trimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.front() == '+' || text.front() == '-') return std::nullopt;
  // from_chars would accept "inf" and "nan"; only digits and one point are numbers here.
  bool digit = false;
  for (char c : text) {
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digit = true;
    } else if (c != '.') {
      return std::nullopt;
    }
  }
  if (!digit) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return negative ? -value : value;
}

std::optional<long> parseCount(std::string_view text) {
  text = trimBlanks(text);
  if (text.empty() || text.size() > 9) return std::nullopt;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

const char16_t kWindows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                       0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t windows1252Character(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : char16_t(byte);
}

int windows1252Byte(char32_t character) {
  if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) return int(character);
  const auto* at = std::find(std::begin(kWindows1252High), std::end(kWindows1252High), character);
  return at == std::end(kWindows1252High) ? -1 : 0x80 + int(at - std::begin(kWindows1252High));
}

std::string gameTextToUtf8(std::string_view bytes) {
  std::string utf8;
  for (unsigned char byte : bytes) {
    const char16_t c = windows1252Character(byte);
    if (c < 0x80) {
      utf8.push_back(char(c));
    } else if (c < 0x800) {
      utf8.push_back(char(0xC0 | (c >> 6)));
      utf8.push_back(char(0x80 | (c & 0x3F)));
    } else {
      utf8.push_back(char(0xE0 | (c >> 12)));
      utf8.push_back(char(0x80 | ((c >> 6) & 0x3F)));
      utf8.push_back(char(0x80 | (c & 0x3F)));
    }
  }
  return utf8;
}

namespace {
// The length of the well-formed UTF-8 sequence at the start (its lead byte at
// 0xC2 or above), 0 when there is none.
std::size_t utf8SequenceLength(std::string_view bytes) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  const std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
  if (length == 0 || bytes.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i)
    if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80) return 0;
  return length;
}
}  // namespace

std::optional<std::string> utf8ToGameText(std::string_view utf8) {
  std::string bytes;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      bytes.push_back(char(lead));
      ++i;
      continue;
    }
    const std::size_t length = utf8SequenceLength(utf8.substr(i));
    if (length == 0 || length == 4) return std::nullopt;  // beyond Windows-1252 either way
    char32_t c = lead & (length == 2 ? 0x1F : 0x0F);
    for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += length;
    const int byte = windows1252Byte(c);
    if (byte < 0) return std::nullopt;
    bytes.push_back(char(byte));
  }
  return bytes;
}

namespace {
// visibleText, and with utf8Only every byte that is not part of UTF-8 shown too.
std::string visible(std::string_view bytes, bool utf8Only) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  const auto shown = [&out](unsigned char byte) {
    out += "\\x";
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 0xF]);
  };
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x20 || byte == 0x7F) {
      shown(byte);
      continue;
    }
    if (byte < 0x80) {
      out.push_back(char(byte));
      continue;
    }
    const std::size_t length = utf8SequenceLength(bytes.substr(i));
    if (length == 2 && byte == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) <= 0x9F) {
      // A C1 control written in UTF-8.
      shown(byte);
      shown(static_cast<unsigned char>(bytes[++i]));
    } else if (length > 0) {
      out.append(bytes.substr(i, length));
      i += length - 1;
    } else if (byte <= 0x9F) {
      // A C1 control in single-byte text (0x9B starts a terminal's command).
      shown(byte);
    } else if (utf8Only) {
      shown(byte);
    } else {
      out.push_back(char(byte));  // a Latin-1 letter: shown as the terminal shows it
    }
  }
  return out;
}
}  // namespace

std::string visibleText(std::string_view bytes) { return visible(bytes, false); }

std::string visibleUtf8(std::string_view bytes) { return visible(bytes, true); }

std::string shortVisible(std::string_view text, std::size_t most) {
  if (text.size() <= most) return visibleText(text);
  return visibleText(utf8Prefix(text, most)) + "...";
}

std::string utf8Prefix(std::string_view utf8, std::size_t most) {
  if (utf8.size() <= most) return std::string(utf8);
  std::size_t end = most;
  // Back to the start of the character the cut would split.
  while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
  return std::string(utf8.substr(0, end));
}

std::string visibleLines(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    if (at > 0) out.push_back('\n');
    out += visibleText(text.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

void appendLine(std::string& out, std::string_view text) {
  out.append(text);
  out.append("\r\n");
}

std::string nameWithChecksum(std::string_view text, std::string_view whole, std::size_t most) {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (char c : whole) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  std::string name;
  for (char c : text) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (plain || !name.empty()) name.push_back(plain ? c : '_');
  }
  if (name.size() > most) name.erase(0, name.size() - most);
  static constexpr char kHex[] = "0123456789abcdef";
  name.push_back('-');
  for (int shift = 28; shift >= 0; shift -= 4) name.push_back(kHex[(hash >> shift) & 0xF]);
  return name;
}

namespace {
// ASCII alone, whatever the locale says of other bytes.
char lowerAsciiChar(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
}  // namespace

std::string lowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = lowerAsciiChar(c);
  return lower;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lowerAsciiChar(a[i]) != lowerAsciiChar(b[i])) return false;
  }
  return true;
}

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && equalsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace tarvex
