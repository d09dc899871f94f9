#pragma once
// The main window's "Bots" page: bot skill and chat.

#include "ui/Tab.h"

namespace tarvex {

class BotsTab : public Tab {
 public:
  using Tab::Tab;
  void build() override;
};

}  // namespace tarvex
