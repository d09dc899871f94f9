#include "ui/ServerTab.h"

#include <QLabel>

#include "ui/Layout.h"

namespace tarvex {

using layout::page;
using layout::twips;
using namespace form1;

void ServerTab::build() {
  QWidget* tab = this;
  auto* title = layout::frame(tab, "ServerTitle", caption("Server_Name"), page(345, 945, 3015, 975));
  place("Server_Name", title, twips(120, 420, 2775, 315));
  auto* quote = layout::frame(tab, "ServerQuote", caption("Server_Quote_Text"), page(345, 2025, 3015, 975));
  place("Server_Quote_Text", quote, twips(120, 420, 2775, 315));

  auto* type = layout::frame(tab, "Dedicated_Frame", QStringLiteral("Server Type"), page(3465, 765, 2415, 2640));
  placeWithLabel("NonDedicated_Button", type, 150, 300);
  placeWithLabel("dedicated_internet", type, 150, 570);
  placeWithLabel("Dedicated_button", type, 150, 840);
  placeWithLabel("Pure_yes", type, 150, 1110);
  auto* gameTypes = layout::frame(type, "Frame1", QString(), twips(270, 1395, 1935, 1170));
  placeWithLabel("game_1v1", gameTypes, 120, 90);
  placeWithLabel("Game_DM", gameTypes, 120, 360);
  placeWithLabel("Game_Team_DM", gameTypes, 120, 630);
  placeWithLabel("Game_CTF", gameTypes, 120, 900);

  auto* passwords = layout::frame(tab, "Passwords", QStringLiteral("Passwords"), page(5985, 945, 2895, 2055));
  layout::label(passwords, caption("Console_Password"), twips(120, 300, 2655, 240));
  place("Console_Password", passwords, twips(120, 540, 2655, 315));
  layout::label(passwords, caption("Private_Password"), twips(120, 930, 2655, 240));
  place("Private_Password", passwords, twips(120, 1170, 2655, 315));
  layout::label(passwords, QStringLiteral("Leaving the text boxes blank deactivates these features."),
                twips(120, 1530, 2655, 435), kBlue, false, true);

  auto* image2 = new QLabel(tab);
  image2->setObjectName(QStringLiteral("Image2"));
  image2->setGeometry(page(480, 3525, 8295, 2625));
  image2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  image2->setPixmap(layout::builtInPicture(QStringLiteral(":/tarvex/scoretable.ppm")));
  nameForScreenReaders({{"Frame1", "Game Type"}});
}

}  // namespace tarvex
