#pragma once
// The catalogue of known maps (maps.ini) with each map's frag, time and
// capture limits, and the name lookup every map feature shares.

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarvex {

inline constexpr std::size_t kMaxCatalogueRows = 1000;
inline constexpr const char* kDefaultFragLimit = "10";
inline constexpr const char* kDefaultTimeLimit = "0";
inline constexpr const char* kDefaultCaptureLimit = "5";

struct MapEntry {
  std::string mapFile;   // field 1: relative to the game's BaseEF folder, backslash notation
  std::string name;      // field 2
  std::string caption1;  // field 3
  std::string caption2;  // field 4
  std::string ctfFlag;   // field 5, compared as a number
  std::string picture;   // field 6: begins with a backslash
  std::string fragLimit = kDefaultFragLimit;
  std::string timeLimit = kDefaultTimeLimit;
  std::string captureLimit = kDefaultCaptureLimit;

  bool isCtf() const;  // flag equals 1
  bool isHoloMatch() const { return !isCtf(); }
  bool isRefusedForCtf() const;  // flag equals 0
  bool operator==(const MapEntry&) const = default;
};

enum class CatalogueStatus { Ok, Missing, Unreadable, TooLarge, NoStartMarker };
inline constexpr std::size_t kMaxCatalogueFileBytes = 16 * 1024 * 1024;

struct MapCatalogue {
  std::vector<MapEntry> rows;

  // Index of the last row carrying the name exactly, or -1.
  int lastIndexOf(std::string_view name) const;
  const MapEntry* find(std::string_view name) const;
  bool operator==(const MapCatalogue&) const = default;
};

// The catalogue's name lookup in constant time, for work over long rotations:
// the same answers as MapCatalogue::lastIndexOf (exact name, last row wins).
// Valid while the catalogue's rows are neither added, removed nor renamed.
class MapNameIndex {
 public:
  explicit MapNameIndex(const MapCatalogue& catalogue);
  int lastIndexOf(std::string_view name) const;
  const MapEntry* find(std::string_view name) const;

 private:
  const MapCatalogue& catalogue_;
  std::unordered_map<std::string_view, int> rows_;
};

struct CatalogueLoad {
  CatalogueStatus status = CatalogueStatus::Ok;
  MapCatalogue catalogue;
};

// maps.ini's layout, as the one reader of the format sees it: a header up to
// the line "[start]", then entries of seven lines (six fields and a
// separator; an incomplete last group is not an entry), at most
// kMaxCatalogueRows of them. The catalogue is read from it, and new maps are
// appended after its last complete entry.
struct CatalogueLayout {
  bool hasStart = false;
  std::vector<std::array<std::string_view, 6>> entries;  // each entry's fields, pointing into the bytes
  std::size_t entriesEnd = 0;     // the byte after the last complete entry (and its separator line)
  bool separatorMissing = false;  // the file ends with an entry's sixth line
  bool lineOpen = false;          // the bytes up to entriesEnd end inside a line
  std::size_t trailingLine = 0;   // the first line after the entries that holds text (1-based), 0 when none
};
CatalogueLayout catalogueLayout(std::string_view bytes);

// Reads maps.ini contents by their layout.
CatalogueLoad parseCatalogue(std::string_view bytes);
CatalogueLoad loadCatalogueFile(const std::filesystem::path& file);

// The message for a catalogue that could not be read, empty when none is due.
std::string catalogueMessage(CatalogueStatus status, std::string_view file);

// The map list of a program folder: the maps.ini it ships, with the maps the
// user added on top, kept in the data folder (maps.ini and Map_Images), so
// that a package's folder is never written and an upgrade loses nothing. An
// added entry takes the place of a shipped one of the same name; the others
// follow in their order. A program folder that is its own data folder has
// one maps.ini, as a portable folder always had.
struct MapListFolders {
  std::filesystem::path program;
  std::filesystem::path data;

  std::filesystem::path shippedFile() const { return program / "maps.ini"; }
  std::filesystem::path addedFile() const { return data / "maps.ini"; }
  std::filesystem::path addedPictures() const { return data / "Map_Images"; }
  bool separate() const;  // the added maps have a file of their own
  // A map's picture (as maps.ini names it): the data folder's first.
  std::optional<std::filesystem::path> pictureFile(std::string_view picture) const;
};

struct MapListLoad {
  CatalogueStatus status = CatalogueStatus::Ok;  // of the shipped list
  MapCatalogue catalogue;
  std::vector<std::string> messages;  // for each file that could not be read
};
MapListLoad loadMapList(const MapListFolders& folders);

// Names of the rows whose map file exists under the game's data folder, in catalogue order.
std::vector<std::string> installedMaps(const MapCatalogue& catalogue, const std::filesystem::path& gameDataFolder);

}  // namespace tarvex
