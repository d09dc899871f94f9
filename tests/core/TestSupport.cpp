#include "core/TestSupport.h"

#include <zip.h>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace tarvex::test {

bool writePk3(const fs::path& file, const std::vector<std::pair<std::string, std::string>>& entries) {
  int error = 0;
  zip* archive = zip_open(file.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) return false;
  for (const auto& [name, bytes] : entries) {
    // The entries' bytes live until zip_close, which reads them.
    zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    if (zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_RAW) < 0) {
      zip_source_free(source);
      zip_discard(archive);
      return false;
    }
  }
  return zip_close(archive) == 0;
}

TempFolder::TempFolder() {
  static std::mt19937_64 rng{std::random_device{}()};
  path_ = fs::temp_directory_path() / ("tarvex-test-" + std::to_string(rng()));
  fs::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

GameInstall::GameInstall(bool installGame) {
  fs::create_directories(app);
  if (!installGame) return;
  writeFile(game / "BaseEF" / "pak0.pk3", "pk3");
  writeFile(game / "stvoyHM.exe", "exe");
  writeFile(app / "path.ini", gameFolderText() + "\r\n");
}

std::string GameInstall::gameFolderText() const { return (game / "").string(); }

void writeFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string golden(const std::string& name) { return readFile(fs::path(TARVEX_TEST_DATA) / name); }

MapEntry row(const std::string& name, const std::string& flag) {
  MapEntry entry;
  entry.mapFile = name + ".bsp";
  entry.name = name;
  entry.caption1 = name + " caption";
  entry.caption2 = "second line";
  entry.ctfFlag = flag;
  entry.picture = "\\" + name + ".jpg";
  return entry;
}

static std::string randomText(std::mt19937& rng, bool digits) {
  static const std::string pool = std::string("abcXYZ 019;\"\\+.-_^\t") + "\x80\x93\x94\xe9\xff\x81\x9d" + '\0';
  const int kind = int(rng() % 10);
  const std::size_t length = kind == 0 ? 20 + rng() % 281 : rng() % 9;  // longer than any box allows
  std::string text;
  for (std::size_t i = 0; i < length; ++i)
    text.push_back(kind < 8 ? char((digits ? '0' : 'a') + rng() % 10) : pool[rng() % pool.size()]);
  return text;
}

Configuration randomConfiguration(std::mt19937& rng, const MapCatalogue& catalogue) {
  Configuration config;
  config.catalogue = catalogue;
  for (const auto& field : fieldTable()) {
    if (field.readOnly || field.name == "inter_time") continue;
    if (field.kind == FieldKind::Switch) config.settings.setSwitch(field.name, rng() % 2);
    if (field.kind == FieldKind::Choice && rng() % 3 == 0) config.settings.select(field.name);
  }
  for (const auto& field : fieldTable())
    if (field.kind == FieldKind::Text && !field.readOnly && field.name != "inter_time" && rng() % 3 == 0)
      config.settings.setText(field.name, randomText(rng, field.digitsOnly));
  for (std::size_t i = rng() % 6; i > 0; --i)
    config.rotation.maps.push_back(rng() % 15 ? catalogue.rows[rng() % catalogue.rows.size()].name
                                              : std::string("no \"such\"; map\\\xe9"));
  for (auto& row : config.catalogue.rows) {
    if (rng() % 4 == 0) row.fragLimit = randomText(rng, true);
    if (rng() % 8 == 0) row.captureLimit = randomText(rng, true);
  }
  return config;
}

void set(ServerSettings& settings, std::initializer_list<std::string> changes) {
  for (const std::string& change : changes) {
    const auto equals = change.find('=');
    const std::string name = change.substr(0, equals), value = change.substr(equals + 1);
    if (equals == std::string::npos)
      settings.select(name);
    else if (fieldSpec(name).kind == FieldKind::Switch)
      settings.setSwitch(name, value == "1");
    else
      settings.setText(name, value);
  }
}

MapCatalogue catalogueOf(std::initializer_list<MapEntry> rows) { return MapCatalogue{std::vector<MapEntry>(rows)}; }

}  // namespace tarvex::test
