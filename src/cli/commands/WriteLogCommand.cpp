// write-log (hidden): the writer of a launched game's log on Windows, the
// window's launches too: standard input copied into a rotating log.
#include "cli/Command.h"
#include "cli/Service.h"
#include "platform/Files.h"

namespace tarvex {
namespace {

class WriteLog final : public Command {
 public:
  using Command::Command;
  void describe(CLI::App& table) override {
    add(table, "write-log", "copy standard input into a rotating log")
        ->group("")
        ->add_option("FILE", file_, "the log")
        ->required();
  }
  // Not in a data folder: the log is the file named.
  int carryOut(Session& session, const Step&) override { return writeLog(toPath(file_), session.in); }
  int run(Session&) override { return 0; }

 private:
  std::string file_;
};

}  // namespace

std::unique_ptr<Command> makeWriteLog(CommonOptions& common) { return std::make_unique<WriteLog>(common); }

}  // namespace tarvex
