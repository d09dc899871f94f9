#include "ui/TextFilter.h"

#include <QLineEdit>

#include "ui/Convert.h"

namespace tarvex {

namespace {
constexpr int kNoLimit = 32767;
}

TextFilter::TextFilter(QLineEdit* box, bool digitsOnly) : QValidator(box), digitsOnly_(digitsOnly) {}

void TextFilter::install(QLineEdit* box, int maxLength, bool digitsOnly) {
  box->setValidator(new TextFilter(box, digitsOnly));
  // Typing stops at the limit; a longer text the program put in stays whole
  // and may be shortened (the limit never falls below the text's length).
  const int limit = maxLength > 0 ? maxLength : kNoLimit;
  box->setMaxLength(limit);
  connect(box, &QLineEdit::textChanged, box,
          [box, limit](const QString& text) { box->setMaxLength(std::max(limit, int(text.size()))); });
}

void TextFilter::putText(QLineEdit* box, const QString& text) {
  if (text.size() > box->maxLength()) box->setMaxLength(int(text.size()));
  box->setText(text);
}

QValidator::State TextFilter::validate(QString& input, int& pos) const {
  // A pasted line break ends the paste: what it brought after the break goes,
  // the box's own text after the cursor stays.
  const auto lineBreak = [&input](qsizetype from) {
    const qsizetype cr = input.indexOf(QLatin1Char('\r'), from);
    const qsizetype lf = input.indexOf(QLatin1Char('\n'), from);
    return cr < 0 ? lf : (lf < 0 ? cr : std::min(cr, lf));
  };
  if (qsizetype at = lineBreak(0); at >= 0) {
    if (at < pos) {
      input.remove(at, pos - at);
      pos = int(at);
    }
    while ((at = lineBreak(0)) >= 0) input.truncate(at);
    pos = std::min(pos, int(input.size()));
  }
  for (QChar c : input) {
    if (!isGameCharacter(c)) return Invalid;
    if (digitsOnly_ && (c < QLatin1Char('0') || c > QLatin1Char('9'))) return Invalid;
  }
  return Acceptable;
}

}  // namespace tarvex
