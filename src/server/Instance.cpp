#include "server/Instance.h"

#include <algorithm>
#include <cstdint>
#include <random>

#include "util/Files.h"
#include "util/Text.h"

namespace tarvex {

std::string instanceName(int slot, const std::string& saveFile) {
  if (slot > 0) return "slot" + std::to_string(slot);
  if (saveFile.empty()) return "game";
  // The name goes onto the game's command line (+exec) and into file names:
  // plain letters, and a checksum of the whole path, so that two save files
  // never share a script, a log or a lock ("x y.sav" and "x;y.sav", or two
  // folders' "x.sav").
  const std::filesystem::path path = toPath(saveFile);
  std::error_code ec;
  std::filesystem::path whole = std::filesystem::weakly_canonical(path, ec);
  if (ec) whole = std::filesystem::absolute(path, ec).lexically_normal();
  return "save-" + nameWithChecksum(fromPath(path.stem()), fromPath(whole), 24);
}

std::string instanceScriptName(const std::string& instance) { return "tarvex-" + instance + ".cfg"; }

std::string newIdentityToken() {
  static std::mt19937_64 generator{std::random_device{}()};
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  for (std::uint64_t bits = generator(); token.size() < 16; bits >>= 4) token.push_back(kHex[bits & 0xF]);
  return token;
}

std::vector<std::string> withIdentity(std::vector<std::string> arguments, const std::string& token) {
  // A server variable ("sets"): the server's status carries it.
  const auto exec = std::find(arguments.begin(), arguments.end(), "+exec");
  arguments.insert(exec, {"+sets", kIdentityVariable, token});
  return arguments;
}

std::filesystem::path instanceLockFile(const std::filesystem::path& dataFolder, const std::string& instance) {
  return dataFolder / "run" / (instance + ".lock");
}

std::filesystem::path instanceLogFile(const std::filesystem::path& dataFolder, const std::string& instance) {
  return dataFolder / "logs" / (instance + ".log");
}

}  // namespace tarvex
