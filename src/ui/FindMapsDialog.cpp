#include "ui/FindMapsDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/Convert.h"

namespace tarvex {

namespace {
constexpr int kPreview = 64;  // pixels of the picture column
}

FindMapsDialog::FindMapsDialog(const std::vector<MapChoice>& maps, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FindMapsDialog"));
  setWindowTitle(QStringLiteral("Find New Maps"));
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(
      QStringLiteral("These maps are in the game's folder but not in the map list. Tick the ones to add."), this);
  intro->setWordWrap(true);
  layout->addWidget(intro);

  table_ = new QTableWidget(int(maps.size()), 5, this);
  table_->setObjectName(QStringLiteral("FoundMaps"));
  table_->setAccessibleName(QStringLiteral("Maps found"));
  table_->setHorizontalHeaderLabels(
      {QStringLiteral("Map"), QStringLiteral("Caption"), QStringLiteral("Class"), QStringLiteral("Picture"),
       QStringLiteral("Archive")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(kPreview + 4);
  for (int row = 0; row < int(maps.size()); ++row) {
    const MapChoice& map = maps[std::size_t(row)];
    auto* name = new QTableWidgetItem(fromBytes(map.name));
    name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    name->setCheckState(Qt::Checked);
    table_->setItem(row, 0, name);
    table_->setItem(row, 1, new QTableWidgetItem(fromBytes(map.caption)));
    table_->setItem(row, 2, new QTableWidgetItem(map.ctf ? QStringLiteral("CTF") : QStringLiteral("HoloMatch")));
    QPixmap picture;
    if (!map.picture.empty() &&
        picture.loadFromData(reinterpret_cast<const uchar*>(map.picture.data()), uint(map.picture.size()), "JPEG")) {
      auto* preview = new QLabel;
      preview->setPixmap(picture.scaled(kPreview, kPreview, Qt::KeepAspectRatio, Qt::SmoothTransformation));
      table_->setCellWidget(row, 3, preview);
    } else {
      table_->setItem(row, 3, new QTableWidgetItem(QStringLiteral("none")));
    }
    table_->setItem(row, 4, new QTableWidgetItem(fromPathBytes(map.archive)));
  }
  table_->resizeColumnsToContents();
  table_->setColumnWidth(3, kPreview + 8);
  layout->addWidget(table_);

  auto* buttons = new QDialogButtonBox(this);
  auto* add = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole);
  add->setObjectName(QStringLiteral("Add"));
  buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("Cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(640, 420);
}

std::vector<bool> FindMapsDialog::chosen() const {
  std::vector<bool> result;
  for (int row = 0; row < table_->rowCount(); ++row) result.push_back(table_->item(row, 0)->checkState() == Qt::Checked);
  return result;
}

}  // namespace tarvex
