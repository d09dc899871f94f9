#pragma once
// The main window's "Save/Load" page: the nine slots, each with its
// description; saving and loading the whole window's configuration.

#include "ui/Tab.h"

class QComboBox;
class QLineEdit;

namespace tarvex {

class SaveLoadTab : public Tab {
 public:
  SaveLoadTab(const TabContext& context, ConfigurationHolder& window) : Tab(context), window_(window) {}
  void build() override;
  // The slot list, the first slot chosen with its description.
  void showSlots(const QString& firstDescription);

 private:
  int selectedSlot() const;
  void showSlotDescription();
  void saveSlot();
  void loadSlot();

  ConfigurationHolder& window_;
  QComboBox* saveSelect_ = nullptr;
  QLineEdit* saveText_ = nullptr;
};

}  // namespace tarvex
