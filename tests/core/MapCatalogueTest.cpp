#include <gtest/gtest.h>

#include "core/TestSupport.h"
#include "maps/MapCatalogue.h"

using namespace tarvex;

namespace {
std::string entry(const std::string& name, const std::string& flag = "0") {
  return "pak0.pk3\r\n" + name + "\r\ncap one\r\ncap two\r\n" + flag + "\r\n\\" + name + ".jpg\r\n\r\n";
}
std::size_t rows(const std::string& file) { return parseCatalogue(file).catalogue.rows.size(); }
}  // namespace

// Seven-line groups after the exact start line; a group counts when its six
// field lines are there (one appended by hand may end at its picture line);
// any line end reads as Windows' own.
TEST(CatalogueReader, GroupsAfterTheStartLineAsWrittenOnEitherSystem) {
  const auto load = parseCatalogue("header\r\n[start]\r\n" + entry("a", "1") + entry("b"));
  ASSERT_EQ(load.status, CatalogueStatus::Ok);
  ASSERT_EQ(load.catalogue.rows.size(), 2u);
  EXPECT_EQ(load.catalogue.rows[0], (MapEntry{"pak0.pk3", "a", "cap one", "cap two", "1", "\\a.jpg", "10", "0", "5"}));
  std::string lines;
  for (int i = 1; i <= 13; ++i) lines += "l" + std::to_string(i) + "\r\n";
  EXPECT_EQ(rows("[start]\r\n" + lines.substr(0, 51)), 1u);  // 12 lines
  EXPECT_EQ(rows("[start]\r\n" + lines), 2u);
  EXPECT_EQ(rows("[start]\r\n" + lines.substr(0, 20)), 0u);  // 5 lines
  for (const char* end : {"\\b.jpg\r\n", "\\b.jpg", "\\b.jpg\n"})
    EXPECT_EQ(rows("[start]\r\n" + entry("a") + "pak0.pk3\r\nb\r\nc\r\nd\r\n0\r\n" + end), 2u);
  EXPECT_EQ(rows("[start]\r\n" + entry("a") + "\r\n"), 1u);  // a blank line after the last changes nothing
  EXPECT_EQ(parseCatalogue("[Start]\r\n[start] \r\n" + entry("a")).status, CatalogueStatus::NoStartMarker);
  EXPECT_EQ(parseCatalogue("[start] \r\n[start]\r\n" + entry("a")).catalogue.rows.at(0).name, "a");
  const auto lf =
      parseCatalogue("head\n[start]\npak0.pk3\nname\nc1\nc2\n0\n\\p.jpg\n\npak0.pk3\nsecond\rc1\rc2\r1\r\\q.jpg\r");
  ASSERT_EQ(lf.catalogue.rows.size(), 2u);
  EXPECT_EQ(lf.catalogue.rows[0].name, "name");
  EXPECT_EQ(lf.catalogue.rows[1].picture, "\\q.jpg");
}

TEST(CatalogueReader, AThousandEntriesAtMostAndNothingFatal) {
  std::string file = "[start]\r\n";
  for (int i = 0; i < 1010; ++i) file += entry("m" + std::to_string(i));
  const auto load = parseCatalogue(file);
  ASSERT_EQ(load.catalogue.rows.size(), kMaxCatalogueRows);
  EXPECT_EQ(load.catalogue.rows.back().name, "m999");
  test::TempFolder folder;
  EXPECT_EQ(loadCatalogueFile(folder / "maps.ini").status, CatalogueStatus::Missing);
  EXPECT_TRUE(test::contains(catalogueMessage(CatalogueStatus::Missing, "maps.ini"), "maps.ini"));
  EXPECT_EQ(parseCatalogue("").status, CatalogueStatus::NoStartMarker);
  EXPECT_EQ(rows("[start]\r\n" + std::string(1 << 20, 'x')), 0u);
}

// The flag is compared as a number; a name is looked up exactly, the last row winning.
TEST(MapClasses, TheFlagAsANumberAndTheLastRowOfANameWins) {
  EXPECT_TRUE(test::row("a", " 01 ").isCtf());
  EXPECT_TRUE(test::row("a", "00").isRefusedForCtf());
  EXPECT_TRUE(test::row("a", "2").isHoloMatch());
  for (const char* flag : {"2", "yes"}) {
    EXPECT_FALSE(test::row("a", flag).isCtf() || test::row("a", flag).isRefusedForCtf()) << flag;
  }
  MapEntry second = test::row("dup");
  second.caption1 = "later";
  const MapCatalogue catalogue = test::catalogueOf({test::row("dup"), test::row("Dup"), second});
  EXPECT_EQ(catalogue.find("dup")->caption1, "later");
  EXPECT_EQ(catalogue.find("DUP"), nullptr);
  EXPECT_EQ(catalogue.find("du"), nullptr);
}

TEST(InstalledMaps, DirectoryMatchOfOrdinaryVisibleFilesInCatalogueOrder) {
  test::TempFolder game;
  const auto data = game / "BaseEF";
  for (const char* file : {"PAK0.PK3", "maps/arena.bsp", ".hidden.pk3"}) test::writeFile(data / file, "x");
  std::filesystem::create_directories(data / "folder.pk3");
  MapCatalogue catalogue;
  for (const auto& [file, name] : {std::pair{"pak0.pk3", "caseless"},
                                   {"pak?.pk3", "wildcard"},
                                   {"MAPS\\arena.bsp", "subfolder"},
                                   {".hidden.pk3", "hidden"},
                                   {"folder.pk3", "folder"},
                                   {"missing.pk3", "missing"},
                                   {"", "empty field"},
                                   {"caseless", "caseless"}}) {
    catalogue.rows.push_back(test::row(name));
    catalogue.rows.back().mapFile = file;
  }
  EXPECT_EQ(installedMaps(catalogue, data),
            (std::vector<std::string>{"caseless", "wildcard", "subfolder", "empty field"}));
  // An empty field needs some file: an empty folder, or none, offers nothing.
  const MapCatalogue emptyField = test::catalogueOf({catalogue.rows[6]});
  std::filesystem::create_directories(game / "empty");
  EXPECT_TRUE(installedMaps(emptyField, game / "empty").empty());
  EXPECT_TRUE(installedMaps(emptyField, game / "nowhere").empty());
}

// The shipped list with the user's additions on top: an added entry takes the
// place of the shipped one of its name, new ones follow; an added list that
// cannot be read leaves the shipped maps, with a message; a portable folder
// has one list. Pictures are looked up in the data folder first.
TEST(MapList, TheUsersAdditionsLieOverTheShippedList) {
  test::TempFolder program, data;
  test::writeFile(program / "maps.ini", "shipped\r\n[start]\r\n" + entry("a") + entry("b") + entry("c"));
  test::writeFile(data / "maps.ini", "added\r\n[start]\r\n" + entry("new") + entry("b", "1"));
  test::writeFile(program / "Map_Images" / "b.jpg", "shipped");
  test::writeFile(data / "Map_Images" / "B.JPG", "added");
  test::writeFile(program / "Map_Images" / "c.jpg", "shipped");
  const MapListFolders folders{program.path(), data.path()};
  MapListLoad load = loadMapList(folders);
  ASSERT_EQ(load.status, CatalogueStatus::Ok);
  EXPECT_TRUE(load.messages.empty());
  std::string names;
  for (const auto& row : load.catalogue.rows) names += row.name + (row.isCtf() ? "*" : "") + " ";
  EXPECT_EQ(names, "a b* c new ");
  EXPECT_EQ(test::readFile(*folders.pictureFile("\\b.jpg")), "added");
  EXPECT_EQ(test::readFile(*folders.pictureFile("\\c.jpg")), "shipped");
  test::writeFile(data / "maps.ini", "no start line\r\n" + entry("new"));
  load = loadMapList(folders);
  EXPECT_EQ(load.catalogue.rows.size(), 3u);
  ASSERT_EQ(load.messages.size(), 1u);
  EXPECT_TRUE(test::contains(load.messages[0], "has no [start] line.  Only the shipped maps are offered."));
  std::filesystem::remove(data / "maps.ini");
  EXPECT_TRUE(loadMapList(folders).messages.empty());
  load = loadMapList({program.path(), program.path()});
  EXPECT_EQ(load.catalogue.rows.size(), 3u);
  EXPECT_FALSE((MapListFolders{program.path(), program / "."}.separate()));  // one folder, spelled two ways
  // The whole list holds at most the catalogue's room.
  std::string many = "added\r\n[start]\r\n";
  for (std::size_t i = 0; i < kMaxCatalogueRows; ++i) many += entry("m" + std::to_string(i));
  test::writeFile(data / "maps.ini", many);
  EXPECT_EQ(loadMapList(folders).catalogue.rows.size(), kMaxCatalogueRows);
  std::filesystem::remove(program / "maps.ini");
  EXPECT_EQ(loadMapList(folders).status, CatalogueStatus::Missing);
}
