#include <gtest/gtest.h>

#include "core/TestSupport.h"
#include "util/Files.h"
#include "util/Text.h"

using namespace tarvex;

TEST(SplitLines, CrLfLoneCrAndLoneLfEachEndALine) {
  EXPECT_EQ(splitLines("a\r\nb\rc\nd\r\n\n\re"), (std::vector<std::string_view>{"a", "b", "c", "d", "", "", "e"}));
}

TEST(SplitLines, FinalTerminatorStartsNoFurtherLineButABlankLineCounts) {
  EXPECT_EQ(splitLines("a\r\n").size(), 1u);
  EXPECT_EQ(splitLines("a").size(), 1u);
  EXPECT_EQ(splitLines("a\r\n\r\n").size(), 2u);
  EXPECT_TRUE(splitLines("").empty());
}

TEST(ParseNumber, ReadsNumbersWithBlanksSignsAndLeadingZeros) {
  EXPECT_EQ(parseNumber("1"), 1.0);
  EXPECT_EQ(parseNumber(" 01 "), 1.0);
  EXPECT_EQ(parseNumber("+1"), 1.0);
  EXPECT_EQ(parseNumber("1.0"), 1.0);
  EXPECT_EQ(parseNumber("-0"), 0.0);
  EXPECT_EQ(parseNumber("2"), 2.0);
}

TEST(ParseNumber, TextThatIsNoNumberIsNothing) {
  for (const char* text : {"", " ", "abc", "1a", "inf", "nan", "--1", ".", "1 2"}) {
    EXPECT_FALSE(parseNumber(text).has_value()) << text;
  }
}

TEST(ParseCount, OnlyWholeNumbersOfReasonableLength) {
  EXPECT_EQ(parseCount("0"), 0);
  EXPECT_EQ(parseCount("17"), 17);
  EXPECT_FALSE(parseCount("-1"));
  EXPECT_FALSE(parseCount("1.5"));
  EXPECT_FALSE(parseCount("4000000000"));
  EXPECT_FALSE(parseCount(""));
}

TEST(Wildcards, MatchAsADirectoryListingDoes) {
  EXPECT_TRUE(wildcardMatch("*.pk3", "pak0.pk3", false));
  EXPECT_TRUE(wildcardMatch("pak?.pk3", "pak7.pk3", false));
  EXPECT_FALSE(wildcardMatch("pak?.pk3", "pak10.pk3", false));
  EXPECT_TRUE(wildcardMatch("PAK0.PK3", "pak0.pk3", true));
  EXPECT_FALSE(wildcardMatch("PAK0.PK3", "pak0.pk3", false));
  EXPECT_TRUE(wildcardMatch("*a*b*", "xxaxxbxx", false));
  // A name without an extension, as a Windows listing finds it.
  EXPECT_TRUE(wildcardMatch("*.*", "noext", false));
  EXPECT_TRUE(wildcardMatch("no*.*", "noext", false));
  EXPECT_TRUE(wildcardMatch("noext.", "noext", false));
  EXPECT_FALSE(wildcardMatch("noext.", "noext.txt", false));
  EXPECT_FALSE(wildcardMatch("x*.*", "y", false));
  test::TempFolder folder;
  test::writeFile(folder / "sub" / "noext", "x");
  EXPECT_TRUE(ordinaryFileMatches(folder.path(), "sub\\*.*"));
  EXPECT_TRUE(ordinaryFileMatches(folder.path(), "SUB\\NOEXT."));
}

TEST(AtomicWrite, ReplacesTheWholeFileAndLeavesNoTemporaryBehind) {
  test::TempFolder folder;
  const auto file = folder / "out.txt";
  test::writeFile(file, "old content that is longer");
  EXPECT_EQ(writeFileAtomic(file, "new"), "");
  EXPECT_EQ(test::readFile(file), "new");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST(AtomicWrite, ReportsTheCauseNeverATemporaryName) {
  test::TempFolder folder;
  const std::string error = writeFileAtomic(folder / "missing" / "out.txt", "x");
  EXPECT_EQ(error, "No such file or directory");
}

#ifndef _WIN32
TEST(AtomicWrite, WritesThroughLinksKeepsModesAndRespectsReadOnlyFiles) {
  namespace fs = std::filesystem;
  using P = fs::perms;
  test::TempFolder folder;
  // A link (a synced folder, say) keeps pointing at a file that now holds the new bytes.
  test::writeFile(folder / "real.sav", "old");
  fs::create_symlink(folder / "real.sav", folder / "link.sav");
  ASSERT_EQ(writeFileAtomic(folder / "link.sav", "new"), "");
  EXPECT_TRUE(fs::is_symlink(folder / "link.sav"));
  EXPECT_EQ(test::readFile(folder / "real.sav"), "new");
  // A file the user keeps private stays private; a new password file is the user's alone.
  fs::permissions(folder / "real.sav", P::owner_read | P::owner_write);
  ASSERT_EQ(writeFileAtomic(folder / "real.sav", "newer"), "");
  EXPECT_EQ(fs::status(folder / "real.sav").permissions(), P::owner_read | P::owner_write);
  ASSERT_EQ(writeFileAtomic(folder / "tarvex.cfg", "x", NewFileAccess::OwnerOnly), "");
  EXPECT_EQ(fs::status(folder / "tarvex.cfg").permissions(), P::owner_read | P::owner_write);
  // A slot the user made read-only is not replaced.
  fs::permissions(folder / "real.sav", P::owner_read);
  EXPECT_EQ(writeFileAtomic(folder / "real.sav", "lost?"), "the file is read-only");
  EXPECT_EQ(test::readFile(folder / "real.sav"), "newer");
  // What a killed writer left behind goes at the next start; other files stay.
  test::writeFile(folder / ".save3.sav.tarvex-tmp-a1b2c3", "half");
  removeStaleTemporaries(folder.path());
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 3);
}
#endif

#include "platform/Platform.h"

TEST(PlayWave, OnlyExistingWavFilesInAnyCaseArePlayed) {
  test::TempFolder folder;
  for (const char* name : {"a.wav", "b.WAV", "c.Wav", "d.mp3"}) test::writeFile(folder / name, "not really a sound");
  EXPECT_TRUE(platform::isPlayableWavePath((folder / "a.wav").string()));
  EXPECT_TRUE(platform::isPlayableWavePath((folder / "b.WAV").string()));
  EXPECT_TRUE(platform::isPlayableWavePath((folder / "c.Wav").string()));
  EXPECT_FALSE(platform::isPlayableWavePath((folder / "d.mp3").string()));
  EXPECT_FALSE(platform::isPlayableWavePath((folder / "missing.wav").string()));
  EXPECT_FALSE(platform::isPlayableWavePath(""));
  EXPECT_FALSE(platform::isPlayableWavePath(folder.path().string() + "/"));
}

TEST(PlayWave, ReturnsOnBrokenFilesAndWithoutASoundDevice) {
  test::TempFolder folder;
  test::writeFile(folder / "broken.wav", "RIFF\xff\xff\xff\xffWAVEfmt ");
  platform::playWave((folder / "broken.wav").string());
  platform::playWave((folder / "missing.wav").string());
  // A real, tiny sound: played where a sound server runs, silently skipped elsewhere.
  std::string wave = "RIFF";
  const auto le32 = [&wave](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) wave.push_back(static_cast<char>(v >> (8 * i)));
  };
  le32(36 + 200);
  wave += "WAVEfmt ";
  le32(16);
  wave += std::string("\x01\x00\x01\x00", 4);
  le32(8000);
  le32(16000);
  wave += std::string("\x02\x00\x10\x00", 4);
  wave += "data";
  le32(200);
  wave += std::string(200, '\0');
  test::writeFile(folder / "silence.wav", wave);
  platform::playWave((folder / "silence.wav").string());
  SUCCEED();
}
