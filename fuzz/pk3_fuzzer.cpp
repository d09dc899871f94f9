// Any bytes as a pk3 archive: its directory, its arena texts and levelshots
// read as map discovery reads them give a result or a reason, never a crash,
// a hang, or memory past the caps.
#include <cstdint>
#include <string>

#include "pk3/Arena.h"
#include "pk3/Levelshot.h"
#include "pk3/Pk3Archive.h"
#include "util/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto archive = tarvex::Pk3Archive::openBytes(std::string(reinterpret_cast<const char*>(data), size));
  if (!archive) return 0;
  for (const auto& name : archive->names()) {
    if (tarvex::endsWithNoCase(name, ".arena") || tarvex::endsWithNoCase(name, ".txt")) {
      if (auto text = archive->extract(name, 1 << 20)) {
        for (const auto& arena : tarvex::parseArenas(*text)) (void)tarvex::arenaOffersCtf(arena);
      }
    } else if (tarvex::endsWithNoCase(name, ".tga") || tarvex::endsWithNoCase(name, ".png") ||
               tarvex::endsWithNoCase(name, ".jpg")) {
      if (auto picture = archive->extract(name, 1 << 20)) (void)tarvex::mapPictureFromLevelshot(*picture);
    }
  }
  return 0;
}
