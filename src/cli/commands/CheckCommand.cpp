// check: whether this host can start the server, item by item.
#include "cli/Check.h"
#include "cli/Command.h"

namespace tarvex {
namespace {

class Check final : public SlotCommand {
 public:
  using SlotCommand::SlotCommand;
  void describe(CLI::App& table) override {
    addWithSlot(table, "check",
                "say whether this host can start the server: Wine and its 32-bit part, the game folder, who may "
                "write what, the slot's checks and port, the services' folder and unit")
        ->footer(paragraph(
            "One line an item, \"ok\", \"warn\" or \"FAIL\" with what to do about it; exit status 1 when anything "
            "keeps the server from starting.  With --system it checks as the services' user, whose Wine prefix it "
            "makes on its first start (a while), as the service's first start would."));
  }
  int run(Session& session) override {
    HostCheck check{session.dataFolder, std::nullopt,   slot_,
                    instance(),         session.system, loadMapListOf(session).catalogue};
    if (fromSlot()) check.slotFile = slotFile(session.dataFolder);
    return checkHost(check, session.out, session.services);
  }
};

}  // namespace

std::unique_ptr<Command> makeCheck(CommonOptions& common) { return std::make_unique<Check>(common); }

}  // namespace tarvex
