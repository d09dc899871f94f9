#include "ui/AdvancedTab.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/Layout.h"

namespace tarvex {

using layout::page;
using layout::twips;
using namespace form1;

void AdvancedTab::build() {
  QWidget* tab = this;
  layout::label(tab, QStringLiteral("Warning:  Please do not use these settings if you unsure of their meaning!"),
                page(2160, 600, 0, 0), kRed, true);
  auto* advanced =
      layout::frame(tab, "Frame2", QStringLiteral("Advanced Server Settings"), page(360, 840, 8535, 3975), true, kRed);
  auto textRow = [&](const char* name, int left, int top, int width, const QString& caption, int labelLeft) {
    place(name, advanced, twips(left, top, width, 285));
    if (!caption.isEmpty()) layout::label(advanced, caption, twips(labelLeft, top + 30, 0, 0));
  };
  // Left column
  textRow("Max_Ping", 120, 330, 615, caption("Max_Ping"), 840);
  textRow("Min_Ping", 120, 690, 615, caption("Min_Ping"), 840);
  placeWithLabel("flood_yes", advanced, 120, 1065);
  placeWithLabel("NetPort_Yes", advanced, 120, 1425);
  textRow("NetPort", 1500, 1410, 855, QString(), 0);
  placeWithLabel("NetIP_Check", advanced, 120, 1785);
  textRow("NetIP", 1500, 1770, 1395, QString(), 0);
  // Middle column
  layout::label(advanced, caption("Memory"), twips(3060, 330, 0, 0), QColor(), true);
  place("write_memory", advanced, twips(3060, 705, 255, 255));
  textRow("Memory", 3360, 690, 435, caption("write_memory"), 3860);
  placeWithLabel("holo_yes", advanced, 3060, 1125, 2500);
  // Right column
  layout::label(advanced, caption("download_yes"), twips(6000, 330, 0, 0), QColor(), true);
  place("download_yes", advanced, twips(6000, 705, 255, 255));
  textRow("MaxPackets", 6300, 690, 495, caption("MaxPackets"), 6860);
  layout::label(advanced, caption("write_max_yes"), twips(6000, 1110, 0, 0), QColor(), true);
  place("write_max_yes", advanced, twips(6000, 1440, 255, 255));
  textRow("MaxRate", 6300, 1425, 615, QString(), 0);
  layout::label(advanced, QStringLiteral("Warning:  Don't change this unless you understand how it works."),
                twips(6000, 1770, 2460, 660), kRed, false, true);
  // Full rows
  layout::label(advanced, caption("gamelogcheck"), twips(120, 2325, 0, 0));
  place("gamelogcheck", advanced, twips(2040, 2310, 255, 255));
  textRow("GameLogText", 2340, 2295, 3015, QString(), 0);
  const char* masters[] = {"Master2", "Master3", "Master4", "Master5"};
  for (int i = 0; i < 4; ++i) {
    layout::label(advanced, caption(masters[i]), twips(120, 2745 + i * 300, 0, 0));
    place(masters[i], advanced, twips(1560, 2715 + i * 300, 3795, 285));
  }

  layout::label(tab, QStringLiteral("Current Game Folder Path:"), page(900, 4965, 0, 0), QColor(), true);
  pathText_ = layout::lineEdit(tab, "PathText", page(3375, 4935, 4935, 285));
  pathText_->setReadOnly(true);
  auto* refind = layout::button(tab, "refind_path", QStringLiteral("Refind Game Path"), page(3555, 5280, 2175, 375));
  auto* findMaps = layout::button(tab, "find_maps", QStringLiteral("Find New Maps"), page(5850, 5280, 1695, 375));
  findMaps->setAccessibleDescription(QStringLiteral("Adds the maps of the game's pk3 files that the map list lacks"));
  connect(findMaps, &QPushButton::clicked, this, &AdvancedTab::findMapsRequested);
  layout::label(
      tab, QStringLiteral("Warning:  This restarts Tarvex.  All settings will be lost unless you save them first!"),
      page(1200, 5730, 0, 0), kRed);
  connect(refind, &QPushButton::clicked, this, [this] {
    sound(4);
    emit refindRequested();
  });
  nameForScreenReaders({{"PathText", "Current Game Folder Path"},
                        {"write_memory", caption("write_memory")},
                        {"Memory", QStringLiteral("Reserved Megs For Server")},  // as said, not as shown
                        {"download_yes", caption("download_yes")},
                        {"write_max_yes", caption("write_max_yes")},
                        {"gamelogcheck", caption("gamelogcheck")}});
}

void AdvancedTab::showGameFolder(const QString& folder) { pathText_->setText(folder); }

}  // namespace tarvex
