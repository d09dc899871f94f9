#pragma once
// The rotation as the list "SelectedMaps" shows it: the names stay the core's
// bytes, and only the rows in view are turned into display text, so a slot
// with a million entries loads, shuffles and shows at once.

#include <QAbstractListModel>
#include <string>
#include <vector>

namespace tarvex {

class RotationModel : public QAbstractListModel {
  Q_OBJECT
 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  const std::vector<std::string>& maps() const { return maps_; }
  void setMaps(std::vector<std::string> maps);
  void append(const std::string& name);
  void removeAt(int row);

 private:
  std::vector<std::string> maps_;
};

}  // namespace tarvex
