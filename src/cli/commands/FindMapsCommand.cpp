// find-maps: the maps in the game's pk3 files that the map list does not know,
// added to it on request as the window's "Find New Maps" does.
#include <ostream>

#include "cli/Command.h"
#include "launch/LaunchSequence.h"
#include "maps/MapDiscovery.h"
#include "platform/Files.h"
#include "startup/GameFolder.h"
#include "util/GameText.h"
#include "util/Text.h"

namespace tarvex {
namespace {

class FindMaps final : public Command {
 public:
  using Command::Command;
  void describe(CLI::App& table) override {
    CLI::App* findMaps =
        add(table, "find-maps", "list the maps in the game's pk3 files that the map list does not know");
    findMaps->add_flag("--json", json_, "print the same as JSON");
    findMaps->add_flag("--add", add_,
                       "add them to the map list in the data folder with their pictures (keeping its previous "
                       "version as maps.ini.bak)");
  }
  bool writes() const override { return add_; }
  int run(Session& session) override {
    const MapListLoad load = loadMapListOf(session);
    if (load.status != CatalogueStatus::Ok) return 1;  // the message was given: nothing to add to
    const PathIni ini = readPathIni(session.dataFolder);
    if (ini.state != PathIniState::Known) {
      session.services.message(unknownGameFolder(session.dataFolder) + "  " + kGameFolderHint);
      return 1;
    }
    const MapDiscovery found = discoverMaps(findGameDataFolder(ini.gameFolder), load.catalogue);
    for (const auto& problem : found.problems) session.services.message(problem);
    if (json_)
      session.out << jsonText(listJson(found)) << '\n';
    else if (found.maps.empty())
      session.services.message("No new maps were found in " + fromPath(findGameDataFolder(ini.gameFolder)) + ".");
    else
      printTable(found, session.out);
    if (!add_ || found.maps.empty()) return 0;
    const CatalogueAddition added =
        addToMapList({session.appFolder, session.dataFolder}, load.catalogue.rows.size(), found.maps);
    session.services.message(additionMessage(added));
    return added.error.ok() ? 0 : 1;
  }

 private:
  static nlohmann::ordered_json listJson(const MapDiscovery& found) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& map : found.maps)
      list.push_back({{"name", gameTextToUtf8(map.entry.name)},
                      {"longname", gameTextToUtf8(map.entry.caption1)},
                      {"ctf", map.entry.isCtf()},
                      {"pk3", gameTextToUtf8(map.entry.caption2)},
                      {"picture", gameTextToUtf8(map.entry.picture)}});
    return list;
  }
  static void printTable(const MapDiscovery& found, std::ostream& out) {
    for (const auto& map : found.maps)
      out << visibleText(map.entry.name) << '\t' << visibleText(map.entry.caption1) << '\t'
          << (map.entry.isCtf() ? "CTF" : "HoloMatch") << '\t' << visibleText(map.entry.caption2) << '\t'
          << (map.entry.picture.empty() ? "no picture" : visibleText(map.entry.picture)) << '\n';
  }

  bool json_ = false;
  bool add_ = false;
};

}  // namespace

std::unique_ptr<Command> makeFindMaps(CommonOptions& common) { return std::make_unique<FindMaps>(common); }

}  // namespace tarvex
