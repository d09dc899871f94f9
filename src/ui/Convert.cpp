#include "ui/Convert.h"

#include "util/Text.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace tarvex {

#ifdef _WIN32
// The system's ANSI code page, byte for byte: every byte (a NUL too) is one
// character and comes back as itself.
QString fromBytes(const std::string& bytes) {
  if (bytes.empty()) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), nullptr, 0);
  std::wstring wide(std::size_t(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), wide.data(), n);
  return QString::fromStdWString(wide);
}

std::string toBytes(const QString& text) {
  if (text.isEmpty()) return {};
  const std::wstring wide = text.toStdWString();
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(std::size_t(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), bytes.data(), n, nullptr, nullptr);
  return bytes;
}

bool isGameCharacter(QChar character) {
  const wchar_t wide = wchar_t(character.unicode());
  char byte[8];
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &wide, 1, byte, sizeof byte, nullptr, &usedDefault);
  return n == 1 && !usedDefault;
}
#else
namespace {
int byteOf(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
  for (int i = 0; i < 32; ++i)
    if (kWindows1252High[i] == c) return 0x80 + i;
  return -1;
}
}  // namespace

QString fromBytes(const std::string& bytes) {
  QString text(qsizetype(bytes.size()), Qt::Uninitialized);
  QChar* out = text.data();
  for (unsigned char c : bytes) *out++ = QChar(windows1252Character(c));
  return text;
}

std::string toBytes(const QString& text) {
  std::string bytes;
  bytes.reserve(std::size_t(text.size()));
  for (QChar c : text) {
    const int byte = byteOf(c.unicode());
    bytes.push_back(char(byte < 0 ? '?' : byte));  // the text boxes let no such character in
  }
  return bytes;
}

bool isGameCharacter(QChar character) { return byteOf(character.unicode()) >= 0; }
#endif

}  // namespace tarvex
