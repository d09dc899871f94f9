// Any bytes as a levelshot: a 150 x 150 JPEG or a reason, never a crash, a
// read or write out of bounds, or memory past what a 4096 x 4096 picture takes.
#include <cstdint>
#include <string>
#include <string_view>

#include "pk3/Levelshot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto picture = tarvex::mapPictureFromLevelshot(std::string_view(reinterpret_cast<const char*>(data), size));
  // A picture has bytes; a refusal has a reason.
  if (picture ? picture->empty() : picture.problem().empty()) __builtin_trap();
  return 0;
}
