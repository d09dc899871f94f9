#include <gtest/gtest.h>

#include <algorithm>

#include "core/TestSupport.h"
#include "launch/GameScript.h"
#include "launch/Launch.h"
#include "saves/ConfigText.h"

using namespace tarvex;
using test::golden;

namespace {
MapCatalogue twoMaps() { return test::catalogueOf({test::row("first"), test::row("second")}); }
}  // namespace

// The start values, and every line a box can add, as the launch writes them
// (CTF maps for a CTF game), byte for byte; empty digit texts as empty values.
TEST(GameScript, StartValuesEveryOptionalLineAndEmptyValuesAsTheyStand) {
  ServerSettings s;
  const auto lines = makeRotationLines({"first", "second"}, twoMaps());
  EXPECT_EQ(renderScript(s, lines.lines, lines.firstCaptureLimit), golden("script_start_values.cfg"));
  test::set(
      s, {"Server_Name=The Best Server", "Server_Quote_Text=", "Player_Respawn_Yes=1", "Player_Respawn_Time=3",
          "warmup_yes=0", "kick_yes=1", "gamelogcheck=1", "download_yes=0", "write_max_yes=1", "skill5", "Bot_Chat=1",
          "write_memory=1", "Memory=128", "NetIP_Check=1", "NetIP=192.0.2.7", "NetPort_Yes=1", "Game_CTF"});
  const MapCatalogue ctfMaps = test::catalogueOf({test::row("first", "1"), test::row("second", "1")});
  EXPECT_EQ(checkLaunch(s, {"first", "second"}, ctfMaps).script, golden("script_every_option.cfg"));
  test::set(s, {"Quad_Text=", "MaxPlayers=", "Game_DM"});
  const std::string script = renderScript(s, {}, {});
  EXPECT_NE(script.find("\r\nseta g_quadfactor \r\n"), std::string::npos);
  EXPECT_NE(script.find("\r\nseta sv_maxclients \"\"\r\n"), std::string::npos);
  EXPECT_NE(script.find("set g_gametype 0\r\nvstr m1\r\n\r\n"), std::string::npos);
}

// The last line points back to the first; the later of two rows of a name
// gives the limits, written as they stand; a map no row carries is named.
TEST(RotationLines, EachPointsToTheNextTheLaterRowWinsAndAMissingMapIsNamed) {
  const auto ten = makeRotationLines(std::vector<std::string>(10, "second"), twoMaps());
  ASSERT_EQ(ten.lines.size(), 10u);
  EXPECT_EQ(ten.lines[9], "Set m10 \"fraglimit 10; timelimit 0; capturelimit 5; map second; set nextmap vstr m1\"");
  EXPECT_EQ(ten.lines[8].substr(ten.lines[8].size() - 9), "vstr m10\"");
  MapEntry late = test::row("dup");
  late.fragLimit = "20";
  late.timeLimit = "007";
  const auto lines = makeRotationLines({"dup"}, test::catalogueOf({test::row("dup"), late}));
  EXPECT_EQ(lines.lines, std::vector<std::string>{
                             "Set m1 \"fraglimit 20; timelimit 007; capturelimit 5; map dup; set nextmap vstr m1\""});
  const auto missing = makeRotationLines({"first", "gone"}, twoMaps());
  EXPECT_FALSE(missing.ok());
  EXPECT_EQ(missing.missingMap, "gone");
  EXPECT_TRUE(missing.lines.empty());
}

TEST(RotationLines, CheatsLoadByDevmapAndAChangedGravityIsSetAgainAfterEachLoad) {
  ServerSettings s;
  test::set(s, {"Cheats_yes=1", "game_gravity=400"});
  auto lines = makeRotationLines({"first"}, twoMaps(), s);
  EXPECT_EQ(lines.lines.at(0),
            "Set m1 \"fraglimit 10; timelimit 0; capturelimit 5; devmap first; g_gravity 400; set nextmap vstr m1\"");
  s.setSwitch("Cheats_yes", false);
  s.setText("game_gravity", "800");  // the game's own: nothing to set again
  EXPECT_EQ(makeRotationLines({"first"}, twoMaps(), s).lines, makeRotationLines({"first"}, twoMaps()).lines);
}

TEST(GameArguments, PortAddressAndMemoryGoOnTheCommandLineBeforeTheScript) {
  ServerSettings s;
  test::set(s, {"NetPort_Yes=1", "NetIP_Check=1", "NetIP=127.0.0.1", "write_memory=1", "Memory=128"});
  EXPECT_EQ(commandLineText(gameArguments(s)),
            "stvoyHM.exe +set dedicated 0 +set net_port 27660 +set net_ip 127.0.0.1 +set com_hunkMegs 128 "
            "+sets configured_by Tarvex +exec tarvex.cfg");
  s.setText("Memory", "");  // an empty box stays off the command line
  EXPECT_EQ(commandLineText(gameArguments(s)).find("hunk"), std::string::npos);
  for (const auto& [type, dedicated] : {std::pair{"Dedicated_button", "1"}, {"dedicated_internet", "2"}}) {
    s.select(type);
    EXPECT_EQ(gameArguments(s).at(2), dedicated) << type;
  }
  // Unchecked, they leave the command line; only the address and the memory are emptied.
  test::set(s, {"Memory=128", "NetIP_Check=0", "write_memory=0", "NetPort_Yes=0"});
  EXPECT_EQ(commandLineText(gameArguments(s)),
            "stvoyHM.exe +set dedicated 2 +sets configured_by Tarvex +exec tarvex.cfg");
  EXPECT_EQ(s.text("NetIP") + s.text("Memory") + s.text("NetPort"), "27660");
}

// A setting is declared once: one added to the table (a switch and the text
// it governs) reaches the script at its place, as its switch says, the game's
// command line, the configuration text, the list of keys and the launch's
// value checks.
TEST(SettingsTable, ASettingAddedToTheTableReachesEveryPlaceThatWritesOrReadsSettings) {
  std::vector<FieldSpec> fields(fieldTable().begin(), fieldTable().end());
  fields.push_back({.name = "Shield_Yes",
                    .kind = FieldKind::Switch,
                    .caption = "Respawn Shield?",
                    .start = "0",
                    .key = "respawn-shield",
                    .tab = "Settings"});
  fields.push_back({.name = "Shield_Text",
                    .kind = FieldKind::Text,
                    .caption = "Shield Strength",
                    .start = "25",
                    .maxLength = 3,
                    .digitsOnly = true,
                    .governor = "Shield_Yes",
                    .key = "respawn-shield-strength",
                    .tab = "Settings",
                    .scriptOrder = 105,
                    .verb = "seta",
                    .variable = "g_shieldStrength",
                    .form = ValueForm::Digits,
                    .whenOff = WhenOff::Reset,
                    .onCommandLine = true});
  const FieldTableInUse inUse(std::move(fields));

  Configuration config;
  config.catalogue = twoMaps();
  config.rotation.maps = {"first"};
  std::string script = checkLaunch(config.settings, config.rotation.maps, config.catalogue).script;
  EXPECT_NE(script.find("seta g_ghostRespawn \"5\"\r\nreset g_shieldStrength\r\nseta g_doWarmup 1\r\n"),
            std::string::npos);
  EXPECT_EQ(
      gameArguments(config.settings, "tarvex.cfg"),
      (std::vector<std::string>{"+set", "dedicated", "0", "+sets", "configured_by", "Tarvex", "+exec", "tarvex.cfg"}));

  // The configuration text and its keys name it; a slot keeps it once the save
  // file's layout has a place for it (a format, not a restatement).
  EXPECT_NE(configKeys().find("respawn-shield-strength\tSettings\tShield Strength\t"), std::string::npos);
  EXPECT_NE(configText(config, {}, {}).find("\n# respawn-shield-strength = 25 (not kept in a save file)\n"),
            std::string::npos);
  const ConfigApplied applied = applyConfigText("respawn-shield-strength = 40\n", config, "");
  ASSERT_EQ(applied.problems.size(), 1u);
  EXPECT_EQ(applied.problems.front().text,
            "respawn-shield-strength is not kept in a save file: a slot always starts with 25");

  config.settings.setSwitch("Shield_Yes", true);
  config.settings.setText("Shield_Text", "40");
  script = checkLaunch(config.settings, config.rotation.maps, config.catalogue).script;
  EXPECT_NE(script.find("seta g_ghostRespawn \"5\"\r\nseta g_shieldStrength 40\r\nseta g_doWarmup 1\r\n"),
            std::string::npos);
  const auto arguments = gameArguments(config.settings, "tarvex.cfg");
  const std::vector<std::string> set{"+set", "g_shieldStrength", "40"};
  EXPECT_NE(std::search(arguments.begin(), arguments.end(), set.begin(), set.end()), arguments.end());

  // The value checks of its form: a bare value cannot carry a second command.
  config.settings.setText("Shield_Text", "4;quit");
  const LaunchCheck refused = checkLaunch(config.settings, config.rotation.maps, config.catalogue);
  EXPECT_FALSE(refused.proceed);
  ASSERT_FALSE(refused.messages.empty());
  EXPECT_NE(refused.messages.front().find("\"Shield Strength\" (Shield_Text)"), std::string::npos);
}
