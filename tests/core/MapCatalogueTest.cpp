#include <gtest/gtest.h>

#include "core/TestSupport.h"
#include "maps/MapCatalogue.h"

using namespace tarvex;

namespace {
std::string entry(const std::string& name, const std::string& flag = "0") {
  return "pak0.pk3\r\n" + name + "\r\ncap one\r\ncap two\r\n" + flag + "\r\n\\" + name + ".jpg\r\n\r\n";
}
std::string lines(int count) {
  std::string out;
  for (int i = 1; i <= count; ++i) out += "l" + std::to_string(i) + "\r\n";
  return out;
}
}  // namespace

TEST(CatalogueReader, ReadsSevenLineEntriesAfterTheStartLine) {
  const auto load = parseCatalogue("header\r\n[start]\r\n" + entry("a", "1") + entry("b"));
  ASSERT_EQ(load.status, CatalogueStatus::Ok);
  ASSERT_EQ(load.catalogue.rows.size(), 2u);
  EXPECT_EQ(load.catalogue.rows[0], (MapEntry{"pak0.pk3", "a", "cap one", "cap two", "1", "\\a.jpg", "10", "0", "5"}));
}

TEST(CatalogueReader, AGroupCountsWhenItsSixFieldLinesArePresent) {
  EXPECT_EQ(parseCatalogue("[start]\r\n" + lines(12)).catalogue.rows.size(), 1u);
  EXPECT_EQ(parseCatalogue("[start]\r\n" + lines(13)).catalogue.rows.size(), 2u);
  EXPECT_EQ(parseCatalogue("[start]\r\n" + lines(5)).catalogue.rows.size(), 0u);
  // A group appended by hand that ends right after its picture line counts,
  // with or without a final line break.
  for (const char* end : {"\\b.jpg\r\n", "\\b.jpg", "\\b.jpg\n"})
    EXPECT_EQ(
        parseCatalogue("[start]\r\n" + entry("a") + "pak0.pk3\r\nb\r\nc\r\nd\r\n0\r\n" + end).catalogue.rows.size(),
        2u);
  // A blank line after the last separator changes nothing.
  EXPECT_EQ(parseCatalogue("[start]\r\n" + entry("a") + "\r\n").catalogue.rows.size(), 1u);
}

TEST(CatalogueReader, OnlyTheExactMarkerLineStartsTheEntries) {
  EXPECT_EQ(parseCatalogue("[Start]\r\n[start] \r\n" + entry("a")).status, CatalogueStatus::NoStartMarker);
  const auto load = parseCatalogue("[start] \r\n[start]\r\n" + entry("a"));
  ASSERT_EQ(load.catalogue.rows.size(), 1u);
  EXPECT_EQ(load.catalogue.rows[0].name, "a");
  EXPECT_EQ(parseCatalogue("").status, CatalogueStatus::NoStartMarker);
}

TEST(CatalogueReader, AFileWrittenOnLinuxReadsAsOneWrittenOnWindows) {
  const auto load =
      parseCatalogue("head\n[start]\npak0.pk3\nname\nc1\nc2\n0\n\\p.jpg\n\npak0.pk3\nsecond\rc1\rc2\r1\r\\q.jpg\r");
  ASSERT_EQ(load.catalogue.rows.size(), 2u);
  EXPECT_EQ(load.catalogue.rows[0].name, "name");
  EXPECT_EQ(load.catalogue.rows[1].picture, "\\q.jpg");
}

TEST(CatalogueReader, StopsAfterAThousandEntries) {
  std::string file = "[start]\r\n";
  for (int i = 0; i < 1010; ++i) file += entry("m" + std::to_string(i));
  const auto load = parseCatalogue(file);
  ASSERT_EQ(load.catalogue.rows.size(), kMaxCatalogueRows);
  EXPECT_EQ(load.catalogue.rows.back().name, "m999");
}

TEST(CatalogueReader, MissingFileAndBinaryJunkAreReportedNotFatal) {
  test::TempFolder folder;
  EXPECT_EQ(loadCatalogueFile(folder / "maps.ini").status, CatalogueStatus::Missing);
  EXPECT_NE(catalogueMessage(CatalogueStatus::Missing, "maps.ini").find("maps.ini"), std::string::npos);
  std::string junk(100000, '\0');
  for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 7919) % 256);
  EXPECT_EQ(parseCatalogue(junk).status, CatalogueStatus::NoStartMarker);
  EXPECT_EQ(parseCatalogue("[start]\r\n" + std::string(1 << 20, 'x')).catalogue.rows.size(), 0u);
}

TEST(MapClasses, TheFlagIsComparedAsANumber) {
  EXPECT_TRUE(test::row("a", " 01 ").isCtf());
  EXPECT_TRUE(test::row("a", "00").isRefusedForCtf());
  const MapEntry two = test::row("a", "2");
  EXPECT_FALSE(two.isCtf());
  EXPECT_TRUE(two.isHoloMatch());
  EXPECT_FALSE(two.isRefusedForCtf());
  const MapEntry text = test::row("a", "yes");
  EXPECT_FALSE(text.isCtf());
  EXPECT_FALSE(text.isRefusedForCtf());
}

TEST(NameLookup, ExactAndTheLastMatchWins) {
  MapEntry first = test::row("dup");
  MapEntry second = test::row("dup");
  second.caption1 = "later";
  const MapCatalogue catalogue = test::catalogueOf({first, test::row("Dup"), second});
  ASSERT_NE(catalogue.find("dup"), nullptr);
  EXPECT_EQ(catalogue.find("dup")->caption1, "later");
  EXPECT_EQ(catalogue.find("DUP"), nullptr);
  EXPECT_EQ(catalogue.find("du"), nullptr);
}

TEST(InstalledMaps, DirectoryMatchOfOrdinaryVisibleFilesInCatalogueOrder) {
  test::TempFolder game;
  const auto data = game / "BaseEF";
  test::writeFile(data / "PAK0.PK3", "x");
  test::writeFile(data / "maps" / "arena.bsp", "x");
  test::writeFile(data / ".hidden.pk3", "x");
  std::filesystem::create_directories(data / "folder.pk3");
  auto make = [](const std::string& file, const std::string& name) {
    MapEntry e = test::row(name);
    e.mapFile = file;
    return e;
  };
  const MapCatalogue catalogue = test::catalogueOf({
      make("pak0.pk3", "caseless"),
      make("pak?.pk3", "wildcard"),
      make("MAPS\\arena.bsp", "subfolder"),
      make(".hidden.pk3", "hidden"),
      make("folder.pk3", "folder"),
      make("missing.pk3", "missing"),
      make("", "empty field"),
      make("caseless", "caseless"),
  });
  const std::vector<std::string> expected{"caseless", "wildcard", "subfolder", "empty field"};
  EXPECT_EQ(installedMaps(catalogue, data), expected);
  // An empty field needs some file: an empty folder, or none, offers nothing.
  std::filesystem::create_directories(game / "empty");
  EXPECT_TRUE(installedMaps(test::catalogueOf({make("", "x")}), game / "empty").empty());
  EXPECT_TRUE(installedMaps(test::catalogueOf({make("", "x")}), game / "nowhere").empty());
}
