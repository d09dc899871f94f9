#include <gtest/gtest.h>


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
