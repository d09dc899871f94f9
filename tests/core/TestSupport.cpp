#include "core/TestSupport.h"

#include <zip.h>

#include <fstream>
#include <random>
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
