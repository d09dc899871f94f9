#include "maps/MapLimits.h"

namespace tarvex {

bool setLimitsByName(MapCatalogue& catalogue, std::string_view name, const Limits& limits) {
  bool found = false;
  for (auto& row : catalogue.rows) {
    if (row.name != name) continue;
    row.fragLimit = limits.frag;
    row.timeLimit = limits.time;
    row.captureLimit = limits.capture;
    found = true;
  }
  return found;
}

void setAllLimits(MapCatalogue& catalogue, const Limits& limits) {
  for (auto& row : catalogue.rows) {
    row.fragLimit = limits.frag;
    row.timeLimit = limits.time;
    row.captureLimit = limits.capture;
  }
}

std::optional<bool> captureBoxEnabled(const MapEntry& entry) {
  if (entry.isRefusedForCtf()) return false;
  if (entry.isCtf()) return true;
  return std::nullopt;
}

}  // namespace tarvex
