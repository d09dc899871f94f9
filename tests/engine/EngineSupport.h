#pragma once
// What the engine tests share: a game folder of OpenArena's data for an id
// Tech 3 server, tarvex-cli run as a host runs it, and the server asked on
// loopback.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "query/ServerQuery.h"

namespace tarvex::engine {

// Where Debian's openarena-server keeps OpenArena's data.
inline const std::filesystem::path kEngineData = "/usr/lib/openarena-server/baseoa";

void pause(int ms);

// Links OpenArena's pk3 files into BaseEF of the game folder, and writes the
// program folder's path.ini naming it and a maps.ini of OpenArena's maps
// (oa_dm1, oa_dm2, oa_ctf2).
void makeGameFolders(const std::filesystem::path& app, const std::filesystem::path& game);

// tarvex-cli of the build with --app-folder and the arguments (shell words),
// its output in out and err; its exit status. prefix goes before it (a
// command that runs it).
int tarvexCli(const std::filesystem::path& app, const std::string& arguments, const std::filesystem::path& out,
              const std::filesystem::path& err, const std::string& prefix = {});

// Starts tarvex-cli with --app-folder and these words, its standard output
// to nowhere and its error output into the file; its process.
pid_t spawnTarvexCli(const std::filesystem::path& app, std::vector<std::string> words,
                     const std::filesystem::path& err);

// The server's status once it runs the map (asked four times a second, for
// at most the seconds); nullopt when it never does.
std::optional<ServerStatus> waitForMap(int port, const std::string& map, int seconds = 15);

// A stand-in for a human player (tests/engine/stand-in-client.c), built into
// the folder against the test engine's own Huffman coder: its path, empty
// where that source is not here (TARVEX_WINE_ENGINE names the engine's cache).
std::string standInClient(const std::filesystem::path& folder);

// One remote console command, after the pause the server wants between two; its answer.
std::string rcon(int port, const std::string& password, const std::string& command);

}  // namespace tarvex::engine
