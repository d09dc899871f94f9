#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "cli/Cli.h"
#include "core/TestSupport.h"
#include "query/ServerQuery.h"
#include "saves/SaveFile.h"
#include "server/Instance.h"
#include "server/Verify.h"

using namespace tarvex;

namespace {
const std::string kAnswer = std::string(kPacketPrefix) +
                            "statusResponse\n\\sv_hostname\\^1Red^7 Base\\mapname\\ctf_voy1\\g_gametype\\4\\"
                            "fraglimit\\0\\timelimit\\20\\capturelimit\\8\\sv_maxclients\\12\n"
                            "3 48 \"^2Seven\"\n-1 999 \"Neelix \\\"cook\\\"\"\n";

// A UDP socket bound to a free port of 127.0.0.1; the port in `port`.
int loopbackSocket(int& port) {
  const int socket = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return socket;
}

// A stand-in server on loopback that answers one request with the given datagram.
struct FakeServer {
  int port = 0;
  int socket = loopbackSocket(port);
  std::string received;  // the request it answered
  std::thread thread;
  // quits: it answers nothing and goes away, as a server told to quit does.
  explicit FakeServer(std::string answer, bool quits = false) {
    thread = std::thread([this, answer, quits] {
      char buffer[2048];
      sockaddr_in from{};
      socklen_t fromLength = sizeof from;
      const auto got = recvfrom(socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
      if (got > 0) {
        received.assign(buffer, std::size_t(got));
        if (quits) {
          close(socket);
          socket = -1;
          return;
        }
        sendto(socket, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
      }
    });
  }
  ~FakeServer() {
    if (socket >= 0) shutdown(socket, SHUT_RDWR);
    thread.join();
    if (socket >= 0) close(socket);
  }
};

struct StatusRun {
  int status;
  std::string out, err;
};
StatusRun status(const std::vector<std::string>& args, const std::string& command = "status") {
  test::TempFolder app;
  std::ostringstream out, err;
  ConsoleServices services(err);
  std::vector<std::string> all{"--app-folder", app.path().string(), command};
  all.insert(all.end(), args.begin(), args.end());
  const int code = runCli(all, app.path().string(), out, err, services);
  return {code, out.str(), err.str()};
}
// A stand-in server on loopback that answers every request by a rule, until
// it goes: getstatus with its status, rcon with "print". It notes each request
// and the address it came from, and may drop what comes from one address
// (a filter that drops replies to the watchdog's own address).
struct LoopbackServer {
  int port = 0;
  int socket = loopbackSocket(port);
  std::string status;  // its status's info string
  std::uint32_t dropFrom = 0;
  std::vector<std::pair<std::string, std::uint32_t>> requests;
  mutable std::mutex mutex;  // requests, noted by the server's thread
  std::thread thread;
  LoopbackServer(std::string info, std::uint32_t drop = 0) : status(std::move(info)), dropFrom(drop) {
    thread = std::thread([this] {
      char buffer[2048];
      for (;;) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const auto got = recvfrom(socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got <= 0) return;
        const std::string request(buffer, std::size_t(got));
        {
          const std::lock_guard lock(mutex);
          requests.emplace_back(request, ntohl(from.sin_addr.s_addr));
        }
        if (ntohl(from.sin_addr.s_addr) == dropFrom) continue;
        const std::string answer = test::contains(request, "getstatus")
                                       ? std::string(kPacketPrefix) + "statusResponse\n" + status + "\n"
                                       : std::string(kPacketPrefix) + "print\nheard\n";
        sendto(socket, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
      }
    });
  }
  ~LoopbackServer() {
    shutdown(socket, SHUT_RDWR);
    thread.join();
    close(socket);
  }
  bool heard(const std::string& part) const {
    const std::lock_guard lock(mutex);
    return std::any_of(requests.begin(), requests.end(), [&](const auto& r) { return test::contains(r.first, part); });
  }
};
}  // namespace

// The watchdog asks from an address of its own; where answers to it are
// dropped, it asks from the ordinary address before the silence counts.
// A host name's every address is tried, IPv4 first, as the engine binds.
TEST(ServerStatus, TheWatchdogsQuestionGetsBackAndEveryAddressOfANameIsTried) {
  LoopbackServer server("\\mapname\\oa_dm1", platform::kWatchdogSource);
  const auto status = askStatus("127.0.0.1", server.port, {300, 1, 0, platform::kWatchdogSource});
  ASSERT_TRUE(status) << status.problem();
  EXPECT_EQ(status->value("mapname"), "oa_dm1");
  {
    const std::lock_guard lock(server.mutex);
    ASSERT_EQ(server.requests.size(), 2u);
    EXPECT_EQ(server.requests[0].second, platform::kWatchdogSource);
    EXPECT_EQ(server.requests[1].second, 0x7F000001u);
  }
  const auto local = askStatus("localhost", server.port, {300, 1, 0, 0});
  EXPECT_TRUE(local) << local.problem();
  // A port is in use where a server answers on the address asked, and on every address for 0.0.0.0.
  EXPECT_TRUE(test::contains(portProblem("0.0.0.0", server.port), "a game server answers there"));
  EXPECT_EQ(portProblem("127.0.0.2", server.port), "");
}

// rcon of a slot sends its console password only to the server that carries
// the identity of the start its record names; to an address given it goes as asked.
TEST(ServerStatus, TheConsolePasswordGoesOnlyToTheSlotsOwnServer) {
  test::TempFolder app;
  Configuration config;
  config.settings.setText("Console_Password", "secret");
  test::writeFile(slotPath(app.path(), 3), writeSave(slotTitle(3), "rcon", config));
  const auto command = [&](const std::string& name, std::vector<std::string> args, const std::string& typed = {}) {
    std::ostringstream out, err;
    std::istringstream in(typed);
    ConsoleServices services(err);
    std::vector<std::string> all{"--app-folder", app.path().string(), name, "--slot", "3"};
    all.insert(all.end(), args.begin(), args.end());
    const int code = runCli(all, app.path().string(), out, err, services, &in);
    return StatusRun{code, out.str(), err.str()};
  };
  const auto rcon = [&](std::vector<std::string> args) { return command("rcon", std::move(args)); };
  LoopbackServer other("\\sv_hostname\\Another\\tarvex_id\\not-ours");
  StatusRun r = rcon({"status"});  // nothing recorded
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(test::contains(r.err, "slot3 does not run")) << r.err;
  // A record of this process (ours), its server on the other's port: the password is kept.
  test::writeFile(instanceLockFile(app.path(), "slot3"),
                  std::to_string(getpid()) + " " + std::to_string(*platform::processStartTime(getpid())) + "\n");
  test::writeFile(instanceStateFile(app.path(), "slot3"),
                  instanceStateText({"run", getpid(), 1700000000, 0, "127.0.0.1", other.port, "", "ours"}));
  r = rcon({"status"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(test::contains(r.err, "is not the one tarvex-cli started for slot3")) << r.err;
  // Nor do verify and the console send it there (the console asks before each line, and goes on).
  r = command("verify", {});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(test::contains(r.err, "is not the one tarvex-cli started for slot3")) << r.err;
  r = command("console", {}, "status\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(other.heard("secret"));
  // Its own server takes it.
  LoopbackServer own("\\sv_hostname\\Ours\\tarvex_id\\ours");
  test::writeFile(instanceStateFile(app.path(), "slot3"),
                  instanceStateText({"run", getpid(), 1700000000, 0, "127.0.0.1", own.port, "", "ours"}));
  r = rcon({"status"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "heard\n");
  EXPECT_TRUE(own.heard("rcon secret status"));
  r = command("console", {}, "  echo one \n\nexit\necho two\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(test::contains(r.out, "The console of slot3 at 127.0.0.1:" + std::to_string(own.port))) << r.out;
  EXPECT_TRUE(test::contains(r.out, "heard\n")) << r.out;
  EXPECT_TRUE(own.heard("rcon secret echo one"));
  EXPECT_FALSE(own.heard("echo two"));
  // An address the host names is asked as named.
  r = rcon({"127.0.0.1:" + std::to_string(other.port), "status"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(other.heard("rcon secret status"));
}

TEST(ServerStatus, AnswerIsReadWithPlayersAndShownWithoutColourCodes) {
  const auto status = parseStatusResponse(kAnswer);
  ASSERT_TRUE(status) << status.problem();
  EXPECT_EQ(status->value("sv_hostname"), "^1Red^7 Base");
  ASSERT_EQ(status->players.size(), 2u);
  EXPECT_EQ(status->players[1].score, -1);
  const std::string table = statusTable(*status, "127.0.0.1:27960");
  EXPECT_TRUE(test::contains(table, "Server:        Red Base\n"));
  EXPECT_TRUE(test::contains(table, "Game type:     Capture The Flag\n"));
  EXPECT_TRUE(test::contains(table, "Players:       2 of 12\n"));
  EXPECT_TRUE(test::contains(table, "\n Score  Ping  Name\n     3    48  Seven\n")) << table;
  // A server's texts never steer the host's terminal.
  ServerStatus hostile = *status;
  hostile.info.emplace(hostile.info.begin(), "sv_hostname", "\x1b]0;owned\x07");
  hostile.players[0].name = "\x1b[2Jgone";
  const std::string shown = statusTable(hostile, "127.0.0.1:27960");
  EXPECT_NE(shown.find("Server:        \\x1B]0;owned\\x07\n"), std::string::npos) << shown;
  EXPECT_TRUE(test::contains(shown, "\\x1B[2Jgone")) << shown;
  const std::string json = statusJson(*status, "127.0.0.1:27960");
  EXPECT_TRUE(test::contains(json, "\"name\": \"Red Base\""));
  EXPECT_TRUE(test::contains(json, "\"name\": \"Neelix \\\\\\\"cook\\\\\\\"\"")) << json;
}

TEST(ServerStatus, BrokenTruncatedAndForeignAnswersGiveAReason) {
  for (const std::string& packet :
       {std::string(), std::string("\xff\xff\xff\xffprint\nhello"), kAnswer.substr(0, 20),
        std::string(kPacketPrefix) + "statusResponse\n\\only_a_key", std::string(kPacketPrefix) + "statusResponse\n",
        std::string(kPacketPrefix) + "statusResponse\n\\a\\b\n3 x \"bad ping\"",
        std::string(kPacketPrefix) + "statusResponse\n\\a\\b\nx 4 \"bad score\"",
        std::string(kPacketPrefix) + "statusResponse\n\\a\\b\n3 4 \"",
        std::string(kPacketPrefix) + "statusResponse\n\\a\\b\n3 4 name\"",
        std::string(kPacketPrefix) + "statusResponse\n\\a\\b\n3 4 \"name",
        std::string(kPacketPrefix) + "statusResponse\n\\a\\b\n3 4 no quotes"}) {
    const auto status = parseStatusResponse(packet);
    EXPECT_FALSE(status) << packet;
    EXPECT_TRUE(status.problem().starts_with("the answer")) << status.problem();
  }
  EXPECT_TRUE(parseStatusResponse(std::string(kPacketPrefix) + "statusResponse\n\\a\\\n"));  // empty value
}

// status asks the address given and says when nothing answers; rcon sends
// one command with the configuration's console password and shows the answer
// without colour codes or control characters; each refusal says why.
TEST(ServerStatus, AddressesWithAndWithoutPortsIPv6Included) {
  using Address = std::optional<std::pair<std::string, int>>;
  const std::pair<const char*, Address> cases[] = {{"203.0.113.7:27961", Address({"203.0.113.7", 27961})},
                                                   {"host", Address({"host", 27960})},
                                                   {":27961", Address({"127.0.0.1", 27961})},
                                                   {"[::1]:27961", Address({"::1", 27961})},
                                                   {"[::1]", Address({"::1", 27960})},
                                                   {"::1", Address({"::1", 27960})},
                                                   {"fe80::1:2", Address({"fe80::1:2", 27960})},
                                                   {"[::1]x", std::nullopt},
                                                   {"[::1", std::nullopt},
                                                   {"host:0", std::nullopt},
                                                   {"host:1", Address({"host", 1})},
                                                   {"host:65535", Address({"host", 65535})},
                                                   {"host:65536", std::nullopt}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(parseServerAddress(text, "127.0.0.1", 27960), expected) << text;
  EXPECT_EQ(serverAddressText("::1", 27960), "[::1]:27960");
  EXPECT_EQ(serverAddressText("127.0.0.1", 27960), "127.0.0.1:27960");
}

TEST(ServerStatus, StatusAndRconAskTheAddressGivenAndSayWhatWentWrong) {
  test::TempFolder folder;
  Configuration config;
  config.settings.setText("Console_Password", "secret");
  const std::string save = (folder / "host.sav").string();
  test::writeFile(save, writeSave("Host", "rcon", config));
  const auto ask = [&](const std::string& answer, std::vector<std::string> args, const std::string& command,
                       std::string* received = nullptr) {
    FakeServer server(answer);
    for (auto& arg : args)
      if (arg.ends_with(":")) arg += std::to_string(server.port);  // the stand-in's port
    const StatusRun r = status(args, command);
    if (received) *received = server.received;
    return r;
  };
  std::string received;
  StatusRun r = ask(kAnswer, {":", "--json"}, "status");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(test::contains(r.out, "\"map\": \"ctf_voy1\""));
  r = ask(std::string(70000 / 2, 'x'), {"localhost:"}, "status");  // foreign and large
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(test::contains(r.err, "could not be read"));
  r = ask(std::string(kPacketPrefix) + "print\n^1Red ^7text\x1b[2J\n",
          {"--save", save, ":", "say", "Restart", "at", "10;"}, "rcon", &received);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Red text\\x1B[2J\n");
  EXPECT_EQ(received, std::string(kPacketPrefix) + "rcon secret say Restart at 10;");
  EXPECT_EQ(
      ask(std::string(kPacketPrefix) + "print\n^1Red\n", {"--save", save, "--raw", "127.0.0.1:", "g_gravity"}, "rcon")
          .out,
      "^1Red\n");
  {
    // A server told to quit answers nothing: gone from its port, that is success.
    FakeServer quitting({}, true);
    r = status({"--save", save, "127.0.0.1:" + std::to_string(quitting.port), "quit"}, "rcon");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "The server at 127.0.0.1:" + std::to_string(quitting.port) + " ended.\n");
  }
  r = ask(std::string(kPacketPrefix) + "print\nBad rconpassword.\n", {"--save", save, ":", "status"}, "rcon");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(test::contains(r.err, "refused the console password")) << r.err;
  int port = 0;
  {
    FakeServer closed("");  // a port nobody listens on any more
    port = closed.port;
  }
  const StatusRun silent = status({"127.0.0.1:" + std::to_string(port)});
  EXPECT_EQ(silent.status, 1);
  EXPECT_TRUE(test::contains(silent.err, "127.0.0.1:" + std::to_string(port)));
  const StatusRun nothing = status({"status"}, "rcon");  // no configuration, no password
  EXPECT_EQ(nothing.status, 1);
  EXPECT_TRUE(test::contains(nothing.err, "Console Password:"));
  const StatusRun unknown = status({"no.such.host.invalid:27114"});  // said to be unknown, at once
  EXPECT_EQ(unknown.status, 1);
  EXPECT_TRUE(test::contains(unknown.err, "is not known")) << unknown.err;
  for (const auto& [args, command] : {std::pair{std::vector<std::string>{":70000"}, "status"},
                                      {{"a", "b"}, "status"},
                                      {{"--save", save, "say a\nquit"}, "rcon"},
                                      {{"--save", save}, "rcon"}})
    EXPECT_EQ(status(args, command).status, 2) << command;
}

// verify reads the engine's "cvarlist" once; where the list came incomplete
// (a lost datagram) it asks the missing variables by name. A variable only a
// script made ("?") and one the engine does not answer for are unknown.
TEST(Verify, ReadsTheEnginesListAndAsksByNameWhereItCameIncomplete) {
  ServerSettings settings;
  test::set(settings, {"Server_Name=Host; \"quoted\"", "MaxPlayers=12"});
  std::vector<std::string> asked;
  bool gravityAnswers = false;
  std::string list =
      "S     A   sv_hostname \"Host; \"quoted\"\"\n"
      "S    AL   sv_maxclients \"8\"\n"
      "     A  ? g_holoIntro \"0\"\n";
  const auto ask = [&](const std::string& command) -> Result<std::string> {
    asked.push_back(command);
    if (command == "cvarlist") return list;
    if (command == "g_speed") return std::string("\"g_speed\" is:\"250^7\" default:\"320^7\"\n");
    if (command == "g_gravity" && !gravityAnswers) return failure("no answer");
    if (command == "g_gravity") return std::string("\"g_gravity\" is:\"800^7\"\n");
    return std::string("Unknown command \"" + command + "^7\"\n");
  };
  list += "3 total cvars\n";  // complete: nothing more is asked
  auto result = verifySettings(settings, ask);
  ASSERT_TRUE(result.ok()) << result.problem();
  EXPECT_EQ(asked, std::vector<std::string>{"cvarlist"});
  EXPECT_EQ(result->compared, 2);
  ASSERT_EQ(result->differences.size(), 1u);
  EXPECT_EQ(result->differences[0].variable, "sv_maxclients");
  EXPECT_EQ(result->differences[0].slotValue, "12");
  EXPECT_EQ(result->differences[0].serverValue, "8");
  EXPECT_EQ(std::ranges::count_if(result->unknown, [](const auto& s) { return s.variable == "g_holoIntro"; }), 1);
  EXPECT_FALSE(std::ranges::any_of(result->unknown, [](const auto& s) { return s.variable == "sv_hostname"; }));

  list.replace(list.find("3 total"), 1, "9");  // more than listed: the rest is asked by name
  asked.clear();
  result = verifySettings(settings, ask);
  ASSERT_FALSE(result.ok());  // g_gravity got no answer: nothing is claimed
  EXPECT_EQ(result.problem(), "no answer");
  EXPECT_EQ(std::ranges::count(asked, "g_gravity"), 1);
  EXPECT_EQ(std::ranges::count(asked, "sv_hostname"), 0);
  gravityAnswers = true;
  result = verifySettings(settings, ask);
  ASSERT_TRUE(result.ok()) << result.problem();
  EXPECT_TRUE(std::ranges::any_of(result->differences, [](const auto& s) { return s.serverValue == "250"; }));
  EXPECT_TRUE(std::ranges::any_of(result->unknown, [](const auto& s) { return s.variable == "g_motd"; }));
  EXPECT_FALSE(std::ranges::any_of(result->unknown, [](const auto& s) { return s.variable == "g_gravity"; }));

  EXPECT_EQ(parseVariableAnswer("\"G_Speed\" is:\"250^7\" default:\"320^7\"", "g_speed"), "250");
  EXPECT_EQ(parseVariableAnswer("\"sv_hostname\" is:\"a ^7\"b^7\"\n", "sv_hostname"), "a ");  // the first end
  EXPECT_EQ(parseVariableAnswer("\"g_speed\" is:\"250\"", "g_speed"), "250");  // an engine without the colour
  EXPECT_EQ(parseVariableAnswer("\"g_gravity\" is:\"800^7\"", "g_speed"), std::nullopt);
  EXPECT_EQ(parseVariableAnswer("Unknown command \"g_speed^7\"", "g_speed"), std::nullopt);
  EXPECT_FALSE(parseVariableList("a \"1\"\nb \"2\"\n3 total cvars\n").complete);
  EXPECT_TRUE(parseVariableList("a \"1\"\n  L b \"\"\n2 total cvars\n").complete);
  EXPECT_EQ(parseVariableList("  L b \"\"\n").values.at("b"), "");
}

// Who is on, from the console's "status" table, in the older layout (with
// lastmsg and qport) and the newer: a bot's address is "bot", a client that
// left is a zombie; a name may hold blanks, or be "bot" itself.
TEST(ServerStatus, HumanPlayersAreCountedWithoutBotsOrClientsThatLeft) {
  const std::string older =
      "map: oa_dm1\n"
      "num score ping name            lastmsg address               qport rate\n"
      "--- ----- ---- --------------- ------- --------------------- ----- -----\n"
      "  0     0    0 Angelyss^7            50 bot                    1234 16384\n"
      "  1     3   48 bot^7                  0 192.0.2.7:27960        4567 25000\n"
      "  2     0 CNCT Seven of Nine^7     100 127.0.0.1:27961        9 25000\n"
      "  3     0 ZMBI Gone^7              100 127.0.0.1:27962        10 25000\n";
  EXPECT_EQ(humansInConsoleStatus(older), 2);
  const std::string newer =
      "map: oa_dm1\n"
      "cl score ping name            address                                 rate \n"
      "-- ----- ---- --------------- --------------------------------------- -----\n"
      " 0     0    0 Grism           ^7bot                                   16384\n"
      " 1     0   33 the bot^7       [::1]:27960                             25000\n";
  EXPECT_EQ(humansInConsoleStatus(newer), 1);
  EXPECT_EQ(humansInConsoleStatus("map: oa_dm1\nnum score ping name lastmsg address qport rate\n---\n"), 0);
  EXPECT_EQ(humansInConsoleStatus("Bad rconpassword.\n"), std::nullopt);
  ServerStatus status;
  status.players = {{0, 0, "Bot"}, {0, 999, "Connecting"}, {0, 40, "Player"}};
  EXPECT_EQ(humansInStatus(status), 2);
}
