#include "maps/MapLimits.h"

#include <utility>
#include <vector>

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

std::string setDefaultLimits(MapCatalogue& catalogue, const Limits& limits) {
  std::vector<std::string> empty;
  const std::pair<const std::string*, std::string MapEntry::*> kinds[] = {{&limits.frag, &MapEntry::fragLimit},
                                                                          {&limits.time, &MapEntry::timeLimit},
                                                                          {&limits.capture, &MapEntry::captureLimit}};
  const char* names[] = {"frag", "time", "capture"};
  for (int k = 0; k < 3; ++k) {
    if (kinds[k].first->empty()) {
      empty.emplace_back(names[k]);
      continue;
    }
    for (auto& row : catalogue.rows) row.*kinds[k].second = *kinds[k].first;
  }
  if (empty.empty()) return {};
  if (empty.size() == 1)
    return "The default " + empty[0] + " limit box is empty, so every map keeps its " + empty[0] + " limit.";
  std::string list = empty[0];
  for (std::size_t i = 1; i < empty.size(); ++i) list += (i + 1 == empty.size() ? " and " : ", ") + empty[i];
  return "The default " + list + " limit boxes are empty, so every map keeps those limits.";
}

std::optional<bool> captureBoxEnabled(const MapEntry& entry) {
  if (entry.isRefusedForCtf()) return false;
  if (entry.isCtf()) return true;
  return std::nullopt;
}

}  // namespace tarvex
