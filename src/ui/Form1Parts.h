#pragma once
// What the files of the main window (Form1.cpp and one file a tab) share:
// its colours and the small helpers its tabs use alike.

#include <QColor>
#include <QString>
#include <cstddef>
#include <string_view>

#include "ui/Layout.h"

namespace tarvex::form1 {

inline const QColor kRed(0xD0, 0x00, 0x00);
inline const QColor kBlue(0x00, 0x00, 0xE0);
inline const QColor kGreen(0x00, 0x80, 0x00);
// The property of a label whose text is centred on its top edge.
inline constexpr const char* kCentredTop = "tarvexCentredTop";
// A slot's description is its second line; this much of the file holds it.
inline constexpr std::size_t kDescriptionBytes = 64 * 1024;

// Names and captions of the settings table, which are plain ASCII.
inline QString latin1(std::string_view text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }

}  // namespace tarvex::form1
