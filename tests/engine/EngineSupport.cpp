#include "engine/EngineSupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "core/TestSupport.h"
#include "platform/Udp.h"

namespace fs = std::filesystem;

namespace tarvex::engine {

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void makeGameFolders(const fs::path& app, const fs::path& game) {
  fs::create_directories(game / "BaseEF");
  for (const auto& entry : fs::directory_iterator(kEngineData))
    if (const auto name = entry.path().filename().string(); name.ends_with(".pk3") || name.ends_with(".so"))
      fs::create_symlink(fs::canonical(entry.path()), game / "BaseEF" / name);
  test::writeFile(app / "path.ini", game.string() + "/\r\n");
  std::string catalogue = "Maps of the engine test\r\n[start]\r\n";  // OpenArena's maps in the program's format
  for (const auto& [name, flag] : {std::pair{"oa_dm1", "0"}, {"oa_dm2", "0"}, {"oa_ctf2", "1"}})
    catalogue += std::string("pak1-maps.pk3\r\n") + name + "\r\n" + name + "\r\nOpenArena\r\n" + flag + "\r\n\\" +
                 name + ".jpg\r\n\r\n";
  test::writeFile(app / "maps.ini", catalogue);
}

int tarvexCli(const fs::path& app, const std::string& arguments, const fs::path& out, const fs::path& err,
              const std::string& prefix) {
  const std::string command = prefix + (prefix.empty() ? "" : " ") + TARVEX_PROGRAM_DIR "/tarvex-cli --app-folder '" +
                              app.string() + "' " + arguments + " >'" + out.string() + "' 2>'" + err.string() + "'";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

pid_t spawnTarvexCli(const fs::path& app, std::vector<std::string> words, const fs::path& err) {
  words.insert(words.begin(), {"tarvex-cli", "--app-folder", app.string()});
  const pid_t child = fork();
  if (child == 0) {
    if (!freopen("/dev/null", "w", stdout) || !freopen(err.c_str(), "w", stderr)) _exit(126);
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    execv(TARVEX_PROGRAM_DIR "/tarvex-cli", argv.data());
    _exit(127);
  }
  return child;
}

std::optional<ServerStatus> waitForMap(int port, const std::string& map, int seconds) {
  for (int i = 0; i < seconds * 4; ++i, pause(250))
    if (auto status = askStatus("127.0.0.1", port, {500, 1, 0}); status && status->value("mapname") == map)
      return *status;
  return std::nullopt;
}

std::string rcon(int port, const std::string& password, const std::string& command) {
  pause(600);
  const auto answers = platform::udpExchange("127.0.0.1", port, rconRequest(password, command), {1000, 1, 150});
  if (!answers) return "(no answer: " + answers.problem() + ")";
  return parseRconAnswer(*answers).value_or("(not the remote console's answer)");
}

std::string standInClient(const fs::path& folder) {
  const char* engine = std::getenv("TARVEX_WINE_ENGINE");
  if (!engine || !*engine) return {};
  const fs::path code = fs::path(engine) / "src" / "ioq3" / "code" / "qcommon";
  if (!fs::exists(code / "huffman.c")) return {};
  const fs::path program = folder / "stand-in-client";
  const std::string build = "cc -O1 -w -I'" + code.string() + "' -o '" + program.string() + "' '" +
                            TARVEX_ENGINE_TESTS "/stand-in-client.c' '" + (code / "huffman.c").string() + "'";
  return std::system(build.c_str()) == 0 ? program.string() : std::string();
}

}  // namespace tarvex::engine
