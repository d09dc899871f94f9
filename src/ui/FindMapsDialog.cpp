#include "ui/FindMapsDialog.h"

#include <QBuffer>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>
#include <chrono>

#include "platform/Processes.h"
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
  table_->setHorizontalHeaderLabels({QStringLiteral("Map"), QStringLiteral("Caption"), QStringLiteral("Class"),
                                     QStringLiteral("Picture"), QStringLiteral("Archive")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(kPreview + 4);
  table_->setIconSize(QSize(kPreview, kPreview));
  for (int row = 0; row < int(maps.size()); ++row) {
    const MapChoice& map = maps[std::size_t(row)];
    auto* name = new QTableWidgetItem(fromBytes(map.name));
    name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    name->setCheckState(Qt::Checked);
    table_->setItem(row, 0, name);
    table_->setItem(row, 1, new QTableWidgetItem(fromBytes(map.caption)));
    table_->setItem(row, 2, new QTableWidgetItem(map.ctf ? QStringLiteral("CTF") : QStringLiteral("HoloMatch")));
    table_->setItem(row, 3, new QTableWidgetItem(QString()));
    table_->setItem(row, 4, new QTableWidgetItem(fromPathBytes(map.archive)));
    if (!map.picture.empty()) showPicture(row, map.picture);
  }
  // Every column as wide as its texts; the caption takes what is left.
  // Measured in the font the dialog is shown in: a dialog's own font reaches
  // its children only when it is polished.
  ensurePolished();
  table_->resizeColumnsToContents();
  table_->setColumnWidth(3, kPreview + 8);
  table_->horizontalHeader()->setStretchLastSection(false);
  table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  layout->addWidget(table_, 1);

  progress_ = new QLabel(this);
  progress_->setObjectName(QStringLiteral("PictureProgress"));
  auto* buttons = new QDialogButtonBox(this);
  auto* all = buttons->addButton(QStringLiteral("Select All"), QDialogButtonBox::ActionRole);
  all->setObjectName(QStringLiteral("SelectAll"));
  auto* none = buttons->addButton(QStringLiteral("Select None"), QDialogButtonBox::ActionRole);
  none->setObjectName(QStringLiteral("SelectNone"));
  add_ = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole);
  add_->setObjectName(QStringLiteral("Add"));
  buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("Cancel"));
  const auto checkAll = [this](Qt::CheckState state) {
    for (int row = 0; row < table_->rowCount(); ++row) table_->item(row, 0)->setCheckState(state);
  };
  connect(all, &QPushButton::clicked, this, [checkAll] { checkAll(Qt::Checked); });
  connect(none, &QPushButton::clicked, this, [checkAll] { checkAll(Qt::Unchecked); });
  connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (item->column() == 0) countChosen();
  });
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(progress_, 1);
  bottom->addWidget(buttons);
  layout->addLayout(bottom);
  countChosen();

  // As wide as the columns want, as tall as the screen allows.
  int width = 40;
  for (int column = 0; column < table_->columnCount(); ++column) width += table_->columnWidth(column);
  QSize size(std::max(640, width), 420 + std::min(int(maps.size()), 12) * (kPreview + 4) / 2);
  if (const QScreen* screen = this->screen()) size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
  resize(size);
}

FindMapsDialog::~FindMapsDialog() { stopPictures(); }

void FindMapsDialog::stopPictures() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
}

void FindMapsDialog::makePictures(const PictureJob& job) {
  pictureJobDone_ = false;
  progress_->setText(QStringLiteral("Making the pictures..."));
  // The job hands each picture over to the window's thread as it is made.
  worker_ = std::thread([this, job] {
    platform::runBehindTheWindow();
    job([this](std::size_t index, const std::string& bytes) {
      handOver(std::pair(int(index), bytes));
      return !stop_.load();
    });
    handOver(std::nullopt);
  });
}

void FindMapsDialog::handOver(std::optional<std::pair<int, std::string>> made) {
  bool posted = false;
  {
    const std::lock_guard lock(handedMutex_);
    handed_.push_back(std::move(made));
    posted = std::exchange(showing_, true);
  }
  if (!posted)
    QMetaObject::invokeMethod(
        this, [this] { showHandedOver(); }, Qt::QueuedConnection);
}

void FindMapsDialog::showHandedOver() {
  constexpr auto kSlice = std::chrono::milliseconds(3);
  const auto until = std::chrono::steady_clock::now() + kSlice;
  while (std::chrono::steady_clock::now() < until) {
    std::optional<std::pair<int, std::string>> next;
    {
      const std::lock_guard lock(handedMutex_);
      if (handed_.empty()) {
        showing_ = false;
        return;
      }
      next = std::move(handed_.front());
      handed_.pop_front();
    }
    if (!next) {  // the job has ended: nothing comes after this
      {
        const std::lock_guard lock(handedMutex_);
        showing_ = false;
      }
      pictureJobEnded();
      return;
    }
    showPicture(next->first, next->second);
  }
  // The rest after the window's own events.
  QMetaObject::invokeMethod(
      this, [this] { showHandedOver(); }, Qt::QueuedConnection);
}

void FindMapsDialog::showPicture(int row, const std::string& bytes) {
  if (row < 0 || row >= table_->rowCount()) return;
  ++pictures_;
  // Decoded straight to the column's size (the JPEG reader's scaled decoding): a few of these are
  // shown between two of the window's events.
  QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "JPEG");
  if (QSize size = reader.size(); size.isValid()) {
    size.scale(kPreview, kPreview, Qt::KeepAspectRatio);
    reader.setScaledSize(size);
  }
  const QImage picture = bytes.empty() ? QImage() : reader.read();
  // The picture is the cell's decoration, drawn by the table as it paints
  // the rows in view: a widget in each cell made every layout of the table
  // place a thousand widgets.
  if (!picture.isNull()) {
    table_->item(row, 3)->setData(Qt::DecorationRole, QPixmap::fromImage(picture));
  } else {
    table_->item(row, 3)->setText(QStringLiteral("none"));
  }
  if (!pictureJobDone_) progress_->setText(QStringLiteral("Making the pictures: %1 done...").arg(pictures_));
}

void FindMapsDialog::pictureJobEnded() {
  pictureJobDone_ = true;
  if (worker_.joinable()) worker_.join();
  progress_->setText(QStringLiteral("%1 pictures made.").arg(pictures_));
  if (addWhenDone_) QDialog::done(Accepted);
  if (cancelWhenDone_) QDialog::done(Rejected);
}

void FindMapsDialog::done(int result) {
  // Add waits for the pictures, which go into the map list with the maps.
  if (result == Accepted && !pictureJobDone_) {
    addWhenDone_ = true;
    add_->setEnabled(false);
    progress_->setText(progress_->text() + QStringLiteral(" The maps are added when the pictures are made."));
    return;
  }
  // Cancel stops the job after its picture in hand; the window goes on
  // meanwhile, and the dialog closes when the job has ended.
  if (result != Accepted && !pictureJobDone_) {
    stop_ = true;
    cancelWhenDone_ = true;
    addWhenDone_ = false;
    add_->setEnabled(false);
    progress_->setText(QStringLiteral("Stopping..."));
    return;
  }
  stopPictures();
  QDialog::done(result);
}

void FindMapsDialog::countChosen() {
  int count = 0;
  for (int row = 0; row < table_->rowCount(); ++row) count += table_->item(row, 0)->checkState() == Qt::Checked;
  add_->setText(count == 0 ? QStringLiteral("Add") : QStringLiteral("Add %1").arg(count));
  add_->setEnabled(count > 0 && !addWhenDone_);
  add_->setAccessibleName(QStringLiteral("Add %1 maps").arg(count));
}

std::vector<bool> FindMapsDialog::chosen() const {
  std::vector<bool> result;
  for (int row = 0; row < table_->rowCount(); ++row)
    result.push_back(table_->item(row, 0)->checkState() == Qt::Checked);
  return result;
}

}  // namespace tarvex
