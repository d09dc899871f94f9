#pragma once
// The one place where the core's bytes become display text and back.
//
// Texts that reach the game (settings, map names, save files) are bytes in the
// Windows code page the game reads them in; on Linux, Latin-1 stands in for
// it, so that a save file from a Windows host restores unchanged. Paths are
// bytes of the local file system: the ANSI code page on Windows, UTF-8 elsewhere.

#include <QString>
#include <filesystem>
#include <string>

namespace tarvex {

inline QString fromBytes(const std::string& bytes) {
#ifdef _WIN32
  return QString::fromLocal8Bit(bytes.data(), qsizetype(bytes.size()));
#else
  return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
#endif
}

inline std::string toBytes(const QString& text) {
#ifdef _WIN32
  return text.toLocal8Bit().toStdString();
#else
  return text.toLatin1().toStdString();
#endif
}

inline QString fromPathBytes(const std::string& bytes) {
  return QString::fromLocal8Bit(bytes.data(), qsizetype(bytes.size()));
}

inline std::string toPathBytes(const QString& text) { return text.toLocal8Bit().toStdString(); }

inline QString toQString(const std::filesystem::path& path) {
#ifdef _WIN32
  return QString::fromStdWString(path.wstring());
#else
  return QString::fromLocal8Bit(path.string());
#endif
}

}  // namespace tarvex
