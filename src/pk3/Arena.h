#pragma once
// Arena definitions (scripts/*.arena, scripts/arenas.txt): blocks in braces
// of key "value" pairs, with // and /* */ comments, as the game reads them.

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// One block: keys in lower case, values as written.
using ArenaInfo = std::map<std::string, std::string>;

// Every block of the text; a broken or unfinished block ends the reading.
std::vector<ArenaInfo> parseArenas(std::string_view text);

// True when the arena's type lists the word "ctf" (types are blank-separated).
bool arenaOffersCtf(const ArenaInfo& arena);

}  // namespace tarvex
