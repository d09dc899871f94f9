#include <filesystem>

#include "platform/Platform.h"
#include "util/Files.h"
#include "util/Text.h"

namespace tarvex::platform {

bool isPlayableWavePath(const std::string& path) {
  if (path.empty() || !endsWithNoCase(path, "wav")) return false;
  std::error_code ec;
  return std::filesystem::is_regular_file(toPath(path), ec);
}

std::string outputTail(std::string_view output) {
  constexpr std::size_t kKeep = 2048;
  if (output.size() > kKeep) {
    output.remove_prefix(output.size() - kKeep);
    // Start at a whole line.
    if (const auto newline = output.find('\n'); newline != std::string_view::npos) output.remove_prefix(newline + 1);
  }
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r' || output.back() == ' '))
    output.remove_suffix(1);
  return std::string(output);
}

}  // namespace tarvex::platform
