#include "ui/Form2.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>

#include "ui/Keyboard.h"
#include "ui/Layout.h"

namespace tarvex {

using layout::twips;

Form2::Form2(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Form2"));
  setFont(layout::windowFont());
  setFixedSize(twips(0, 0, 6285, 2760).size());
  path_ = layout::lineEdit(this, "Path", twips(1080, 240, 4335, 375));
  path_->setReadOnly(true);
  path_->setText(QStringLiteral("Text1"));
  auto* question = layout::label(
      this,
      QStringLiteral("Is the above path the correct location of your \"Star Trek Voyager Elite Force\" Game Folder?"),
      twips(480, 840, 5535, 735), QColor(), true, true);
  question->setObjectName(QStringLiteral("Label1"));
  QFont arial(QStringLiteral("Arial"), 12);
  arial.setBold(true);
  question->setFont(arial);
  question->setAlignment(Qt::AlignCenter);
  auto* yesButton = layout::button(this, "Yes", QStringLiteral("Yes"), twips(1680, 1680, 1095, 375));
  auto* noButton = layout::button(this, "No", QStringLiteral("No"), twips(3120, 1680, 1215, 375));
  auto* hint = layout::label(
      this, QStringLiteral("default instal path is:  \"C:\\Program Files\\Raven\\Star Trek Voyager Elite Force\\\""),
      twips(360, 2400, 5895, 255));
  hint->setObjectName(QStringLiteral("Label2"));
  // "Yes" to no folder would open a window with no game and no maps.
  connect(path_, &QLineEdit::textChanged, yesButton,
          [yesButton](const QString& text) { yesButton->setEnabled(!text.isEmpty()); });
  connect(yesButton, &QPushButton::clicked, this, &Form2::yes);
  connect(noButton, &QPushButton::clicked, this, &Form2::no);
  yes_ = yesButton;
  path_->setAccessibleName(QStringLiteral("Game folder"));
  keyboard::enterPressesButtons(this);
  layout::sizeLabels(this);
  if (const QScreen* screen = QApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void Form2::setPath(const QString& folder) { path_->setText(folder); }

void Form2::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void Form2::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // With no folder "Yes" is off: the focus goes to "No" then.
  if (yes_->isEnabled()) {
    yes_->setFocus();
  } else if (auto* no = findChild<QWidget*>(QStringLiteral("No"))) {
    no->setFocus();
  }
}

QString Form2::path() const { return path_->text(); }

}  // namespace tarvex
