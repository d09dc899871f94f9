#include "ui/RotationModel.h"

#include "ui/Convert.h"

namespace tarvex {

int RotationModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(maps_.size()); }

QVariant RotationModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= int(maps_.size())) return {};
  if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) return fromBytes(maps_[std::size_t(index.row())]);
  return {};
}

void RotationModel::setMaps(std::vector<std::string> maps) {
  beginResetModel();
  maps_ = std::move(maps);
  endResetModel();
}

void RotationModel::append(const std::string& name) {
  const int row = int(maps_.size());
  beginInsertRows(QModelIndex(), row, row);
  maps_.push_back(name);
  endInsertRows();
}

void RotationModel::removeAt(int row) {
  if (row < 0 || row >= int(maps_.size())) return;
  beginRemoveRows(QModelIndex(), row, row);
  maps_.erase(maps_.begin() + row);
  endRemoveRows();
}

}  // namespace tarvex
