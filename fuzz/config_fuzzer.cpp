// Any bytes as a configuration's text: applied all or nothing; what applies
// cleanly prints as a text that applies to the same configuration again.
#include <cstdint>
#include <string_view>

#include "saves/ConfigText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarvex::Configuration config;
  config.catalogue.rows.resize(3);
  config.catalogue.rows[0].name = "a";
  config.catalogue.rows[1].name = "b c";
  config.catalogue.rows[2].name = "d";
  const tarvex::Configuration before = config;
  std::string description = "x";
  const auto applied =
      tarvex::applyConfigText(std::string_view(reinterpret_cast<const char*>(data), size), config, description);
  if (!applied.problems.empty()) {
    if (!(config == before) || description != "x") __builtin_trap();
    return 0;
  }
  const std::string text = tarvex::configText(config, description, {"fuzz"});
  tarvex::Configuration again = before;
  std::string againDescription;
  if (!tarvex::applyConfigText(text, again, againDescription).problems.empty()) __builtin_trap();
  if (!(again == config) || againDescription != description) __builtin_trap();
  return 0;
}
