#pragma once
// The main window's "Settings" page: player, item, team and general settings.

#include "ui/Tab.h"

namespace tarvex {

class SettingsTab : public Tab {
 public:
  using Tab::Tab;
  void build() override;
};

}  // namespace tarvex
