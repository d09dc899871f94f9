#pragma once
// The one place where the core's bytes (the system's code page) become
// display text and back.

#include <QString>
#include <string>

namespace tarvex {
inline QString fromBytes(const std::string& bytes) { return QString::fromLocal8Bit(bytes.data(), qsizetype(bytes.size())); }
inline std::string toBytes(const QString& text) { return text.toLocal8Bit().toStdString(); }
}  // namespace tarvex
