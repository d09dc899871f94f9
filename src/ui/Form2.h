#pragma once
// The game-folder dialog: shows the folder that was found and asks whether
// it is the game's.

#include <QWidget>

class QLineEdit;
class QKeyEvent;
class QShowEvent;

namespace tarvex {

class Form2 : public QWidget {
  Q_OBJECT
 public:
  explicit Form2(QWidget* parent = nullptr);
  void setPath(const QString& folder);
  QString path() const;

 signals:
  void yes();
  void no();

 protected:
  void keyPressEvent(QKeyEvent* event) override;  // Escape closes, as the close box does
  void showEvent(QShowEvent* event) override;     // the focus starts on "Yes"

 private:
  QLineEdit* path_;
  QWidget* yes_;
};

}  // namespace tarvex
