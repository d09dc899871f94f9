// tarvex-cli: the headless front end. See "tarvex-cli --help".
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "platform/Files.h"
#include "platform/Processes.h"
#include "platform/Time.h"

namespace {
// The program's own folder, where its shipped files lie beside it.
std::string executableFolder(const char* argv0) {
  const std::filesystem::path self = tarvex::platform::executablePath();
  if (!self.empty()) return tarvex::fromPath(self.parent_path());
  std::error_code ec;
  return tarvex::fromPath(std::filesystem::absolute(argv0, ec).parent_path());
}
}  // namespace

int main(int argc, char** argv) {
  tarvex::platform::settleTimeZone();
  tarvex::platform::keepStandardOutputBinary();
  std::vector<std::string> args(argv + 1, argv + argc);
  tarvex::ConsoleServices services(std::cerr);
  return tarvex::runCli(args, executableFolder(argv[0]), std::cout, std::cerr, services);
}
