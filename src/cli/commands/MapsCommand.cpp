// maps: the map list with each map's state, class and limits; with a slot, its rotation too.
#include <iomanip>
#include <ostream>

#include "cli/Command.h"
#include "platform/Files.h"
#include "startup/GameFolder.h"
#include "util/GameText.h"
#include "util/Text.h"

namespace tarvex {
namespace {

std::string classText(const MapEntry& row) {
  if (row.isCtf()) return "CTF";
  return row.isRefusedForCtf() ? "HoloMatch (refused for CTF)" : "HoloMatch";
}

class Maps final : public SlotCommand {
 public:
  using SlotCommand::SlotCommand;
  void describe(CLI::App& table) override {
    addWithSlot(table, "maps", "list the map list (name, installed, class, limits); with a slot, its rotation too")
        ->add_flag("--json", json_, "print the same as JSON");
  }
  int run(Session& session) override {
    const auto config = configuration(session);
    if (!config) return 1;
    const PathIni ini = readPathIni(session.dataFolder);
    if (ini.state == PathIniState::Known) gameData_ = findGameDataFolder(ini.gameFolder);
    if (json_)
      printJson(*config, session.out);
    else
      printTable(*config, session.out);
    return 0;
  }

 private:
  std::string installedText(const MapEntry& row) {
    if (!gameData_) return "unknown";
    return folders_.ordinaryFileMatches(*gameData_, row.mapFile) ? "installed" : "missing";
  }
  void printJson(const Configuration& config, std::ostream& out);
  void printTable(const Configuration& config, std::ostream& out);

  bool json_ = false;
  std::optional<std::filesystem::path> gameData_;  // none: the game folder is not known
  FolderListings folders_;
};

void Maps::printJson(const Configuration& config, std::ostream& out) {
  const auto text = gameTextToUtf8;
  const auto limits = [&](const MapEntry& row) {
    return nlohmann::ordered_json{
        {"frag", text(row.fragLimit)}, {"time", text(row.timeLimit)}, {"capture", text(row.captureLimit)}};
  };
  nlohmann::ordered_json maps = nlohmann::ordered_json::array();
  for (const auto& row : config.catalogue.rows)
    maps.push_back({{"name", text(row.name)},
                    {"installed", installedText(row)},
                    {"class", classText(row)},
                    {"limits", limits(row)}});
  nlohmann::ordered_json json{{"maps", std::move(maps)}};
  if (fromSlot()) {
    const MapNameIndex index(config.catalogue);
    json["rotation"] = nlohmann::ordered_json::array();
    for (const auto& name : config.rotation.maps) {
      const MapEntry* row = index.find(name);
      json["rotation"].push_back({{"name", text(name)}, {"limits", row ? limits(*row) : nullptr}});
    }
  }
  out << jsonText(json) << '\n';
}

void Maps::printTable(const Configuration& config, std::ostream& out) {
  const auto limits = [](const MapEntry& row) {
    return "frag " + visibleText(row.fragLimit) + "\ttime " + visibleText(row.timeLimit) + "\tcapture " +
           visibleText(row.captureLimit);
  };
  for (const auto& row : config.catalogue.rows)
    out << visibleText(row.name) << '\t' << installedText(row) << '\t' << classText(row) << '\t' << limits(row) << '\n';
  if (!fromSlot()) return;
  const MapNameIndex index(config.catalogue);
  const auto& rotation = config.rotation.maps;
  out << "\nRotation (" << rotation.size() << (rotation.size() == 1 ? " map" : " maps") << "):\n";
  for (std::size_t i = 0; i < rotation.size(); ++i) {
    const MapEntry* row = index.find(rotation[i]);
    out << std::setw(4) << i + 1 << ". " << visibleText(rotation[i]) << '\t'
        << (row ? limits(*row) : std::string("not in the map list")) << '\n';
  }
}

}  // namespace

std::unique_ptr<Command> makeMaps(CommonOptions& common) { return std::make_unique<Maps>(common); }

}  // namespace tarvex
