// Any bytes as maps.ini: the defined catalogue or a status, never a crash;
// the entries end where the layout says (what the appender goes by).
#include <cstdint>
#include <string_view>

#include "maps/MapCatalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto load = tarvex::parseCatalogue(bytes);
  if (load.catalogue.rows.size() > tarvex::kMaxCatalogueRows) __builtin_trap();
  for (const auto& row : load.catalogue.rows) (void)row.isCtf();
  const auto layout = tarvex::catalogueLayout(bytes);
  if (layout.entriesEnd > size) __builtin_trap();
  // The bytes up to the entries' end hold every entry, and no more.
  if (layout.hasStart &&
      tarvex::parseCatalogue(bytes.substr(0, layout.entriesEnd)).catalogue.rows.size() != load.catalogue.rows.size())
    __builtin_trap();
  return 0;
}
