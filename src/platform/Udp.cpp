// One datagram out, the answers back: the transport of the game's query
// protocol, on the address given and no other.
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstring>

#include "platform/Platform.h"

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

std::vector<std::string> udpExchange(const std::string& host, int port, const std::string& request,
                                     int timeoutMilliseconds, std::string& error) {
#ifdef _WIN32
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) {
    error = "the network is not available";
    return {};
  }
#endif
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found) {
    error = "the address " + host + " is not known";
    return {};
  }
  SocketGuard socket;
  socket.s = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  bool sent = false;
  if (socket.s != kNoSocket) {
    const auto n = sendto(socket.s, request.data(), int(request.size()), 0, found->ai_addr,
                          static_cast<socklen_t>(found->ai_addrlen));
    sent = n >= 0 && std::size_t(n) == request.size();
  }
  // Answers are taken only from the address asked.
  sockaddr_storage asked{};
  std::memcpy(&asked, found->ai_addr, found->ai_addrlen);
  const auto askedLength = found->ai_addrlen;
  freeaddrinfo(found);
  if (!sent) {
    error = "the request could not be sent";
    return {};
  }
  std::vector<std::string> answers;
  using Clock = std::chrono::steady_clock;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
  std::string buffer(65536, '\0');
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || waitReadable(socket.s, int(left)) <= 0) break;
    sockaddr_storage from{};
    socklen_t fromLength = sizeof from;
    const auto got = recvfrom(socket.s, buffer.data(), int(buffer.size()), 0, reinterpret_cast<sockaddr*>(&from),
                              &fromLength);
    if (got < 0) break;
    if (fromLength != askedLength || std::memcmp(&from, &asked, askedLength) != 0) continue;
    answers.emplace_back(buffer.data(), std::size_t(got));
    // A long answer comes in several datagrams, close together.
    if (answers.size() == 1) deadline = Clock::now() + std::chrono::milliseconds(150);
    if (answers.size() >= 64) break;
  }
  if (answers.empty()) error = "no answer from " + host + ":" + std::to_string(port);
  return answers;
}

}  // namespace tarvex::platform
