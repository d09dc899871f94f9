// One datagram out, the answers back: the transport of the game's query
// protocol, on the address given and no other.
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "platform/Udp.h"

namespace tarvex::platform {

namespace {
#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
void closeSocket(Socket s) { closesocket(s); }
int waitReadable(Socket s, int ms) {
  WSAPOLLFD fd{s, POLLRDNORM, 0};
  return WSAPoll(&fd, 1, ms);
}
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
void closeSocket(Socket s) { close(s); }
int waitReadable(Socket s, int ms) {
  pollfd fd{s, POLLIN, 0};
  return poll(&fd, 1, ms);
}
#endif

struct SocketGuard {
  Socket s = kNoSocket;
  ~SocketGuard() {
    if (s != kNoSocket) closeSocket(s);
  }
};
}  // namespace

namespace {
Problem networkReady() {
#ifdef _WIN32
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) return "the network is not available";
#endif
  return {};
}

bool refusedByPeer() {
#ifdef _WIN32
  return WSAGetLastError() == WSAECONNRESET;
#else
  return errno == ECONNREFUSED;
#endif
}
}  // namespace

namespace {
// One exchange with one address, from the loopback source when asked.
Result<std::vector<std::string>> exchangeWith(const addrinfo& address, const std::string& shown,
                                              const std::string& request, const UdpTiming& timing, bool fromSource) {
  // A connected socket takes answers from the address asked and no other,
  // and hears at once when nothing listens there.
  SocketGuard socket;
  socket.s = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
  if (fromSource && socket.s != kNoSocket) {
    sockaddr_in source{};
    source.sin_family = AF_INET;
    source.sin_addr.s_addr = htonl(timing.loopbackSource);
    ::bind(socket.s, reinterpret_cast<const sockaddr*>(&source), sizeof source);
  }
  const bool connected =
      socket.s != kNoSocket && ::connect(socket.s, address.ai_addr, static_cast<socklen_t>(address.ai_addrlen)) == 0;
  if (!connected) return failure("the request could not be sent to " + shown);
  std::vector<std::string> answers;
  using Clock = std::chrono::steady_clock;
  constexpr std::size_t kLargest = 65536;  // a datagram's most
  const auto buffer = std::make_unique_for_overwrite<char[]>(kLargest);
  bool refused = false;
  // One socket for every try: an answer to an earlier one still counts.
  for (int attempt = 0; attempt < timing.tries && answers.empty(); ++attempt) {
    const auto n = send(socket.s, request.data(), int(request.size()), 0);
    if (n < 0 || std::size_t(n) != request.size()) {
      refused = refused || refusedByPeer();
      if (!refused) return failure("the request could not be sent to " + shown);
    }
    auto deadline = Clock::now() + std::chrono::milliseconds(timing.waitMilliseconds);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0 || waitReadable(socket.s, int(left)) <= 0) break;
      const auto got = recv(socket.s, buffer.get(), int(kLargest), 0);
      if (got < 0) {
        // Nothing listens there (the port-unreachable answer): the next try may find it.
        refused = refused || refusedByPeer();
        break;
      }
      answers.emplace_back(buffer.get(), std::size_t(got));
      // A long answer comes in several datagrams, close together.
      if (timing.moreMilliseconds <= 0 || answers.size() >= 64) break;
      deadline = Clock::now() + std::chrono::milliseconds(timing.moreMilliseconds);
    }
    if (!answers.empty()) break;
    // After a refusal the rest of the wait is spent before the next try.
    if (refused) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left > 0 && attempt + 1 < timing.tries) std::this_thread::sleep_for(std::chrono::milliseconds(left));
    }
  }
  if (answers.empty()) return failure(refused ? "nothing listens at " + shown : "no answer from " + shown);
  return answers;
}
}  // namespace

Result<std::vector<std::string>> udpExchange(const std::string& host, int port, const std::string& request,
                                             const UdpTiming& timing) {
  if (Problem problem = networkReady(); !problem.ok()) return Failure{std::move(problem)};
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  // An address as digits needs no look-up (the name services are not asked).
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
    hints.ai_flags = 0;
    found = nullptr;
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found)
      return failure("the address " + host + " is not known");
  }
  // Every address of the name, IPv4 first: the engine binds IPv4 (Debian 13's
  // localhost is ::1 first).
  std::vector<const addrinfo*> addresses;
  for (const addrinfo* a = found; a; a = a->ai_next)
    if (a->ai_family == AF_INET) addresses.push_back(a);
  for (const addrinfo* a = found; a; a = a->ai_next)
    if (a->ai_family != AF_INET) addresses.push_back(a);
  const std::string shown = host + ":" + std::to_string(port);
  std::optional<Result<std::vector<std::string>>> last;
  for (const addrinfo* address : addresses) {
    // Questions to this machine's loopback may come from an address of their
    // own; where that gets no answer (a filter that drops replies to it), the
    // ordinary address is asked before the silence counts.
    const auto* target = reinterpret_cast<const sockaddr_in*>(address->ai_addr);
    const bool fromSource =
        timing.loopbackSource != 0 && address->ai_family == AF_INET && (ntohl(target->sin_addr.s_addr) >> 24) == 127;
    last.emplace(exchangeWith(*address, shown, request, timing, fromSource));
    if (!*last && fromSource && last->problem().starts_with("no answer"))
      last.emplace(exchangeWith(*address, shown, request, timing, false));
    if (*last) break;
  }
  freeaddrinfo(found);
  if (!last) return failure("the address " + host + " is not known");
  return std::move(*last);
}

bool udpPortInUse(const std::string& address, int port) {
  if (!networkReady().ok()) return false;
  // Another program may hold it without answering.
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  const bool any = address.empty() || address == "0.0.0.0";
  if (getaddrinfo(any ? nullptr : address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
    return false;  // an address the game cannot take either; it says so itself
  SocketGuard socket;
  socket.s = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  const bool bound =
      socket.s != kNoSocket && ::bind(socket.s, found->ai_addr, static_cast<socklen_t>(found->ai_addrlen)) == 0;
#ifdef _WIN32
  const bool inUse = !bound && WSAGetLastError() == WSAEADDRINUSE;
#else
  const bool inUse = !bound && errno == EADDRINUSE;
#endif
  freeaddrinfo(found);
  return inUse;
}

}  // namespace tarvex::platform
