#include <gtest/gtest.h>

#include "core/TestSupport.h"
#include "launch/GameScript.h"
#include "launch/Launch.h"

using namespace tarvex;
using test::golden;

namespace {
MapCatalogue twoMaps() { return test::catalogueOf({test::row("first"), test::row("second")}); }
}  // namespace

TEST(GameScript, StartValuesAndTwoMapsGiveTheReferenceFileByteForByte) {
  const ServerSettings s;
  const auto lines = makeRotationLines({"first", "second"}, twoMaps());
  ASSERT_TRUE(lines.ok());
  EXPECT_EQ(renderScript(s, lines.lines, lines.firstCaptureLimit), golden("script_start_values.cfg"));
}

TEST(GameScript, EveryOptionalLineAndQuotedTextsAsTheyStand) {
  ServerSettings s;
  s.setText("Server_Name", "The Best Server");
  s.setText("Server_Quote_Text", "");
  s.setSwitch("Player_Respawn_Yes", true);
  s.setText("Player_Respawn_Time", "3");
  s.setSwitch("warmup_yes", false);
  s.setSwitch("kick_yes", true);
  s.setSwitch("gamelogcheck", true);
  s.setSwitch("download_yes", false);
  s.setSwitch("write_max_yes", true);
  s.select("skill5");
  s.setSwitch("Bot_Chat", true);
  s.setSwitch("write_memory", true);
  s.setText("Memory", "128");
  s.setSwitch("NetIP_Check", true);
  s.setText("NetIP", "192.0.2.7");
  s.setSwitch("NetPort_Yes", true);
  s.select("Game_CTF");
  // What the launch writes, every check passed (CTF maps for a CTF game).
  const MapCatalogue ctfMaps = test::catalogueOf({test::row("first", "1"), test::row("second", "1")});
  EXPECT_EQ(checkLaunch(s, {"first", "second"}, ctfMaps).script, golden("script_every_option.cfg"));
}

TEST(GameScript, EmptyDigitTextsGiveEmptyValues) {
  ServerSettings s;
  s.setText("Quad_Text", "");
  s.setText("MaxPlayers", "");
  const std::string script = renderScript(s, {}, {});
  EXPECT_NE(script.find("\r\nseta g_quadfactor \r\n"), std::string::npos);
  EXPECT_NE(script.find("\r\nseta sv_maxclients \"\"\r\n"), std::string::npos);
  EXPECT_NE(script.find("set g_gametype 0\r\nvstr m1\r\n\r\n"), std::string::npos);
}

TEST(RotationLines, OneMapPointsAtItselfAndTheLastPointsBackToTheFirst) {
  MapCatalogue catalogue = twoMaps();
  const auto one = makeRotationLines({"first"}, catalogue);
  ASSERT_EQ(one.lines.size(), 1u);
  EXPECT_EQ(one.lines[0], "Set m1 \"fraglimit 10; timelimit 0; capturelimit 5; map first; set nextmap vstr m1\"");
  const auto ten = makeRotationLines(std::vector<std::string>(10, "second"), catalogue);
  ASSERT_EQ(ten.lines.size(), 10u);
  EXPECT_EQ(ten.lines[9], "Set m10 \"fraglimit 10; timelimit 0; capturelimit 5; map second; set nextmap vstr m1\"");
  EXPECT_EQ(ten.lines[8].substr(ten.lines[8].size() - 9), "vstr m10\"");
}

TEST(RotationLines, LaterRowWinsAndLimitsAreWrittenAsTheyStand) {
  MapEntry early = test::row("dup");
  MapEntry late = test::row("dup");
  late.fragLimit = "20";
  late.timeLimit = "007";
  const auto lines = makeRotationLines({"dup", "dup"}, test::catalogueOf({early, late}));
  ASSERT_EQ(lines.lines.size(), 2u);
  EXPECT_EQ(lines.lines[0], "Set m1 \"fraglimit 20; timelimit 007; capturelimit 5; map dup; set nextmap vstr m2\"");
  EXPECT_EQ(lines.lines[1], "Set m2 \"fraglimit 20; timelimit 007; capturelimit 5; map dup; set nextmap vstr m1\"");
}

TEST(RotationLines, CheatsLoadByDevmapAndAChangedGravityIsSetAgainAfterEachLoad) {
  ServerSettings s;
  s.setSwitch("Cheats_yes", true);
  s.setText("game_gravity", "400");
  auto lines = makeRotationLines({"first"}, twoMaps(), s);
  EXPECT_EQ(lines.lines.at(0),
            "Set m1 \"fraglimit 10; timelimit 0; capturelimit 5; devmap first; g_gravity 400; set nextmap vstr m1\"");
  s.setSwitch("Cheats_yes", false);
  s.setText("game_gravity", "800");  // the game's own: nothing to set again
  EXPECT_EQ(makeRotationLines({"first"}, twoMaps(), s).lines, makeRotationLines({"first"}, twoMaps()).lines);
}

TEST(GameArguments, PortAddressAndMemoryGoOnTheCommandLineBeforeTheScript) {
  ServerSettings s;
  s.setSwitch("NetPort_Yes", true);
  s.setSwitch("NetIP_Check", true);
  s.setText("NetIP", "127.0.0.1");
  s.setSwitch("write_memory", true);
  s.setText("Memory", "128");
  EXPECT_EQ(commandLineText(gameArguments(s)),
            "stvoyHM.exe +set dedicated 0 +set net_port 27660 +set net_ip 127.0.0.1 +set com_hunkMegs 128 "
            "+sets configured_by Tarvex +exec tarvex.cfg");
  s.setText("Memory", "");  // an empty box stays off the command line
  EXPECT_EQ(commandLineText(gameArguments(s)).find("hunk"), std::string::npos);
  for (const auto& [type, dedicated] : {std::pair{"Dedicated_button", "1"}, {"dedicated_internet", "2"}}) {
    s.select(type);
    EXPECT_EQ(gameArguments(s).at(2), dedicated) << type;
  }
}

TEST(RotationLines, AMapNoRowCarriesIsReportedByName) {
  const auto lines = makeRotationLines({"first", "gone"}, twoMaps());
  EXPECT_FALSE(lines.ok());
  EXPECT_EQ(lines.missingMap, "gone");
  EXPECT_TRUE(lines.lines.empty());
}
