#include <gtest/gtest.h>

#include "core/TestSupport.h"
#include "platform/WineRegistry.h"
#include "startup/GameFolder.h"

using namespace tarvex;

namespace {
const std::string kKey = kRegistryKey;
const std::string kWowKey = "SOFTWARE\\Wow6432Node\\Activision\\Star Trek: Voyager - Elite Force\\v1.0";
}  // namespace

// Escaped keys and strings, found without regard to case; other types,
// missing values and keys, and broken files give nothing.
TEST(WineRegistry, ReadsEscapedKeysAndStringsWithoutRegardToCase) {
  const std::string reg = test::golden("wine/system.reg");
  EXPECT_EQ(findWineRegistryValue(reg, kWowKey, "INSTALLEXEPATH"),
            "C:\\Program Files (x86)\\Raven\\Star Trek Voyager Elite Force\\stvoyHM.exe");
  EXPECT_EQ(findWineRegistryValue(reg, kKey, "installexepath"), "D:\\EF\\stvoyHM.exe");
  EXPECT_EQ(findWineRegistryValue(reg, kWowKey, "Version"), "266");
  EXPECT_EQ(findWineRegistryValue(reg, kWowKey, "Quoted"), std::string("say \"hi\"\xe2\x98\xba\0", 12));
  // Every escape Wine writes in a string.
  const std::string escapes = "[Software\\\\Tarvex] 1\n\"All\"=\"\\a\\b\\e\\f\\n\\r\\t\\v\\x41\\101\\x6f\\x4F\\\\\"\n";
  EXPECT_EQ(findWineRegistryValue(escapes, "Software\\Tarvex", "All"), "\a\b\x1b\f\n\r\t\vAAoO\\");
  // A file that ends inside a string: what it holds, nothing past its end.
  EXPECT_EQ(findWineRegistryValue("[Software\\\\Tarvex] 1\n\"All\"=\"abc", "Software\\Tarvex", "All"), "abc");
  for (const auto& [file, key, value] : {std::tuple{reg, kWowKey, "Expand"},
                                         {reg, kWowKey, "Missing"},
                                         {reg, std::string("Software\\Nobody"), "INSTALLEXEPATH"},
                                         {std::string(), kKey, "INSTALLEXEPATH"},
                                         {std::string("[\\"), kKey, "x"}})
    EXPECT_FALSE(findWineRegistryValue(file, key, value)) << key << " " << value;
}

TEST(WineRegistry, WindowsPathsMapIntoThePrefixThroughItsDrives) {
  test::TempFolder prefix;
  test::writeFile(prefix / "drive_c" / "Program Files (x86)" / "Raven" / "EF" / "STVOYHM.EXE", "x");
  std::filesystem::create_directories(prefix / "dosdevices");
  std::filesystem::create_directory_symlink(prefix / "drive_c", prefix / "dosdevices" / "c:");
  const std::string mapped = mapWindowsPathToPrefix(prefix.path(), "C:\\program files (x86)\\raven\\ef\\stvoyHM.exe");
  EXPECT_EQ(mapped, (prefix / "dosdevices" / "c:" / "Program Files (x86)" / "Raven" / "EF" / "STVOYHM.EXE").string());
  EXPECT_EQ(folderOfExecutable(mapped, '/'),
            (prefix / "dosdevices" / "c:" / "Program Files (x86)" / "Raven" / "EF").string());
  // A drive without a link, and a path that does not exist yet, are still mapped as written.
  EXPECT_EQ(mapWindowsPathToPrefix(prefix.path(), "E:\\EF\\stvoyHM.exe"),
            (prefix / "drive_e").string() + "/EF/stvoyHM.exe");
  EXPECT_EQ(mapWindowsPathToPrefix(prefix.path(), "relative\\x"), "relative\\x");
}
