#include "cli/Cli.h"
#include "platform/Registry.h"
#include "query/ServerQuery.h"
#include "server/Instance.h"
#include "util/Text.h"

namespace tarvex {

void ConsoleServices::message(const std::string& text, Icon) { err_ << visibleLines(text) << '\n'; }

Problem ConsoleServices::startProcess(const ProcessRequest& request) { return game_.start(request); }

std::optional<ProcessFailure> ConsoleServices::startedProcessFailure(int waitMilliseconds) {
  return game_.failure(waitMilliseconds);
}

std::optional<std::string> ConsoleServices::serverIdentity(const std::string& address, int port) {
  return answeringIdentity(address, port);
}

Problem ConsoleServices::portProblem(const std::string& address, int port) {
  return tarvex::portProblem(address, port);
}

std::string ConsoleServices::readRegistry(const std::string& key, const std::string& value) {
  return platform::readMachineRegistry(key, value);
}

}  // namespace tarvex
