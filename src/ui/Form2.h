#pragma once
// The game-folder dialog: shows the folder that was found and asks whether
// it is the game's.

#include <QWidget>

class QLineEdit;

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

 private:
  QLineEdit* path_;
};

}  // namespace tarvex
