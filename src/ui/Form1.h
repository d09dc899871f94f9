#pragma once
// The main window: every server setting on its tabs, the map rotation with
// per-map limits and pictures, the save slots, the logo, and "ENGAGE! ".

#include <QString>
#include <QWidget>
#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "services/Services.h"
#include "ui/SettingControls.h"
#include "ui/Tab.h"

class QLabel;
class QPushButton;
class QTabWidget;

namespace tarvex {

class AdvancedTab;
class Logo;
class MapsTab;
class SaveLoadTab;

class Form1 : public QWidget, public ConfigurationHolder {
  Q_OBJECT
 public:
  // appFolder: the program's own files; dataFolder: path.ini and the save
  // slots (the program folder unless that is read-only).
  Form1(WindowServices& services, std::filesystem::path appFolder, std::filesystem::path dataFolder = {},
        QWidget* parent = nullptr);
  ~Form1() override;

  // The load step: logo, folders, start-up sound, game folder, catalogue,
  // installed maps, default limits, save-slot selector.
  void load();

  // A new window holds the first tab, the tab headers, the logo and
  // "ENGAGE! " only; the other tabs are built right after its first paint, or
  // at once when something needs them (another tab shown, the configuration
  // read or set, a launch). Calling it again does nothing.
  void completeWindow();
  bool isComplete() const { return complete_; }

  // The window's whole configuration, read back through the settings table.
  Configuration configuration() override;
  // Puts settings into the controls as they are, without click sounds.
  void applySettings(const ServerSettings& settings);
  // A loaded save: its settings, its rotation and its catalogue's limits.
  void restoreConfiguration(Configuration config) override;

  Logo& logo() { return *logo_; }

 signals:
  void refindRequested();
  void launched();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // Enter on buttons, frames named by their captions, Tab order.
  void setUpKeyboard();
  // What the load step found, in the controls of the later tabs.
  void showLoaded();
  void engage();

  WindowServices& services_;
  std::filesystem::path appFolder_;
  std::filesystem::path dataFolder_;
  WindowSounds sounds_;
  SettingControls controls_;
  TabContext context_;
  Logo* logo_ = nullptr;  // a child of the window

  bool complete_ = false;
  QTabWidget* tabs_ = nullptr;
  std::array<Tab*, 7> pages_{};
  MapsTab* maps_ = nullptr;
  SaveLoadTab* saveLoad_ = nullptr;
  AdvancedTab* advanced_ = nullptr;
  QPushButton* engage_ = nullptr;
  QLabel* image1_ = nullptr;
  // The load step's findings until their tabs exist.
  struct Loaded {
    QString gameFolder;
    std::vector<std::string> installedMaps;
    QString slotDescription;
  };
  std::unique_ptr<Loaded> loaded_;
};

}  // namespace tarvex
