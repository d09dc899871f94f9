#pragma once
// "Find New Maps": the maps found in the game's folder, one row each with a
// check box (all checked), name, caption, class, picture and archive; "Add"
// takes the checked ones.

#include <QDialog>
#include <vector>

#include "services/Services.h"

class QTableWidget;

namespace tarvex {

class FindMapsDialog : public QDialog {
  Q_OBJECT
 public:
  FindMapsDialog(const std::vector<MapChoice>& maps, QWidget* parent = nullptr);
  std::vector<bool> chosen() const;  // per map, in the order given

 private:
  QTableWidget* table_;
};

}  // namespace tarvex
