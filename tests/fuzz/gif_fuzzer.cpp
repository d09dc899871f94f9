// Any bytes as the logo: frames inside the file, or "not a gif".
#include <cstdint>
#include <string_view>

#include "logo/GifCutter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  const auto cut = tarvex::cutGif(file);
  if (cut.headerLength > size) __builtin_trap();
  for (const auto& frame : cut.frames) {
    if (frame.chunkOffset + frame.chunkLength > size) __builtin_trap();
    if (cut.frameFile(file, frame).size() != cut.headerLength + frame.chunkLength) __builtin_trap();
  }
  return 0;
}
