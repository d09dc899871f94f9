#include "maps/MapCatalogue.h"

#include "platform/Files.h"
#include "util/Text.h"

namespace tarvex {

bool MapEntry::isCtf() const {
  const auto value = parseNumber(ctfFlag);
  return value && *value == 1.0;
}

bool MapEntry::isRefusedForCtf() const {
  const auto value = parseNumber(ctfFlag);
  return value && *value == 0.0;
}

int MapCatalogue::lastIndexOf(std::string_view name) const {
  int found = -1;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].name == name) found = static_cast<int>(i);
  }
  return found;
}

const MapEntry* MapCatalogue::find(std::string_view name) const {
  const int i = lastIndexOf(name);
  return i < 0 ? nullptr : &rows[static_cast<std::size_t>(i)];
}

MapNameIndex::MapNameIndex(const MapCatalogue& catalogue) : catalogue_(catalogue) {
  for (std::size_t i = 0; i < catalogue.rows.size(); ++i) rows_[catalogue.rows[i].name] = static_cast<int>(i);
}

int MapNameIndex::lastIndexOf(std::string_view name) const {
  const auto found = rows_.find(name);
  return found == rows_.end() ? -1 : found->second;
}

const MapEntry* MapNameIndex::find(std::string_view name) const {
  const int i = lastIndexOf(name);
  return i < 0 ? nullptr : &catalogue_.rows[static_cast<std::size_t>(i)];
}

CatalogueLayout catalogueLayout(std::string_view bytes) {
  CatalogueLayout layout;
  LineReader reader(bytes);
  std::size_t lines = 0;
  const auto next = [&]() {
    auto line = reader.next();
    if (line) ++lines;
    return line;
  };
  const auto consumed = [&] { return bytes.size() - reader.remaining(); };
  for (;;) {
    const auto line = next();
    if (!line) return layout;
    if (*line == "[start]") break;
  }
  layout.hasStart = true;
  layout.entriesEnd = consumed();
  std::size_t linesBefore = lines;  // the lines up to entriesEnd
  // Reading stops at the last entry the catalogue holds: the rest of a large
  // file is looked at only up to its first line of text.
  while (layout.entries.size() < kMaxCatalogueRows) {
    std::array<std::string_view, 6> fields;
    bool complete = true;
    for (auto& field : fields) {
      const auto line = next();
      if (!line) {
        complete = false;
        break;
      }
      field = *line;
    }
    if (!complete) break;  // an incomplete group is no entry
    layout.entries.push_back(fields);
    layout.entriesEnd = consumed();
    linesBefore = lines;
    if (!next()) {
      layout.separatorMissing = true;
      break;
    }
    layout.entriesEnd = consumed();
    linesBefore = lines;
  }
  const std::size_t end = layout.entriesEnd;
  layout.lineOpen = end > 0 && bytes[end - 1] != '\n' && bytes[end - 1] != '\r';
  LineReader rest(bytes.substr(end));
  for (std::size_t number = linesBefore + 1; const auto line = rest.next(); ++number) {
    if (line->find_first_not_of(" \t") != std::string_view::npos) {
      layout.trailingLine = number;
      break;
    }
  }
  return layout;
}

CatalogueLoad parseCatalogue(std::string_view bytes) {
  CatalogueLoad result;
  const CatalogueLayout layout = catalogueLayout(bytes);
  if (!layout.hasStart) {
    result.status = CatalogueStatus::NoStartMarker;
    return result;
  }
  for (const auto& fields : layout.entries) {
    MapEntry entry;
    std::string* targets[] = {&entry.mapFile,  &entry.name,    &entry.caption1,
                              &entry.caption2, &entry.ctfFlag, &entry.picture};
    for (std::size_t i = 0; i < fields.size(); ++i) targets[i]->assign(fields[i]);
    result.catalogue.rows.push_back(std::move(entry));
  }
  return result;
}

CatalogueLoad loadCatalogueFile(const std::filesystem::path& file) {
  const FileBytes read = readFileBytes(file, kMaxCatalogueFileBytes);
  if (read.status == ReadStatus::Missing) return {CatalogueStatus::Missing, {}};
  if (read.status == ReadStatus::TooLarge) return {CatalogueStatus::TooLarge, {}};
  if (read.status != ReadStatus::Ok) return {CatalogueStatus::Unreadable, {}};
  return parseCatalogue(read.bytes);
}

namespace {
// What is wrong with a map list, as the rest of a sentence naming it.
std::string catalogueProblem(CatalogueStatus status) {
  switch (status) {
    case CatalogueStatus::Ok:
      return {};
    case CatalogueStatus::Missing:
      return "was not found";
    case CatalogueStatus::Unreadable:
      return "could not be read";
    case CatalogueStatus::TooLarge:
      return "is larger than 16 MB, which no map list is";
    case CatalogueStatus::NoStartMarker:
      return "has no [start] line";
  }
  return {};
}
}  // namespace

std::string catalogueMessage(CatalogueStatus status, std::string_view file) {
  if (status == CatalogueStatus::Ok) return {};
  return "The map list " + std::string(file) + " " + catalogueProblem(status) + ".  No maps will be offered.";
}

bool MapListFolders::separate() const {
  std::error_code ec;
  return !data.empty() && !std::filesystem::equivalent(program, data, ec) && program != data;
}

std::optional<std::filesystem::path> MapListFolders::pictureFile(std::string_view picture) const {
  if (separate())
    if (auto added = resolveNoCase(addedPictures(), picture)) return added;
  return resolveNoCase(program / "Map_Images", picture);
}

MapListLoad loadMapList(const MapListFolders& folders) {
  MapListLoad result;
  CatalogueLoad shipped = loadCatalogueFile(folders.shippedFile());
  result.status = shipped.status;
  if (std::string text = catalogueMessage(shipped.status, fromPath(folders.shippedFile())); !text.empty())
    result.messages.push_back(std::move(text));
  result.catalogue = std::move(shipped.catalogue);
  if (!folders.separate()) return result;
  CatalogueLoad added = loadCatalogueFile(folders.addedFile());
  if (added.status == CatalogueStatus::Missing) return result;  // nothing added yet
  if (added.status != CatalogueStatus::Ok) {
    result.messages.push_back("The list of added maps " + fromPath(folders.addedFile()) + " " +
                              catalogueProblem(added.status) + ".  Only the shipped maps are offered.");
    return result;
  }
  MapNameIndex known(result.catalogue);
  std::vector<MapEntry> appended;
  for (MapEntry& row : added.catalogue.rows) {
    if (const int at = known.lastIndexOf(row.name); at >= 0)
      result.catalogue.rows[std::size_t(at)] = std::move(row);
    else
      appended.push_back(std::move(row));
  }
  for (MapEntry& row : appended) {
    if (result.catalogue.rows.size() >= kMaxCatalogueRows) break;
    result.catalogue.rows.push_back(std::move(row));
  }
  return result;
}

std::vector<std::string> installedMaps(const MapCatalogue& catalogue, const std::filesystem::path& gameDataFolder) {
  std::vector<std::string> names;
  FolderListings folders;
  for (const auto& row : catalogue.rows) {
    if (folders.ordinaryFileMatches(gameDataFolder, row.mapFile)) names.push_back(row.name);
  }
  return names;
}

}  // namespace tarvex
