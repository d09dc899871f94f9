#include "maps/MapDiscovery.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "pk3/Arena.h"
#include "pk3/Levelshot.h"
#include "pk3/Pk3Archive.h"
#include "platform/Files.h"
#include "util/GameText.h"
#include "util/Text.h"

namespace fs = std::filesystem;

namespace tarvex {

namespace {
constexpr std::size_t kMaxArenaBytes = 1024 * 1024;
// What one scan reads of arena texts at the most, whatever the archives hold.
constexpr std::size_t kMaxArenaTexts = 1000;
constexpr std::size_t kMaxArenaBytesPerScan = 32 * 1024 * 1024;
constexpr std::size_t kMaxLevelshotBytes = 8 * 1024 * 1024;
constexpr const char* kLevelshotTypes[] = {".jpg", ".tga", ".png"};

// A name that can stand in the catalogue, the script and a picture's file name.
bool isSafeMapName(std::string_view name) {
  if (name.empty() || name.size() > 64 || name.front() == '.') return false;
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    std::string_view("_-.+!()[]").find(c) != std::string_view::npos;
    if (!ok) return false;
  }
  return true;
}

// A file's path as a message shows it: what the file system holds, with any
// control character shown rather than obeyed.
std::string shownPath(const fs::path& file) { return visibleText(fromPath(file)); }

// Text with a control character other than blanks and line ends.
bool holdsControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t' && c != '\r' && c != '\n') || byte == 0x7F;
  });
}

// An entry name that would lead out of the archive.
bool leavesArchive(std::string_view name) {
  if (name.starts_with('/') || name.find('\\') != std::string_view::npos || name.find(':') != std::string_view::npos)
    return true;
  std::size_t at = 0;
  while (at <= name.size()) {
    const auto end = std::min(name.find('/', at), name.size());
    if (name.substr(at, end - at) == "..") return true;
    at = end + 1;
  }
  return false;
}

// "maps/NAME.bsp" (any case, no subfolder) gives NAME.
std::optional<std::string_view> mapNameOf(std::string_view entry) {
  if (entry.size() <= 9 || !equalsNoCase(entry.substr(0, 5), "maps/") || !endsWithNoCase(entry, ".bsp"))
    return std::nullopt;
  const std::string_view name = entry.substr(5, entry.size() - 9);
  if (name.find('/') != std::string_view::npos) return std::nullopt;
  return name;
}

// The arena text entries of an archive: scripts/*.arena and scripts/arenas.txt.
bool isArenaText(std::string_view entry) {
  if (!equalsNoCase(entry.substr(0, std::min<std::size_t>(entry.size(), 8)), "scripts/")) return false;
  const std::string_view file = entry.substr(8);
  if (file.find('/') != std::string_view::npos) return false;
  return endsWithNoCase(file, ".arena") || equalsNoCase(file, "arenas.txt");
}

MapEntry proposedEntry(const std::string& mapFile, const std::string& name, const std::string& caption2,
                       const ArenaInfo* arena, bool hasLevelshot) {
  MapEntry entry;
  entry.mapFile = mapFile;
  entry.name = name;
  entry.caption1 = name;
  if (arena) {
    const auto longname = arena->find("longname");
    // The caption goes into maps.ini as one line of the game's text.
    if (longname != arena->end() && !longname->second.empty() && !holdsLineBreak(longname->second) &&
        gameValueProblem(longname->second, ValueForm::Quoted).empty())
      entry.caption1 = longname->second;
  }
  entry.caption2 = caption2;
  entry.ctfFlag = arena && arenaOffersCtf(*arena) ? "1" : "0";
  entry.picture = hasLevelshot ? "\\" + name + ".jpg" : "";
  return entry;
}

// A new map of an archive, with its levelshot entry (empty when none).
struct NewMap {
  std::string name;
  std::string levelshot;
  std::size_t levelshotType = std::size(kLevelshotTypes);  // the rank of its type: .jpg first
};

// Each new map's levelshot, "levelshots/NAME.jpg" before .tga before .png,
// and of names equal but for case the first.
void findLevelshots(const std::vector<std::string_view>& names, std::vector<NewMap>& maps) {
  std::unordered_map<std::string, NewMap*> byName;  // lower-case map name
  for (NewMap& map : maps) byName.emplace(lowerAscii(map.name), &map);
  for (const std::string_view name : names) {
    if (name.size() <= 11 || !equalsNoCase(name.substr(0, 11), "levelshots/")) continue;
    for (std::size_t type = 0; type < std::size(kLevelshotTypes); ++type) {
      if (!endsWithNoCase(name, kLevelshotTypes[type])) continue;
      const std::string_view stem = name.substr(11, name.size() - 11 - 4);
      const auto found = byName.find(lowerAscii(stem));
      if (found != byName.end() && type < found->second->levelshotType) {
        found->second->levelshot = std::string(name);
        found->second->levelshotType = type;
      }
    }
  }
}

// The arenas, as the game module reads them: from every archive, later ones
// winning, within a bound on what one scan reads.
struct ArenaReading {
  std::unordered_map<std::string, ArenaInfo> arenas;  // by lower-case map name
  std::vector<std::string> problems;
  std::size_t textsRead = 0, bytesRead = 0, textsLeftOut = 0;

  // Reads the archive's arena texts; false when one cannot be read (said).
  bool read(const Pk3Archive& archive, const fs::path& file, const std::vector<std::size_t>& texts) {
    bool controlsSaid = false;
    for (const std::size_t index : texts) {
      const std::string_view name = archive.names()[index];
      if (textsRead == kMaxArenaTexts || bytesRead >= kMaxArenaBytesPerScan) {
        ++textsLeftOut;
        continue;
      }
      const Result<std::string> text = archive.extract(index, kMaxArenaBytes);
      if (!text) {
        problems.push_back("The archive " + shownPath(file) + " was skipped: " + visibleText(text.problem()) + ".");
        return false;
      }
      ++textsRead;
      bytesRead += text->size();
      // Its captions would reach maps.ini and the terminal.
      if (holdsControlCharacter(*text)) {
        if (!controlsSaid)
          problems.push_back("The archive " + shownPath(file) + ": its arena text " + visibleText(name) +
                             " holds control characters and was skipped.");
        controlsSaid = true;
        continue;
      }
      for (auto& arena : parseArenas(*text)) {
        const auto map = arena.find("map");
        if (map != arena.end()) arenas[lowerAscii(map->second)] = std::move(arena);
      }
    }
    return true;
  }
};
}  // namespace

MapDiscovery discoverMaps(const fs::path& gameDataFolder, const MapCatalogue& catalogue) {
  MapDiscovery result;
  std::unordered_set<std::string> known;
  for (const auto& row : catalogue.rows) known.insert(lowerAscii(row.name));
  const auto isKnown = [&known](std::string_view name) { return known.contains(lowerAscii(name)); };

  std::vector<fs::path> archives;
  std::error_code ec;
  for (fs::directory_iterator it(gameDataFolder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (endsWithNoCase(it->path().filename().string(), ".pk3") && it->is_regular_file(typeError))
      archives.push_back(it->path());
  }
  // The engine's order: by name, without regard to case.
  std::sort(archives.begin(), archives.end(), [](const fs::path& a, const fs::path& b) {
    return lowerAscii(a.filename().string()) < lowerAscii(b.filename().string());
  });

  // One archive open at a time: its directory gives the new maps, their
  // levelshots and the arena texts, which are read while it is open. The
  // arenas are used, and their problems said, only when some archive has a
  // new map to describe.
  struct Listed {
    fs::path file;
    std::vector<NewMap> newMaps;
  };
  std::vector<Listed> listed;
  ArenaReading arenaReading;
  bool anyNewMap = false;
  for (const fs::path& file : archives) {
    // The archive's file name goes into maps.ini as a line of its own.
    const std::string fileName = fromPath(file.filename());
    if (holdsControlCharacter(fileName) || holdsLineBreak(fileName)) {
      result.problems.push_back("The archive " + shownPath(file) +
                                " was skipped: its file name holds control characters.");
      continue;
    }
    const auto archive = Pk3Archive::open(file);
    if (!archive) {
      result.problems.push_back("The archive " + shownPath(file) + " was skipped: " + visibleText(archive.problem()) +
                                ".");
      continue;
    }
    const auto& names = archive->names();
    if (const auto bad = std::find_if(names.begin(), names.end(), leavesArchive); bad != names.end()) {
      result.problems.push_back("The archive " + shownPath(file) + " was skipped: its entry \"" + visibleText(*bad) +
                                "\" names a place outside the archive.");
      continue;
    }
    Listed entry{file, {}};
    std::vector<std::size_t> arenaTexts;
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (const auto name = mapNameOf(names[i]); name && isSafeMapName(*name) && !isKnown(*name))
        entry.newMaps.push_back({std::string(*name), {}});
      else if (isArenaText(names[i]))
        arenaTexts.push_back(i);
    }
    findLevelshots(names, entry.newMaps);
    anyNewMap = anyNewMap || !entry.newMaps.empty();
    if (!arenaTexts.empty() && !arenaReading.read(*archive, file, arenaTexts)) entry.newMaps.clear();
    listed.push_back(std::move(entry));
  }
  if (anyNewMap) {
    result.problems.insert(result.problems.end(), arenaReading.problems.begin(), arenaReading.problems.end());
    if (arenaReading.textsLeftOut > 0)
      result.problems.push_back(std::to_string(arenaReading.textsLeftOut) +
                                " arena texts were left out: one search reads at most " +
                                std::to_string(kMaxArenaTexts) + " of them, and at most " +
                                std::to_string(kMaxArenaBytesPerScan / (1024 * 1024)) + " MB.");
  } else {
    arenaReading.arenas.clear();
  }
  const auto& arenas = arenaReading.arenas;

  // Every new map in the engine's order, by archive and entry; of a name
  // found more than once the last wins (a later archive, then a loose map).
  std::vector<MapProposal> candidates;
  std::vector<std::string> keys;  // their lower-case names
  std::size_t inArchives = 0;
  for (const Listed& entry : listed) inArchives += entry.newMaps.size();
  candidates.reserve(inArchives);
  keys.reserve(inArchives);
  for (Listed& entry : listed) {
    const std::string fileName = entry.file.filename().string();
    for (NewMap& map : entry.newMaps) {
      const auto arena = arenas.find(lowerAscii(map.name));
      MapProposal proposal;
      proposal.archive = entry.file;
      proposal.levelshot = std::move(map.levelshot);
      proposal.entry = proposedEntry(fileName, map.name, fileName, arena == arenas.end() ? nullptr : &arena->second,
                                     !proposal.levelshot.empty());
      candidates.push_back(std::move(proposal));
      keys.push_back(lowerAscii(map.name));
    }
  }

  // Loose maps in the folder itself come before every archive, as the engine reads them.
  if (const auto mapsFolder = resolveNoCase(gameDataFolder, "maps")) {
    for (fs::directory_iterator it(*mapsFolder, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string file = it->path().filename().string();
      std::error_code typeError;
      if (!endsWithNoCase(file, ".bsp") || !it->is_regular_file(typeError)) continue;
      const std::string name = file.substr(0, file.size() - 4);
      if (!isSafeMapName(name) || isKnown(name)) continue;
      MapProposal proposal;
      for (const char* type : kLevelshotTypes) {
        if (const auto shot = resolveNoCase(gameDataFolder, "levelshots\\" + name + type)) {
          proposal.levelshot = fromPath(*shot);
          break;
        }
      }
      const auto arena = arenas.find(lowerAscii(name));
      proposal.entry = proposedEntry("maps\\" + file, name, "maps\\" + file,
                                     arena == arenas.end() ? nullptr : &arena->second, !proposal.levelshot.empty());
      candidates.push_back(std::move(proposal));
      keys.push_back(lowerAscii(name));
    }
  }

  std::unordered_map<std::string_view, std::size_t> last;  // each name's winner
  last.reserve(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) last[keys[i]] = i;
  result.maps.reserve(last.size());
  for (std::size_t i = 0; i < candidates.size(); ++i)
    if (last[keys[i]] == i) result.maps.push_back(std::move(candidates[i]));
  return result;
}

namespace {
Result<std::string> levelshotBytes(const MapProposal& proposal, const Result<Pk3Archive>* archive) {
  if (proposal.archive.empty()) {
    FileBytes read = readFileBytes(toPath(proposal.levelshot), kMaxLevelshotBytes);
    if (read.status != ReadStatus::Ok)
      return failure("the levelshot " + visibleText(proposal.levelshot) + " cannot be read");
    return std::move(read.bytes);
  }
  if (!archive) return failure("its archive is not open");
  if (!archive->ok()) return Failure{archive->problem()};
  return (*archive)->extract(proposal.levelshot, kMaxLevelshotBytes);
}
}  // namespace

namespace {
// The pictures of [first, last), in order, in one thread; stop ends the work
// (made asked for it, here or in another thread).
std::vector<std::string> makePicturesOf(std::vector<MapProposal>& proposals, std::size_t first, std::size_t last,
                                        const std::function<bool(std::size_t)>& made, std::atomic<bool>& stop) {
  std::vector<std::string> problems;
  std::optional<Result<Pk3Archive>> archive;  // the one open, kept while the next map is in it too
  fs::path opened;
  for (std::size_t i = first; i < last && !stop; ++i) {
    MapProposal& proposal = proposals[i];
    if (proposal.picture || proposal.levelshot.empty()) continue;
    if (!proposal.archive.empty() && proposal.archive != opened) {
      opened = proposal.archive;
      archive = Pk3Archive::open(opened);
    }
    const Result<std::string> bytes = levelshotBytes(proposal, archive ? &*archive : nullptr);
    const Result<std::string> picture = bytes ? mapPictureFromLevelshot(*bytes) : Failure{bytes.problem()};
    proposal.picture = picture ? *picture : std::string();
    if (!picture)
      problems.push_back("The picture of " + proposal.entry.name +
                         " could not be made: " + visibleText(picture.problem()) + ".");
    if (made && !made(i)) stop = true;
  }
  return problems;
}
}  // namespace

std::vector<std::string> makePictures(std::vector<MapProposal>& proposals, std::size_t first, std::size_t last,
                                      const std::function<bool(std::size_t)>& made) {
  last = std::min(last, proposals.size());
  if (first >= last) return {};
  // One part a core (four at the most), each its own stretch of maps, and so of archives.
  const std::size_t parts =
      std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, std::min<std::size_t>(4, last - first));
  std::atomic<bool> stop = false;
  std::vector<std::vector<std::string>> problems(parts);
  std::vector<std::thread> workers;
  const std::size_t each = (last - first + parts - 1) / parts;
  for (std::size_t part = 1; part < parts; ++part) {
    const std::size_t from = first + part * each, to = std::min(last, from + each);
    workers.emplace_back([&, part, from, to] { problems[part] = makePicturesOf(proposals, from, to, made, stop); });
  }
  problems[0] = makePicturesOf(proposals, first, std::min(last, first + each), made, stop);
  for (std::thread& worker : workers) worker.join();
  std::vector<std::string> all;
  for (auto& said : problems) all.insert(all.end(), said.begin(), said.end());
  return all;
}

namespace {
// maps.ini.bak3 gives way to .bak2, .bak2 to .bak, .bak to the version before this run.
Problem keepPreviousVersion(const fs::path& catalogueFile, std::string_view bytes) {
  const auto backup = [&](int generation) {
    fs::path name = catalogueFile;
    name += generation == 1 ? std::string(".bak") : ".bak" + std::to_string(generation);
    return name;
  };
  std::error_code ec;
  fs::remove(backup(3), ec);
  for (int generation = 2; generation >= 1; --generation) {
    if (fs::exists(backup(generation), ec)) fs::rename(backup(generation), backup(generation + 1), ec);
  }
  if (Problem error = writeFileAtomic(backup(1), bytes); !error.ok())
    return "Tarvex could not keep the map list's previous version " + fromPath(backup(1)) + " (" + error + ").";
  return {};
}
}  // namespace

CatalogueAddition addToCatalogue(const fs::path& catalogueFile, const fs::path& pictureFolder,
                                 std::vector<MapProposal> proposals) {
  CatalogueAddition result;
  const FileBytes read = readFileBytes(catalogueFile, kMaxCatalogueFileBytes);
  if (read.status != ReadStatus::Ok) {
    result.error = "The map list " + fromPath(catalogueFile) + " could not be read.";
    return result;
  }
  const CatalogueLoad load = parseCatalogue(read.bytes);
  if (load.status != CatalogueStatus::Ok) {
    result.error = catalogueMessage(load.status, fromPath(catalogueFile));
    return result;
  }
  const std::size_t room =
      load.catalogue.rows.size() < kMaxCatalogueRows ? kMaxCatalogueRows - load.catalogue.rows.size() : 0;
  if (proposals.size() > room) {
    result.leftOut = proposals.size() - room;
    proposals.resize(room);
  }
  if (proposals.empty()) return result;
  // Nothing is written, pictures and backups included, when maps.ini cannot be replaced.
  if (Problem refusal = replaceRefusal(catalogueFile); !refusal.ok()) {
    result.error = "Tarvex could not write the map list " + fromPath(catalogueFile) + " (" + refusal + ").";
    return result;
  }

  // The pictures first: an entry names its picture only once the file is there.
  std::error_code ec;
  fs::create_directories(pictureFolder, ec);
  for (std::string& problem : makePictures(proposals, 0, proposals.size()))
    result.problems.push_back(std::move(problem));
  for (MapProposal& proposal : proposals) {
    if (proposal.entry.picture.empty()) continue;
    const fs::path target = pictureFolder / (proposal.entry.name + ".jpg");
    if (fs::is_regular_file(target, ec)) continue;
    if (!proposal.picture || proposal.picture->empty()) {
      proposal.entry.picture.clear();
      continue;
    }
    if (const Problem problem = writeFileAtomic(target, *proposal.picture); !problem.ok()) {
      result.problems.push_back("The picture of " + proposal.entry.name + " could not be written: " + problem + ".");
      proposal.entry.picture.clear();
    }
  }

  // The new entries after the last complete one; the lines after it stay after them.
  const CatalogueLayout tail = catalogueLayout(read.bytes);
  std::string bytes = read.bytes.substr(0, tail.entriesEnd);
  if (tail.lineOpen) bytes += "\r\n";
  if (tail.separatorMissing) bytes += "\r\n";
  for (const MapProposal& proposal : proposals) {
    for (const std::string* field : {&proposal.entry.mapFile, &proposal.entry.name, &proposal.entry.caption1,
                                     &proposal.entry.caption2, &proposal.entry.ctfFlag, &proposal.entry.picture})
      appendLine(bytes, *field);
    appendLine(bytes, "");
  }
  bytes += read.bytes.substr(tail.entriesEnd);
  if (tail.trailingLine > 0)
    result.problems.push_back("The map list's lines from line " + std::to_string(tail.trailingLine) +
                              " on are not a complete entry: they were left as they are, after the new maps.");

  if (Problem error = keepPreviousVersion(catalogueFile, read.bytes); !error.ok()) {
    result.error = std::move(error);
    return result;
  }
  if (Problem error = writeFileAtomic(catalogueFile, bytes); !error.ok()) {
    result.error = "Tarvex could not write the map list " + fromPath(catalogueFile) + " (" + error + ").";
    return result;
  }
  // Only the maps the map list gives back by name count as added.
  const CatalogueLoad written = parseCatalogue(bytes);
  const MapNameIndex names(written.catalogue);
  for (const MapProposal& proposal : proposals)
    if (names.find(proposal.entry.name)) ++result.added;
  return result;
}

CatalogueAddition addToMapList(const MapListFolders& folders, std::size_t knownRows,
                               std::vector<MapProposal> proposals) {
  std::size_t leftOut = 0;
  const std::size_t room = knownRows < kMaxCatalogueRows ? kMaxCatalogueRows - knownRows : 0;
  if (proposals.size() > room) {
    leftOut = proposals.size() - room;
    proposals.resize(room);
  }
  std::error_code ec;
  if (folders.separate() && !proposals.empty() && !fs::exists(folders.addedFile(), ec)) {
    fs::create_directories(folders.data, ec);
    std::string header;
    appendLine(header, "Maps added to the map list " + fromPath(folders.shippedFile()));
    appendLine(header, "[start]");
    // Another Tarvex may have made it meanwhile: then it is added to.
    if (const Problem problem =
            writeFileAtomic(folders.addedFile(), header, FileAccess::Everyone, FileWrite::CreateOnly);
        !problem.ok() && problem != kFileExists) {
      CatalogueAddition refused;
      refused.error = "The list of added maps " + fromPath(folders.addedFile()) + " could not be made (" + problem +
                      ").  No map was added.";
      return refused;
    }
  }
  CatalogueAddition added = addToCatalogue(folders.addedFile(), folders.addedPictures(), std::move(proposals));
  added.leftOut += leftOut;
  return added;
}

std::string additionMessage(const CatalogueAddition& addition) {
  if (!addition.error.ok()) return addition.error;
  std::string text =
      std::to_string(addition.added) + (addition.added == 1 ? " map was" : " maps were") + " added to the map list.";
  if (addition.leftOut > 0)
    text += "  " + std::to_string(addition.leftOut) + (addition.leftOut == 1 ? " map was" : " maps were") +
            " left out: the map list holds at most " + std::to_string(kMaxCatalogueRows) + " maps.";
  for (const auto& problem : addition.problems) text += "\n" + problem;
  return text;
}

}  // namespace tarvex
