// Map discovery over a large game folder: 200 pk3 files of 5,000 entries each
// (made here, once), one new map in each. Prints the scan's time and the
// process's peak memory. Usage: bench/discovery_bench [ARCHIVES] [ENTRIES]
// With --map-pack MAPS: one pk3 of MAPS maps, each with its levelshot, the
// scan against "unzip -l" listing the same archive.
#include <sys/resource.h>
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "maps/MapDiscovery.h"
#include "platform/Time.h"

namespace fs = std::filesystem;

namespace {
long peakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void makeArchive(const fs::path& file, int index, int entries) {
  int error = 0;
  zip* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  static const char bytes[] = "x";
  for (int i = 0; i < entries - 1; ++i) {
    zip_source_t* source = zip_source_buffer(archive, bytes, 1, 0);
    const std::string name = "textures/set" + std::to_string(index) + "/t" + std::to_string(i) + ".tga";
    const zip_int64_t at = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_RAW);
    zip_set_file_compression(archive, zip_uint64_t(at), ZIP_CM_STORE, 0);
  }
  zip_source_t* map = zip_source_buffer(archive, bytes, 1, 0);
  zip_file_add(archive, ("maps/custom" + std::to_string(index) + ".bsp").c_str(), map, ZIP_FL_ENC_RAW);
  zip_close(archive);
}
}  // namespace

double secondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int mapPack(int maps) {
  const fs::path folder = fs::temp_directory_path() / ("tarvex-map-pack-" + std::to_string(maps));
  const fs::path file = folder / "pack.pk3";
  if (!fs::exists(folder / "done")) {
    fs::create_directories(folder);
    int error = 0;
    zip* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    static const char bytes[] = "x";
    for (int i = 0; i < maps; ++i) {
      for (const std::string& name :
           {"maps/pack" + std::to_string(i) + ".bsp", "levelshots/pack" + std::to_string(i) + ".jpg"}) {
        const zip_int64_t at =
            zip_file_add(archive, name.c_str(), zip_source_buffer(archive, bytes, 1, 0), ZIP_FL_ENC_RAW);
        zip_set_file_compression(archive, zip_uint64_t(at), ZIP_CM_STORE, 0);
      }
    }
    zip_close(archive);
    std::FILE* done = std::fopen((folder / "done").c_str(), "w");
    if (done) std::fclose(done);
  }
  double best = 1e9, unzipBest = 1e9;
  std::size_t found = 0;
  for (int run = 0; run < 5; ++run) {
    best = std::min(best, secondsOf([&] { found = tarvex::discoverMaps(folder, {}).maps.size(); }));
    const std::string command = "unzip -l '" + file.string() + "' > /dev/null";
    unzipBest = std::min(unzipBest, secondsOf([&] { (void)std::system(command.c_str()); }));
  }
  std::printf("one pk3 of %d maps with levelshots: %zu maps found in %.1f ms; unzip -l lists it in %.1f ms: %.2fx\n",
              maps, found, best * 1000, unzipBest * 1000, best / unzipBest);
  return 0;
}

int main(int argc, char** argv) {
  tarvex::platform::settleTimeZone();  // as the programs do
  if (argc > 2 && std::string(argv[1]) == "--map-pack") return mapPack(std::stoi(argv[2]));
  const int archives = argc > 1 ? std::stoi(argv[1]) : 200;
  const int entries = argc > 2 ? std::stoi(argv[2]) : 5000;
  const fs::path folder =
      fs::temp_directory_path() / ("tarvex-discovery-" + std::to_string(archives) + "x" + std::to_string(entries));
  if (!fs::exists(folder / "done")) {
    fs::create_directories(folder);
    for (int i = 0; i < archives; ++i) makeArchive(folder / ("pak" + std::to_string(1000 + i) + ".pk3"), i, entries);
    std::FILE* done = std::fopen((folder / "done").c_str(), "w");
    if (done) std::fclose(done);
  }
  const long before = peakKilobytes();
  const auto start = std::chrono::steady_clock::now();
  const tarvex::MapDiscovery found = tarvex::discoverMaps(folder, {});
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("%d archives x %d entries: %zu maps found, %zu problems, %.1f ms, peak memory %ld MB (%ld MB before)\n",
              archives, entries, found.maps.size(), found.problems.size(), ms, peakKilobytes() / 1024, before / 1024);
  return 0;
}
