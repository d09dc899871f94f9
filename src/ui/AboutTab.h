#pragma once
// The main window's "About" page: what changed, what is planned, the links.

#include "ui/Tab.h"

namespace tarvex {

class AboutTab : public Tab {
 public:
  using Tab::Tab;
  void build() override;
};

}  // namespace tarvex
