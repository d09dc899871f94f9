#pragma once
// Custom maps: the maps the game's data folder holds (inside its pk3 files,
// or as loose maps/NAME.bsp) that the catalogue does not know yet, each with
// the catalogue entry proposed for it, and the appending of chosen ones to
// maps.ini with their pictures.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "maps/MapCatalogue.h"
#include "util/Problem.h"

namespace tarvex {

struct MapProposal {
  MapEntry entry;                      // the six fields as they go into maps.ini
  std::filesystem::path archive;       // the pk3 holding the map; empty for a loose map
  std::string levelshot;               // the levelshot's entry in the archive (or loose file); empty when none
  std::optional<std::string> picture;  // its picture once made (see makePictures), so it is made once
};

struct MapDiscovery {
  std::vector<MapProposal> maps;      // in the engine's order of the archives
  std::vector<std::string> problems;  // one per archive or file that was skipped
};

// Scans the data folder: *.pk3 in any case, later archives (alphabetically,
// as the engine loads them) winning over earlier ones, loose maps over both.
// Archive directories are read, and the arena texts (of every archive, as the
// game reads them) only when there is a new map to describe. Names are
// compared without regard to case.
MapDiscovery discoverMaps(const std::filesystem::path& gameDataFolder, const MapCatalogue& catalogue);

// How many pictures one search makes to show the maps it found: each costs a
// decode, and a map pack can hold thousands. The others are made when added.
inline constexpr std::size_t kMaxPreviewPictures = kMaxCatalogueRows;

// Makes the pictures of proposals [first, last) that have none yet, opening
// each archive once; a picture that cannot be made is left empty, and a
// problem returned says why, named by map.
// The work is shared among the machine's cores: made, when given, is told
// each index as its picture is made, from the thread that made it (and so
// possibly from several at once), and stops the work by returning false.
std::vector<std::string> makePictures(std::vector<MapProposal>& proposals, std::size_t first, std::size_t last,
                                      const std::function<bool(std::size_t)>& made = {});

struct CatalogueAddition {
  std::size_t added = 0;              // the new maps maps.ini gives back by name
  std::size_t leftOut = 0;            // over the catalogue's room
  Problem error;                      // why nothing was written
  std::vector<std::string> problems;  // pictures that could not be made, lines left as they were
};

// Appends the proposals to maps.ini in its own format after its last
// complete entry (what follows it, an unfinished entry, stays after them), as
// far as the catalogue has room. Their pictures are written into the picture
// folder first (an existing picture is kept), and an entry names a picture
// only when its file is there. The three previous versions of maps.ini are
// kept as maps.ini.bak, .bak2 and .bak3; nothing at all is written when
// maps.ini cannot be replaced.
CatalogueAddition addToCatalogue(const std::filesystem::path& catalogueFile, const std::filesystem::path& pictureFolder,
                                 std::vector<MapProposal> proposals);

// Adds the proposals to the user's part of the map list (made, with a header
// line, when there is none yet), as far as the whole list, which holds
// knownRows maps, has room.
CatalogueAddition addToMapList(const MapListFolders& folders, std::size_t knownRows,
                               std::vector<MapProposal> proposals);

// The message for an addition, as the window and tarvex-cli say it.
std::string additionMessage(const CatalogueAddition& addition);

}  // namespace tarvex
