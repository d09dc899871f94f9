#include "server/Instance.h"

namespace tarvex {

std::string instanceName(int slot, const std::string& saveFile) {
  if (slot > 0) return "slot" + std::to_string(slot);
  if (saveFile.empty()) return "game";
  // The name goes onto the game's command line (+exec) and into file names.
  std::string stem = std::filesystem::path(saveFile).stem().string();
  std::string name = "save-";
  for (char c : stem.substr(0, 40)) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    name.push_back(plain ? c : '_');
  }
  return name;
}

std::string instanceScriptName(const std::string& instance) { return "tarvex-" + instance + ".cfg"; }

std::filesystem::path instanceLogFile(const std::filesystem::path& dataFolder, const std::string& instance) {
  return dataFolder / "logs" / (instance + ".log");
}

}  // namespace tarvex
