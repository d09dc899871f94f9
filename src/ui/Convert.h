#pragma once
// The one place where the core's bytes become display text and back.
//
// Texts that reach the game (settings, map names, save files) are bytes in the
// Windows code page the game reads them in: on Windows the system's ANSI code
// page, on Linux Windows-1252 (the game's under Wine), so that a save file
// from a Windows host restores unchanged and every character of that code
// page round-trips. Paths are bytes of the local file system: the ANSI code
// page on Windows, UTF-8 elsewhere.

#include <QString>
#include <filesystem>
#include <string>

#include "platform/CodePage.h"

namespace tarvex {

QString fromBytes(const std::string& bytes);
std::string toBytes(const QString& text);
// True when the game's code page holds the character (text boxes refuse others).
bool isGameCharacter(QChar character);

inline QString fromPathBytes(const std::string& bytes) {
  return QString::fromLocal8Bit(bytes.data(), qsizetype(bytes.size()));
}

inline std::string toPathBytes(const QString& text) { return text.toLocal8Bit().toStdString(); }

inline QString toQString(const std::filesystem::path& path) {
  if constexpr (platform::kWidePaths) return QString::fromStdWString(path.wstring());
  return QString::fromLocal8Bit(path.string());
}

}  // namespace tarvex
