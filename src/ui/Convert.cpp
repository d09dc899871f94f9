#include "ui/Convert.h"

#include "platform/CodePage.h"

namespace tarvex {

QString fromBytes(const std::string& bytes) { return QString::fromStdU16String(platform::fromGameBytes(bytes)); }

std::string toBytes(const QString& text) { return platform::toGameBytes(text.toStdU16String()); }

bool isGameCharacter(QChar character) { return platform::isGameCharacter(character.unicode()); }

}  // namespace tarvex
