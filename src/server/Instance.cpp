#include "server/Instance.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <random>

#include "platform/Files.h"
#include "query/ServerQuery.h"
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

std::optional<std::string> answeringIdentity(const std::string& address, int port) {
  const auto status = askStatus(address.empty() || address == "0.0.0.0" ? "127.0.0.1" : address, port, {500, 1, 0});
  if (!status) return std::nullopt;
  return status->value(kIdentityVariable);
}

std::filesystem::path instanceLockFile(const std::filesystem::path& dataFolder, const std::string& instance) {
  return dataFolder / "run" / (instance + ".lock");
}

std::filesystem::path instanceStateFile(const std::filesystem::path& dataFolder, const std::string& instance) {
  return dataFolder / "run" / (instance + ".state");
}

std::string instanceStateText(const InstanceState& state) {
  std::string text;
  for (const auto& [key, value] : {std::pair<const char*, std::string>{"started-by", state.startedBy},
                                   {"pid", std::to_string(state.pid)},
                                   {"since", std::to_string(state.since)},
                                   {"restarts", std::to_string(state.restarts)},
                                   {"address", state.address},
                                   {"port", std::to_string(state.port)},
                                   {"output", state.output},
                                   {"id", state.id}})
    text += std::string(key) + "=" + value + "\n";
  return text;
}

std::optional<InstanceState> parseInstanceState(std::string_view text) {
  InstanceState state;
  for (const std::string_view line : splitLines(text)) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals), value = line.substr(equals + 1);
    const auto number = [&value] {
      long long n = 0;
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), n);
      return error == std::errc() && end == value.data() + value.size() && n >= 0 ? n : 0;
    };
    if (key == "started-by") state.startedBy = value;
    if (key == "pid") state.pid = number();
    if (key == "since") state.since = number();
    if (key == "restarts") state.restarts = int(number());
    if (key == "address") state.address = value;
    if (key == "port") state.port = int(number());
    if (key == "output") state.output = value;
    if (key == "id") state.id = value;
  }
  if (state.pid <= 0 || (state.startedBy != "run" && state.startedBy != "launch")) return std::nullopt;
  return state;
}

std::filesystem::path instanceRestartFile(const std::filesystem::path& dataFolder, const std::string& instance) {
  return dataFolder / "run" / (instance + ".restart");
}

std::string restartRequestText(const RestartRequest& request) {
  return std::string("when-empty=") + (request.whenEmpty ? "yes" : "no") + "\nwarning=" + request.warning + "\n";
}

RestartRequest parseRestartRequest(std::string_view text) {
  RestartRequest request;
  for (const std::string_view line : splitLines(text)) {
    if (line == "when-empty=yes") request.whenEmpty = true;
    if (line.starts_with("warning=")) request.warning = line.substr(8);
  }
  return request;
}

std::filesystem::path instanceLogFile(const std::filesystem::path& dataFolder, const std::string& instance) {
  return dataFolder / "logs" / (instance + ".log");
}

}  // namespace tarvex
