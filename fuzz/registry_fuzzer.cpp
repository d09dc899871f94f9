// Any bytes as Wine's system.reg: a value or nothing, never a crash.
#include <cstdint>
#include <string_view>

#include "platform/WineRegistry.h"
#include "startup/GameFolder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto value = tarvex::findWineRegistryValue(text, tarvex::kRegistryKey, tarvex::kRegistryValue))
    (void)tarvex::folderOfExecutable(*value, '\\');
  (void)tarvex::findWineRegistryValue(text, "a", "b");
  return 0;
}
