// Any bytes as maps.ini: the defined catalogue or a status, never a crash.
#include <cstdint>
#include <string_view>

#include "maps/MapCatalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto load = tarvex::parseCatalogue(std::string_view(reinterpret_cast<const char*>(data), size));
  if (load.catalogue.rows.size() > tarvex::kMaxCatalogueRows) __builtin_trap();
  for (const auto& row : load.catalogue.rows) (void)row.isCtf();
  return 0;
}
