// Any bytes as the logo: frames inside the file, or "not a gif".
#include <cstdint>
#include <string_view>

#include "logo/GifCutter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  tarvex::GifCutter cutter(file);
  if (cutter.headerLength() > size) __builtin_trap();
  while (auto frame = cutter.next()) {
    if (frame->chunkOffset + frame->chunkLength > size) __builtin_trap();
    if (cutter.frameFile(*frame).size() != cutter.headerLength() + frame->chunkLength) __builtin_trap();
  }
  return 0;
}
