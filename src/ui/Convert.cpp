#include "ui/Convert.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace tarvex {

#ifdef _WIN32
QString fromBytes(const std::string& bytes) { return QString::fromLocal8Bit(bytes.data(), qsizetype(bytes.size())); }

std::string toBytes(const QString& text) { return text.toLocal8Bit().toStdString(); }

bool isGameCharacter(QChar character) {
  const wchar_t wide = wchar_t(character.unicode());
  char byte[8];
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &wide, 1, byte, sizeof byte, nullptr, &usedDefault);
  return n == 1 && !usedDefault;
}
#else
namespace {
// Windows-1252's bytes 0x80 to 0x9F; the five it leaves undefined stand for
// the control characters of the same number, as Windows maps them.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int byteOf(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
  for (int i = 0; i < 32; ++i)
    if (kHighControls[i] == c) return 0x80 + i;
  return -1;
}
}  // namespace

QString fromBytes(const std::string& bytes) {
  QString text(qsizetype(bytes.size()), Qt::Uninitialized);
  QChar* out = text.data();
  for (unsigned char c : bytes) *out++ = QChar(c >= 0x80 && c < 0xA0 ? kHighControls[c - 0x80] : char16_t(c));
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
