// render: the game script that launch would write, printed; nothing is written.
#include <ostream>

#include "cli/Command.h"
#include "launch/LaunchSequence.h"

namespace tarvex {
namespace {

class Render final : public SlotCommand {
 public:
  using SlotCommand::SlotCommand;
  void describe(CLI::App& table) override {
    addWithSlot(table, "render", "print the game script (tarvex.cfg) that launch would write; nothing is written");
  }
  int run(Session& session) override {
    const auto config = startable(session);
    if (!config) return 1;
    const auto launch = prepareLaunch(session.services, *config);
    if (!launch) return 1;
    session.out.write(launch->script.data(), static_cast<std::streamsize>(launch->script.size()));
    return session.out ? 0 : 1;
  }
};

}  // namespace

std::unique_ptr<Command> makeRender(CommonOptions& common) { return std::make_unique<Render>(common); }

}  // namespace tarvex
