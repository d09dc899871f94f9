#include "ui/MapsTab.h"

#include <QAbstractItemView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>

#include "maps/MapDiscovery.h"
#include "maps/MapLimits.h"
#include "platform/Files.h"
#include "services/Services.h"
#include "startup/GameFolder.h"
#include "ui/Convert.h"
#include "ui/Layout.h"
#include "ui/RotationModel.h"
#include "ui/SettingControls.h"
#include "ui/TextFilter.h"

namespace tarvex {

using layout::page;
using layout::twips;
using namespace form1;

QLineEdit* MapsTab::limitBox(const char* name, QWidget* parent, QRect rect, const QString& text) {
  auto* edit = layout::lineEdit(parent, name, rect);
  TextFilter::install(edit, 3, true);
  edit->setText(text);
  return edit;
}

void MapsTab::build() {
  QWidget* tab = this;
  layout::label(tab, QStringLiteral("Map List"), page(1155, 495, 0, 0), QColor(), true);
  loadedMaps_ = new QListWidget(tab);
  loadedMaps_->setObjectName(QStringLiteral("LoadedMaps"));
  loadedMaps_->setUniformItemSizes(true);
  loadedMaps_->setGeometry(page(840, 750, 1695, 2985));
  layout::label(tab, QStringLiteral("Selected Maps"), page(6840, 540, 0, 0), kRed, true);
  rotation_ = new RotationModel(this);
  selectedMaps_ = new QListView(tab);
  selectedMaps_->setModel(rotation_);
  selectedMaps_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  selectedMaps_->setObjectName(QStringLiteral("SelectedMaps"));
  // Every entry is one line of the same font: the list lays out any number of
  // them without measuring each.
  selectedMaps_->setUniformItemSizes(true);
  selectedMaps_->setGeometry(page(6720, 810, 1695, 2985));

  mapPictures_ = new QLabel(tab);
  mapPictures_->setObjectName(QStringLiteral("MapPictures"));
  mapPictures_->setGeometry(page(3450, 735, 2295, 2295));
  mapPictures_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  mapPictures_->setFrameShape(QFrame::Panel);
  mapPictures_->setFrameShadow(QFrame::Sunken);  // the emblem comes when the page is first shown

  auto* add = layout::button(tab, "b_add_map", QStringLiteral(">>"), page(2760, 1890, 375, 360));
  layout::label(tab, QStringLiteral("ADD"), page(2790, 2280, 0, 0), kGreen, true);
  auto* remove = layout::button(tab, "b_del_map", QStringLiteral("<<"), page(6075, 1890, 375, 375));
  layout::label(tab, QStringLiteral("REMOVE"), page(5940, 2280, 0, 0), kRed, true);

  mapText_ = layout::lineEdit(tab, "MapText", page(3165, 3060, 2895, 375));
  mapText_->setReadOnly(true);
  mapText2_ = layout::lineEdit(tab, "MapText2", page(3165, 3435, 2895, 375));
  mapText2_->setReadOnly(true);

  auto* bulk = layout::frame(tab, "Frame3", QString(), page(75, 3825, 9090, 615));
  const struct {
    const char* name;
    const char* caption;
  } bulkButtons[] = {{"Add_DM", "All HoloMatch"},
                     {"ALLCTFMaps", "All CTF Maps"},
                     {"AllMaps", "ALL Maps"},
                     {"CLEAR", "Clear All Maps"},
                     {"Random", "Randomize!"}};
  QPushButton* bulkButton[5];
  for (int i = 0; i < 5; ++i)
    bulkButton[i] = layout::button(bulk, bulkButtons[i].name, QString::fromLatin1(bulkButtons[i].caption),
                                   twips(150 + i * 1785, 165, 1635, 360));

  auto* custom = layout::frame(tab, "cutsom", QStringLiteral("Customize Individual Maps"), page(240, 4575, 5280, 1560));
  layout::label(custom, QStringLiteral("Map Name"), twips(120, 270, 0, 0), QColor(), true);
  layout::label(custom, QStringLiteral("Frag Limit"), twips(2040, 270, 0, 0), QColor(), true);
  layout::label(custom, QStringLiteral("Time Limit"), twips(3000, 270, 0, 0), QColor(), true);
  layout::label(custom, QStringLiteral("Capture Limit"), twips(3960, 270, 0, 0), QColor(), true);
  optionsMapName_ = layout::lineEdit(custom, "Options_Map_Name", twips(120, 510, 1815, 315));
  optionsMapName_->setReadOnly(true);
  QPalette grey = optionsMapName_->palette();
  grey.setColor(QPalette::Base, QColor(0xc8, 0xc8, 0xc8));
  optionsMapName_->setPalette(grey);
  customFrag_ = limitBox("Custom_Frag_limit", custom, twips(2040, 510, 855, 315), QString());
  customTime_ = limitBox("Custom_Time_Limit", custom, twips(3000, 510, 855, 315), QString());
  customCapture_ = limitBox("Custom_Capture_Limit", custom, twips(3960, 510, 1095, 315), QString());
  auto* change = layout::button(custom, "Set_Custom", QStringLiteral("Change!"), twips(2040, 900, 1215, 330));
  layout::label(custom, QStringLiteral("To select maps for change, click on them......"), twips(120, 1260, 0, 0));
  // Enter in a limit of the shown map changes it, as the button does.
  for (QLineEdit* box : {customFrag_, customTime_, customCapture_})
    connect(box, &QLineEdit::returnPressed, change, &QPushButton::click);

  auto* defaults = layout::frame(tab, "defaults", QStringLiteral("Defaults"), page(5640, 4560, 3360, 1575), true, kRed);
  layout::label(defaults, QStringLiteral("Frag Limit"), twips(120, 270, 0, 0), QColor(), true);
  layout::label(defaults, QStringLiteral("Time Limit"), twips(1200, 270, 0, 0), QColor(), true);
  layout::label(defaults, QStringLiteral("Capture Limit"), twips(2160, 270, 0, 0), QColor(), true);
  genericFrag_ = limitBox("Generic_Frag_Limit", defaults, twips(120, 510, 855, 315), QStringLiteral("10"));
  genericTime_ = limitBox("Generic_Time_Limit", defaults, twips(1200, 510, 855, 315), QStringLiteral("0"));
  genericCapture_ = limitBox("Generic_Capture_Limit", defaults, twips(2280, 510, 855, 315), QStringLiteral("5"));
  auto* setDefaults =
      layout::button(defaults, "Set_Generic", QStringLiteral("Set Defaults!"), twips(120, 900, 1455, 330));
  layout::label(defaults, QStringLiteral("Warning : "), twips(1700, 945, 0, 0), kRed, true);
  layout::label(defaults, QStringLiteral("Resets all maps"), twips(1700, 1200, 0, 0), kRed);

  connect(add, &QPushButton::clicked, this, &MapsTab::addSelectedMap);
  connect(loadedMaps_, &QListWidget::itemDoubleClicked, this, [this] { addSelectedMap(); });
  connect(remove, &QPushButton::clicked, this, [this] { removeSelectedEntry(5); });
  connect(selectedMaps_, &QListView::doubleClicked, this, [this] { removeSelectedEntry(2); });
  connect(loadedMaps_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { showMap(item->text()); });
  connect(selectedMaps_, &QListView::clicked, this,
          [this](const QModelIndex& index) { showMap(index.data().toString()); });
  connect(bulkButton[0], &QPushButton::clicked, this, [this] { replaceRotation(MapClass::HoloMatch); });
  connect(bulkButton[1], &QPushButton::clicked, this, [this] { replaceRotation(MapClass::Ctf); });
  connect(bulkButton[2], &QPushButton::clicked, this, [this] { replaceRotation(MapClass::All); });
  connect(bulkButton[3], &QPushButton::clicked, this, [this] {
    sound(1);
    rotation_->setMaps({});
  });
  connect(bulkButton[4], &QPushButton::clicked, this, [this] {
    sound(1);
    Rotation shuffled = rotation();
    shuffleRotation(shuffled);
    rotation_->setMaps(shuffled.maps);
  });
  connect(change, &QPushButton::clicked, this, &MapsTab::storeCustomLimits);
  connect(setDefaults, &QPushButton::clicked, this, &MapsTab::applyGenericLimits);

  loadedMaps_->installEventFilter(this);
  selectedMaps_->installEventFilter(this);
  // A map chosen with the arrow keys shows as a clicked one does; not the
  // entry that moves up into a removed one's place.
  connect(loadedMaps_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* current) {
    if (current && loadedMaps_->hasFocus()) showMap(current->text());
  });
  connect(selectedMaps_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid() && !removingEntry_ && selectedMaps_->hasFocus()) showMap(current.data().toString());
          });
  nameForScreenReaders({{"LoadedMaps", "Map List"},
                        {"SelectedMaps", "Selected Maps"},
                        {"b_add_map", "Add map to rotation"},
                        {"b_del_map", "Remove map from rotation"},
                        {"MapText", "Map caption"},
                        {"MapText2", "Map caption, second line"},
                        {"Options_Map_Name", "Map Name"},
                        {"Custom_Frag_limit", "Frag Limit of this map"},
                        {"Custom_Time_Limit", "Time Limit of this map"},
                        {"Custom_Capture_Limit", "Capture Limit of this map"},
                        {"Generic_Frag_Limit", "Default Frag Limit"},
                        {"Generic_Time_Limit", "Default Time Limit"},
                        {"Generic_Capture_Limit", "Default Capture Limit"},
                        {"Frame3", "Rotation"}});
}

QList<QWidget*> MapsTab::tabChain() {
  QList<QWidget*> chain;
  for (const char* name : {"LoadedMaps",
                           "b_add_map",
                           "SelectedMaps",
                           "b_del_map",
                           "MapText",
                           "MapText2",
                           "Add_DM",
                           "ALLCTFMaps",
                           "AllMaps",
                           "CLEAR",
                           "Random",
                           "Options_Map_Name",
                           "Custom_Frag_limit",
                           "Custom_Time_Limit",
                           "Custom_Capture_Limit",
                           "Set_Custom",
                           "Generic_Frag_Limit",
                           "Generic_Time_Limit",
                           "Generic_Capture_Limit",
                           "Set_Generic"})
    chain.append(findChild<QWidget*>(QString::fromLatin1(name)));
  return chain;
}

bool MapsTab::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    // Enter adds the map as a double-click does; Delete takes the entry off the rotation.
    if (watched == loadedMaps_ && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
      addSelectedMap();
      return true;
    }
    if (watched == selectedMaps_ && key == Qt::Key_Delete) {
      removeSelectedEntry(2);
      return true;
    }
  }
  return Tab::eventFilter(watched, event);
}

void MapsTab::prepared() {
  if (mapPictures_ && mapPictures_->pixmap().isNull())
    mapPictures_->setPixmap(layout::builtInPicture(QStringLiteral(":/tarvex/emblem.ppm")));
}

// ---- rotation ----

Rotation MapsTab::rotation() const { return {rotation_->maps(), addedMapCount_}; }

void MapsTab::setCatalogue(MapCatalogue catalogue) {
  catalogue_ = std::move(catalogue);
  addedMapCount_ = 0;
  setAllLimits(catalogue_, {kDefaultFragLimit, kDefaultTimeLimit, kDefaultCaptureLimit});
}

void MapsTab::showInstalledMaps(const std::vector<std::string>& maps) {
  loadedMaps_->clear();
  for (const auto& name : maps) loadedMaps_->addItem(fromBytes(name));
}

void MapsTab::restore(const std::vector<std::string>& rotation, MapCatalogue catalogue) {
  rotation_->setMaps(rotation);
  catalogue_ = std::move(catalogue);
  // The shown map's boxes show its restored limits, so "Change!" cannot write old ones back.
  showShownMapLimits();
  genericFrag_->clear();
  genericTime_->clear();
  genericCapture_->clear();
}

void MapsTab::addSelectedMap() {
  const QListWidgetItem* item = loadedMaps_->currentItem();
  const std::string name = item && item->isSelected() ? toBytes(item->text()) : std::string();
  Rotation rotation{{}, addedMapCount_};
  const bool ctf = context_.controls.isChecked("Game_CTF");
  switch (addSingleMap(rotation, catalogue_, name, ctf)) {
    case AddOutcome::NothingSelected:
      return;
    case AddOutcome::TooMany:
      services().message(kTooManyMessage);
      return;
    case AddOutcome::RefusedForCtf:
      services().message(kCtfRefusedMessage);
      sound(4);
      return;
    case AddOutcome::Added:
      addedMapCount_ = rotation.addedMapCount;
      rotation_->append(name);
      sound(4);
      return;
  }
}

void MapsTab::removeSelectedEntry(int soundNumber) {
  const QModelIndex current = selectedMaps_->currentIndex();
  if (!current.isValid() || !selectedMaps_->selectionModel()->isSelected(current)) return;
  removingEntry_ = true;
  rotation_->removeAt(current.row());
  selectedMaps_->setCurrentIndex(QModelIndex());
  removingEntry_ = false;
  selectedMaps_->clearSelection();
  sound(soundNumber);
}

void MapsTab::replaceRotation(MapClass mapClass) {
  sound(1);
  Rotation rotation;
  replaceWithClass(rotation, catalogue_, mapClass);
  rotation_->setMaps(rotation.maps);
}

// ---- map display and limits ----

void MapsTab::showPicture(const MapEntry& row) {
  // The picture's name carries its own leading separator; without it there is no picture to show.
  if (!row.picture.empty() && (row.picture.front() == '\\' || row.picture.front() == '/')) {
    // Read afresh at every click (no pixmap cache), so a replaced file shows at once.
    const auto file = context_.folders.pictureFile(row.picture);
    // Only a regular file is opened: a FIFO or a device would hold the window.
    std::error_code ec;
    QImage picture;
    if (file && std::filesystem::is_regular_file(*file, ec) && picture.load(toQString(*file)))
      mapPictures_->setPixmap(QPixmap::fromImage(picture));
  }
  mapText_->setText(fromBytes(row.caption1));
  mapText2_->setText(fromBytes(row.caption2));
}

void MapsTab::applyCaptureRule(const MapEntry& row) {
  if (const auto enabled = captureBoxEnabled(row)) customCapture_->setEnabled(*enabled);
}

void MapsTab::showMap(const QString& shownName) {
  const std::string name = toBytes(shownName);
  optionsMapName_->setText(fromBytes(name));
  const MapEntry* last = nullptr;
  for (const auto& row : catalogue_.rows) {
    if (row.name != name) continue;
    last = &row;
    showPicture(row);
    optionsMapName_->setText(fromBytes(row.name));
  }
  if (last) showLimits(*last);
}

void MapsTab::showLimits(const MapEntry& row) {
  TextFilter::putText(customFrag_, fromBytes(row.fragLimit));
  TextFilter::putText(customTime_, fromBytes(row.timeLimit));
  TextFilter::putText(customCapture_, fromBytes(row.captureLimit));
  applyCaptureRule(row);
}

void MapsTab::showShownMapLimits() {
  if (const MapEntry* shown = catalogue_.find(toBytes(optionsMapName_->text()))) showLimits(*shown);
}

void MapsTab::storeCustomLimits() {
  sound(3);
  const Limits limits{toBytes(customFrag_->text()), toBytes(customTime_->text()), toBytes(customCapture_->text())};
  if (!setLimitsByName(catalogue_, toBytes(optionsMapName_->text()), limits)) services().message(kNoMapSelectedMessage);
}

void MapsTab::applyGenericLimits() {
  sound(2);
  const std::string emptyBoxes = setDefaultLimits(
      catalogue_, {toBytes(genericFrag_->text()), toBytes(genericTime_->text()), toBytes(genericCapture_->text())});
  showShownMapLimits();
  if (!emptyBoxes.empty()) services().message(emptyBoxes);
}

void MapsTab::findNewMaps() {
  sound(1);
  const PathIni ini = readPathIni(context_.folders.data);
  if (ini.state != PathIniState::Known) {
    services().message(unknownGameFolder(context_.folders.data) + "  Please use \"Refind Game Path\" first.");
    return;
  }
  const std::filesystem::path dataFolder = findGameDataFolder(ini.gameFolder);
  MapDiscovery found = discoverMaps(dataFolder, catalogue_);
  std::string problems;
  for (const auto& problem : found.problems) problems += (problems.empty() ? "" : "\n") + problem;
  if (found.maps.empty()) {
    services().message("No new maps were found in " + fromPath(dataFolder) + "." +
                       (problems.empty() ? "" : "\n\n" + problems));
    return;
  }
  if (found.maps.size() > kMaxPreviewPictures)
    problems += std::string(problems.empty() ? "" : "\n") + "Pictures are made for the first " +
                std::to_string(kMaxPreviewPictures) + " maps only, as many as the map list holds.";
  if (!problems.empty()) services().message(problems);
  // Each picture is made once, off the window's thread while the dialog is
  // up: shown there, written on Add. (The dialog has ended the job when it returns.)
  const PictureJob pictures = [&found](const auto& made) {
    // A picture that cannot be made is left out now, and said when its map is added.
    makePictures(found.maps, 0, kMaxPreviewPictures,
                 [&](std::size_t i) { return made(i, found.maps[i].picture.value_or(std::string())); });
  };
  std::vector<MapChoice> choices;
  for (const auto& map : found.maps)
    choices.push_back({map.entry.name, map.entry.caption1, map.entry.isCtf(), map.entry.caption2, std::string()});
  const auto chosen = services().chooseMaps(choices, pictures);
  if (!chosen) return;
  std::vector<MapProposal> taken;
  for (std::size_t i = 0; i < found.maps.size() && i < chosen->size(); ++i)
    if ((*chosen)[i]) taken.push_back(found.maps[i]);
  if (taken.empty()) return;
  const CatalogueAddition added = addToMapList(context_.folders, catalogue_.rows.size(), taken);
  if (added.error.ok()) {
    // The new catalogue keeps every known map's limits; the rotation stays as it is.
    MapCatalogue next = loadMapList(context_.folders).catalogue;
    setAllLimits(next, {kDefaultFragLimit, kDefaultTimeLimit, kDefaultCaptureLimit});
    const MapNameIndex before(catalogue_);
    for (auto& row : next.rows) {
      if (const MapEntry* known = before.find(row.name)) {
        row.fragLimit = known->fragLimit;
        row.timeLimit = known->timeLimit;
        row.captureLimit = known->captureLimit;
      }
    }
    catalogue_ = std::move(next);
    showInstalledMaps(installedMaps(catalogue_, dataFolder));
  }
  services().message(additionMessage(added));
}

}  // namespace tarvex
