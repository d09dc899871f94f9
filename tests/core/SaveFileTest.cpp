#include <gtest/gtest.h>

#include <random>

#include "core/TestSupport.h"
#include "saves/ConfigText.h"
#include "saves/SaveFile.h"
#include "util/Text.h"

using namespace tarvex;

namespace {
MapCatalogue twelveMaps() {
  MapCatalogue catalogue;
  for (int i = 1; i <= 12; ++i) catalogue.rows.push_back(test::row((i < 10 ? "m0" : "m") + std::to_string(i)));
  return catalogue;
}

Configuration knownConfiguration() {
  Configuration c{ServerSettings(), {{"m03", "m07", "m03"}, 0}, twelveMaps()};
  c.settings.setText("Server_Name", "My \"Quoted\" Server");
  test::set(c.settings, {"Server_Quote_Text=", "dedicated_internet",      "Pure_yes=0",
                         "Game_CTF",           "Console_Password=secret", "MaxPlayers=16",
                         "MinPlayers=2",       "Player_Respawn_Yes=1",    "Player_Respawn_Time=7",
                         "warmup_yes=0",       "friendly_yes=1",          "team_balance_yes=1",
                         "NetPort_Yes=1",      "NetPort=27961",           "NetIP_Check=1",
                         "NetIP=192.0.2.7",    "write_memory=1",          "Memory=128",
                         "Bot_Chat=1",         "Master4=master4.example", "skill4"});
  c.catalogue.rows[6].fragLimit = "25";
  c.catalogue.rows[6].timeLimit = "";
  return c;
}

// Replaces value line n (counted from 1) of a save file.
std::string withLine(const std::string& file, std::size_t n, const std::string& value) {
  auto lines = splitLines(file);
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) appendLine(out, i + 1 == n ? std::string_view(value) : lines[i]);
  return out;
}
// Value line of section k (1 to 53).
std::size_t sectionLine(int k) { return 2 + 2 * static_cast<std::size_t>(k); }
}  // namespace

// A known configuration is written byte for byte; random ones come back whole.
TEST(SaveFile, KnownConfigurationIsWrittenByteForByteAndRandomOnesSurviveARoundTrip) {
  EXPECT_EQ(writeSave("Save File #4", "Tuesday CTF", knownConfiguration()), test::golden("save_known.sav"));
  std::mt19937 rng(2024);
  for (int run = 0; run < 200; ++run) {
    const Configuration config = test::randomConfiguration(rng, twelveMaps());
    const std::string file = writeSave("Save File #1", config.settings.text("Server_Name") + "x", config);
    Configuration restored{ServerSettings(), {}, twelveMaps()};
    ASSERT_EQ(restoreSave(file, restored), RestoreOutcome::Restored) << run;
    ASSERT_EQ(restored, config) << run;
  }
}

// "Unused" as a description marks a slot never used: it changes nothing.
TEST(SaveFile, UnusedMarksANeverUsedSlotAndChangesNothing) {
  Configuration config = knownConfiguration();
  const Configuration before = config;
  for (const std::string& file : {std::string("Save File #2\r\nUnused\r\n"), writeSave("S", "Unused", before)})
    EXPECT_EQ(restoreSave(file, config), RestoreOutcome::NeverUsed);
  EXPECT_EQ(config, before);
  EXPECT_EQ(restoreSave(writeSave("Save File #2", "", before), config), RestoreOutcome::Restored);
  EXPECT_EQ(saveDescription(writeSave("S", "Unused", before)), "Unused");
}

// Checkboxes read as numbers, but Pure only as exactly 1; the game type only
// selects; the server type comes from two sections.
TEST(SaveFileReader, SwitchesAndOptionGroupsAsTheyAreRead) {
  const Configuration start{ServerSettings(), {}, twelveMaps()};
  std::string file = writeSave("t", "d", start);
  for (const auto& [section, value] : {std::pair{5, "01"},
                                       {17, "01"},
                                       {18, " 1 "},
                                       {6, "0"},
                                       {7, "0"},
                                       {8, "0"},
                                       {9, "0"},
                                       {3, "1"},
                                       {4, "1"},
                                       {53, "9"}})
    file = withLine(file, sectionLine(section), value);
  Configuration config = start;
  test::set(config.settings, {"allow_vote=0", "Game_Team_DM", "skill5"});
  ASSERT_EQ(restoreSave(file, config), RestoreOutcome::Restored);
  for (const char* on : {"allow_vote", "kick_yes", "Game_Team_DM", "dedicated_internet", "skill5"})
    EXPECT_TRUE(config.settings.isOn(on)) << on;
  EXPECT_FALSE(config.settings.isOn("Pure_yes"));
  EXPECT_TRUE(config.settings.isEnabled("kick_text"));
  for (const auto& [three, four, serverType] :
       {std::tuple{"1", "0", "Dedicated_button"}, {"yes", "0", "NonDedicated_Button"}}) {
    file = withLine(withLine(file, sectionLine(3), three), sectionLine(4), four);
    ASSERT_EQ(restoreSave(file, config), RestoreOutcome::Restored);
    EXPECT_TRUE(config.settings.isOn(serverType)) << serverType;
  }
}

// A map the list no longer holds keeps its rotation entry; the intermission
// time is not kept in a slot and stays as it is.
TEST(SaveFileReader, UnknownMapGroupIsSkippedButItsRotationEntryKeptAndInterTimeStays) {
  Configuration saved{
      ServerSettings(), {{"m01", "retired"}, 0}, test::catalogueOf({test::row("m01"), test::row("retired")})};
  saved.catalogue.rows[0].fragLimit = "33";
  saved.catalogue.rows[1].fragLimit = "44";
  saved.settings.setText("inter_time", "99");
  const std::string file = writeSave("t", "d", saved);
  Configuration config{ServerSettings(), {{"x"}, 7}, test::catalogueOf({test::row("m01"), test::row("new")})};
  config.settings.setText("inter_time", "42");
  ASSERT_EQ(restoreSave(file, config), RestoreOutcome::Restored);
  EXPECT_EQ(config.settings.text("inter_time"), "42");
  EXPECT_EQ(config.rotation.maps, (std::vector<std::string>{"m01", "retired"}));
  EXPECT_EQ(config.rotation.addedMapCount, 7);
  EXPECT_EQ(config.catalogue.rows[0].fragLimit, "33");
  EXPECT_EQ(config.catalogue.rows[1].fragLimit, "10");
}

TEST(SaveFileReader, BrokenFilesAreUnreadableAndChangeNothing) {
  const std::string good = writeSave("t", "d", knownConfiguration());
  const auto lines = splitLines(good);
  std::vector<std::string> broken{
      "",
      "only one line",
      withLine(good, sectionLine(17), "yes"),     // a checkbox that is no number
      withLine(good, 2 + 106 + 2, "three"),       // rotation count
      withLine(good, 2 + 106 + 2, "4000000000"),  // absurd count
      withLine(good, 2 + 106 + 2, "999999"),      // more entries than lines
      withLine(good, 2 + 106 + 2 + 3 + 2, "-1"),  // map count
  };
  std::string truncated;
  for (std::size_t i = 0; i < 60; ++i) appendLine(truncated, lines[i]);
  broken.push_back(truncated);
  for (const auto& file : broken) {
    Configuration config{ServerSettings(), {{"keep"}, 3}, twelveMaps()};
    const Configuration before = config;
    EXPECT_EQ(restoreSave(file, config), RestoreOutcome::Unreadable) << file.substr(0, 40);
    EXPECT_EQ(config, before);
  }
}

TEST(SaveFileReader, AFileWithLinuxLineEndsRestoresAndAHugeOneIsRefusedWithItsSize) {
  const Configuration known = knownConfiguration();
  std::string file = writeSave("Save File #1", "lf", known);
  std::string lf;
  for (char c : file)
    if (c != '\r') lf.push_back(c);
  Configuration restored{ServerSettings(), {}, twelveMaps()};
  ASSERT_EQ(restoreSave(lf, restored), RestoreOutcome::Restored);
  EXPECT_EQ(restored.settings, known.settings);
  EXPECT_EQ(restored.rotation.maps, known.rotation.maps);

  test::TempFolder app;
  test::writeFile(app / "big.sav", file + std::string(kMaxSaveFileBytes, '\r'));
  const SaveRead read = restoreSaveFile(app / "big.sav", 0, restored);
  EXPECT_EQ(read.outcome, RestoreOutcome::Unreadable);
  EXPECT_NE(read.message.find("larger than 16 MB"), std::string::npos);
  EXPECT_NE(read.message.find("big.sav"), std::string::npos);
}

TEST(SaveFile, AValueWithALineBreakIsRefusedByName) {
  Configuration config = knownConfiguration();
  EXPECT_EQ(saveRefusal("fine", config), "");
  EXPECT_NE(saveRefusal("two\nlines", config).find("description"), std::string::npos);
  config.settings.setText("Server_Quote_Text", "a\rb");
  EXPECT_NE(saveRefusal("fine", config).find("(Server_Quote_Text)"), std::string::npos);
}

// A configuration's text takes a switch in every word a host may write, in
// any case; anything else is a finding on its line. Every setting belongs to
// a tab, which its text's comments and config --keys name.
TEST(ConfigText, SwitchesTakeEveryYesAndNoWordAndEverySettingHasItsTab) {
  for (const char* word : {"yes", "On", "TRUE", "1", "no", "OFF", "false", "0"}) {
    const bool on = std::string("yes On TRUE 1").find(word) != std::string::npos;
    const ConfigApplied applied =
        applyConfigText(std::string("friendly-fire = ") + word + "\npure-server = " + word + "\n", {}, "");
    EXPECT_TRUE(applied.problems.empty()) << word;
    EXPECT_EQ(applied.configuration.settings.isOn("friendly_yes"), on) << word;
    EXPECT_EQ(applied.configuration.settings.isOn("Pure_yes"), on) << word;
  }
  const ConfigApplied applied = applyConfigText("pure-server = maybe\n", {}, "");
  ASSERT_EQ(applied.problems.size(), 1u);
  EXPECT_EQ(applied.problems[0].line, 1u);
  for (const FieldSpec& field : fieldTable()) EXPECT_FALSE(field.tab.empty()) << field.name;
}

// Every setting as a host finds it in config --keys: key, tab, caption, the
// values its box takes and its start value, byte for byte.
TEST(ConfigText, TheKeysListEverySettingAsTheWindowHasIt) { EXPECT_EQ(configKeys(), test::golden("config_keys.txt")); }

// A text takes what its box takes: digits alone where the box takes digits,
// and as many characters as the box holds, not one more.
TEST(ConfigText, EachTextTakesWhatItsBoxTakes) {
  for (const FieldSpec& field : fieldTable()) {
    if (field.kind != FieldKind::Text || field.readOnly || !keptInSave(field.name)) continue;
    const std::string key(field.key);
    // Switched on first: a box emptied while its switch is off takes nothing then.
    const std::string on = field.governor.empty() ? "" : std::string(fieldSpec(field.governor).key) + " = yes\n";
    const auto apply = [&](const std::string& value) {
      return applyConfigText(on + key + " = " + value + "\n", {}, "");
    };
    const int most = field.maxLength > 0 ? field.maxLength : kMaxValueBytes;
    const ConfigApplied full = apply(std::string(std::size_t(most), '1'));
    EXPECT_TRUE(full.problems.empty()) << key << ": " << (full.problems.empty() ? "" : full.problems[0].text);
    if (field.maxLength > 0) {
      const ConfigApplied over = apply(std::string(std::size_t(most) + 1, '1'));
      ASSERT_EQ(over.problems.size(), 1u) << key;
      EXPECT_TRUE(test::contains(over.problems[0].text, "takes at most " + std::to_string(most))) << key;
    }
    const ConfigApplied letter = apply("1a");
    EXPECT_EQ(letter.problems.size(), field.digitsOnly ? 1u : 0u) << key;
    if (field.digitsOnly && !letter.problems.empty())
      EXPECT_TRUE(test::contains(letter.problems[0].text, "takes digits only")) << key;
  }
}
