#include "ui/Form1.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFont>
#include <QImage>
#include <QKeyEvent>
#include <QListView>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include "launch/LaunchSequence.h"
#include "maps/MapDiscovery.h"
#include "maps/MapLimits.h"
#include "platform/Files.h"
#include "startup/GameFolder.h"
#include "ui/Convert.h"
#include "ui/Form1Parts.h"
#include "ui/Keyboard.h"
#include "ui/Layout.h"
#include "ui/Logo.h"
#include "ui/RotationModel.h"
#include "ui/TextFilter.h"

static void initResources() { Q_INIT_RESOURCE(resources); }

namespace tarvex {

using layout::page;
using layout::twips;
using namespace form1;

namespace {

// What a screen reader says for controls whose visible caption is not enough
// ("Seconds" beside two settings) or stands apart from them.
constexpr std::pair<const char*, const char*> kSpokenNames[] = {
    {"Player_Respawn_Time", "Seconds before a forced respawn"},
    {"kick_text", "Seconds before an inactive player is kicked"},
    {"WarmupTime", "Warmup seconds"},
    {"LoadedMaps", "Map List"},
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
    {"save_select", "Save File"},
    {"save_text", "Description"},
    {"PathText", "Current Game Folder Path"},
    {"write_memory", "Change Reserved Memory?"},
    {"Memory", "Reserved Megs For Server"},
    {"download_yes", "Allow Clients to Download?"},
    {"write_max_yes", "Write MaxRate?"},
    {"gamelogcheck", "Create a Server Log File?"},
    {"Frame1", "Game Type"},
    {"Frame3", "Rotation"},
    {"Frame5", "Changes"},
};

}  // namespace

Form1::Form1(WindowServices& services, std::filesystem::path appFolder, std::filesystem::path dataFolder,
             QWidget* parent)
    : QWidget(parent),
      services_(services),
      appFolder_(std::move(appFolder)),
      dataFolder_(dataFolder.empty() ? appFolder_ : std::move(dataFolder)) {
  initResources();
  setObjectName(QStringLiteral("Form1"));
  // The layout was drawn for a small 8-point desktop font.
  setFont(layout::windowFont());
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Tarvex     beta 3.13"));
  setFixedSize(630, 528);

  image1_ = new QLabel(this);
  image1_->setObjectName(QStringLiteral("Image1"));
  image1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  image1_->setGeometry(twips(1560, 0, 5535, 855));
  logo_ = new Logo(image1_, services_);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("TAB_General"));
  tabs_->setGeometry(twips(105, 990, 9255, 6240));
  if (layout::hasFamily(QStringLiteral("Tahoma"))) {
    QFont tahoma(QStringLiteral("Tahoma"));
    tabs_->tabBar()->setFont(tahoma);
  }
  const char* captions[] = {"Server", "Settings", "Maps", "Bots", "Save/Load", "Advanced", "About"};
  for (int i = 0; i < 7; ++i) {
    pages_[i] = new QWidget;
    pages_[i]->setObjectName(QStringLiteral("tab_%1").arg(i));
    pages_[i]->setAutoFillBackground(true);
    tabs_->addTab(pages_[i], QString::fromLatin1(captions[i]));
  }
  buildServerTab(pages_[0]);
  tabs_->setCurrentIndex(0);

  engage_ = layout::button(this, "Engage", QStringLiteral("ENGAGE! "), twips(3450, 7320, 2535, 495));
  // Arial where the system has it; elsewhere the window's own family, which is
  // loaded already (asking for a missing family makes the font system search
  // every substitute, a tenth of the start-up).
  QFont engageFont = font();
  if (layout::hasFamily(QStringLiteral("Arial"))) engageFont = QFont(QStringLiteral("Arial"));
  engageFont.setPointSize(12);
  engageFont.setBold(true);
  engage_->setFont(engageFont);
  connect(engage_, &QPushButton::clicked, this, &Form1::engage);
  // From anywhere in the window, its caption unchanged; screen readers name the keys.
  engage_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  engage_->setAccessibleDescription(QStringLiteral("Starts the server. Shortcut: Ctrl+E"));
  // A page's labels get their size when it is first shown.
  preparePage(pages_[0]);
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    completeWindow();
    preparePage(tabs_->widget(index));
  });

  showSettings(ServerSettings());
  if (const QScreen* screen = QApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void Form1::completeWindow() {
  if (complete_) return;
  complete_ = true;
  const QHash<QString, QWidget*> earlier = fields_;
  buildSettingsTab(pages_[1]);
  buildMapsTab(pages_[2]);
  buildBotsTab(pages_[3]);
  buildSaveTab(pages_[4]);
  buildAdvancedTab(pages_[5]);
  buildAboutTab(pages_[6]);
  // Every declared setting has its control on some tab.
  Q_ASSERT(fields_.size() == qsizetype(fieldTable().size()));
  showSettings(ServerSettings(), earlier);
  setUpKeyboard();
  if (loaded_) showLoaded();
  // Controls made on a page already shown (another tab chosen before the
  // first paint) stay hidden until shown themselves.
  QWidget* shown = tabs_->currentWidget();
  if (shown->isVisible()) {
    for (QWidget* control : shown->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (!control->testAttribute(Qt::WA_WState_ExplicitShowHide)) control->show();
  }
  preparePage(shown);
}

Form1::~Form1() = default;

void Form1::preparePage(QWidget* page) {
  if (!page || page->property("tarvexPrepared").toBool()) return;
  page->setProperty("tarvexPrepared", true);
  layout::sizeLabels(page);
  keyboard::clearCaptions(page);
  // Links stand centred one under the other (the page is the tab control's width less its frame).
  const int pageWidth = twips(0, 0, 9255, 0).width() - 4;
  for (QLabel* link : page->findChildren<layout::LinkLabel*>()) {
    link->adjustSize();
    link->move(pageWidth / 2 - link->width() / 2, link->property(kCentredTop).toInt());
  }
  if (mapPictures_ && mapPictures_->parentWidget() == page && mapPictures_->pixmap().isNull())
    mapPictures_->setPixmap(layout::builtInPicture(QStringLiteral(":/tarvex/emblem.ppm")));
}

void Form1::setUpKeyboard() {
  for (const auto& [name, spoken] : kSpokenNames)
    if (auto* widget = findChild<QWidget*>(QString::fromLatin1(name)))
      widget->setAccessibleName(QString::fromLatin1(spoken));
  keyboard::installLinkAccessibility();
  keyboard::enterPressesButtons(this);
  // Tab runs through each page in reading order, then to ENGAGE!; pages not
  // shown are passed over.
  QList<QWidget*> chain{tabs_->tabBar()};
  for (int i = 0; i < 7; ++i) {
    keyboard::nameFrames(pages_[i]);
    if (i == 2) {
      // The Maps tab reads as the user works: pick, add, look at the rotation, then the limits.
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
        chain.append(pages_[i]->findChild<QWidget*>(QString::fromLatin1(name)));
    } else {
      chain.append(keyboard::readingOrder(pages_[i]));
    }
  }
  chain.append(engage_);
  keyboard::chainTabOrder(chain);
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
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
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
  return QWidget::eventFilter(watched, event);
}

void Form1::paintEvent(QPaintEvent*) {
  // Black around the tab control; the pages keep the desktop's colours.
  QPainter(this).fillRect(rect(), Qt::black);
  // The rest of the window follows the first paint.
  if (!complete_) QTimer::singleShot(0, this, &Form1::completeWindow);
}

std::string Form1::appFile(const char* name) const { return appFolderText_ + name; }

void Form1::sound(int number) {
  if (number > 0) services_.playWave(appFile(("button" + std::to_string(number) + ".wav").c_str()));
}

// ---- settings ----

QWidget* Form1::placeField(const char* name, QWidget* parent, QRect rect) {
  const FieldSpec& field = fieldSpec(name);
  QWidget* widget = nullptr;
  if (field.kind == FieldKind::Text) {
    auto* edit = layout::lineEdit(parent, name, rect);
    if (field.readOnly) {
      edit->setReadOnly(true);
    } else {
      TextFilter::install(edit, field.maxLength, field.digitsOnly);
    }
    widget = edit;
  } else {
    QAbstractButton* box = field.kind == FieldKind::Switch ? static_cast<QAbstractButton*>(new QCheckBox(parent))
                                                           : static_cast<QAbstractButton*>(new QRadioButton(parent));
    // Each option group is a keyboard group of its own: Tab lands on its
    // selected option, arrows move within it (a frame nested in another
    // would otherwise join the outer frame's group).
    if (field.kind == FieldKind::Choice) {
      QButtonGroup*& group = choiceGroups_[static_cast<int>(field.group)];
      if (!group) {
        group = new QButtonGroup(this);
        // Only the selected option takes Tab; the arrows reach the others.
        connect(group, &QButtonGroup::buttonToggled, this, [](QAbstractButton* button, bool checked) {
          button->setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
        });
      }
      group->addButton(box);
      box->setFocusPolicy(Qt::ClickFocus);
    }
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(rect);
    connect(box, &QAbstractButton::clicked, this, [this, name](bool checked) { onSwitchClicked(name, checked); });
    widget = box;
  }
  // The caption stands in a separate label; screen readers get it from here.
  widget->setAccessibleName(latin1(field.caption));
  fields_.insert(QString::fromLatin1(name), widget);
  return widget;
}

QWidget* Form1::placeBoxWithLabel(const char* name, QWidget* parent, int left, int top, int labelWidth) {
  QWidget* box = placeField(name, parent, twips(left, top, 255, 255));
  const QString caption = latin1(fieldSpec(name).caption);
  layout::label(parent, caption, twips(left + 300, top + 15, labelWidth, labelWidth ? 450 : 0), QColor(), false,
                labelWidth > 0);
  return box;
}

void Form1::onSwitchClicked(const char* name, bool checked) {
  const FieldSpec& field = fieldSpec(name);
  if (const FieldSpec* governed = governedText(name)) {
    auto* edit = static_cast<QLineEdit*>(fields_.value(latin1(governed->name)));
    edit->setEnabled(checked);
    if (!checked && governed->emptiedWhenOff) edit->clear();
  }
  sound(field.sound);
}

Configuration Form1::configuration() {
  completeWindow();
  Configuration config;
  const auto widget = [this](const FieldSpec& field) { return fields_.value(latin1(field.name)); };
  // Switches first, so that their enabling rules cannot empty a text read afterwards.
  for (const auto& field : fieldTable()) {
    if (field.kind == FieldKind::Text) continue;
    const bool on = static_cast<const QAbstractButton*>(widget(field))->isChecked();
    if (field.kind == FieldKind::Switch) {
      config.settings.setSwitch(field.name, on);
    } else if (on) {
      config.settings.select(field.name);
    }
  }
  for (const auto& field : fieldTable()) {
    if (field.kind == FieldKind::Text)
      config.settings.setText(field.name, toBytes(static_cast<const QLineEdit*>(widget(field))->text()));
  }
  config.rotation.maps = rotationList();
  config.rotation.addedMapCount = addedMapCount_;
  config.catalogue = catalogue_;
  return config;
}

void Form1::applySettings(const ServerSettings& settings) {
  completeWindow();
  showSettings(settings);
}

void Form1::showSettings(const ServerSettings& settings, const QHash<QString, QWidget*>& skip) {
  for (const auto& field : fieldTable()) {
    const QString name = latin1(field.name);
    QWidget* widget = fields_.value(name);
    if (!widget || skip.contains(name)) continue;
    if (field.kind == FieldKind::Text) {
      auto* edit = static_cast<QLineEdit*>(widget);
      TextFilter::putText(edit, fromBytes(settings.text(field.name)));
      edit->setEnabled(settings.isEnabled(field.name));
    } else {
      static_cast<QAbstractButton*>(widget)->setChecked(settings.isOn(field.name));
    }
  }
}

// ---- load step ----

void Form1::load() {
  appFolderText_ = withTrailingSeparator(fromPath(appFolder_));
  logo_->timer().stop();
  if (logo_->load(appFile("tx.gif"))) logo_->start();
  services_.playWave(appFile("cfiles.wav"));

  loaded_ = std::make_unique<Loaded>();
  const PathIni ini = readPathIni(dataFolder_);
  const std::string gameFolder = ini.gameFolder;
  loaded_->gameFolder = fromPathBytes(gameFolder);

  MapListLoad catalogue = loadMapList(mapListFolders());
  for (const auto& text : catalogue.messages) services_.message(text);
  catalogue_ = std::move(catalogue.catalogue);
  addedMapCount_ = 0;
  if (!gameFolder.empty()) loaded_->installedMaps = installedMaps(catalogue_, findGameDataFolder(gameFolder));
  setAllLimits(catalogue_, {kDefaultFragLimit, kDefaultTimeLimit, kDefaultCaptureLimit});

  const FileBytes slot1 = readFileHead(slotPath(dataFolder_, 1), kDescriptionBytes);
  const auto description = slot1.status == ReadStatus::Ok ? saveDescription(slot1.bytes) : std::nullopt;
  loaded_->slotDescription = fromBytes(description.value_or(std::string()));
  if (complete_) showLoaded();
}

void Form1::showLoaded() {
  pathText_->setText(loaded_->gameFolder);
  loadedMaps_->clear();
  for (const auto& name : loaded_->installedMaps) loadedMaps_->addItem(fromBytes(name));
  saveText_->setText(loaded_->slotDescription);
  saveSelect_->clear();
  for (int slot = 1; slot <= kSlotCount; ++slot) saveSelect_->addItem(fromBytes(slotTitle(slot)));
  saveSelect_->setCurrentIndex(0);
  loaded_.reset();
}

// ---- launch ----

void Form1::engage() {
  if (runLaunch(services_, dataFolder_, configuration()) != LaunchResult::Started) return;
  const auto started = std::chrono::steady_clock::now();
  services_.playWave(appFile("stegize.wav"));
  // A game that has ended within a second of its start was not launched: say so and stay.
  if (reportEarlyEnd(services_, started)) return;
  emit launched();
}

}  // namespace tarvex
