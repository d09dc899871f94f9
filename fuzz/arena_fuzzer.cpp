// Any bytes as an arena text: blocks or nothing, never a crash or a hang.
#include <cstdint>
#include <string_view>

#include "pk3/Arena.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const auto& arena : tarvex::parseArenas(std::string_view(reinterpret_cast<const char*>(data), size)))
    (void)tarvex::arenaOffersCtf(arena);
  return 0;
}
