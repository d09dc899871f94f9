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

// Nothing a file or a server says can steer the terminal: escapes, bells,
// line breaks and C1 controls (as UTF-8 writes them) are shown, other text passes.
TEST(VisibleText, ControlCharactersAreShownNotObeyed) {
  EXPECT_EQ(visibleText("\x1b]0;owned\x07 name\r\nFAKE\t\x7f"), "\\x1B]0;owned\\x07 name\\x0D\\x0AFAKE\\x09\\x7F");
  EXPECT_EQ(visibleText("csi \xc2\x9b" "2J"), "csi \\xC2\\x9B2J");
  EXPECT_EQ(visibleText("caf\xc3\xa9 \xc5\x9b \xe9 ^1Red"), "caf\xc3\xa9 \xc5\x9b \xe9 ^1Red");
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
  EXPECT_EQ(parseCount("999999999"), 999999999);  // nine digits, the most
  EXPECT_FALSE(parseCount("1000000000"));
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
  // A password file is the user's alone, new or replaced (shipped slots are 0644).
  test::writeFile(folder / "tarvex.cfg", "old");
  fs::permissions(folder / "tarvex.cfg", P::owner_read | P::owner_write | P::group_read | P::others_read);
  ASSERT_EQ(writeFileAtomic(folder / "tarvex.cfg", "x", FileAccess::OwnerOnly), "");
  EXPECT_EQ(fs::status(folder / "tarvex.cfg").permissions(), P::owner_read | P::owner_write);
  ASSERT_EQ(writeFileAtomic(folder / "new.sav", "x", FileAccess::OwnerOnly), "");
  EXPECT_EQ(fs::status(folder / "new.sav").permissions(), P::owner_read | P::owner_write);
  // A slot the user made read-only is not replaced.
  fs::permissions(folder / "real.sav", P::owner_read);
  EXPECT_EQ(writeFileAtomic(folder / "real.sav", "lost?"), "the file is read-only");
  EXPECT_EQ(test::readFile(folder / "real.sav"), "newer");
  // What a killed writer left behind goes at the next start; other files stay.
  test::writeFile(folder / ".save3.sav.tarvex-tmp-a1b2c3", "half");
  removeStaleTemporaries(folder.path());
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 4);
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

namespace {
// A mono WAV file of 100 frames at 8 kHz; extensible: the WAVE_FORMAT_EXTENSIBLE header.
std::string waveFile(int bits, bool extensible) {
  std::string fmt;
  const auto put = [&fmt](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) fmt.push_back(static_cast<char>(v >> (8 * i)));
  };
  const int block = bits / 8;
  put(extensible ? 0xFFFE : 1, 2);
  put(1, 2);
  put(8000, 4);
  put(8000 * block, 4);
  put(block, 2);
  put(bits, 2);
  if (extensible) {
    put(22, 2);
    put(bits, 2);
    put(4, 4);  // front centre
    fmt += std::string("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71", 16);  // PCM
  }
  const std::string data(std::size_t(100 * block), '\x10');
  std::string wave = "RIFF";
  const auto le32 = [&wave](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) wave.push_back(static_cast<char>(v >> (8 * i)));
  };
  le32(std::uint32_t(4 + 8 + fmt.size() + 8 + data.size()));
  wave += "WAVEfmt ";
  le32(std::uint32_t(fmt.size()));
  wave += fmt + "data";
  le32(std::uint32_t(data.size()));
  return wave + data;
}
}  // namespace

TEST(PlayWave, ReturnsOnBrokenFilesAndWithoutASoundDevice) {
  test::TempFolder folder;
  test::writeFile(folder / "broken.wav", "RIFF\xff\xff\xff\xffWAVEfmt ");
  platform::playWave((folder / "broken.wav").string());
  platform::playWave((folder / "missing.wav").string());
  // A real, tiny sound: played where a sound server runs, silently skipped elsewhere.
  test::writeFile(folder / "quiet.wav", waveFile(16, false));
  platform::playWave((folder / "quiet.wav").string());
  SUCCEED();
}

#ifdef TARVEX_HAVE_SOUND
TEST(PlayWave, EveryPcmLayoutWindowsPlaysIsDecoded) {
  test::TempFolder folder;
  for (const auto& [bits, extensible] : {std::pair{8, false}, {16, false}, {24, false}, {32, false}, {16, true},
                                         {24, true}}) {
    const auto file = folder / ("w" + std::to_string(bits) + (extensible ? "x" : "") + ".wav");
    test::writeFile(file, waveFile(bits, extensible));
    const platform::DecodedWave wave = platform::decodeWave(file.string());
    EXPECT_EQ(wave.samples.size(), 100u) << bits << (extensible ? " extensible" : "");
    EXPECT_EQ(wave.rate, 8000);
  }
  test::writeFile(folder / "broken.wav", "RIFF\xff\xff\xff\xffWAVEfmt ");
  EXPECT_TRUE(platform::decodeWave((folder / "broken.wav").string()).samples.empty());
}
#endif
