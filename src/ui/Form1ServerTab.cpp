// The main window's the "Server" tab: names, passwords, server and game type.
#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFont>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>

#include "launch/LaunchSequence.h"
#include "maps/MapDiscovery.h"
#include "maps/MapLimits.h"
#include "platform/Files.h"
#include "startup/GameFolder.h"
#include "ui/Convert.h"
#include "ui/Form1.h"
#include "ui/Form1Parts.h"
#include "ui/Layout.h"
#include "ui/RotationModel.h"
#include "ui/TextFilter.h"

namespace tarvex {

using layout::page;
using layout::twips;
using namespace form1;

void Form1::buildServerTab(QWidget* tab) {
  auto* title = layout::frame(tab, "ServerTitle", QStringLiteral("Server Title:"), page(345, 945, 3015, 975));
  placeField("Server_Name", title, twips(120, 420, 2775, 315));
  auto* quote = layout::frame(tab, "ServerQuote", QStringLiteral("Server Quote:"), page(345, 2025, 3015, 975));
  placeField("Server_Quote_Text", quote, twips(120, 420, 2775, 315));

  auto* type = layout::frame(tab, "Dedicated_Frame", QStringLiteral("Server Type"), page(3465, 765, 2415, 2640));
  placeBoxWithLabel("NonDedicated_Button", type, 150, 300);
  placeBoxWithLabel("dedicated_internet", type, 150, 570);
  placeBoxWithLabel("Dedicated_button", type, 150, 840);
  placeBoxWithLabel("Pure_yes", type, 150, 1110);
  auto* gameTypes = layout::frame(type, "Frame1", QString(), twips(270, 1395, 1935, 1170));
  placeBoxWithLabel("game_1v1", gameTypes, 120, 90);
  placeBoxWithLabel("Game_DM", gameTypes, 120, 360);
  placeBoxWithLabel("Game_Team_DM", gameTypes, 120, 630);
  placeBoxWithLabel("Game_CTF", gameTypes, 120, 900);

  auto* passwords = layout::frame(tab, "Passwords", QStringLiteral("Passwords"), page(5985, 945, 2895, 2055));
  layout::label(passwords, QStringLiteral("Console Password:"), twips(120, 300, 2655, 240));
  placeField("Console_Password", passwords, twips(120, 540, 2655, 315));
  layout::label(passwords, QStringLiteral("Private Client Password:"), twips(120, 930, 2655, 240));
  placeField("Private_Password", passwords, twips(120, 1170, 2655, 315));
  layout::label(passwords, QStringLiteral("Leaving the text boxes blank deactivates these features."),
                twips(120, 1530, 2655, 435), kBlue, false, true);

  auto* image2 = new QLabel(tab);
  image2->setObjectName(QStringLiteral("Image2"));
  image2->setGeometry(page(480, 3525, 8295, 2625));
  image2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  image2->setPixmap(layout::builtInPicture(QStringLiteral(":/tarvex/scoretable.ppm")));
}

}  // namespace tarvex
