#pragma once
// The main window's "Maps" page: the installed maps and the rotation, the
// shown map's picture and captions, per-map and default limits. It holds the
// map catalogue, and adds to it what "Find New Maps" finds.

#include <cstdint>
#include <string>
#include <vector>

#include "maps/MapCatalogue.h"
#include "maps/Rotation.h"
#include "ui/Tab.h"

class QLabel;
class QLineEdit;
class QListView;
class QListWidget;

namespace tarvex {

class RotationModel;

class MapsTab : public Tab {
 public:
  using Tab::Tab;
  void build() override;
  // Pick, add, look at the rotation, then the limits: as the user works.
  QList<QWidget*> tabChain() override;

  // The catalogue of the load step, every map at the default limits; nothing added yet.
  void setCatalogue(MapCatalogue catalogue);
  const MapCatalogue& catalogue() const { return catalogue_; }
  void showInstalledMaps(const std::vector<std::string>& maps);
  Rotation rotation() const;
  // A loaded save's rotation and catalogue; the default-limit boxes are emptied.
  void restore(const std::vector<std::string>& rotation, MapCatalogue catalogue);

  // "Find New Maps": the game folder's unknown maps into the catalogue.
  void findNewMaps();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void prepared() override;

 private:
  QLineEdit* limitBox(const char* name, QWidget* parent, QRect rect, const QString& text);
  void addSelectedMap();
  void removeSelectedEntry(int soundNumber);
  void replaceRotation(MapClass mapClass);
  void showMap(const QString& name);  // the map of a clicked or chosen list entry
  void showPicture(const MapEntry& row);
  void applyCaptureRule(const MapEntry& row);
  void showLimits(const MapEntry& row);  // the custom-limit boxes and the capture-box rule
  void showShownMapLimits();             // of the map named in the box, if the catalogue has it
  void storeCustomLimits();
  void applyGenericLimits();

  MapCatalogue catalogue_;
  std::int16_t addedMapCount_ = 0;
  bool removingEntry_ = false;

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
};

}  // namespace tarvex
