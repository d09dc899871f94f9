// log: the game's output as its log kept it, and followed.
#include "cli/Command.h"
#include "cli/Run.h"
#include "server/Instance.h"

namespace tarvex {
namespace {

class Log final : public SlotCommand {
 public:
  using SlotCommand::SlotCommand;
  void describe(CLI::App& table) override {
    addWithSlot(table, "log", "print the game's output as its log kept it")
        ->add_flag("-f,--follow", follow_, "and follow it");
  }
  int run(Session& session) override {
    return showLog(session.services, session.dataFolder, instance(), follow_, session.out);
  }
  std::string servicesFolderHolds(const std::filesystem::path& folder) const override {
    std::error_code ec;
    if (slot_ != 0 && !std::filesystem::exists(instanceStateFile(folder, instance()), ec) &&
        std::filesystem::exists(instanceLogFile(folder, instance()), ec))
      return instance() + "'s log";
    return SlotCommand::servicesFolderHolds(folder);
  }

 private:
  bool follow_ = false;
};

}  // namespace

std::unique_ptr<Command> makeLog(CommonOptions& common) { return std::make_unique<Log>(common); }

}  // namespace tarvex
