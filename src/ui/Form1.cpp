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
#include "startup/GameFolder.h"
#include "ui/Convert.h"
#include "ui/Keyboard.h"
#include "ui/Layout.h"
#include "ui/Logo.h"
#include "ui/RotationModel.h"
#include "ui/TextFilter.h"
#include "util/Files.h"

static void initResources() { Q_INIT_RESOURCE(resources); }

namespace tarvex {

using layout::page;
using layout::twips;

namespace {
const QColor kRed(0xD0, 0x00, 0x00);
const QColor kBlue(0x00, 0x00, 0xE0);
const QColor kGreen(0x00, 0x80, 0x00);
constexpr const char* kCentredTop = "tarvexCentredTop";
// A slot's description is its second line; this much of the file holds it.
constexpr std::size_t kDescriptionBytes = 64 * 1024;

// Names and captions of the settings table, which are plain ASCII.
QString latin1(std::string_view text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }

// The three link targets of the "About" tab, kept together.
struct Link {
  const char* name;
  const char* caption;
  const char* target;
  int sound;
};
constexpr Link kHomepage{"Label101", "Tarvex Homepage", "https://tarvex.github.io/", 1};
constexpr Link kWebSite{"Label96", "https://github.com/tarvex", "https://github.com/tarvex", 7};
constexpr Link kMail{"Label97", "tarvex@users.noreply.github.com", "mailto:tarvex@users.noreply.github.com", 3};

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

Form1::Form1(Services& services, std::filesystem::path appFolder, std::filesystem::path dataFolder, QWidget* parent)
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
    if (auto* widget = findChild<QWidget*>(QString::fromLatin1(name))) widget->setAccessibleName(QString::fromLatin1(spoken));
  keyboard::installLinkAccessibility();
  keyboard::enterPressesButtons(this);
  // Tab runs through each page in reading order, then to ENGAGE!; pages not
  // shown are passed over.
  QList<QWidget*> chain{tabs_->tabBar()};
  for (int i = 0; i < 7; ++i) {
    keyboard::nameFrames(pages_[i]);
    if (i == 2) {
      // The Maps tab reads as the user works: pick, add, look at the rotation, then the limits.
      for (const char* name : {"LoadedMaps", "b_add_map", "SelectedMaps", "b_del_map", "MapText", "MapText2", "Add_DM",
                               "ALLCTFMaps", "AllMaps", "CLEAR", "Random", "Options_Map_Name", "Custom_Frag_limit",
                               "Custom_Time_Limit", "Custom_Capture_Limit", "Set_Custom", "Generic_Frag_Limit",
                               "Generic_Time_Limit", "Generic_Capture_Limit", "Set_Generic"})
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

// ---- tabs ----

void Form1::buildServerTab(QWidget* tab) {
  auto* title = layout::frame(tab, "ServerTitle", QStringLiteral("Server Title:"), page(345, 945, 3015, 975));
  placeField("Server_Name", title, twips(120, 420, 2775, 315));
  auto* quote = layout::frame(tab, "ServerQuote", QStringLiteral("Server Quote:"), page(345, 2025, 3015, 975));
  placeField("Server_Quote_Text", quote, twips(120, 420, 2775, 315));

  auto* type = layout::frame(tab, "Dedicated_Frame", QStringLiteral("Server Type"), page(3465, 765, 2415, 2640));
  placeBoxWithLabel("NonDedicated_Button", type, 150, 300);
  placeBoxWithLabel("dedicated_internet", type, 150, 570);
  placeBoxWithLabel("Dedicated_button", type, 150, 840);
  placeBoxWithLabel("Pure_yes", type, 150, 1110);
  auto* gameTypes = layout::frame(type, "Frame1", QString(), twips(270, 1395, 1935, 1170));
  placeBoxWithLabel("game_1v1", gameTypes, 120, 90);
  placeBoxWithLabel("Game_DM", gameTypes, 120, 360);
  placeBoxWithLabel("Game_Team_DM", gameTypes, 120, 630);
  placeBoxWithLabel("Game_CTF", gameTypes, 120, 900);

  auto* passwords = layout::frame(tab, "Passwords", QStringLiteral("Passwords"), page(5985, 945, 2895, 2055));
  layout::label(passwords, QStringLiteral("Console Password:"), twips(120, 300, 2655, 240));
  placeField("Console_Password", passwords, twips(120, 540, 2655, 315));
  layout::label(passwords, QStringLiteral("Private Client Password:"), twips(120, 930, 2655, 240));
  placeField("Private_Password", passwords, twips(120, 1170, 2655, 315));
  layout::label(passwords, QStringLiteral("Leaving the text boxes blank deactivates these features."),
                twips(120, 1530, 2655, 435), kBlue, false, true);

  auto* image2 = new QLabel(tab);
  image2->setObjectName(QStringLiteral("Image2"));
  image2->setGeometry(page(480, 3525, 8295, 2625));
  image2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  image2->setPixmap(layout::builtInPicture(QStringLiteral(":/tarvex/scoretable.ppm")));
}

void Form1::buildSettingsTab(QWidget* tab) {
  auto* players = layout::frame(tab, "Players_Frame", QStringLiteral("Player Settings"), page(360, 720, 4215, 3345));
  auto textRow = [&](QWidget* parent, const char* name, int left, int top, int width, const QString& caption,
                     int labelLeft) {
    placeField(name, parent, twips(left, top, width, 285));
    layout::label(parent, caption, twips(labelLeft, top + 30, 0, 0));
  };
  textRow(players, "MaxPlayers", 120, 330, 435, QStringLiteral("Maximum Players"), 600);
  textRow(players, "Private_Text", 2280, 330, 435, QStringLiteral("Private Clients"), 2760);
  textRow(players, "MinPlayers", 120, 690, 435, QStringLiteral("Minimum Players"), 600);
  textRow(players, "Ghost_Time", 120, 1050, 435, QStringLiteral("Seconds of Invulnerability After Respawn"), 600);
  placeBoxWithLabel("Player_Respawn_Yes", players, 120, 1440);
  textRow(players, "Player_Respawn_Time", 2700, 1425, 435, QStringLiteral("Seconds"), 3180);
  placeBoxWithLabel("allow_vote", players, 120, 1800);
  placeBoxWithLabel("kick_yes", players, 120, 2160);
  textRow(players, "kick_text", 2700, 2145, 435, QStringLiteral("Seconds"), 3180);
  placeBoxWithLabel("Cheats_yes", players, 120, 2520);
  placeBoxWithLabel("warmup_yes", players, 120, 2880);
  textRow(players, "WarmupTime", 1200, 2865, 435, QStringLiteral("seconds"), 1680);

  auto* items = layout::frame(tab, "Frame10", QStringLiteral("Item/Weapon"), page(4920, 720, 3975, 2025));
  textRow(items, "Quad_Text", 120, 330, 435, QStringLiteral("Weapon Enhancer Damage"), 600);
  textRow(items, "Knockback_Text", 120, 690, 435, QStringLiteral("Weapon Damage Knockback"), 600);
  placeBoxWithLabel("adapt_respawn", items, 120, 1080);
  layout::label(items, QStringLiteral("Respawn weapons every"), twips(120, 1470, 0, 0));
  placeField("weapon_respawn_time", items, twips(2040, 1440, 435, 285));
  layout::label(items, QStringLiteral("seconds"), twips(2540, 1470, 0, 0));

  auto* teams = layout::frame(tab, "Teams", QStringLiteral("Team Settings"), page(4920, 2760, 3975, 1245));
  placeBoxWithLabel("friendly_yes", teams, 120, 300);
  placeBoxWithLabel("team_auto_join_yes", teams, 120, 600);
  placeBoxWithLabel("team_balance_yes", teams, 120, 900);

  auto* general = layout::frame(tab, "Damage_Frame", QStringLiteral("General"), page(360, 4200, 8535, 1575));
  textRow(general, "gamespeed", 120, 330, 615, QStringLiteral("Set Game Speed"), 840);
  textRow(general, "game_gravity", 120, 720, 615, QStringLiteral("Set Game Gravity"), 840);
  // The game module puts the map's own gravity back at every map restart
  // (warmup's end runs one); only tarvex-cli run sets the user's again.
  const QString gravityNote = QStringLiteral("Warmup's restart resets it; tarvex-cli run keeps it.");
  layout::label(general, gravityNote, twips(2900, 750, 0, 0))->setObjectName(QStringLiteral("Gravity_Note"));
  fields_.value(QStringLiteral("game_gravity"))->setAccessibleDescription(gravityNote);
  textRow(general, "inter_time", 120, 1110, 615, QStringLiteral("Intermission Time (seconds)"), 840);
}

QLineEdit* Form1::limitBox(const char* name, QWidget* parent, QRect rect, const QString& text) {
  auto* edit = layout::lineEdit(parent, name, rect);
  TextFilter::install(edit, 3, true);
  edit->setText(text);
  return edit;
}

void Form1::buildMapsTab(QWidget* tab) {
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

  connect(add, &QPushButton::clicked, this, &Form1::addSelectedMap);
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
    Rotation rotation{rotationList(), addedMapCount_};
    shuffleRotation(rotation);
    setRotationList(rotation.maps);
  });
  connect(change, &QPushButton::clicked, this, &Form1::storeCustomLimits);
  connect(setDefaults, &QPushButton::clicked, this, &Form1::applyGenericLimits);
}

void Form1::buildBotsTab(QWidget* tab) {
  auto* chat = layout::frame(tab, "BotChat", QStringLiteral("Bot Chatting"), page(960, 960, 3855, 855));
  placeBoxWithLabel("Bot_Chat", chat, 240, 390);
  auto* skill = layout::frame(tab, "Frame4", QStringLiteral("Bot Skill Level"), page(960, 1920, 3855, 1695));
  const char* skills[] = {"skill1", "skill2", "skill3", "skill4", "skill5"};
  for (int i = 0; i < 5; ++i) placeBoxWithLabel(skills[i], skill, 240, 330 + i * 270);
  layout::label(tab,
                QStringLiteral("I'm working on the rest this section right now....  For the moment, selecting a "
                               "minimum player number will cause the game to auto-add (and remove) bots so that the "
                               "minimum player number is met."),
                page(1200, 4200, 6135, 855), QColor(), false, true);
}

void Form1::buildSaveTab(QWidget* tab) {
  layout::label(tab,
                QStringLiteral("There are 9 save files to choose from.  Every setting in Tarvex will be saved.  This "
                               "includes custom map settings (frag , time, and capture limits - per individual map)."),
                page(600, 960, 8175, 495), QColor(), false, true);
  layout::label(tab, QStringLiteral("Save File:"), page(3960, 1800, 0, 0), QColor(), true);
  saveSelect_ = new QComboBox(tab);
  saveSelect_->setObjectName(QStringLiteral("save_select"));
  saveSelect_->setGeometry(page(2280, 2040, 4455, 315));
  saveSelect_->setEditable(false);  // only the nine slots can be picked
  saveSelect_->view()->setAccessibleName(QStringLiteral("Save files"));
  layout::label(tab, QStringLiteral("Description:"), page(3885, 2640, 0, 0), QColor(), true);
  saveText_ = layout::lineEdit(tab, "save_text", page(600, 2880, 8055, 360));
  layout::setTextColour(saveText_, kGreen);
  auto* loadButton = layout::button(tab, "Load", QStringLiteral("Load"), page(2400, 3600, 1695, 375));
  auto* saveButton = layout::button(tab, "Save", QStringLiteral("Save"), page(4800, 3600, 1695, 375));
  connect(saveSelect_, &QComboBox::activated, this, [this] { showSlotDescription(); });
  connect(saveButton, &QPushButton::clicked, this, &Form1::saveSlot);
  connect(loadButton, &QPushButton::clicked, this, &Form1::loadSlot);
}

void Form1::buildAdvancedTab(QWidget* tab) {
  layout::label(tab, QStringLiteral("Warning:  Please do not use these settings if you unsure of their meaning!"),
                page(2160, 600, 0, 0), kRed, true);
  auto* advanced =
      layout::frame(tab, "Frame2", QStringLiteral("Advanced Server Settings"), page(360, 840, 8535, 3975), true, kRed);
  auto textRow = [&](const char* name, int left, int top, int width, const QString& caption, int labelLeft) {
    placeField(name, advanced, twips(left, top, width, 285));
    if (!caption.isEmpty()) layout::label(advanced, caption, twips(labelLeft, top + 30, 0, 0));
  };
  // Left column
  textRow("Max_Ping", 120, 330, 615, QStringLiteral("Client Maximum Ping"), 840);
  textRow("Min_Ping", 120, 690, 615, QStringLiteral("Client Minimum Ping"), 840);
  placeBoxWithLabel("flood_yes", advanced, 120, 1065);
  placeBoxWithLabel("NetPort_Yes", advanced, 120, 1425);
  textRow("NetPort", 1500, 1410, 855, QString(), 0);
  placeBoxWithLabel("NetIP_Check", advanced, 120, 1785);
  textRow("NetIP", 1500, 1770, 1395, QString(), 0);
  // Middle column
  layout::label(advanced, QStringLiteral("Reserverd Megs For Server"), twips(3060, 330, 0, 0), QColor(), true);
  placeField("write_memory", advanced, twips(3060, 705, 255, 255));
  textRow("Memory", 3360, 690, 435, QStringLiteral("Change Reserved Memory?"), 3860);
  placeBoxWithLabel("holo_yes", advanced, 3060, 1125, 2500);
  // Right column
  layout::label(advanced, QStringLiteral("Allow Clients to Download?"), twips(6000, 330, 0, 0), QColor(), true);
  placeField("download_yes", advanced, twips(6000, 705, 255, 255));
  textRow("MaxPackets", 6300, 690, 495, QStringLiteral("Max Packets"), 6860);
  layout::label(advanced, QStringLiteral("Write MaxRate?"), twips(6000, 1110, 0, 0), QColor(), true);
  placeField("write_max_yes", advanced, twips(6000, 1440, 255, 255));
  textRow("MaxRate", 6300, 1425, 615, QString(), 0);
  layout::label(advanced, QStringLiteral("Warning:  Don't change this unless you understand how it works."),
                twips(6000, 1770, 2460, 660), kRed, false, true);
  // Full rows
  layout::label(advanced, QStringLiteral("Create a Server Log File?"), twips(120, 2325, 0, 0));
  placeField("gamelogcheck", advanced, twips(2040, 2310, 255, 255));
  textRow("GameLogText", 2340, 2295, 3015, QString(), 0);
  const char* masters[] = {"Master2", "Master3", "Master4", "Master5"};
  for (int i = 0; i < 4; ++i) {
    layout::label(advanced, QStringLiteral("Master Server #%1").arg(i + 2), twips(120, 2745 + i * 300, 0, 0));
    placeField(masters[i], advanced, twips(1560, 2715 + i * 300, 3795, 285));
  }

  layout::label(tab, QStringLiteral("Current Game Folder Path:"), page(900, 4965, 0, 0), QColor(), true);
  pathText_ = layout::lineEdit(tab, "PathText", page(3375, 4935, 4935, 285));
  pathText_->setReadOnly(true);
  auto* refind = layout::button(tab, "refind_path", QStringLiteral("Refind Game Path"), page(3555, 5280, 2175, 375));
  auto* findMaps = layout::button(tab, "find_maps", QStringLiteral("Find New Maps"), page(5850, 5280, 1695, 375));
  findMaps->setAccessibleDescription(QStringLiteral("Adds the maps of the game's pk3 files that the map list lacks"));
  connect(findMaps, &QPushButton::clicked, this, &Form1::findNewMaps);
  layout::label(
      tab, QStringLiteral("Warning:  This restarts Tarvex.  All settings will be lost unless you save them first!"),
      page(1200, 5730, 0, 0), kRed);
  connect(refind, &QPushButton::clicked, this, [this] {
    sound(4);
    emit refindRequested();
  });
}

void Form1::buildAboutTab(QWidget* tab) {
  auto* notes = layout::frame(tab, "Frame5", QString(), page(1560, 465, 6495, 1215));
  layout::label(
      notes,
      QStringLiteral("Changes Since Beta 3.1:  Fixed a bug that would cause Tarvex to crash when launching the "
                     "game if the game folder was on a different drive than the Tarvex executable.  ...There "
                     "is now a dedicated Internet AND a dedicated LAN selectioin.  Fixed some problems with "
                     "the SAVE/LOAD feature.  Added built in support for a bunch of new maps"),
      twips(120, 90, 6255, 1080), QColor(), false, true);
  const int left = 660;
  const int width = 8000;
  layout::label(tab, QString(), page(left, 1740, width, 240));
  layout::label(
      tab, QStringLiteral("For information on how to add custom maps, please open the \"Add_Maps_Howto.txt\" file."),
      page(left, 1800, width, 240));
  layout::label(tab, QStringLiteral("Upgrades in progress:"), page(left, 2160, width, 240), QColor(), true);
  layout::label(tab, QStringLiteral("-  Custom Bot configuration files."), page(left + 240, 2400, width, 240));
  layout::label(tab, QStringLiteral("-  Built in form for adding maps.......  to make it easier."),
                page(left + 240, 2640, width, 240));
  layout::label(tab, QStringLiteral("Current Problems:"), page(left, 3000, width, 240), QColor(), true);
  layout::label(tab, QStringLiteral("- No matter what, the game resets \"g_needpass X\" to 0 on launch...........  ?"),
                page(left + 240, 3240, width, 240));
  layout::label(tab, QStringLiteral("- Bot scripts do not execute as in Quake3 (or I'm doing something stupid)."),
                page(left + 240, 3480, width, 240));
  layout::label(tab, QStringLiteral("PLEASE, send feedback!   I need problem reports."), page(left, 3960, width, 240),
                QColor(), true);
  const struct {
    const Link* link;
    int left;
    int top;
  } links[] = {{&kHomepage, 3285, 4830}, {&kMail, 3870, 5205}, {&kWebSite, 3750, 5505}};
  for (const auto& place : links) {
    auto* label = new layout::LinkLabel(QString::fromLatin1(place.link->caption), tab);
    label->setObjectName(QString::fromLatin1(place.link->name));
    layout::setTextColour(label, kBlue);
    QFont underlined = label->font();
    underlined.setUnderline(true);
    label->setFont(underlined);
    label->setCursor(Qt::PointingHandCursor);
    label->setProperty(kCentredTop, page(place.left, place.top, 0, 0).y());  // placed when the page is first shown
    const Link* link = place.link;
    connect(label, &layout::LinkLabel::clicked, this, [this, link] {
      sound(link->sound);
      services_.openLink(link->target);
    });
  }
  auto* thanks = layout::label(tab,
                               QStringLiteral("Thanks to everyone who tested Tarvex, reported problems and kept "
                                              "Holomatch servers running."),
                               page(660, 5880, 7935, 240));
  thanks->setObjectName(QStringLiteral("Label48"));
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

  const std::filesystem::path catalogueFile = appFolder_ / "maps.ini";
  CatalogueLoad catalogue = loadCatalogueFile(catalogueFile);
  if (const std::string text = catalogueMessage(catalogue.status, fromPath(catalogueFile)); !text.empty())
    services_.message(text);
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

// ---- rotation ----

std::vector<std::string> Form1::rotationList() const { return rotation_->maps(); }

void Form1::setRotationList(const std::vector<std::string>& maps) { rotation_->setMaps(maps); }

void Form1::addSelectedMap() {
  const QListWidgetItem* item = loadedMaps_->currentItem();
  const std::string name = item && item->isSelected() ? toBytes(item->text()) : std::string();
  Rotation rotation{{}, addedMapCount_};
  const bool ctf = static_cast<QAbstractButton*>(fields_.value(QStringLiteral("Game_CTF")))->isChecked();
  switch (addSingleMap(rotation, catalogue_, name, ctf)) {
    case AddOutcome::NothingSelected:
      return;
    case AddOutcome::TooMany:
      services_.message(kTooManyMessage);
      return;
    case AddOutcome::RefusedForCtf:
      services_.message(kCtfRefusedMessage);
      sound(4);
      return;
    case AddOutcome::Added:
      addedMapCount_ = rotation.addedMapCount;
      rotation_->append(name);
      sound(4);
      return;
  }
}

void Form1::removeSelectedEntry(int soundNumber) {
  const QModelIndex current = selectedMaps_->currentIndex();
  if (!current.isValid() || !selectedMaps_->selectionModel()->isSelected(current)) return;
  removingEntry_ = true;
  rotation_->removeAt(current.row());
  selectedMaps_->setCurrentIndex(QModelIndex());
  removingEntry_ = false;
  selectedMaps_->clearSelection();
  sound(soundNumber);
}

void Form1::replaceRotation(MapClass mapClass) {
  sound(1);
  Rotation rotation;
  replaceWithClass(rotation, catalogue_, mapClass);
  setRotationList(rotation.maps);
}

// ---- map display and limits ----

void Form1::showPicture(const MapEntry& row) {
  // The picture's name carries its own leading separator; without it there is no picture to show.
  if (!row.picture.empty() && (row.picture.front() == '\\' || row.picture.front() == '/')) {
    // Read afresh at every click (no pixmap cache), so a replaced file shows at once.
    const auto file = resolveNoCase(appFolder_ / "Map_Images", row.picture);
    // Only a regular file is opened: a FIFO or a device would hold the window.
    std::error_code ec;
    QImage picture;
    if (file && std::filesystem::is_regular_file(*file, ec) && picture.load(toQString(*file)))
      mapPictures_->setPixmap(QPixmap::fromImage(picture));
  }
  mapText_->setText(fromBytes(row.caption1));
  mapText2_->setText(fromBytes(row.caption2));
}

void Form1::applyCaptureRule(const MapEntry& row) {
  if (const auto enabled = captureBoxEnabled(row)) customCapture_->setEnabled(*enabled);
}

void Form1::showMap(const QString& shownName) {
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

void Form1::showLimits(const MapEntry& row) {
  TextFilter::putText(customFrag_, fromBytes(row.fragLimit));
  TextFilter::putText(customTime_, fromBytes(row.timeLimit));
  TextFilter::putText(customCapture_, fromBytes(row.captureLimit));
  applyCaptureRule(row);
}

void Form1::storeCustomLimits() {
  sound(3);
  const Limits limits{toBytes(customFrag_->text()), toBytes(customTime_->text()), toBytes(customCapture_->text())};
  if (!setLimitsByName(catalogue_, toBytes(optionsMapName_->text()), limits)) services_.message(kNoMapSelectedMessage);
}

void Form1::applyGenericLimits() {
  sound(2);
  const std::string emptyBoxes = setDefaultLimits(
      catalogue_, {toBytes(genericFrag_->text()), toBytes(genericTime_->text()), toBytes(genericCapture_->text())});
  if (const MapEntry* shown = catalogue_.find(toBytes(optionsMapName_->text()))) showLimits(*shown);
  if (!emptyBoxes.empty()) services_.message(emptyBoxes);
}

void Form1::findNewMaps() {
  sound(1);
  const PathIni ini = readPathIni(dataFolder_);
  if (ini.state != PathIniState::Known) {
    services_.message("The game folder is not known: " + fromPath(dataFolder_ / kPathIniName) +
                      " is missing, unreadable or empty.  Please use \"Refind Game Path\" first.");
    return;
  }
  const std::filesystem::path dataFolder = findGameDataFolder(ini.gameFolder);
  MapDiscovery found = discoverMaps(dataFolder, catalogue_);
  std::string problems;
  for (const auto& problem : found.problems) problems += (problems.empty() ? "" : "\n") + problem;
  if (found.maps.empty()) {
    services_.message("No new maps were found in " + fromPath(dataFolder) + "." + (problems.empty() ? "" : "\n\n" + problems));
    return;
  }
  if (found.maps.size() > kMaxPreviewPictures)
    problems += std::string(problems.empty() ? "" : "\n") + "Pictures are made for the first " +
                std::to_string(kMaxPreviewPictures) + " maps only, as many as the map list holds.";
  if (!problems.empty()) services_.message(problems);
  // Each picture is made once, off the window's thread while the dialog is
  // up: shown there, written on Add. (The dialog has ended the job when it returns.)
  std::vector<std::string> pictureProblems;
  const PictureJob pictures = [&found, &pictureProblems](const auto& made) {
    makePictures(found.maps, 0, kMaxPreviewPictures, pictureProblems,
                 [&](std::size_t i) { return made(i, found.maps[i].picture.value_or(std::string())); });
  };
  std::vector<MapChoice> choices;
  for (const auto& map : found.maps)
    choices.push_back({map.entry.name, map.entry.caption1, map.entry.isCtf(), map.entry.caption2, std::string()});
  const auto chosen = services_.chooseMaps(choices, pictures);
  if (!chosen) return;
  std::vector<MapProposal> taken;
  for (std::size_t i = 0; i < found.maps.size() && i < chosen->size(); ++i)
    if ((*chosen)[i]) taken.push_back(found.maps[i]);
  if (taken.empty()) return;
  const CatalogueAddition added = addToCatalogue(appFolder_ / "maps.ini", appFolder_ / "Map_Images", taken);
  if (added.error.empty()) {
    // The new catalogue keeps every known map's limits; the rotation stays as it is.
    MapCatalogue next = loadCatalogueFile(appFolder_ / "maps.ini").catalogue;
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
    loadedMaps_->clear();
    for (const auto& name : installedMaps(catalogue_, dataFolder)) loadedMaps_->addItem(fromBytes(name));
  }
  services_.message(additionMessage(added));
}

// ---- save slots ----

int Form1::selectedSlot() const {
  const QString text = saveSelect_->currentText();
  const int slot = text.isEmpty() ? 1 : text.right(1).toInt();
  return slot >= 1 && slot <= kSlotCount ? slot : 1;
}

void Form1::showSlotDescription() {
  const FileBytes file = readFileHead(slotPath(dataFolder_, selectedSlot()), kDescriptionBytes);
  const auto description = file.status == ReadStatus::Ok ? saveDescription(file.bytes) : std::nullopt;
  saveText_->setText(fromBytes(description.value_or(std::string())));
}

void Form1::saveSlot() {
  const int slot = selectedSlot();
  const std::filesystem::path file = slotPath(dataFolder_, slot);
  // The old content stays until the new file is complete: a cancelled prompt
  // still saves (with an empty description), a crash or full disk loses nothing.
  std::string description = services_.prompt(kSavePrompt, kSavePromptTitle, kSavePromptPreset).value_or(std::string());
  // A one-line prompt: a pasted line break ends the description.
  description.resize(std::min(description.size(), description.find_first_of("\r\n")));
  const Configuration config = configuration();
  if (const std::string refusal = saveRefusal(description, config); !refusal.empty()) {
    services_.message(refusal);
    return;
  }
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  const std::string error = writeFileAtomic(file, writeSave(toBytes(saveSelect_->currentText()), description, config),
                                            FileAccess::OwnerOnly);  // a slot holds the console password
  if (!error.empty()) {
    services_.message("ERROR:  Save file #" + std::to_string(slot) + " (" + fromPath(file) +
                      ") could not be written (" + error + ").  The slot keeps what it held.");
    return;
  }
  showSlotDescription();
  sound(3);
  services_.message(kSavedMessage);
}

void Form1::loadSlot() {
  const int slot = selectedSlot();
  const std::filesystem::path file = slotPath(dataFolder_, slot);
  Configuration config = configuration();
  const SaveRead read = restoreSaveFile(file, slot, config);
  const RestoreOutcome outcome = read.outcome;
  if (outcome == RestoreOutcome::Unreadable) {
    services_.message(read.message);
    return;
  }
  if (outcome == RestoreOutcome::NeverUsed) services_.message(read.message);
  if (outcome == RestoreOutcome::Restored) {
    applySettings(config.settings);
    setRotationList(config.rotation.maps);
    catalogue_ = std::move(config.catalogue);
    // The shown map's boxes show its restored limits, so "Change!" cannot write old ones back.
    if (const MapEntry* shown = catalogue_.find(toBytes(optionsMapName_->text()))) showLimits(*shown);
    genericFrag_->clear();
    genericTime_->clear();
    genericCapture_->clear();
  }
  sound(7);
  if (outcome == RestoreOutcome::Restored) services_.message(kRestoredMessage);
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
