#include <gtest/gtest.h>

#include <ctime>
#include <tuple>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>
#endif

#include "core/TestSupport.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/Sound.h"
#include "platform/SystemServices.h"
#include "platform/Time.h"
#include "util/Text.h"

using namespace tarvex;

// CR LF, a lone CR and a lone LF each end a line; a final one starts no further line.
TEST(SplitLines, EveryLineEndAndTheLastLine) {
  EXPECT_EQ(splitLines("a\r\nb\rc\nd\r\n\n\re"), (std::vector<std::string_view>{"a", "b", "c", "d", "", "", "e"}));
  EXPECT_EQ(splitLines("a\r\n").size(), 1u);
  EXPECT_EQ(splitLines("a").size(), 1u);
  EXPECT_EQ(splitLines("a\r\n\r\n").size(), 2u);
  EXPECT_TRUE(splitLines("").empty());
}

// Nothing a file or a server says can steer the terminal: escapes, bells,
// line breaks and C1 controls (as UTF-8 writes them) are shown, other text passes.
TEST(VisibleText, ControlCharactersAreShownNotObeyed) {
  EXPECT_EQ(visibleText("\x1b]0;owned\x07 name\r\nFAKE\t\x7f"), "\\x1B]0;owned\\x07 name\\x0D\\x0AFAKE\\x09\\x7F");
  EXPECT_EQ(visibleText("csi \xc2\x9b"
                        "2J"),
            "csi \\xC2\\x9B2J");
  EXPECT_EQ(visibleText("caf\xc3\xa9 \xc5\x9b \xe9 ^1Red"), "caf\xc3\xa9 \xc5\x9b \xe9 ^1Red");
  // A C1 control standing alone, as single-byte text holds it (0x9B: a terminal's CSI).
  EXPECT_EQ(visibleText("csi \x9b"
                        "2J \x85 \xc3\x9b \xe2\x82\xac"),
            "csi \\x9B2J \\x85 \xc3\x9b \xe2\x82\xac");
}

// The game's code page both ways: every byte comes back as itself through
// UTF-8 and through the text of a text box; a character outside it is refused.
TEST(GameCodePage, EveryByteRoundTripsAndCharactersOutsideAreRefused) {
  std::string all;
  for (int byte = 1; byte < 256; ++byte) all.push_back(char(byte));
  EXPECT_EQ(utf8ToGameText(gameTextToUtf8(all)), all);
#ifndef _WIN32  // Windows answers with the system's code page
  EXPECT_EQ(platform::toGameBytes(platform::fromGameBytes(all)), all);
  EXPECT_EQ(platform::fromGameBytes("\x80\x9f\xff"), u"\u20ac\u0178\u00ff");
  EXPECT_TRUE(platform::isGameCharacter(u'\u2122') && platform::isGameCharacter(u'\u0081'));
  EXPECT_FALSE(platform::isGameCharacter(u'\u4e2d') || platform::isGameCharacter(u'\u0100'));
#endif
  EXPECT_EQ(utf8ToGameText("\u20ac \u0178 \u00e9"), std::optional<std::string>("\x80 \x9f \xe9"));
  for (const char* outside : {"\u4e2d", "\u0100", "\u20ad", "\U0001F600"})
    EXPECT_EQ(utf8ToGameText(outside), std::nullopt) << outside;
}

// The local time of a moment is that moment (restarts at a time of day and
// list's "since" read it).
TEST(LocalTime, IsTheMomentItWasAskedFor) {
  const std::time_t now = std::time(nullptr);
  std::tm local = platform::localTime(now);
  EXPECT_EQ(std::mktime(&local), now);
#ifndef _WIN32
  // In a zone five and a half hours east of UTC (on a machine set to UTC, local time is UTC's otherwise).
  const char* before = std::getenv("TZ");
  const std::string saved = before ? before : "";
  setenv("TZ", "XST-05:30", 1);
  tzset();
  const std::tm east = platform::localTime(now);
  const std::time_t shifted = now + 5 * 3600 + 30 * 60;
  std::tm expected = {};
  gmtime_r(&shifted, &expected);
  EXPECT_EQ(std::tuple(east.tm_hour, east.tm_min, east.tm_mday),
            std::tuple(expected.tm_hour, expected.tm_min, expected.tm_mday));
  if (before)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
#endif
}

TEST(Numbers, ParseNumberTakesBlanksSignsAndLeadingZerosAndParseCountWholeNumbersOfNineDigits) {
  for (const auto& [text, value] :
       {std::pair{"1", 1.0}, {" 01 ", 1.0}, {"+1", 1.0}, {"1.0", 1.0}, {"-0", 0.0}, {"2", 2.0}, {"-2.5", -2.5}})
    EXPECT_EQ(parseNumber(text), value) << text;
  for (const char* text : {"", " ", "abc", "1a", "inf", "nan", "--1", ".", "1 2"})
    EXPECT_FALSE(parseNumber(text).has_value()) << text;
  for (const auto& [text, value] : {std::pair{"0", 0}, {"17", 17}, {"999999999", 999999999}})
    EXPECT_EQ(parseCount(text), value) << text;
  for (const char* text : {"1000000000", "-1", "1.5", "4000000000", ""}) EXPECT_FALSE(parseCount(text)) << text;
}

// As a directory listing matches: ? one character, case as asked, and a name
// without an extension as Windows finds it.
TEST(Wildcards, MatchAsADirectoryListingDoes) {
  for (const auto& [pattern, name, noCase, matches] : {std::tuple{"*.pk3", "pak0.pk3", false, true},
                                                       {"pak?.pk3", "pak7.pk3", false, true},
                                                       {"pak?.pk3", "pak10.pk3", false, false},
                                                       {"PAK0.PK3", "pak0.pk3", true, true},
                                                       {"PAK0.PK3", "pak0.pk3", false, false},
                                                       {"*a*b*", "xxaxxbxx", false, true},
                                                       {"*.*", "noext", false, true},
                                                       {"no*.*", "noext", false, true},
                                                       {"noext.", "noext", false, true},
                                                       {"noext.", "noext.txt", false, false},
                                                       {"x*.*", "y", false, false}})
    EXPECT_EQ(wildcardMatch(pattern, name, noCase), matches) << pattern << " " << name;
  test::TempFolder folder;
  test::writeFile(folder / "sub" / "noext", "x");
  EXPECT_TRUE(ordinaryFileMatches(folder.path(), "sub\\*.*"));
  EXPECT_TRUE(ordinaryFileMatches(folder.path(), "SUB\\NOEXT."));
}

#ifndef _WIN32
// The whole file replaced, no temporary left, the cause of a failure said;
// through links, keeping modes, never over a read-only file.
TEST(AtomicWrite, ReplacesTheWholeFileThroughLinksKeepsModesAndRespectsReadOnlyFiles) {
  namespace fs = std::filesystem;
  using P = fs::perms;
  test::TempFolder folder;
  test::writeFile(folder / "out.txt", "old content that is longer");
  EXPECT_EQ(writeFileAtomic(folder / "out.txt", "new"), "");
  EXPECT_EQ(test::readFile(folder / "out.txt"), "new");
  EXPECT_EQ(writeFileAtomic(folder / "missing" / "out.txt", "x"), "No such file or directory");  // no temporary's name
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
  // What a killed writer left behind goes at the next start; a live
  // process's write in progress and other files stay.
  test::writeFile(folder / ".save3.sav.tarvex-tmp-a1b2c3", "half");
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  test::writeFile(folder / (".save4.sav.tarvex-tmp-" + std::to_string(ended) + "-x1y2z3"), "half");
  const pid_t writer = fork();  // a writer that runs: asked about, never signalled
  if (writer == 0) {
    for (int signal = 1; signal < 32; ++signal) std::signal(signal, SIG_DFL);  // any signal ends it
    pause();
    _exit(0);
  }
  const auto live = folder / (".save5.sav.tarvex-tmp-" + std::to_string(writer) + "-x1y2z3");
  test::writeFile(live, "being written");
  removeStaleTemporaries(folder.path());
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 6);
  EXPECT_TRUE(fs::exists(live));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // a signal's end comes at once
  EXPECT_EQ(waitpid(writer, nullptr, WNOHANG), 0) << "the writer was signalled";
  kill(writer, SIGKILL);
  waitpid(writer, nullptr, 0);
  // A device, a pipe or a folder is never replaced; a second creation of a file leaves the first's.
  ASSERT_EQ(mkfifo((folder / "pipe.cfg").c_str(), 0600), 0);
  EXPECT_EQ(writeFileAtomic(folder / "pipe.cfg", "x"), "it is not a regular file");
  EXPECT_TRUE(fs::is_fifo(folder / "pipe.cfg"));
  EXPECT_EQ(writeFileAtomic(folder / "once", "first", FileAccess::Everyone, FileWrite::CreateOnly), "");
  EXPECT_EQ(writeFileAtomic(folder / "once", "second", FileAccess::Everyone, FileWrite::CreateOnly), kFileExists);
  EXPECT_EQ(test::readFile(folder / "once"), "first");
  // A link that another user made (in a shared game folder) is replaced itself, never written through.
  if (geteuid() == 0) {
    test::writeFile(folder / "victim", "mine");
    fs::create_symlink(folder / "victim", folder / "planted.cfg");
    ASSERT_EQ(lchown((folder / "planted.cfg").c_str(), 65534, 65534), 0);
    ASSERT_EQ(writeFileAtomic(folder / "planted.cfg", "script"), "");
    EXPECT_EQ(test::readFile(folder / "victim"), "mine");
    EXPECT_FALSE(fs::is_symlink(folder / "planted.cfg"));
    EXPECT_EQ(test::readFile(folder / "planted.cfg"), "script");
  }
}
#endif

#include "platform/CodePage.h"
#include "platform/Sound.h"
#include "platform/SystemServices.h"
#include "platform/Time.h"

// The services' unit reads the game's BaseEF from its drop-in whatever the
// folder is called: quotes, backslashes and systemd's % are escaped, a
// folder no line can hold is refused, and a game in a home folder makes
// home folders readable in the sandbox (else hidden).
TEST(SandboxDropIn, NamesBaseEfAsAUnitLineReadsItBack) {
  EXPECT_TRUE(test::contains(platform::sandboxDropIn("/srv/elite force/BaseEF"),
                             "\n[Service]\nReadWritePaths=\"/srv/elite force/BaseEF\"\n"));
  const std::string odd = platform::sandboxDropIn("/srv/a\"b\\c%h/BaseEF");
  EXPECT_TRUE(test::contains(odd, "ReadWritePaths=\"/srv/a\\\"b\\\\c%%h/BaseEF\"\n")) << odd;
  EXPECT_FALSE(test::contains(odd, "ProtectHome"));
  EXPECT_EQ(platform::sandboxDropIn("/srv/a\nExecStart=/bin/sh/BaseEF"), "");
  EXPECT_TRUE(test::contains(platform::sandboxDropIn("/home/host/ef/BaseEF"), "\nProtectHome=read-only\n"));
  EXPECT_FALSE(test::contains(platform::sandboxDropIn("/homes/ef/BaseEF"), "ProtectHome"));
}

#ifdef TARVEX_HAVE_SOUND

// A broken sound file is silence, with or without a sound device.
TEST(PlayWave, ABrokenFileIsSilence) {
  test::TempFolder folder;
  test::writeFile(folder / "broken.wav", "RIFF\xff\xff\xff\xffWAVEfmt ");
  EXPECT_TRUE(platform::decodeWave((folder / "broken.wav").string()).samples.empty());
  platform::playWave((folder / "broken.wav").string());
}
#endif
