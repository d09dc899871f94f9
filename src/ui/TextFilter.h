#pragma once
// What a text box of the window lets in, typed or pasted: one line (a paste
// keeps its text before the first line break, as the platform's single-line
// boxes do), characters of the game's code page, digits only where the
// setting says so, and at most the box's length when typing. A text put in
// by the program (a restored slot) stands as it is, whatever its length.

#include <QValidator>

class QLineEdit;

namespace tarvex {

class TextFilter : public QValidator {
 public:
  explicit TextFilter(QLineEdit* box, bool digitsOnly);
  State validate(QString& input, int& pos) const override;

  // Installs a filter on the box.
  static void install(QLineEdit* box, int maxLength, bool digitsOnly);

  // Puts a text into a box as it is, past the box's typing limit if need be.
  static void putText(QLineEdit* box, const QString& text);

 private:
  bool digitsOnly_;
};

}  // namespace tarvex
