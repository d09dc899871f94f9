#include <gtest/gtest.h>

#include "core/TestSupport.h"
#include "platform/Files.h"
#include "startup/GameFolder.h"

using namespace tarvex;

// The folder of an executable: the file name and its separator dropped; a
// drive root keeps its separator, and a name without one loses its last character.
TEST(FolderRule, DropsTheFileNameAndItsSeparator) {
  for (const auto& [path, separator, folder] : {std::tuple{"C:\\Games\\EF\\stvoyHM.exe", '\\', "C:\\Games\\EF"},
                                                {"/home/me/ef/stvoyHM.exe", '/', "/home/me/ef"},
                                                {"D:\\stvoyHM.exe", '\\', "D:\\"},
                                                {"abcd", '\\', "abc"},
                                                {"stvoyHM.exe", '\\', "stv"},
                                                {"", '\\', ""},
                                                {"/ef/stvoyHM.exe", '/', "/ef"},
                                                {"/stvoyHM.exe", '/', "/"}})
    EXPECT_EQ(folderOfExecutable(path, separator), folder) << path;
  EXPECT_EQ(folderOfExecutable(std::string("C:\\Games\\EF\\stvoyHM.exe\0", 25), '\\'), "C:\\Games\\EF");
}

TEST(PathIni, StatesAndTheFirstLineExactly) {
  test::TempFolder app;
  EXPECT_EQ(readPathIni(app.path()).state, PathIniState::Missing);
  ASSERT_EQ(createEmptyPathIni(app.path()), "");
  EXPECT_EQ(test::readFile(app / "path.ini"), "\r\n\r\n");
  EXPECT_EQ(readPathIni(app.path()).state, PathIniState::Empty);
  ASSERT_EQ(writePathIni(app.path(), "/games/ef/"), "");
  EXPECT_EQ(test::readFile(app / "path.ini"), "/games/ef/\r\n");
  const PathIni ini = readPathIni(app.path());
  EXPECT_EQ(ini.state, PathIniState::Known);
  EXPECT_EQ(ini.gameFolder, "/games/ef/");
  std::filesystem::create_directories(app / "sub" / "path.ini");
  EXPECT_EQ(readPathIni(app / "sub").state, PathIniState::Unreadable);
  // Written by hand on Linux: a lone LF ends the line, and a relative folder
  // is the program folder's.
  test::writeFile(app / "path.ini", "games/ef/\n");
  EXPECT_EQ(readPathIni(app.path()).gameFolder, app.path().string() + "/games/ef/");
}

// What path.ini may hold written by hand, by the rules of each system.
TEST(PathIni, AbsoluteFoldersByTheRulesOfEachSystem) {
  for (const char* folder : {"C:\\Games\\EF\\", "d:", "\\\\server\\games\\"})
    EXPECT_TRUE(isAbsoluteFolder(folder, '\\')) << folder;
  for (const char* folder : {"Games\\EF\\", "C", "\\Games", "", "/games/ef/"})
    EXPECT_FALSE(isAbsoluteFolder(folder, '\\')) << folder;
  EXPECT_TRUE(isAbsoluteFolder("/games/ef/", '/'));
  for (const char* folder : {"games/ef/", "", "C:\\Games"}) EXPECT_FALSE(isAbsoluteFolder(folder, '/')) << folder;
}

TEST(GameDataFolder, FoundInAnyCaseAndWithoutATrailingSeparator) {
  test::TempFolder game;
  std::filesystem::create_directories(game / "baseef");
  EXPECT_EQ(findGameDataFolder(game.path().string()), game / "baseef");
  EXPECT_EQ(findGameDataFolder(game.path().string() + "/"), game / "baseef");
  EXPECT_EQ(gameDataFolder("/games/ef"), "/games/ef/BaseEF/");
  EXPECT_EQ(gameDataFolder("/games/ef/"), "/games/ef/BaseEF/");
}

#ifndef _WIN32
// A file that tells no size (/proc, /sys) is read to its end, within the
// bound: how a service's own unit is found in its control group.
TEST(ReadFileBytes, FilesWithoutASizeAreReadToTheirEndWithinTheBound) {
  const FileBytes status = readFileBytes("/proc/self/status", 64 * 1024);
  EXPECT_EQ(status.status, ReadStatus::Ok);
  EXPECT_TRUE(status.bytes.starts_with("Name:")) << status.bytes;
  EXPECT_TRUE(status.bytes.find("\nPid:") != std::string::npos);
  EXPECT_EQ(readFileBytes("/proc/self/status", 16).status, ReadStatus::TooLarge);
}
#endif
