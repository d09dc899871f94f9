#include "maps/Rotation.h"

#include <algorithm>

namespace tarvex {

AddOutcome addSingleMap(Rotation& rotation, const MapCatalogue& catalogue, const std::string& name, bool ctfGame) {
  if (name.empty()) return AddOutcome::NothingSelected;
  if (rotation.addedMapCount >= kMaxSingleAdds) return AddOutcome::TooMany;
  if (ctfGame) {
    for (const auto& row : catalogue.rows) {
      if (row.name == name && row.isRefusedForCtf()) return AddOutcome::RefusedForCtf;
    }
  }
  rotation.maps.push_back(name);
  ++rotation.addedMapCount;
  return AddOutcome::Added;
}

void replaceWithClass(Rotation& rotation, const MapCatalogue& catalogue, MapClass mapClass) {
  rotation.maps.clear();
  for (const auto& row : catalogue.rows) {
    const bool take = mapClass == MapClass::All || (mapClass == MapClass::Ctf ? row.isCtf() : row.isHoloMatch());
    if (take) rotation.maps.push_back(row.name);
  }
}

void shuffleRotation(Rotation& rotation, std::mt19937_64& generator) {
  std::shuffle(rotation.maps.begin(), rotation.maps.end(), generator);
}

void shuffleRotation(Rotation& rotation) {
  static std::mt19937_64 generator{[] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device()};
    return std::mt19937_64(seed);
  }()};
  shuffleRotation(rotation, generator);
}

}  // namespace tarvex
