#include <gtest/gtest.h>

#include "RecordingServices.h"
#include "core/TestSupport.h"
#include "launch/GameScript.h"
#include "launch/Launch.h"
#include "launch/LaunchSequence.h"

using namespace tarvex;
using test::RecordingServices;

namespace {
MapCatalogue maps() {
  return test::catalogueOf(
      {test::row("dm1", "0"), test::row("ctf1", "1"), test::row("dm2", "0"), test::row("odd", "2")});
}

struct Game {
  test::TempFolder app;
  test::TempFolder game;
  Game() {
    test::writeFile(game / "BaseEF" / "pak0.pk3", "x");
    test::writeFile(game / "stvoyHM.exe", "x");
    test::writeFile(app / "path.ini", folder() + "\r\n");
  }
  std::string folder() const { return game.path().string() + "/"; }
  Configuration config(std::vector<std::string> rotation) const { return {ServerSettings(), {rotation, 0}, maps()}; }
};
}  // namespace

TEST(LaunchChecks, EmptyRotationIsTheOnlyMessageEvenForCtfOrOneVsOne) {
  ServerSettings s;
  s.select("Game_CTF");
  EXPECT_EQ(checkLaunch(s, {}, maps()).messages, std::vector<std::string>{kNoMapsMessage});
  s.select("game_1v1");
  const auto check = checkLaunch(s, {}, maps());
  EXPECT_FALSE(check.proceed);
  EXPECT_EQ(check.messages, std::vector<std::string>{kNoMapsMessage});
}

TEST(LaunchChecks, CtfStopsOnceAtTheFirstRefusedMap) {
  ServerSettings s;
  s.select("Game_CTF");
  const auto check = checkLaunch(s, {"ctf1", "dm1", "dm2"}, maps());
  EXPECT_FALSE(check.proceed);
  EXPECT_EQ(check.messages, std::vector<std::string>{kCtfLaunchMessage});
  EXPECT_TRUE(checkLaunch(s, {"ctf1", "odd"}, maps()).proceed);
  s.select("Game_DM");
  EXPECT_TRUE(checkLaunch(s, {"dm1"}, maps()).proceed);
}

TEST(LaunchChecks, OneVsOneNotesAndGoesOn) {
  ServerSettings s;
  s.select("game_1v1");
  const auto check = checkLaunch(s, {"dm1", "dm2"}, maps());
  EXPECT_TRUE(check.proceed);
  EXPECT_EQ(check.messages, std::vector<std::string>{kOneVsOneNote});
}

TEST(LaunchChecks, AMapMissingFromTheCatalogueIsNamed) {
  const auto check = checkLaunch(ServerSettings(), {"dm1", "gone_map"}, maps());
  EXPECT_FALSE(check.proceed);
  ASSERT_EQ(check.messages.size(), 1u);
  EXPECT_NE(check.messages[0].find("gone_map"), std::string::npos);
}

TEST(LaunchChecks, ValuesThatWouldBreakTheScriptAreRefusedByName) {
  ServerSettings s;
  s.setText("Server_Name", "a\"; quit; \"b");
  auto check = checkLaunch(s, {"dm1"}, maps());
  ASSERT_FALSE(check.proceed);
  EXPECT_NE(check.messages[0].find("Server_Name"), std::string::npos);

  s = ServerSettings();
  s.setText("Server_Quote_Text", "semicolons; are fine inside quotes");
  EXPECT_TRUE(checkLaunch(s, {"dm1"}, maps()).proceed);
  s.setText("Quad_Text", "3; quit");
  check = checkLaunch(s, {"dm1"}, maps());
  ASSERT_FALSE(check.proceed);
  EXPECT_NE(check.messages[0].find("Quad_Text"), std::string::npos);

  s = ServerSettings();
  s.setText("MaxPlayers", "8\nquit");
  EXPECT_FALSE(checkLaunch(s, {"dm1"}, maps()).proceed);

  MapCatalogue catalogue = maps();
  catalogue.rows[0].timeLimit = "0; quit";
  check = checkLaunch(ServerSettings(), {"dm1"}, catalogue);
  ASSERT_FALSE(check.proceed);
  EXPECT_NE(check.messages[0].find("dm1"), std::string::npos);
}

TEST(LaunchSequence, WritesTheScriptIntoBaseEfAndStartsTheGameInItsFolder) {
  Game game;
  RecordingServices services;
  ASSERT_EQ(runLaunch(services, game.app.path(), game.config({"dm1", "dm2"})), LaunchResult::Started);
  EXPECT_EQ(test::readFile(game.game / "BaseEF" / "tarvex.cfg"),
            renderLaunchScript(ServerSettings(), {"dm1", "dm2"}, maps()));
  ASSERT_EQ(services.started.size(), 1u);
  EXPECT_EQ(services.started[0].workingFolder, game.folder());
  EXPECT_EQ(services.started[0].executable, (game.game / "stvoyHM.exe").string());
  EXPECT_TRUE(services.messages().empty());
}

TEST(LaunchSequence, RefusedChecksWriteNothing) {
  Game game;
  RecordingServices services;
  Configuration config = game.config({"ctf1", "dm1"});
  config.settings.select("Game_CTF");
  EXPECT_EQ(runLaunch(services, game.app.path(), config), LaunchResult::Refused);
  EXPECT_FALSE(std::filesystem::exists(game.game / "BaseEF" / "tarvex.cfg"));
  EXPECT_TRUE(services.started.empty());
}

TEST(LaunchSequence, EachFailureGetsOneMessageNamingThePath) {
  {
    Game game;
    RecordingServices services;
    std::filesystem::remove(game.app / "path.ini");
    EXPECT_EQ(runLaunch(services, game.app.path(), game.config({"dm1"})), LaunchResult::Refused);
    ASSERT_EQ(services.messages().size(), 1u);
    EXPECT_NE(services.messages()[0].find("path.ini"), std::string::npos);
  }
  {
    Game game;
    RecordingServices services;
    std::filesystem::remove_all(game.game / "BaseEF");
    EXPECT_EQ(runLaunch(services, game.app.path(), game.config({"dm1"})), LaunchResult::Failed);
    ASSERT_EQ(services.messages().size(), 1u);
    EXPECT_NE(services.messages()[0].find("BaseEF"), std::string::npos);
  }
  {
    Game game;
    RecordingServices services;
    std::filesystem::remove(game.game / "stvoyHM.exe");
    EXPECT_EQ(runLaunch(services, game.app.path(), game.config({"dm1"})), LaunchResult::Failed);
    ASSERT_EQ(services.messages().size(), 1u);
    EXPECT_NE(services.messages()[0].find("stvoyHM.exe"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(game.game / "BaseEF" / "tarvex.cfg"));  // written before the start
  }
  {
    Game game;
    RecordingServices services;
    services.startError = "permission denied";
    EXPECT_EQ(runLaunch(services, game.app.path(), game.config({"dm1"})), LaunchResult::Failed);
    ASSERT_EQ(services.messages().size(), 1u);
    EXPECT_NE(services.messages()[0].find("permission denied"), std::string::npos);
  }
}
