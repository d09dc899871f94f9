#pragma once
// Shared helpers of the tests: a fresh temporary folder and game install per
// test, file reading and writing, golden files, pk3 archives, catalogue rows,
// settings changed from a list, random configurations.

#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "config/Configuration.h"
#include "maps/MapCatalogue.h"

namespace tarvex::test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// A program folder and a game folder (BaseEF/pak0.pk3 and stvoyHM.exe) that
// the program folder's path.ini names; installGame false: neither the game
// nor path.ini.
struct GameInstall {
  TempFolder root;
  const std::filesystem::path app = root / "Tarvex", game = root / "Game";
  explicit GameInstall(bool installGame = true);
  std::string gameFolderText() const;  // with its trailing separator
};

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

void writeFile(const std::filesystem::path& path, const std::string& bytes);
std::string readFile(const std::filesystem::path& path);
std::string golden(const std::string& name);  // a file of tests/data

// A pk3 (zip) archive with these entries, in this order; false when it could not be made.
bool writePk3(const std::filesystem::path& file, const std::vector<std::pair<std::string, std::string>>& entries);

// A catalogue row with the given name and CTF flag, default limits.
MapEntry row(const std::string& name, const std::string& flag = "0");
MapCatalogue catalogueOf(std::initializer_list<MapEntry> rows);

// A configuration of random settings, rotation and limits over the
// catalogue: texts clean four times in five, else long or of any byte the
// game's text may hold or refuse (NUL included); now and then a map the
// catalogue lacks, its name with quotes, a semicolon, a backslash and a high
// byte. What a slot does not keep stays as it starts.
Configuration randomConfiguration(std::mt19937& rng, const MapCatalogue& catalogue);

// Changes settings as a user would, in order: "Name=text" a text box, "Box=1"
// or "Box=0" a switch, "Option" an option of a group.
void set(ServerSettings& settings, std::initializer_list<std::string> changes);

}  // namespace tarvex::test
