#pragma once
// A question to a game server over UDP and its answers: the one network
// exchange the program makes (status queries and the remote console).

#include <cstdint>
#include <string>
#include <vector>

#include "util/Problem.h"

namespace tarvex::platform {

struct UdpTiming {
  int waitMilliseconds = 1000;  // for an answer to each try
  int tries = 1;
  int moreMilliseconds = 0;  // after an answer, for the datagrams of a long one
  // For a question to a loopback address (127.x.x.x): the loopback address
  // (host order) it is asked from, 0 for the system's choice.
  std::uint32_t loopbackSource = 0;
};

// The loopback address run's watchdog asks from (127.84.86.88), so that a
// busy host's own questions from 127.0.0.1, which the engine limits by
// address, never crowd it out.
inline constexpr std::uint32_t kWatchdogSource = 0x7F545658;
// Sends one datagram to host:port (again for each further try, on the same
// socket) and collects the answers from that address: it returns once an
// answer has come (and, with moreMilliseconds, the rest of a long one).
// The answers, at least one; else the reason none came ("the address ... is
// not known", "nothing listens at ...", "no answer from ...").
Result<std::vector<std::string>> udpExchange(const std::string& host, int port, const std::string& request,
                                             const UdpTiming& timing);

// Whether another program holds the UDP port on the address (empty or
// 0.0.0.0: every address): a bind to it is refused as in use.
bool udpPortInUse(const std::string& address, int port);

}  // namespace tarvex::platform
