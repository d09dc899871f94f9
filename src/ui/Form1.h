#pragma once
// The main window: every server setting on its tabs, the map rotation with
// per-map limits and pictures, the save slots, the logo, and "ENGAGE! ".

#include <QHash>
#include <QWidget>
#include <filesystem>
#include <memory>

#include "saves/SaveFile.h"
#include "services/Services.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QListWidgetItem;
class QComboBox;
class QPushButton;
class QTabWidget;

namespace tarvex {

class Logo;
class RotationModel;

class Form1 : public QWidget {
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
  Configuration configuration();
  // Puts settings into the controls as they are, without click sounds.
  void applySettings(const ServerSettings& settings);

  Logo& logo() { return *logo_; }

 signals:
  void refindRequested();
  void launched();

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Spoken names, Enter on buttons, Tab order, keys of the map lists.
  void setUpKeyboard();
  // The settings' values in the controls that exist so far (all of them once complete).
  void showSettings(const ServerSettings& settings, const QHash<QString, QWidget*>& skip = {});
  // What the load step found, in the controls of the later tabs.
  void showLoaded();
  void preparePage(QWidget* page);  // sizes its labels and clears its captions, once
  void buildServerTab(QWidget* tab);
  void buildSettingsTab(QWidget* tab);
  void buildMapsTab(QWidget* tab);
  void buildBotsTab(QWidget* tab);
  void buildSaveTab(QWidget* tab);
  void buildAdvancedTab(QWidget* tab);
  void buildAboutTab(QWidget* tab);

  // Creates the control of a setting from its declaration and wires its click.
  QWidget* placeField(const char* name, QWidget* parent, QRect rect);
  // A switch or option with its caption as a separate label to its right.
  QWidget* placeBoxWithLabel(const char* name, QWidget* parent, int left, int top, int labelWidth = 0);
  QLineEdit* limitBox(const char* name, QWidget* parent, QRect rect, const QString& text);
  void onSwitchClicked(const char* name, bool checked);

  void sound(int number);
  std::string appFile(const char* name) const;

  // Maps
  void addSelectedMap();
  void removeSelectedEntry(int soundNumber);
  void replaceRotation(MapClass mapClass);
  void setRotationList(const std::vector<std::string>& maps);
  std::vector<std::string> rotationList() const;
  void showMap(const QString& name);  // the map of a clicked or chosen list entry
  void showPicture(const MapEntry& row);
  void applyCaptureRule(const MapEntry& row);
  void showLimits(const MapEntry& row);  // the custom-limit boxes and the capture-box rule
  void storeCustomLimits();
  void applyGenericLimits();

  // "Find New Maps": the game folder's unknown maps into the catalogue.
  void findNewMaps();

  // Save slots
  int selectedSlot() const;
  void showSlotDescription();
  void saveSlot();
  void loadSlot();

  void engage();

  WindowServices& services_;
  std::filesystem::path appFolder_;
  std::filesystem::path dataFolder_;
  MapListFolders mapListFolders() const { return {appFolder_, dataFolder_}; }
  std::string appFolderText_;
  MapCatalogue catalogue_;
  std::int16_t addedMapCount_ = 0;
  bool removingEntry_ = false;
  QHash<QString, QWidget*> fields_;
  QButtonGroup* choiceGroups_[4] = {};  // by ChoiceGroup
  Logo* logo_ = nullptr;                // a child of the window

  bool complete_ = false;
  QWidget* pages_[7] = {};
  QPushButton* engage_ = nullptr;
  // The load step's findings until their tabs exist.
  struct Loaded {
    QString gameFolder;
    std::vector<std::string> installedMaps;
    QString slotDescription;
  };
  std::unique_ptr<Loaded> loaded_;

  QTabWidget* tabs_ = nullptr;
  QLabel* image1_ = nullptr;
  QListWidget* loadedMaps_ = nullptr;
  QListView* selectedMaps_ = nullptr;
  RotationModel* rotation_ = nullptr;
  QLabel* mapPictures_ = nullptr;
  QLineEdit* mapText_ = nullptr;
  QLineEdit* mapText2_ = nullptr;
  QLineEdit* optionsMapName_ = nullptr;
  QLineEdit* customFrag_ = nullptr;
  QLineEdit* customTime_ = nullptr;
  QLineEdit* customCapture_ = nullptr;
  QLineEdit* genericFrag_ = nullptr;
  QLineEdit* genericTime_ = nullptr;
  QLineEdit* genericCapture_ = nullptr;
  QComboBox* saveSelect_ = nullptr;
  QLineEdit* saveText_ = nullptr;
  QLineEdit* pathText_ = nullptr;
};

}  // namespace tarvex
