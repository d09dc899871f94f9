#pragma once
// tarvex-cli: renders or launches a saved configuration without a desktop.

#include <iosfwd>
#include <string>
#include <vector>

#include "platform/Processes.h"
#include "services/Services.h"

namespace tarvex {

// Runs the command line (without the program's name). exeFolder is the
// default program folder. Messages the window would show in a box go to err.
// Exit status: 0 done, 1 refused or unreadable, 2 usage error.
// Standard input is in (nullptr: std::cin).
int runCli(const std::vector<std::string>& args, const std::string& exeFolder, std::ostream& out, std::ostream& err,
           Services& services, std::istream* in = nullptr);

// Services for a console: messages to a stream.
class ConsoleServices : public Services {
 public:
  explicit ConsoleServices(std::ostream& err) : err_(err) {}
  void message(const std::string& text, Icon icon) override;
  Problem startProcess(const ProcessRequest& request) override;
  std::optional<ProcessFailure> startedProcessFailure(int waitMilliseconds) override;
  long startedProcessId() override { return game_.id(); }
  void endStartedProcess() override { game_.end(); }
  std::optional<std::string> serverIdentity(const std::string& address, int port) override;
  void progress(const std::string& text) override { message(text, Icon::None); }
  Problem portProblem(const std::string& address, int port) override;
  std::string readRegistry(const std::string& key, const std::string& value) override;

 private:
  std::ostream& err_;
  platform::DetachedGame game_;  // the game launched, which outlives tarvex-cli
};

}  // namespace tarvex
