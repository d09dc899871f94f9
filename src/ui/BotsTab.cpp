#include "ui/BotsTab.h"

#include <QLabel>

#include "ui/Layout.h"

namespace tarvex {

using layout::page;
using layout::twips;
using namespace form1;

void BotsTab::build() {
  QWidget* tab = this;
  auto* chat = layout::frame(tab, "BotChat", QStringLiteral("Bot Chatting"), page(960, 960, 3855, 855));
  placeWithLabel("Bot_Chat", chat, 240, 390);
  auto* skill = layout::frame(tab, "Frame4", QStringLiteral("Bot Skill Level"), page(960, 1920, 3855, 1695));
  const char* skills[] = {"skill1", "skill2", "skill3", "skill4", "skill5"};
  for (int i = 0; i < 5; ++i) placeWithLabel(skills[i], skill, 240, 330 + i * 270);
  layout::label(tab,
                QStringLiteral("I'm working on the rest this section right now....  For the moment, selecting a "
                               "minimum player number will cause the game to auto-add (and remove) bots so that the "
                               "minimum player number is met."),
                page(1200, 4200, 6135, 855), QColor(), false, true);
}

}  // namespace tarvex
