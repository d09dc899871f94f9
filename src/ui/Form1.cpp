#include "ui/Form1.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include "launch/LaunchSequence.h"
#include "platform/Files.h"
#include "saves/SaveFile.h"
#include "startup/GameFolder.h"
#include "ui/AboutTab.h"
#include "ui/AdvancedTab.h"
#include "ui/BotsTab.h"
#include "ui/Convert.h"
#include "ui/Keyboard.h"
#include "ui/Layout.h"
#include "ui/Logo.h"
#include "ui/MapsTab.h"
#include "ui/SaveLoadTab.h"
#include "ui/ServerTab.h"
#include "ui/SettingsTab.h"

static void initResources() { Q_INIT_RESOURCE(resources); }

namespace tarvex {

using layout::twips;

Form1::Form1(WindowServices& services, std::filesystem::path appFolder, std::filesystem::path dataFolder,
             QWidget* parent)
    : QWidget(parent),
      services_(services),
      appFolder_(std::move(appFolder)),
      dataFolder_(dataFolder.empty() ? appFolder_ : std::move(dataFolder)),
      sounds_(services_),
      controls_(this, sounds_),
      context_{services_, sounds_, controls_, {appFolder_, dataFolder_}} {
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
  maps_ = new MapsTab(context_);
  saveLoad_ = new SaveLoadTab(context_, *this);
  advanced_ = new AdvancedTab(context_);
  pages_ = {new ServerTab(context_), new SettingsTab(context_), maps_, new BotsTab(context_), saveLoad_, advanced_,
            new AboutTab(context_)};
  const char* captions[] = {"Server", "Settings", "Maps", "Bots", "Save/Load", "Advanced", "About"};
  for (int i = 0; i < 7; ++i) {
    pages_[i]->setObjectName(QStringLiteral("tab_%1").arg(i));
    pages_[i]->setAutoFillBackground(true);
    tabs_->addTab(pages_[i], QString::fromLatin1(captions[i]));
  }
  pages_[0]->build();
  tabs_->setCurrentIndex(0);
  connect(advanced_, &AdvancedTab::refindRequested, this, &Form1::refindRequested);
  connect(advanced_, &AdvancedTab::findMapsRequested, maps_, &MapsTab::findNewMaps);

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
  pages_[0]->prepare();
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    completeWindow();
    pages_[index]->prepare();
  });

  controls_.show(ServerSettings());
  if (const QScreen* screen = QApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void Form1::completeWindow() {
  if (complete_) return;
  complete_ = true;
  const QHash<QString, QWidget*> earlier = controls_.controls();
  for (std::size_t i = 1; i < pages_.size(); ++i) pages_[i]->build();
  // Every declared setting has its control on some tab.
  Q_ASSERT(controls_.complete());
  controls_.show(ServerSettings(), earlier);
  setUpKeyboard();
  if (loaded_) showLoaded();
  // Controls made on a page already shown (another tab chosen before the
  // first paint) stay hidden until shown themselves.
  Tab* shown = pages_[tabs_->currentIndex()];
  if (shown->isVisible()) {
    for (QWidget* control : shown->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (!control->testAttribute(Qt::WA_WState_ExplicitShowHide)) control->show();
  }
  shown->prepare();
}

Form1::~Form1() = default;

void Form1::setUpKeyboard() {
  keyboard::installLinkAccessibility();
  keyboard::enterPressesButtons(this);
  // Tab runs through each page in order, then to ENGAGE!; pages not shown are passed over.
  QList<QWidget*> chain{tabs_->tabBar()};
  for (Tab* page : pages_) {
    keyboard::nameFrames(page);
    chain.append(page->tabChain());
  }
  chain.append(engage_);
  keyboard::chainTabOrder(chain);
}

void Form1::paintEvent(QPaintEvent*) {
  // Black around the tab control; the pages keep the desktop's colours.
  QPainter(this).fillRect(rect(), Qt::black);
  // The rest of the window follows the first paint.
  if (!complete_) QTimer::singleShot(0, this, &Form1::completeWindow);
}

// ---- settings ----

Configuration Form1::configuration() {
  completeWindow();
  Configuration config;
  config.settings = controls_.read();
  config.rotation = maps_->rotation();
  config.catalogue = maps_->catalogue();
  return config;
}

void Form1::applySettings(const ServerSettings& settings) {
  completeWindow();
  controls_.show(settings);
}

void Form1::restoreConfiguration(Configuration config) {
  applySettings(config.settings);
  maps_->restore(config.rotation.maps, std::move(config.catalogue));
}

// ---- load step ----

void Form1::load() {
  sounds_.setFolder(appFolder_);
  logo_->timer().stop();
  if (logo_->load(sounds_.file("tx.gif"))) logo_->start();
  sounds_.play("cfiles.wav");

  loaded_ = std::make_unique<Loaded>();
  const PathIni ini = readPathIni(dataFolder_);
  const std::string gameFolder = ini.gameFolder;
  loaded_->gameFolder = fromPathBytes(gameFolder);

  MapListLoad catalogue = loadMapList(context_.folders);
  for (const auto& text : catalogue.messages) services_.message(text);
  maps_->setCatalogue(std::move(catalogue.catalogue));
  if (!gameFolder.empty()) loaded_->installedMaps = installedMaps(maps_->catalogue(), findGameDataFolder(gameFolder));

  const FileBytes slot1 = readFileHead(slotPath(dataFolder_, 1), form1::kDescriptionBytes);
  const auto description = slot1.status == ReadStatus::Ok ? saveDescription(slot1.bytes) : std::nullopt;
  loaded_->slotDescription = fromBytes(description.value_or(std::string()));
  if (complete_) showLoaded();
}

void Form1::showLoaded() {
  advanced_->showGameFolder(loaded_->gameFolder);
  maps_->showInstalledMaps(loaded_->installedMaps);
  saveLoad_->showSlots(loaded_->slotDescription);
  loaded_.reset();
}

// ---- launch ----

void Form1::engage() {
  // While the server comes up the window waits, busy, and takes no input; a
  // game that ended or never answered is said, and the window stays.
  bool waiting = false;
  const auto started = [this, &waiting] {
    sounds_.play("stegize.wav");
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    waiting = true;
  };
  const LaunchResult result = runLaunch(services_, dataFolder_, configuration(), started);
  if (waiting) {
    QApplication::restoreOverrideCursor();
    setEnabled(true);
  }
  if (result == LaunchResult::Started) emit launched();
}

}  // namespace tarvex
