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

}  // namespace tarvex::platform
