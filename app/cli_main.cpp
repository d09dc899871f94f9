// tarvex-cli: the headless front end. See "tarvex-cli --help".
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "platform/Platform.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace {
std::string executableFolder(const char* argv0) {
#ifdef _WIN32
  char buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return std::filesystem::path(buffer).parent_path().string();
#else
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) return self.parent_path().string();
#endif
  return std::filesystem::absolute(argv0).parent_path().string();
}
}  // namespace

int main(int argc, char** argv) {
  tarvex::platform::settleTimeZone();
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);  // the script's CR LF pass through unchanged
#endif
  std::vector<std::string> args(argv + 1, argv + argc);
  tarvex::ConsoleServices services(std::cerr);
  return tarvex::runCli(args, executableFolder(argv[0]), std::cout, std::cerr, services);
}
