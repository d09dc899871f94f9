#include <gtest/gtest.h>
#include <stb_image.h>
#include <stb_image_write.h>
#include <zip.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>

#include "core/TestSupport.h"
#include "maps/MapDiscovery.h"
#include "pk3/Arena.h"
#include "pk3/Levelshot.h"
#include "pk3/Pk3Archive.h"
#include "util/Text.h"

namespace fs = std::filesystem;
using namespace tarvex;

namespace {
void writePk3(const fs::path& file, const std::vector<std::pair<std::string, std::string>>& entries) {
  ASSERT_TRUE(test::writePk3(file, entries));
}

// A grey picture of the size given, in the format given, as stb writes it.
enum class Format { Png, Tga, Jpeg, Bmp };
std::string picture(int width, int height, Format format) {
  const std::vector<unsigned char> pixels(std::size_t(width * height * 3), 0x80);
  std::string out;
  const auto append = [](void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), std::size_t(size));
  };
  if (format == Format::Png) stbi_write_png_to_func(append, &out, width, height, 3, pixels.data(), width * 3);
  if (format == Format::Tga) stbi_write_tga_to_func(append, &out, width, height, 3, pixels.data());
  if (format == Format::Jpeg) stbi_write_jpg_to_func(append, &out, width, height, 3, pixels.data(), 80);
  if (format == Format::Bmp) stbi_write_bmp_to_func(append, &out, width, height, 3, pixels.data());
  return out;
}

struct GameFolder : test::GameInstall {
  GameFolder() : GameInstall(false) { fs::create_directories(data()); }
  fs::path data() const { return game / "BaseEF"; }
};

const MapProposal* proposal(const MapDiscovery& found, const std::string& name) {
  for (const auto& map : found.maps)
    if (equalsNoCase(map.entry.name, name)) return &map;
  return nullptr;
}
}  // namespace

TEST(MapDiscovery, NewMapsWithArenaNamesClassesPicturesAndTheLaterArchiveWinning) {
  GameFolder g;
  // The arena text first: the archive's first entry is read like any other.
  writePk3(g.data() / "a_first.pk3",
           {{"scripts/one.arena", "// the first\n{\n map \"one\"\n longname \"First One\"\n type \"ffa ctf\" }\n"},
            {"maps/one.bsp", "bsp"},
            {"maps/Two.bsp", "bsp"},
            {"maps/known.bsp", "bsp"},
            {"maps/sub/deeper.bsp", "bsp"},
            {"levelshots/one.tga", picture(64, 48, Format::Tga)}});
  writePk3(g.data() / "B_second.PK3", {{"MAPS/TWO.BSP", "bsp"}, {"levelshots/TWO.png", picture(32, 32, Format::Png)}});
  test::writeFile(g.data() / "notes.txt", "not an archive");
  test::writeFile(g.data() / "maps" / "loose.bsp", "bsp");
  const MapDiscovery found = discoverMaps(g.data(), test::catalogueOf({test::row("KNOWN")}));
  EXPECT_TRUE(found.problems.empty());
  ASSERT_EQ(found.maps.size(), 3u);  // one, TWO (once, from the later archive), loose

  const MapProposal *one = proposal(found, "one"), *two = proposal(found, "two");
  ASSERT_TRUE(one && two);
  EXPECT_EQ(one->entry, (MapEntry{"a_first.pk3", "one", "First One", "a_first.pk3", "1", "\\one.jpg", "10", "0", "5"}));
  EXPECT_EQ(two->entry.name + " " + two->entry.caption2 + " " + two->entry.ctfFlag, "TWO B_second.PK3 0");
  EXPECT_EQ(proposal(found, "loose")->entry.mapFile, "maps\\loose.bsp");
  EXPECT_EQ(proposal(found, "loose")->entry.picture, "");

  std::vector<MapProposal> maps = found.maps;
  const std::vector<std::string> problems = makePictures(maps, 0, maps.size());
  EXPECT_TRUE(problems.empty()) << problems.front();
  const auto pictureOf = [&maps](const char* name) {
    return std::ranges::find(maps, std::string(name), [](const MapProposal& m) { return m.entry.name; })->picture;
  };
  EXPECT_EQ(pictureOf("one").value_or("").substr(0, 2), "\xff\xd8");  // a JPEG
  EXPECT_FALSE(pictureOf("TWO").value_or("").empty());
  EXPECT_EQ(pictureOf("loose"), std::nullopt);  // no levelshot: no picture tried
}

TEST(MapDiscovery, HostileArchivesAreSkippedWithOneMessageNamingThem) {
  GameFolder g;
  writePk3(g.data() / "good.pk3", {{"maps/fine.bsp", "bsp"}});
  std::string good = test::readFile(g.data() / "good.pk3");
  test::writeFile(g.data() / "notazip.pk3", "PK\x03\x04 this is not a zip at all");
  test::writeFile(g.data() / "truncated.pk3", good.substr(0, good.size() / 2));
  writePk3(g.data() / "escape.pk3", {{"maps/esc.bsp", "bsp"}, {"../../evil.cfg", "bind x quit"}});
  writePk3(g.data() / "absolute.pk3", {{"maps/abs.bsp", "bsp"}, {"/etc/evil", "x"}});
  writePk3(g.data() / "backslash.pk3", {{"maps/bs.bsp", "bsp"}, {"..\\..\\evil.cfg", "x"}});
  // A zip bomb: an arena text that inflates far past any real one.
  writePk3(g.data() / "zbomb.pk3", {{"maps/boom.bsp", "bsp"}, {"scripts/boom.arena", std::string(3 << 20, ' ')}});
  writePk3(g.data() / "names.pk3", {{"maps/bad\"name.bsp", "bsp"}, {"maps/semi;colon.bsp", "bsp"}});
  // A file name is a line of maps.ini: a line break in it wrote rows of its own.
  writePk3(g.data() / "x\r\nhm_borg1\r\n\r\n\r\n1\r\n\\..\\..\\evil.pk3", {{"maps/broken.bsp", "bsp"}});
  writePk3(g.data() / "title\x1b]0;owned\x07.pk3", {{"maps/titled.bsp", "bsp"}});
  // An arena text that would put escape sequences into captions.
  writePk3(g.data() / "ctrl.pk3",
           {{"maps/ctl.bsp", "bsp"}, {"scripts/ctl.arena", "{ map \"ctl\" longname \"\x1b[2J\x1b[Hcleared\" }"}});
  const MapDiscovery found = discoverMaps(g.data(), {});
  std::set<std::string> names;
  for (const auto& map : found.maps) names.insert(map.entry.name);
  // Unsafe names are never offered; a map whose arena text was skipped keeps its own name as caption.
  EXPECT_EQ(names, (std::set<std::string>{"fine", "ctl"}));
  EXPECT_EQ(proposal(found, "ctl")->entry.caption1, "ctl");
  ASSERT_EQ(found.problems.size(), 9u);
  for (const char* file : {"notazip.pk3", "truncated.pk3", "escape.pk3", "absolute.pk3", "backslash.pk3", "zbomb.pk3",
                           "evil.pk3", "owned\\x07.pk3", "ctrl.pk3"})
    EXPECT_EQ(std::ranges::count_if(found.problems, [&](auto& p) { return test::contains(p, file); }), 1) << file;
  // What a file holds is shown, never passed on as control characters.
  for (const auto& problem : found.problems)
    EXPECT_EQ(std::ranges::count_if(problem, [](char c) { return c >= 0 && c < 0x20; }), 0) << problem;
  // Nothing of an archive is ever written but the pictures, into the picture folder.
  EXPECT_FALSE(fs::exists(g.game / "evil.cfg"));
}

// Levelshots come from anyone's pk3: only the game's three formats are
// decoded, and only within a size a levelshot has, looked at before decoding.
TEST(Levelshots, OnlyJpegPngAndTgaOfALevelshotsSizeAreDecoded) {
  // A colour-mapped TGA, 4 x 4, of a palette of two colours.
  const std::string mappedTga =
      std::string("\x00\x01\x01\x00\x00\x02\x00\x18\x00\x00\x00\x00\x04\x00\x04\x00\x08\x00", 18) +
      std::string("\x10\x20\x30\xF0\xE0\xD0", 6) + std::string(16, '\x01');
  // A true-colour TGA with alpha, 32 bits a pixel.
  std::string alphaTga;
  const std::vector<unsigned char> rgba(4 * 4 * 4, 0x80);
  stbi_write_tga_to_func(
      [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), std::size_t(size));
      },
      &alphaTga, 4, 4, 4, rgba.data());
  // A true-colour TGA of 16 bits a pixel, 2 x 2.
  const std::string shortTga =
      std::string("\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x02\x00\x10\x00", 18) +
      std::string(8, '\x55');
  // A JPEG with an empty comment segment (its length counts only itself).
  std::string commented = picture(8, 8, Format::Jpeg);
  commented.insert(2, std::string("\xFF\xFE\x00\x02", 4));
  for (const std::string& good : {picture(40, 30, Format::Jpeg), picture(30, 40, Format::Png),
                                  picture(16, 16, Format::Tga), mappedTga, alphaTga, shortTga, commented}) {
    const Result<std::string> made = mapPictureFromLevelshot(good);
    EXPECT_TRUE(made && made.problem().empty()) << made.problem();
  }

  // A JPEG that claims 8192 x 8192 in a few bytes (decoding took 795 MB).
  std::string huge = picture(8, 8, Format::Jpeg);
  const auto frame = huge.find("\xFF\xC0");
  ASSERT_NE(frame, std::string::npos);
  huge.replace(frame + 5, 4, std::string("\x20\x00\x20\x00", 4));
  // A 16-bit PNG header (decoding one of 522 KB took 1 GB); its checksums are never read.
  std::string deep = picture(4, 4, Format::Png);
  deep[24] = 16;
  // 2,040 Huffman codes in a table of 256: the decoder wrote past its table.
  const std::string codes = std::string("\xFF\xD8\xFF\xC4\x00\x13\x00", 7) + std::string(16, '\xFF');
  // A TGA header with an image type the format does not have.
  std::string badTga = picture(4, 4, Format::Tga);
  badTga[2] = 4;
  // A TGA header of no lines.
  std::string flatTga = picture(4, 4, Format::Tga);
  flatTga[14] = flatTga[15] = 0;
  const std::pair<std::string, const char*> refused[] = {
      {huge, "8192 x 8192 pixels"},
      {deep, "16 bits"},
      {codes, "broken JPEG"},
      {picture(16, 16, Format::Bmp), "not a JPEG, PNG or TGA"},
      {badTga, "not a JPEG, PNG or TGA"},
      {flatTga, "not a JPEG, PNG or TGA"},
      {"GIF89a\x10\x00\x10\x00", "not a JPEG, PNG or TGA"},
      {"\x89PNG\r\n\x1A\n", "cannot be read"},  // a PNG signature alone
      {"", "not a JPEG"}};
  for (const auto& [bytes, reason] : refused) {
    const Result<std::string> made = mapPictureFromLevelshot(bytes);
    EXPECT_FALSE(made);
    EXPECT_NE(made.problem().find(reason), std::string::npos) << made.problem();
  }
}

// A map's picture is its levelshot at 150 x 150: shrunk, each pixel the
// average of what it covers (a red left half stays red, a blue right half
// blue, with no colour of their own at the edge); grown, a blend of its
// neighbours; in both, a plain colour stays that colour.
TEST(Levelshots, ThePictureIsTheLevelshotShrunkOrGrownWithoutShiftOrSkew) {
  const auto pictureOf = [](int width, int height, const auto& colour, bool jpeg = false) {
    std::vector<unsigned char> pixels(std::size_t(width) * std::size_t(height) * 3);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) colour(x, y, &pixels[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3]);
    std::string png;
    const auto append = [](void* context, void* data, int size) {
      static_cast<std::string*>(context)->append(static_cast<const char*>(data), std::size_t(size));
    };
    jpeg ? stbi_write_jpg_to_func(append, &png, width, height, 3, pixels.data(), 95)
         : stbi_write_png_to_func(append, &png, width, height, 3, pixels.data(), width * 3);
    const Result<std::string> made = mapPictureFromLevelshot(png);
    EXPECT_TRUE(made) << made.problem();
    int w = 0, h = 0, channels = 0;
    std::unique_ptr<unsigned char, void (*)(void*)> decoded(
        stbi_load_from_memory(reinterpret_cast<const unsigned char*>(made->data()), int(made->size()), &w, &h,
                              &channels, 3),
        stbi_image_free);
    EXPECT_EQ(w, 150);
    EXPECT_EQ(h, 150);
    return std::vector<unsigned char>(decoded.get(), decoded.get() + 150 * 150 * 3);
  };
  const auto near = [](const std::vector<unsigned char>& p, int x, int y, int r, int g, int b) {
    const unsigned char* at = &p[(std::size_t(y) * 150 + std::size_t(x)) * 3];
    return std::abs(at[0] - r) < 24 && std::abs(at[1] - g) < 24 && std::abs(at[2] - b) < 24;
  };
  const auto halves = [](int x, int, unsigned char* p) {
    const bool left = x < 300;
    p[0] = left ? 220 : 20, p[1] = 20, p[2] = left ? 20 : 220;
  };
  // A JPEG is decoded at a fraction of its size where libjpeg-turbo does it: the same picture.
  for (const bool jpeg : {false, true}) {
    const auto shrunk = pictureOf(600, 450, halves, jpeg);
    for (const int y : {0, 75, 149}) {
      EXPECT_TRUE(near(shrunk, 0, y, 220, 20, 20) && near(shrunk, 70, y, 220, 20, 20)) << y << " " << jpeg;
      EXPECT_TRUE(near(shrunk, 80, y, 20, 20, 220) && near(shrunk, 149, y, 20, 20, 220)) << y << " " << jpeg;
    }
  }
  const auto grey = [](int, int, unsigned char* p) { p[0] = p[1] = p[2] = 128; };
  for (const auto& plain :
       {pictureOf(640, 480, grey), pictureOf(640, 480, grey, true), pictureOf(100, 60, grey), pictureOf(1, 1, grey)})
    for (const int at : {0, 74, 149}) EXPECT_TRUE(near(plain, at, 149 - at, 128, 128, 128)) << at;
  // Grown from 2 x 1: red at the left edge, blue at the right, a blend between.
  const auto grown =
      pictureOf(2, 1, [](int x, int, unsigned char* p) { p[0] = x ? 0 : 255, p[1] = 0, p[2] = x ? 255 : 0; });
  EXPECT_TRUE(near(grown, 0, 75, 255, 0, 0) && near(grown, 149, 75, 0, 0, 255));
  EXPECT_TRUE(near(grown, 75, 75, 128, 0, 128));
}

// A progressive JPEG of 4096 x 4096 whose refinement scans are ten bytes
// each: every scan passes over all its blocks (5,000 took 47 s to decode).
static std::string scanHeavyJpeg(int scans) {
  std::string b("\xFF\xD8", 2);
  b += std::string("\xFF\xC2\x00\x0B\x08\x10\x00\x10\x00\x01\x01\x11\x00", 13);                    // 4096 x 4096, grey
  b += std::string("\xFF\xC4\x00\x14\x00\x01", 6) + std::string(15, '\0') + std::string(1, '\0');  // one DC code
  b += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x00\x01", 10);                                // the first DC scan
  for (int i = 0; i < scans; ++i) b += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x00\x10", 10);
  return b + "\xFF\xD9";
}

TEST(Levelshots, APictureOfTooManyScansIsRefusedBeforeDecoding) {
  const Result<std::string> refused = mapPictureFromLevelshot(scanHeavyJpeg(5000));
  EXPECT_FALSE(refused);
  EXPECT_NE(refused.problem().find("more than 32 scans"), std::string::npos) << refused.problem();
  const Result<std::string> made = mapPictureFromLevelshot(scanHeavyJpeg(10));
  EXPECT_TRUE(made) << made.problem();
}

// The bound is looked at in the directory, before any entry is read (here
// with a bound of 10 in place of the program's 200,000, which makes the test
// a thousandth as long; the real archives of the engine test stay within it).
TEST(MapDiscovery, AnArchiveOfTooManyEntriesIsRefusedByItsDirectory) {
  test::TempFolder folder;
  int error = 0;
  zip* archive = zip_open((folder / "huge.pk3").c_str(), ZIP_CREATE, &error);
  ASSERT_NE(archive, nullptr);
  for (std::size_t i = 0; i <= 10; ++i) zip_dir_add(archive, ("d" + std::to_string(i)).c_str(), ZIP_FL_ENC_RAW);
  ASSERT_EQ(zip_close(archive), 0);
  const Result<Pk3Archive> within = Pk3Archive::open(folder / "huge.pk3", 11);
  EXPECT_TRUE(within) << within.problem();
  const Result<Pk3Archive> beyond = Pk3Archive::open(folder / "huge.pk3", 10);
  EXPECT_FALSE(beyond);
  EXPECT_EQ(beyond.problem(), "it holds 11 entries, more than any game archive");
  // An archive of no entries holds nothing, and is read as such.
  test::writeFile(folder / "empty.pk3", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  const Result<Pk3Archive> empty = Pk3Archive::open(folder / "empty.pk3", 10);
  EXPECT_TRUE(empty) << empty.problem();
}

// maps.ini as people edit it by hand: no separator after the last entry, a
// blank line or half an entry after it. New entries (a picture each that has
// a levelshot) go after the last complete one, the user's lines stay, what is
// counted reads back, and no earlier version is lost.
TEST(MapDiscovery, AddingKeepsTheUsersLinesEveryEarlierVersionAndNothingHalfDone) {
  GameFolder g;
  writePk3(g.data() / "new.pk3", {{"maps/c1.bsp", "b"},
                                  {"levelshots/c1.png", picture(20, 20, Format::Png)},
                                  {"maps/c2.bsp", "b"},
                                  {"levelshots/c2.tga", "not a picture"}});
  const std::string entry = "[start]\r\npak0.pk3\r\nold\r\nOld\r\nOne\r\n0\r\n\\old.jpg";
  const std::string added =
      "new.pk3\r\nc1\r\nc1\r\nnew.pk3\r\n0\r\n\\c1.jpg\r\n\r\nnew.pk3\r\nc2\r\nc2\r\nnew.pk3\r\n0\r\n\r\n\r\n";
  const auto add = [&](const std::string& before) {
    test::writeFile(g.app / "maps.ini", before);
    const MapDiscovery found = discoverMaps(g.data(), loadCatalogueFile(g.app / "maps.ini").catalogue);
    return addToCatalogue(g.app / "maps.ini", g.app / "Map_Images", found.maps);
  };
  for (const auto& [before, after, halfAt] :
       {std::tuple{entry, entry + "\r\n\r\n" + added, ""},
        {entry + "\r\n\r\n\r\n", entry + "\r\n\r\n" + added + "\r\n", ""},
        {entry + "\r\n\r\npak9.pk3\r\nhalf\r\n", entry + "\r\n\r\n" + added + "pak9.pk3\r\nhalf\r\n",
         "from line 9 on"}}) {
    const CatalogueAddition result = add(before);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(additionMessage(result).substr(0, 32), "2 maps were added to the map lis");
    EXPECT_EQ(test::readFile(g.app / "maps.ini"), after);
    EXPECT_EQ(test::readFile(g.app / "maps.ini.bak"), before);
    const auto rows = loadCatalogueFile(g.app / "maps.ini").catalogue.rows;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].picture + rows[2].name + rows[2].picture, "\\c1.jpgc2");
    EXPECT_EQ(std::ranges::count_if(result.problems, [&](auto& p) { return *halfAt && test::contains(p, halfAt); }),
              *halfAt ? 1 : 0);
    EXPECT_TRUE(discoverMaps(g.data(), loadCatalogueFile(g.app / "maps.ini").catalogue).maps.empty());
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(g.app / "Map_Images"), {}), 1);  // c1.jpg
  // Three runs later the file as it was before the first is still there.
  const std::string first = test::readFile(g.app / "maps.ini");
  for (int run = 0; run < 3; ++run) {
    writePk3(g.data() / ("run" + std::to_string(run) + ".pk3"), {{"maps/r" + std::to_string(run) + ".bsp", "b"}});
    ASSERT_EQ(add(test::readFile(g.app / "maps.ini")).error, "");
  }
  EXPECT_EQ(test::readFile(g.app / "maps.ini.bak3"), first);
  // A map list that cannot be replaced: nothing written, its backups and pictures included.
  const std::string bak = test::readFile(g.app / "maps.ini.bak");
  writePk3(g.data() / "late.pk3", {{"maps/late.bsp", "b"}, {"levelshots/late.png", picture(8, 8, Format::Png)}});
  const MapDiscovery late = discoverMaps(g.data(), loadCatalogueFile(g.app / "maps.ini").catalogue);
  fs::permissions(g.app / "maps.ini", fs::perms::owner_read);
  EXPECT_TRUE(test::contains(addToCatalogue(g.app / "maps.ini", g.app / "Map_Images", late.maps).error, "read-only"));
  EXPECT_EQ(test::readFile(g.app / "maps.ini.bak"), bak);
  EXPECT_FALSE(fs::exists(g.app / "Map_Images" / "late.jpg"));
  fs::permissions(g.app / "maps.ini", fs::perms::owner_read | fs::perms::owner_write);
  // A full catalogue takes what fits and says how many were left out.
  std::string full = "[start]\r\n";
  for (std::size_t i = 0; i + 1 < kMaxCatalogueRows; ++i)
    full += "x.pk3\r\nm" + std::to_string(i) + "\r\n\r\n\r\n0\r\n\r\n\r\n";
  const CatalogueAddition partial = add(full);  // six new maps, room for one
  EXPECT_EQ(partial.added, 1u);
  EXPECT_EQ(partial.leftOut, 5u);
  EXPECT_EQ(additionMessage(partial),
            "1 map was added to the map list.  5 maps were left out: the map list holds at "
            "most 1000 maps.");
  EXPECT_EQ(additionMessage({2, 1, {}, {}}).substr(0, 54), "2 maps were added to the map list.  1 map was left out");
}

TEST(Arenas, BlocksCommentsAndTypes) {
  const auto arenas = parseArenas(
      "/* all maps */ { map \"a\" longname \"A map\" type \"ffa tourney\" } // next\n{ map b type \"CTF team\" }\n{ "
      "map");
  ASSERT_EQ(arenas.size(), 2u);
  EXPECT_EQ(arenas[0].at("longname"), "A map");
  EXPECT_FALSE(arenaOffersCtf(arenas[0]));
  EXPECT_TRUE(arenaOffersCtf(arenas[1]));
  EXPECT_FALSE(arenaOffersCtf({{"type", "ctfx"}}));
  // Braces need no blanks around them.
  const auto tight = parseArenas("{map c longname \"C\"}{map \"d\"}");
  ASSERT_EQ(tight.size(), 2u);
  EXPECT_EQ(tight[0].at("map"), "c");
  EXPECT_EQ(tight[1].at("map"), "d");
}
