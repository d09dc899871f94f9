#include "query/ServerQuery.h"

#include <algorithm>
#include <charconv>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/Udp.h"
#include "util/Text.h"

namespace tarvex {

std::string statusRequest() { return std::string(kPacketPrefix) + "getstatus\n"; }

std::string rconRequest(std::string_view password, std::string_view command) {
  return std::string(kPacketPrefix) + "rcon " + std::string(password) + " " + std::string(command);
}

std::string ServerStatus::value(std::string_view key) const {
  for (const auto& [name, text] : info)
    if (name == key) return text;
  return {};
}

namespace {
std::optional<long> number(std::string_view text) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// "score ping "name"" as the server writes each player.
std::optional<ServerPlayer> parsePlayer(std::string_view line) {
  const auto firstBlank = line.find(' ');
  if (firstBlank == std::string_view::npos) return std::nullopt;
  const auto secondBlank = line.find(' ', firstBlank + 1);
  if (secondBlank == std::string_view::npos) return std::nullopt;
  const auto score = number(line.substr(0, firstBlank));
  const auto ping = number(line.substr(firstBlank + 1, secondBlank - firstBlank - 1));
  std::string_view name = line.substr(secondBlank + 1);
  if (!score || !ping || name.size() < 2 || name.front() != '"' || name.back() != '"') return std::nullopt;
  name = name.substr(1, name.size() - 2);
  return ServerPlayer{*score, *ping, std::string(name)};
}
}  // namespace

Result<ServerStatus> parseStatusResponse(std::string_view packet) {
  const std::string_view header = "statusResponse\n";
  if (packet.substr(0, kPacketPrefix.size()) != kPacketPrefix ||
      packet.substr(kPacketPrefix.size(), header.size()) != header) {
    return failure("the answer is not a server status");
  }
  packet.remove_prefix(kPacketPrefix.size() + header.size());
  const auto infoEnd = packet.find('\n');
  std::string_view info = packet.substr(0, infoEnd);
  if (info.empty() || info.front() != '\\') {
    return failure("the answer holds no server variables");
  }
  ServerStatus status;
  info.remove_prefix(1);
  while (!info.empty()) {
    const auto keyEnd = info.find('\\');
    if (keyEnd == std::string_view::npos) {
      return failure("the answer's server variables are cut off");
    }
    const std::string_view key = info.substr(0, keyEnd);
    info.remove_prefix(keyEnd + 1);
    const auto valueEnd = info.find('\\');
    status.info.emplace_back(std::string(key), std::string(info.substr(0, valueEnd)));
    info.remove_prefix(valueEnd == std::string_view::npos ? info.size() : valueEnd + 1);
  }
  if (status.info.empty()) {
    return failure("the answer holds no server variables");
  }
  std::string_view rest = infoEnd == std::string_view::npos ? std::string_view() : packet.substr(infoEnd + 1);
  while (!rest.empty()) {
    const auto lineEnd = rest.find('\n');
    const std::string_view line = rest.substr(0, lineEnd);
    rest.remove_prefix(lineEnd == std::string_view::npos ? rest.size() : lineEnd + 1);
    if (line.empty()) continue;
    const auto player = parsePlayer(line);
    if (!player) return failure("the answer holds a broken player line");
    status.players.push_back(*player);
  }
  return status;
}

Result<ServerStatus> askStatus(const std::string& host, int port, const platform::UdpTiming& timing) {
  const auto answers = platform::udpExchange(host, port, statusRequest(), timing);
  if (!answers) return Failure{answers.problem()};
  return parseStatusResponse(answers->front());
}

std::optional<std::string> parseRconAnswer(const std::vector<std::string>& packets) {
  const std::string header = std::string(kPacketPrefix) + "print\n";
  std::optional<std::string> text;
  for (const auto& packet : packets) {
    if (packet.compare(0, header.size(), header) != 0) continue;
    if (!text) text.emplace();
    text->append(packet, header.size());
  }
  return text;
}

std::string withoutColours(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '^' && i + 1 < text.size() && text[i + 1] != '^') {
      ++i;
      continue;
    }
    out.push_back(text[i]);
  }
  return out;
}

std::string gameTypeName(std::string_view number) {
  if (number == "0") return "Death Match";
  if (number == "1") return "1 VS 1";
  if (number == "3") return "Team Death Match";
  if (number == "4") return "Capture The Flag";
  return "game type " + std::string(number);
}

std::string statusTable(const ServerStatus& status, const std::string& address) {
  std::ostringstream out;
  // Everything but the captions is what the server said.
  const auto row = [&out](const char* caption, const std::string& value) {
    out << std::left << std::setw(15) << caption << visibleText(value) << '\n';
  };
  row("Server:", withoutColours(status.value("sv_hostname")));
  row("Address:", address);
  row("Map:", status.value("mapname"));
  row("Game type:", gameTypeName(status.value("g_gametype")));
  row("Frag limit:", status.value("fraglimit"));
  row("Time limit:", status.value("timelimit"));
  row("Capture limit:", status.value("capturelimit"));
  row("Players:", std::to_string(status.players.size()) + " of " + status.value("sv_maxclients"));
  if (!status.players.empty()) {
    out << '\n'
        << std::right << std::setw(6) << "Score" << std::setw(6) << "Ping"
        << "  Name\n";
    for (const auto& player : status.players)
      out << std::setw(6) << player.score << std::setw(6) << player.ping << "  "
          << visibleText(withoutColours(player.name)) << '\n';
  }
  return out.str();
}

std::string statusJson(const ServerStatus& status, const std::string& address) {
  // The game's texts are bytes in its code page; JSON wants UTF-8.
  const auto text = gameTextToUtf8;
  nlohmann::ordered_json json;
  json["address"] = text(address);
  json["name"] = text(withoutColours(status.value("sv_hostname")));
  json["map"] = text(status.value("mapname"));
  json["gametype"] = text(gameTypeName(status.value("g_gametype")));
  json["fraglimit"] = text(status.value("fraglimit"));
  json["timelimit"] = text(status.value("timelimit"));
  json["capturelimit"] = text(status.value("capturelimit"));
  json["maxclients"] = text(status.value("sv_maxclients"));
  json["players"] = nlohmann::ordered_json::array();
  for (const auto& player : status.players)
    json["players"].push_back(
        {{"name", text(withoutColours(player.name))}, {"score", player.score}, {"ping", player.ping}});
  nlohmann::ordered_json variables = nlohmann::ordered_json::object();
  for (const auto& [key, value] : status.info) variables[text(key)] = text(value);
  json["variables"] = std::move(variables);
  return json.dump(2) + "\n";
}

std::optional<std::pair<std::string, int>> parseServerAddress(std::string_view text, const std::string& defaultHost,
                                                              int defaultPort) {
  std::string host = defaultHost;
  int port = defaultPort;
  std::string_view portText;
  bool hasPort = false;
  if (text.starts_with('[')) {  // "[::1]" or "[::1]:27960"
    const auto close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return std::nullopt;
    hasPort = !rest.empty();
    portText = hasPort ? rest.substr(1) : std::string_view();
    text = text.substr(1, close - 1);
  } else if (const auto colon = text.rfind(':'); colon != std::string_view::npos) {
    // A second colon makes a bare IPv6 address ("::1"), which names no port.
    if (text.find(':') == colon) {
      hasPort = true;
      portText = text.substr(colon + 1);
      text = text.substr(0, colon);
    }
  }
  if (hasPort) {
    const auto value = number(portText);
    if (!value || *value < 1 || *value > 65535) return std::nullopt;
    port = int(*value);
  }
  if (!text.empty()) host = std::string(text);
  return std::make_pair(host, port);
}

std::string serverAddressText(const std::string& host, int port) {
  const bool ipv6 = host.find(':') != std::string::npos;
  return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

Problem portProblem(const std::string& address, int port) {
  // A server already there answers the game's own question.
  const std::string asked = address.empty() || address == "0.0.0.0" ? "127.0.0.1" : address;
  const auto answers = platform::udpExchange(asked, port, statusRequest(), {300, 1, 0});
  if (answers) {
    const auto status = parseStatusResponse(answers->front());
    const std::string name = status ? withoutColours(status->value("sv_hostname")) : std::string();
    return "a game server answers there" + (name.empty() ? std::string() : ": \"" + name + "\"");
  }
  // Another program may hold it without answering.
  return platform::udpPortInUse(address, port) ? "another program uses it" : std::string();
}

std::optional<int> humansInConsoleStatus(std::string_view answer) {
  // After the header's dashes, a client a line: "num score ping name ... address ... rate", the
  // address the third word from the end where the header names "lastmsg" and "qport", else the second.
  std::optional<int> humans;
  std::size_t addressFromEnd = 2;
  for (const std::string_view line : splitLines(answer)) {
    const std::vector<std::string_view> words = splitWords(line);
    if (words.empty()) continue;
    if (!humans) {
      if (std::find(words.begin(), words.end(), "qport") != words.end()) addressFromEnd = 3;
      if (words.front().size() >= 2 && words.front().find_first_not_of('-') == std::string_view::npos) humans = 0;
      continue;
    }
    if (words.size() < 3 + addressFromEnd) continue;
    // The name's colour ends in a "^7" before the address.
    if (withoutColours(words[words.size() - addressFromEnd]) != "bot" && words[2] != "ZMBI") ++*humans;
  }
  return humans;
}

int humansInStatus(const ServerStatus& status) {
  return int(std::count_if(status.players.begin(), status.players.end(),
                           [](const ServerPlayer& player) { return player.ping != 0; }));
}

}  // namespace tarvex
