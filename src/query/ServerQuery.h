#pragma once
// The game's connectionless query protocol: the status a running server
// answers to "getstatus", and its remote console ("rcon"). Only the packets
// and their meaning live here; sending them is the platform's.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Udp.h"
#include "util/Problem.h"

namespace tarvex {

inline constexpr int kDefaultServerPort = 27960;
inline constexpr std::string_view kPacketPrefix = "\xff\xff\xff\xff";

std::string statusRequest();  // "getstatus"
std::string rconRequest(std::string_view password, std::string_view command);

struct ServerPlayer {
  long score = 0;
  long ping = 0;
  std::string name;
};

struct ServerStatus {
  std::vector<std::pair<std::string, std::string>> info;  // in the order the server sent them
  std::vector<ServerPlayer> players;

  // The value of a server variable, empty when it was not sent.
  std::string value(std::string_view key) const;
};

// Reads a "statusResponse" packet. A packet of another kind, a broken info
// string or a broken player line gives the reason it cannot be read.
Result<ServerStatus> parseStatusResponse(std::string_view packet);
// Asks the server at host:port for its status: what it answered, or why no
// readable answer came.
Result<ServerStatus> askStatus(const std::string& host, int port, const platform::UdpTiming& timing);

// The text of the remote console's "print" answers, joined; nullopt for
// packets of another kind.
std::optional<std::string> parseRconAnswer(const std::vector<std::string>& packets);

// The human players in the remote console's answer to "status" (a table of
// the clients, a bot's address "bot", a client that left "ZMBI" as its
// ping); nullopt when the answer is not that table.
std::optional<int> humansInConsoleStatus(std::string_view answer);
// The human players of a status answer, where the console cannot be asked:
// those with a ping (a bot's is 0).
int humansInStatus(const ServerStatus& status);

// Removes the game's colour codes (^ and one character) from a name.
std::string withoutColours(std::string_view text);

// The game type's name as the window shows it ("Capture The Flag"), or
// "game type N" for a number the window does not offer.
std::string gameTypeName(std::string_view number);

// A readable table for a host, and the same facts as JSON for scripts.
std::string statusTable(const ServerStatus& status, const std::string& address);
std::string statusJson(const ServerStatus& status, const std::string& address);

// "HOST", "HOST:PORT" or ":PORT" into its parts, an IPv6 address bare ("::1")
// or in brackets ("[::1]:27960"); defaults fill what is not given. nullopt
// when the port is not a number from 1 to 65535.
std::optional<std::pair<std::string, int>> parseServerAddress(std::string_view text, const std::string& defaultHost,
                                                              int defaultPort);

// "HOST:PORT", with an IPv6 address in brackets.
std::string serverAddressText(const std::string& host, int port);

// Why a game server cannot take the UDP port on the address (empty or
// 0.0.0.0: every address): a game server answers there ("a game server
// answers there: \"NAME\""), or another program holds it ("another program
// uses it"); empty when it is free.
Problem portProblem(const std::string& address, int port);

}  // namespace tarvex
