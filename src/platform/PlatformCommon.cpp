#include <cstdio>
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

std::tm localTime(std::time_t time) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &time);
#else
  localtime_r(&time, &local);
#endif
  return local;
}

std::optional<long> instanceHolder(const std::filesystem::path& lockFile) {
  const FileBytes read = readFileBytes(lockFile, 256);
  if (read.status != ReadStatus::Ok) return std::nullopt;
  long pid = 0;
  unsigned long long start = 0;
  if (std::sscanf(read.bytes.c_str(), "%ld %llu", &pid, &start) != 2 || pid <= 0) return std::nullopt;
  const auto now = processStartTime(pid);
  if (!now || *now != start) return std::nullopt;  // ended, or its number was given to another
  return pid;
}

std::string quoteWindowsArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count double before a quote (theirs and the quote's own escape).
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, '\\');  // before the closing quote
  quoted.push_back('"');
  return quoted;
}

}  // namespace tarvex::platform
