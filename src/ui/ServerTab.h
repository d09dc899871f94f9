#pragma once
// The main window's "Server" page: names, passwords, server and game type.

#include "ui/Tab.h"

namespace tarvex {

class ServerTab : public Tab {
 public:
  using Tab::Tab;
  void build() override;
};

}  // namespace tarvex
