#include <gtest/gtest.h>

#include <map>

#include "core/TestSupport.h"
#include "maps/MapLimits.h"
#include "maps/Rotation.h"

using namespace tarvex;

namespace {
MapCatalogue mixed() {
  return test::catalogueOf({test::row("dm", "0"), test::row("ctf", "1"), test::row("two", "2"), test::row("dm", "0")});
}
}  // namespace

TEST(SingleAdd, FortySucceedPerLoadWhateverWasRemovedOrCleared) {
  Rotation rotation;
  const MapCatalogue catalogue = mixed();
  for (int i = 0; i < 40; ++i) {
    ASSERT_EQ(addSingleMap(rotation, catalogue, "dm", false), AddOutcome::Added);
    if (i % 10 == 0) rotation.maps.clear();
  }
  EXPECT_EQ(addSingleMap(rotation, catalogue, "dm", false), AddOutcome::TooMany);
  EXPECT_EQ(rotation.addedMapCount, 40);
}

TEST(SingleAdd, CtfGamesRefuseFlagZeroOnlyAndNothingSelectedDoesNothing) {
  Rotation rotation;
  const MapCatalogue catalogue = mixed();
  EXPECT_EQ(addSingleMap(rotation, catalogue, "dm", true), AddOutcome::RefusedForCtf);
  EXPECT_EQ(addSingleMap(rotation, catalogue, "ctf", true), AddOutcome::Added);
  EXPECT_EQ(addSingleMap(rotation, catalogue, "two", true), AddOutcome::Added);
  EXPECT_EQ(addSingleMap(rotation, catalogue, "dm", false), AddOutcome::Added);
  EXPECT_EQ(addSingleMap(rotation, catalogue, "", false), AddOutcome::NothingSelected);
  EXPECT_EQ(rotation.maps, (std::vector<std::string>{"ctf", "two", "dm"}));
  EXPECT_EQ(rotation.addedMapCount, 3);
}

TEST(BulkCommands, TakeEveryRowOfTheirClassAndIgnoreTheLimit) {
  Rotation rotation;
  rotation.addedMapCount = 40;
  replaceWithClass(rotation, mixed(), MapClass::All);
  EXPECT_EQ(rotation.maps, (std::vector<std::string>{"dm", "ctf", "two", "dm"}));
  replaceWithClass(rotation, mixed(), MapClass::Ctf);
  EXPECT_EQ(rotation.maps, (std::vector<std::string>{"ctf"}));
  replaceWithClass(rotation, mixed(), MapClass::HoloMatch);
  EXPECT_EQ(rotation.maps, (std::vector<std::string>{"dm", "two", "dm"}));
  replaceWithClass(rotation, test::catalogueOf({test::row("a", "0")}), MapClass::Ctf);
  EXPECT_TRUE(rotation.maps.empty());
  EXPECT_EQ(rotation.addedMapCount, 40);
}

TEST(Remove, OnlyAnExistingEntry) {
  Rotation rotation{{"a", "b", "c"}, 3};
  EXPECT_TRUE(removeEntry(rotation, 1));
  EXPECT_EQ(rotation.maps, (std::vector<std::string>{"a", "c"}));
  EXPECT_FALSE(removeEntry(rotation, -1));
  EXPECT_FALSE(removeEntry(rotation, 2));
  EXPECT_EQ(rotation.addedMapCount, 3);
}

TEST(Shuffle, EveryOrderIsEquallyLikely) {
  std::mt19937_64 generator(12345);
  const int runs = 60000;
  for (const std::vector<std::string>& start :
       {std::vector<std::string>{"a", "b"}, std::vector<std::string>{"a", "b", "c"}}) {
    std::map<std::vector<std::string>, int> seen;
    for (int i = 0; i < runs; ++i) {
      Rotation rotation{start, 0};
      shuffleRotation(rotation, generator);
      ++seen[rotation.maps];
    }
    const int orders = start.size() == 2 ? 2 : 6;
    ASSERT_EQ(static_cast<int>(seen.size()), orders);
    for (const auto& [order, count] : seen) EXPECT_NEAR(count, runs / orders, runs / orders * 0.05);
  }
}

TEST(Shuffle, KeepsEveryEntryAndHandlesLongLists) {
  Rotation rotation;
  for (int i = 0; i < 100000; ++i) rotation.maps.push_back(std::to_string(i % 17));
  auto sorted = rotation.maps;
  shuffleRotation(rotation);
  std::sort(sorted.begin(), sorted.end());
  auto after = rotation.maps;
  std::sort(after.begin(), after.end());
  EXPECT_EQ(sorted, after);
}

TEST(Limits, ChangeHitsEveryRowOfTheNameAndDefaultsHitEveryRow) {
  MapCatalogue catalogue = mixed();
  EXPECT_TRUE(setLimitsByName(catalogue, "dm", {"1", "", "3"}));
  EXPECT_EQ(catalogue.rows[0].timeLimit, "");
  EXPECT_EQ(catalogue.rows[3].fragLimit, "1");
  EXPECT_EQ(catalogue.rows[1].fragLimit, "10");
  EXPECT_FALSE(setLimitsByName(catalogue, "", {"9", "9", "9"}));
  setAllLimits(catalogue, {"20", "15", ""});
  for (const auto& row : catalogue.rows) {
    EXPECT_EQ(row.fragLimit, "20");
    EXPECT_EQ(row.captureLimit, "");
  }
}

TEST(Limits, CaptureBoxFollowsFlagsZeroAndOneOnly) {
  EXPECT_EQ(captureBoxEnabled(test::row("a", "0")), false);
  EXPECT_EQ(captureBoxEnabled(test::row("a", "1")), true);
  EXPECT_EQ(captureBoxEnabled(test::row("a", "2")), std::nullopt);
}
