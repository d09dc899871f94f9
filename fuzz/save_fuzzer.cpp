// Any bytes as a save slot: restored, never used, or unreadable; an unreadable
// file leaves the configuration exactly as it was.
#include <cstdint>
#include <string_view>

#include "saves/SaveFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarvex::Configuration config;
  config.catalogue.rows.resize(3);
  config.catalogue.rows[0].name = "a";
  config.catalogue.rows[1].name = "b";
  const tarvex::Configuration before = config;
  const auto outcome = tarvex::restoreSave(std::string_view(reinterpret_cast<const char*>(data), size), config);
  if (outcome != tarvex::RestoreOutcome::Restored && !(config == before)) __builtin_trap();
  if (outcome == tarvex::RestoreOutcome::Restored) {
    // What was restored writes back and reads again the same.
    tarvex::Configuration again = before;
    const std::string file = tarvex::writeSave("t", "d", config);
    if (tarvex::restoreSave(file, again) != tarvex::RestoreOutcome::Restored) __builtin_trap();
  }
  (void)tarvex::saveDescription(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
