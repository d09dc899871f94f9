#include "ui/SettingsTab.h"

#include <QLabel>

#include "ui/Layout.h"

namespace tarvex {

using layout::page;
using layout::twips;
using namespace form1;

void SettingsTab::build() {
  QWidget* tab = this;
  auto* players = layout::frame(tab, "Players_Frame", QStringLiteral("Player Settings"), page(360, 720, 4215, 3345));
  auto textRow = [&](QWidget* parent, const char* name, int left, int top, int width, int labelLeft) {
    QWidget* control = place(name, parent, twips(left, top, width, 285));
    layout::label(parent, caption(name), twips(labelLeft, top + 30, 0, 0));
    return control;
  };
  textRow(players, "MaxPlayers", 120, 330, 435, 600);
  textRow(players, "Private_Text", 2280, 330, 435, 2760);
  textRow(players, "MinPlayers", 120, 690, 435, 600);
  textRow(players, "Ghost_Time", 120, 1050, 435, 600);
  placeWithLabel("Player_Respawn_Yes", players, 120, 1440);
  textRow(players, "Player_Respawn_Time", 2700, 1425, 435, 3180);
  placeWithLabel("allow_vote", players, 120, 1800);
  placeWithLabel("kick_yes", players, 120, 2160);
  textRow(players, "kick_text", 2700, 2145, 435, 3180);
  placeWithLabel("Cheats_yes", players, 120, 2520);
  placeWithLabel("warmup_yes", players, 120, 2880);
  textRow(players, "WarmupTime", 1200, 2865, 435, 1680);

  auto* items = layout::frame(tab, "Frame10", QStringLiteral("Item/Weapon"), page(4920, 720, 3975, 2025));
  textRow(items, "Quad_Text", 120, 330, 435, 600);
  textRow(items, "Knockback_Text", 120, 690, 435, 600);
  placeWithLabel("adapt_respawn", items, 120, 1080);
  layout::label(items, caption("weapon_respawn_time"), twips(120, 1470, 0, 0));
  place("weapon_respawn_time", items, twips(2040, 1440, 435, 285));
  layout::label(items, QStringLiteral("seconds"), twips(2540, 1470, 0, 0));

  auto* teams = layout::frame(tab, "Teams", QStringLiteral("Team Settings"), page(4920, 2760, 3975, 1245));
  placeWithLabel("friendly_yes", teams, 120, 300);
  placeWithLabel("team_auto_join_yes", teams, 120, 600);
  placeWithLabel("team_balance_yes", teams, 120, 900);

  auto* general = layout::frame(tab, "Damage_Frame", QStringLiteral("General"), page(360, 4200, 8535, 1575));
  textRow(general, "gamespeed", 120, 330, 615, 840);
  QWidget* gravity = textRow(general, "game_gravity", 120, 720, 615, 840);
  // The game module puts the map's own gravity back at every map restart
  // (warmup's end runs one); only tarvex-cli run sets the user's again.
  const QString gravityNote = QStringLiteral("Warmup's restart resets it; tarvex-cli run keeps it.");
  layout::label(general, gravityNote, twips(2900, 750, 0, 0))->setObjectName(QStringLiteral("Gravity_Note"));
  gravity->setAccessibleDescription(gravityNote);
  textRow(general, "inter_time", 120, 1110, 615, 840);
  nameForScreenReaders({{"Player_Respawn_Time", "Seconds before a forced respawn"},
                        {"kick_text", "Seconds before an inactive player is kicked"},
                        {"WarmupTime", "Warmup seconds"}});
}

}  // namespace tarvex
