// tarvex-cli status's round trip against a minimal client's, both to the
// same stand-in server on loopback that answers at once. Prints the median
// and the 90th percentile of each, and their ratio.
// Usage: bench/status_bench [ROUNDS]
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/Udp.h"
#include "query/ServerQuery.h"

namespace {
using Clock = std::chrono::steady_clock;

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

void report(const char* what, std::vector<double> times) {
  std::sort(times.begin(), times.end());
  std::printf("%-34s median %8.1f us   90%% %8.1f us\n", what, times[times.size() / 2], times[times.size() * 9 / 10]);
}
}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
  const std::string answer =
      std::string(tarvex::kPacketPrefix) +
      "statusResponse\n\\sv_hostname\\Bench\\mapname\\hm_borg1\\g_gametype\\0\\sv_maxclients\\8\n";
  // The stand-in server.
  const int server = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(server, reinterpret_cast<sockaddr*>(&address), &length);
  const int port = ntohs(address.sin_port);
  std::thread responder([&] {
    char buffer[2048];
    for (;;) {
      sockaddr_in from{};
      socklen_t fromLength = sizeof from;
      const auto got = recvfrom(server, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
      if (got <= 0 || std::string(buffer, std::size_t(got)) == "stop") break;
      sendto(server, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
    }
  });

  // Round by round, the one and the other, so that both meet the same machine.
  std::vector<double> minimal, status;
  const std::string request = tarvex::statusRequest();
  for (int i = 0; i < rounds; ++i) {
    // The minimal client: one socket, one datagram out, one in.
    auto start = Clock::now();
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sendto(s, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
    char buffer[2048];
    recv(s, buffer, sizeof buffer, 0);
    close(s);
    minimal.push_back(micros(Clock::now() - start));
    // What tarvex-cli status does: the address looked up, a connected socket,
    // two tries at most, the answer read and parsed.
    start = Clock::now();
    const auto answers = tarvex::platform::udpExchange("127.0.0.1", port, request, {1000, 2, 0});
    const auto read = answers ? tarvex::parseStatusResponse(answers->front()) : tarvex::Failure{answers.problem()};
    if (!read) {
      std::printf("no answer: %s\n", read.problem().c_str());
      return 1;
    }
    status.push_back(micros(Clock::now() - start));
  }
  report("minimal client round trip", minimal);
  report("tarvex-cli status round trip", status);
  std::sort(minimal.begin(), minimal.end());
  std::sort(status.begin(), status.end());
  std::printf("ratio of the medians: %.2f\n", status[status.size() / 2] / minimal[minimal.size() / 2]);
  const int stop = socket(AF_INET, SOCK_DGRAM, 0);
  sendto(stop, "stop", 4, 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
  responder.join();
  close(stop);
  close(server);
  return 0;
}
