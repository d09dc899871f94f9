#pragma once
// The main window's "Advanced" page: network, memory, downloads, the log,
// master servers, and the game folder with its two buttons.

#include "ui/Tab.h"

class QLineEdit;

namespace tarvex {

class AdvancedTab : public Tab {
  Q_OBJECT
 public:
  using Tab::Tab;
  void build() override;
  void showGameFolder(const QString& folder);

 signals:
  void refindRequested();
  void findMapsRequested();

 private:
  QLineEdit* pathText_ = nullptr;
};

}  // namespace tarvex
