#include "ui/AboutTab.h"

#include <QFont>
#include <QLabel>

#include "services/Services.h"
#include "ui/Layout.h"

namespace tarvex {

using layout::page;
using layout::twips;
using namespace form1;

namespace {
// The three link targets of the "About" tab, kept together.
struct Link {
  const char* name;
  const char* caption;
  const char* target;
  int sound;
};
constexpr Link kHomepage{"Label101", "Tarvex Homepage", "https://tarvex.github.io/", 1};
constexpr Link kWebSite{"Label96", "https://github.com/tarvex", "https://github.com/tarvex", 7};
constexpr Link kMail{"Label97", "tarvex@users.noreply.github.com", "mailto:tarvex@users.noreply.github.com", 3};

}  // namespace

void AboutTab::build() {
  QWidget* tab = this;
  auto* notes = layout::frame(tab, "Frame5", QString(), page(1560, 465, 6495, 1215));
  layout::label(
      notes,
      QStringLiteral("Changes Since Beta 3.1:  Fixed a bug that would cause Tarvex to crash when launching the "
                     "game if the game folder was on a different drive than the Tarvex executable.  ...There "
                     "is now a dedicated Internet AND a dedicated LAN selectioin.  Fixed some problems with "
                     "the SAVE/LOAD feature.  Added built in support for a bunch of new maps"),
      twips(120, 90, 6255, 1080), QColor(), false, true);
  const int left = 660;
  const int width = 8000;
  layout::label(tab, QString(), page(left, 1740, width, 240));
  layout::label(
      tab, QStringLiteral("For information on how to add custom maps, please open the \"Add_Maps_Howto.txt\" file."),
      page(left, 1800, width, 240));
  layout::label(tab, QStringLiteral("Upgrades in progress:"), page(left, 2160, width, 240), QColor(), true);
  layout::label(tab, QStringLiteral("-  Custom Bot configuration files."), page(left + 240, 2400, width, 240));
  layout::label(tab, QStringLiteral("-  Built in form for adding maps.......  to make it easier."),
                page(left + 240, 2640, width, 240));
  layout::label(tab, QStringLiteral("Current Problems:"), page(left, 3000, width, 240), QColor(), true);
  layout::label(tab, QStringLiteral("- No matter what, the game resets \"g_needpass X\" to 0 on launch...........  ?"),
                page(left + 240, 3240, width, 240));
  layout::label(tab, QStringLiteral("- Bot scripts do not execute as in Quake3 (or I'm doing something stupid)."),
                page(left + 240, 3480, width, 240));
  layout::label(tab, QStringLiteral("PLEASE, send feedback!   I need problem reports."), page(left, 3960, width, 240),
                QColor(), true);
  const struct {
    const Link* link;
    int left;
    int top;
  } links[] = {{&kHomepage, 3285, 4830}, {&kMail, 3870, 5205}, {&kWebSite, 3750, 5505}};
  for (const auto& place : links) {
    auto* label = new layout::LinkLabel(QString::fromLatin1(place.link->caption), tab);
    label->setObjectName(QString::fromLatin1(place.link->name));
    layout::setTextColour(label, kBlue);
    QFont underlined = label->font();
    underlined.setUnderline(true);
    label->setFont(underlined);
    label->setCursor(Qt::PointingHandCursor);
    label->setProperty(kCentredTop, page(place.left, place.top, 0, 0).y());  // placed when the page is first shown
    const Link* link = place.link;
    connect(label, &layout::LinkLabel::clicked, this, [this, link] {
      sound(link->sound);
      services().openLink(link->target);
    });
  }
  auto* thanks = layout::label(tab,
                               QStringLiteral("Thanks to everyone who tested Tarvex, reported problems and kept "
                                              "Holomatch servers running."),
                               page(660, 5880, 7935, 240));
  thanks->setObjectName(QStringLiteral("Label48"));
  nameForScreenReaders({{"Frame5", "Changes"}});
}

}  // namespace tarvex
