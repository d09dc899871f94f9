// Writing and restoring a slot that holds a long rotation and a full catalogue.
#include <benchmark/benchmark.h>

#include "saves/SaveFile.h"

using namespace tarvex;

namespace {
Configuration bigConfiguration(int rotation) {
  Configuration config;
  for (int i = 0; i < 50; ++i) {
    MapEntry row;
    row.name = "map_" + std::to_string(i);
    config.catalogue.rows.push_back(row);
  }
  for (int i = 0; i < rotation; ++i) config.rotation.maps.push_back("map_" + std::to_string(i % 50));
  return config;
}
}  // namespace

static void BM_WriteSave(benchmark::State& state) {
  const Configuration config = bigConfiguration(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(writeSave("Save File #1", "bench", config));
}
BENCHMARK(BM_WriteSave)->Arg(10000)->Unit(benchmark::kMillisecond);

static void BM_RestoreSave(benchmark::State& state) {
  const Configuration config = bigConfiguration(static_cast<int>(state.range(0)));
  const std::string file = writeSave("Save File #1", "bench", config);
  for (auto _ : state) {
    Configuration target = bigConfiguration(0);
    benchmark::DoNotOptimize(restoreSave(file, target));
  }
}
BENCHMARK(BM_RestoreSave)->Arg(10000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
