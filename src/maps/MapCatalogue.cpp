#include "maps/MapCatalogue.h"

#include "util/Files.h"
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

CatalogueLoad parseCatalogue(std::string_view bytes) {
  CatalogueLoad result;
  LineReader reader(bytes);
  for (;;) {
    const auto line = reader.next();
    if (!line) {
      result.status = CatalogueStatus::NoStartMarker;
      return result;
    }
    if (*line == "[start]") break;
  }
  // Reading stops at the last row the catalogue holds: the rest of a large
  // file is never looked at.
  while (result.catalogue.rows.size() < kMaxCatalogueRows) {
    MapEntry entry;
    std::string* fields[] = {&entry.mapFile,  &entry.name,    &entry.caption1,
                             &entry.caption2, &entry.ctfFlag, &entry.picture};
    for (std::string* field : fields) {
      const auto line = reader.next();
      if (!line) return result;  // an incomplete group is ignored
      field->assign(*line);
    }
    result.catalogue.rows.push_back(std::move(entry));
    if (!reader.next()) return result;  // the separator line
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

std::string catalogueMessage(CatalogueStatus status, std::string_view file) {
  const std::string name(file);
  switch (status) {
    case CatalogueStatus::Ok:
      return {};
    case CatalogueStatus::Missing:
      return "The map list " + name + " was not found.  No maps will be offered.";
    case CatalogueStatus::Unreadable:
      return "The map list " + name + " could not be read.  No maps will be offered.";
    case CatalogueStatus::TooLarge:
      return "The map list " + name + " is larger than 16 MB, which no map list is.  No maps will be offered.";
    case CatalogueStatus::NoStartMarker:
      return "The map list " + name + " has no [start] line.  No maps will be offered.";
  }
  return {};
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
