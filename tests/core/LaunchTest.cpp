#include <gtest/gtest.h>

#include "RecordingServices.h"
#include "core/TestSupport.h"
#include "launch/Launch.h"
#include "launch/LaunchSequence.h"
#include "platform/Processes.h"
#include "util/GameText.h"

using namespace tarvex;
using test::RecordingServices;

namespace {
MapCatalogue maps() {
  return test::catalogueOf(
      {test::row("dm1", "0"), test::row("ctf1", "1"), test::row("dm2", "0"), test::row("odd", "2")});
}

struct Game : test::GameInstall {
  Configuration config(std::vector<std::string> rotation) const { return {ServerSettings(), {rotation, 0}, maps()}; }
};
}  // namespace

// An empty rotation is the only message, whatever the game type; a CTF game
// stops once, naming every map that is not CTF (a flag other than 0 or 1 may
// play); 1 vs 1 notes and goes on; a map the list lacks is named.
TEST(LaunchChecks, EmptyRotationMissingMapCtfAndOneVsOne) {
  ServerSettings s;
  for (const char* type : {"Game_CTF", "game_1v1"}) {
    s.select(type);
    const auto empty = checkLaunch(s, {}, maps());
    EXPECT_FALSE(empty.proceed);
    EXPECT_EQ(empty.messages, std::vector<std::string>{kNoMapsMessage});
  }
  const auto oneVsOne = checkLaunch(s, {"dm1", "dm2"}, maps());
  EXPECT_TRUE(oneVsOne.proceed);
  EXPECT_EQ(oneVsOne.messages, std::vector<std::string>{kOneVsOneNote});
  s.select("Game_CTF");
  const auto ctf = checkLaunch(s, {"ctf1", "dm1", "dm2", "dm1"}, maps());
  EXPECT_FALSE(ctf.proceed);
  EXPECT_EQ(ctf.messages, std::vector<std::string>{std::string(kCtfLaunchMessage) + "\nNot CTF maps: dm1, dm2"});
  EXPECT_TRUE(checkLaunch(s, {"ctf1", "odd"}, maps()).proceed);
  s.select("Game_DM");
  EXPECT_TRUE(checkLaunch(s, {"dm1"}, maps()).proceed);
  const auto missing = checkLaunch(s, {"dm1", "gone_map"}, maps());
  EXPECT_FALSE(missing.proceed);
  EXPECT_TRUE(missing.messages.size() == 1 && test::contains(missing.messages[0], "gone_map"));
}

// What the game may receive: each row a setting and a value, and whether the launch goes on.
TEST(LaunchChecks, ValuesTheGameWouldMisreadAreRefusedByNameAndOnlyWhenWritten) {
  struct Case {
    const char* field;
    std::string value;
    const char* governor;  // switched on first, when given
    bool proceeds;
  };
  const Case cases[] = {
      {"Server_Name", "a\"; quit; \"b", nullptr, false},
      {"Server_Name", "Fun; Games", nullptr, false},  // dropped from the server's info
      {"Server_Name", "back\\slash", nullptr, false},
      {"Server_Name", std::string("My Server\0rest", 14), nullptr, false},  // a NUL would end the script
      {"Server_Name", "caf\xe9 \x80 tab\there", nullptr, true},
      {"Server_Quote_Text", "semicolons; are fine inside quotes", nullptr, true},
      {"Server_Quote_Text", "bell\x07", nullptr, false},
      {"Quad_Text", "3; quit", nullptr, false},
      {"MaxPlayers", "8\nquit", nullptr, false},
      {"NetPort", "1+quit", "NetPort_Yes", false},
      {"NetPort", "1+quit", nullptr, true},  // not written while "Set Netport?" is off
      {"NetPort", "", "NetPort_Yes", true},
      {"NetIP", "0+exec evil.cfg", "NetIP_Check", false},
      {"NetIP", "host-1.example.org", "NetIP_Check", true},
      {"NetIP", "zz.AZ.example", "NetIP_Check", true},
      {"Memory", "12a", "write_memory", false},
      {"GameLogText", "a\"b", nullptr, true},
      {"GameLogText", "a\"b", "gamelogcheck", false},
      {"game_gravity", "400", nullptr, true},
      {"game_gravity", "4 0", nullptr, false},  // it goes bare into every rotation line
      {"game_gravity", "", nullptr, true},
      // Outside quotes the engine ends a command at a comment: what follows it ran as a command.
      {"Quad_Text", "3/**/sets tvxquad injected", nullptr, false},
      {"WarmupTime", "10/**/sets tvxwarm injected", nullptr, false},
      {"kick_text", "60//x", "kick_yes", false},
      {"kick_text", "60 */ x", "kick_yes", false},
      {"Server_Quote_Text", "// and /* */ are text inside quotes", nullptr, true},
      // The game keeps 255 characters of a value and cuts a line after 1,023.
      {"Server_Quote_Text", std::string(255, 'q'), nullptr, true},
      {"Server_Quote_Text", std::string(256, 'q'), nullptr, false},
      {"Master3", std::string(1008, 'A') + "sets tvxlong injected", nullptr, false},
      {"Console_Password", std::string(300, 'p'), nullptr, false},
      // The remote console reads the password as a word, which ends at a comment mark.
      {"Console_Password", "pass//word", nullptr, false},
      {"Console_Password", "a/*b", nullptr, false},
      {"Console_Password", "semi;colon/slash", nullptr, true},
  };
  for (const auto& c : cases) {
    ServerSettings s;
    if (c.governor) s.setSwitch(c.governor, true);
    s.setText(c.field, c.value);
    const auto check = checkLaunch(s, {"dm1"}, maps());
    EXPECT_EQ(check.proceed, c.proceeds) << c.field << " = " << c.value;
    if (!c.proceeds) {
      EXPECT_TRUE(check.messages.size() == 1 && check.script.empty() &&
                  test::contains(check.messages[0], std::string("(") + c.field + ")"))
          << check.messages.at(0);
    }
  }
}

// Every text the script writes, found by walking the settings table (no
// list of names here): its line is "VERB VARIABLE VALUE" as its entry spells
// it, quoted or bare as its form says; and whatever the engine would misread
// in it (a line break, a NUL, a double quote, a value over 255 characters;
// written bare also a semicolon and the comment marks) is refused by name
// before anything is written.
TEST(LaunchChecks, EveryWrittenSettingIsSpelledByItsEntryAndRefusesWhatTheEngineWouldMisread) {
  int written = 0, bare = 0;
  for (const FieldSpec& field : fieldTable()) {
    if (field.kind != FieldKind::Text || field.readOnly) continue;
    ++written;
    ServerSettings s;
    if (!field.governor.empty()) s.setSwitch(field.governor, true);
    ASSERT_FALSE(field.variable.empty()) << field.name << " is never written";
    // A value of its own, fit for every form (digits, an address, a word).
    const std::string value = "4" + std::to_string(1000 + written);
    s.setText(field.name, value);
    const auto check = checkLaunch(s, {"dm1"}, maps());
    ASSERT_TRUE(check.proceed) << field.name;
    const std::string line = std::string(field.verb) + " " + std::string(field.variable) + std::string(field.gap) +
                             (isBare(field.form) ? value : "\"" + value + "\"") + "\r\n";
    EXPECT_TRUE(test::contains(check.script, "\r\n" + line)) << field.name << ": " << line;

    std::vector<std::string> hostile = {"1\n2", "1\r2",
                                        std::string("1\0"
                                                    "2",
                                                    3),
                                        "1\"2", std::string(256, '7')};
    if (isBare(field.form)) {
      ++bare;
      for (const char* mark : {"1;2", "1//2", "1/*2", "1*/2"}) hostile.push_back(mark);
    }
    for (const std::string& bad : hostile) {
      s.setText(field.name, bad);
      const auto refused = checkLaunch(s, {"dm1"}, maps());
      EXPECT_FALSE(refused.proceed) << field.name << " = " << bad;
      EXPECT_TRUE(refused.script.empty() && !refused.messages.empty() &&
                  test::contains(refused.messages.front(), std::string("(") + std::string(field.name) + ")"))
          << field.name << " = " << bad;
    }
  }
  EXPECT_GE(written, 25);
  EXPECT_GE(bare, 6);
}

TEST(LaunchChecks, MapNamesAndLimitsTheGameWouldMisreadOrLeaveEmptyAreRefusedByMap) {
  // Limits are numbers to the game; 3 stands for the map's name.
  const std::vector<std::pair<int, std::string>> cases = {
      {0, "0; quit"}, {1, ""},     {2, "5\x01"}, {0, "1/**/sets tvxrot injected"}, {0, "10//x"}, {1, "12 "},
      {2, "-1"},      {3, "d//1"}, {3, "d/*1"},  {3, std::string(256, 'd')}};
  for (const auto& [limit, value] : cases) {
    MapCatalogue catalogue = maps();
    std::string* fields[] = {&catalogue.rows[0].fragLimit, &catalogue.rows[0].timeLimit,
                             &catalogue.rows[0].captureLimit, &catalogue.rows[0].name};
    *fields[limit] = value;
    const std::string name = catalogue.rows[0].name;
    const auto check = checkLaunch(ServerSettings(), {"dm2", name}, catalogue);
    EXPECT_TRUE(!check.proceed && test::contains(check.messages.at(0), "\"" + name + "\"")) << value;
  }
  // A rotation line the engine would cut in two, though each value fits.
  MapCatalogue catalogue = maps();
  MapEntry& longest = catalogue.rows[0];
  longest.name = std::string(255, 'n');
  longest.fragLimit = longest.timeLimit = longest.captureLimit = std::string(255, '9');
  const auto check = checkLaunch(ServerSettings(), {longest.name}, catalogue);
  EXPECT_TRUE(!check.proceed && test::contains(check.messages.at(0), "rotation line of the map \"" + longest.name));
  longest.captureLimit = "1";
  EXPECT_TRUE(checkLaunch(ServerSettings(), {longest.name}, catalogue).proceed);
}

TEST(LaunchChecks, AScriptTheEngineWouldDropSaysHowManyMapsToRemove) {
  MapCatalogue catalogue = maps();
  catalogue.rows[0].name = std::string(100, 'x');
  std::vector<std::string> rotation(180, catalogue.rows[0].name);
  const auto check = checkLaunch(ServerSettings(), rotation, catalogue);
  ASSERT_FALSE(check.proceed);
  // Find by hand how many maps fit, and compare with the count the message gives.
  std::size_t fits = rotation.size();
  while (checkLaunch(ServerSettings(), std::vector<std::string>(fits, rotation[0]), catalogue).script.empty()) --fits;
  for (const std::string& part :
       {"remove at least " + std::to_string(rotation.size() - fits) + " maps", std::string("16384")})
    EXPECT_TRUE(test::contains(check.messages.at(0), part)) << check.messages[0];
  EXPECT_LE(checkLaunch(ServerSettings(), std::vector<std::string>(fits, rotation[0]), catalogue).script.size(),
            kMaxScriptBytes);
}

TEST(LaunchSequence, RefusedChecksWriteNothingAndEachFailureGetsOneMessageNamingThePath) {
  {
    Game game;
    RecordingServices services;
    Configuration config = game.config({"ctf1", "dm1"});
    config.settings.select("Game_CTF");
    EXPECT_EQ(runLaunch(services, game.app, config), LaunchResult::Refused);
    EXPECT_FALSE(std::filesystem::exists(game.game / "BaseEF" / "tarvex.cfg"));
    EXPECT_TRUE(services.started.empty());
  }
  // What is missing or fails, the result, and what the message names.
  const std::tuple<std::string, LaunchResult, std::string> failures[] = {
      {"path.ini", LaunchResult::Refused, "path.ini"},
      {"BaseEF", LaunchResult::Refused, "BaseEF"},
      {"stvoyHM.exe", LaunchResult::NotStarted, "stvoyHM.exe"},
      {"", LaunchResult::NotStarted, "permission denied"}};
  for (const auto& [missing, result, named] : failures) {
    Game game;
    RecordingServices services;
    if (missing == "path.ini") std::filesystem::remove(game.app / "path.ini");
    if (missing == "BaseEF") std::filesystem::remove_all(game.game / "BaseEF");
    if (missing == "stvoyHM.exe") std::filesystem::remove(game.game / "stvoyHM.exe");
    if (missing.empty()) services.startError = "permission denied";
    EXPECT_EQ(runLaunch(services, game.app, game.config({"dm1"})), result) << named;
    EXPECT_TRUE(services.messages().size() == 1 && test::contains(services.messages()[0], named)) << named;
    // The script is written before the start.
    EXPECT_EQ(std::filesystem::exists(game.game / "BaseEF" / "tarvex.cfg"), result == LaunchResult::NotStarted);
  }
}

// A Windows command line (the game's, a service's) splits back into the
// arguments given: blanks, quotes and backslashes before them, a folder's
// closing backslash.
TEST(Launch, WindowsCommandLinesSplitBackIntoTheArgumentsGiven) {
  using platform::quoteWindowsArgument;
  EXPECT_EQ(quoteWindowsArgument("+exec"), "+exec");
  EXPECT_EQ(quoteWindowsArgument(""), "\"\"");
  EXPECT_EQ(quoteWindowsArgument("C:\\Program Files\\Tarvex\\"), "\"C:\\Program Files\\Tarvex\\\\\"");
  EXPECT_EQ(quoteWindowsArgument("C:\\Tarvex\\"), "C:\\Tarvex\\");  // nothing to quote: backslashes are plain
  EXPECT_EQ(quoteWindowsArgument("say \"hi\""), "\"say \\\"hi\\\"\"");
  EXPECT_EQ(quoteWindowsArgument("a\\\"b"), "\"a\\\\\\\"b\"");
  EXPECT_EQ(quoteWindowsArgument("a\\\\b c"), "\"a\\\\b c\"");  // backslashes before no quote stay as they are
}
