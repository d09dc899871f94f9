#include "platform/WineRegistry.h"

#include <cctype>

#include "platform/Files.h"
#include "util/Text.h"

namespace tarvex {

namespace {

void appendUtf8(std::string& out, unsigned codePoint) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes a Wine-escaped string starting after its opening quote, up to the
// closing one (or to `end` for key paths). Returns the position after it.
std::size_t unescape(std::string_view text, std::size_t i, char end, std::string& out) {
  while (i < text.size() && text[i] != end) {
    char c = text[i++];
    if (c != '\\' || i >= text.size()) {
      out.push_back(c);
      continue;
    }
    c = text[i++];
    switch (c) {
      case 'a':
        out.push_back('\a');
        break;
      case 'b':
        out.push_back('\b');
        break;
      case 'e':
        out.push_back('\x1b');
        break;
      case 'f':
        out.push_back('\f');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'v':
        out.push_back('\v');
        break;
      case 'x': {
        unsigned value = 0;
        int digits = 0;
        while (digits < 4 && i < text.size() && hexValue(text[i]) >= 0) {
          value = value * 16 + static_cast<unsigned>(hexValue(text[i++]));
          ++digits;
        }
        appendUtf8(out, value);
        break;
      }
      default:
        if (c >= '0' && c <= '7') {
          unsigned value = static_cast<unsigned>(c - '0');
          for (int digits = 1; digits < 3 && i < text.size() && text[i] >= '0' && text[i] <= '7'; ++digits)
            value = value * 8 + static_cast<unsigned>(text[i++] - '0');
          appendUtf8(out, value);
        } else {
          out.push_back(c);  // \\ and \" and anything unknown stand for themselves
        }
    }
  }
  return i < text.size() ? i + 1 : i;
}

std::string_view nextLine(std::string_view text, std::size_t& position) {
  const std::size_t start = position;
  std::size_t end = text.find('\n', start);
  if (end == std::string_view::npos) end = text.size();
  position = end + 1;
  std::string_view line = text.substr(start, end - start);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace

std::optional<std::string> findWineRegistryValue(std::string_view text, std::string_view keyPath,
                                                 std::string_view valueName) {
  bool inKey = false;
  for (std::size_t position = 0; position < text.size();) {
    const std::string_view line = nextLine(text, position);
    if (line.empty()) continue;
    if (line.front() == '[') {
      std::string key;
      unescape(line, 1, ']', key);
      inKey = equalsNoCase(key, keyPath);
      continue;
    }
    if (!inKey) continue;
    std::string name;
    std::size_t i = 0;
    if (line.front() == '@') {
      i = 1;
    } else if (line.front() == '"') {
      i = unescape(line, 1, '"', name);
    } else {
      continue;
    }
    if (i >= line.size() || line[i] != '=' || !equalsNoCase(name, valueName)) continue;
    const std::string_view data = line.substr(i + 1);
    if (!data.empty() && data.front() == '"') {
      std::string value;
      unescape(data, 1, '"', value);
      return value;
    }
    if (data.starts_with("dword:") && data.size() > 6) {
      unsigned long value = 0;
      for (char c : data.substr(6)) {
        if (hexValue(c) < 0) return std::nullopt;
        value = (value << 4) | static_cast<unsigned long>(hexValue(c));
      }
      return std::to_string(value & 0xFFFFFFFFUL);
    }
    return std::nullopt;
  }
  return std::nullopt;
}

std::string mapWindowsPathToPrefix(const std::filesystem::path& prefix, std::string_view windowsPath) {
  if (windowsPath.size() < 2 || windowsPath[1] != ':' || !std::isalpha(static_cast<unsigned char>(windowsPath[0])))
    return std::string(windowsPath);
  const char drive = static_cast<char>(std::tolower(static_cast<unsigned char>(windowsPath[0])));
  std::filesystem::path root = prefix / "dosdevices" / (std::string(1, drive) + ":");
  std::error_code ec;
  if (!std::filesystem::exists(root, ec)) root = prefix / ("drive_" + std::string(1, drive));
  std::string_view rest = windowsPath.substr(2);
  if (auto found = resolveNoCase(root, rest)) return found->string();
  // Not there (yet): join it as written, so the caller's messages name a real place.
  std::string joined = root.string();
  for (char c : rest) joined.push_back(c == '\\' ? '/' : c);
  return joined;
}

}  // namespace tarvex
