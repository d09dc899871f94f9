#pragma once
// What the window holds, a save slot keeps and a launch starts: the
// settings, the rotation and the catalogue with each map's limits.

#include "config/ServerSettings.h"
#include "maps/MapCatalogue.h"
#include "maps/Rotation.h"

namespace tarvex {

struct Configuration {
  ServerSettings settings;
  Rotation rotation;
  MapCatalogue catalogue;
  bool operator==(const Configuration&) const = default;
};

}  // namespace tarvex
