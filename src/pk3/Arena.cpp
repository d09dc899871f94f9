#include "pk3/Arena.h"

#include <optional>

#include "util/Text.h"

namespace tarvex {

namespace {
// The game's tokenizer: blanks and comments between tokens; a token is a
// quoted string, a brace, or a run of non-blank characters.
class Tokens {
 public:
  explicit Tokens(std::string_view text) : rest_(text) {}

  std::optional<std::string> next() {
    skipSpaceAndComments();
    if (rest_.empty()) return std::nullopt;
    if (rest_.front() == '"') {
      const auto end = rest_.find('"', 1);
      std::string token(rest_.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1));
      rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
      return token;
    }
    if (rest_.front() == '{' || rest_.front() == '}') {
      std::string token(1, rest_.front());
      rest_.remove_prefix(1);
      return token;
    }
    std::size_t end = 0;
    while (end < rest_.size() && static_cast<unsigned char>(rest_[end]) > ' ' && rest_[end] != '{' &&
           rest_[end] != '}' && rest_[end] != '"')
      ++end;
    std::string token(rest_.substr(0, end));
    rest_.remove_prefix(end);
    return token;
  }

 private:
  void skipSpaceAndComments() {
    for (;;) {
      while (!rest_.empty() && static_cast<unsigned char>(rest_.front()) <= ' ') rest_.remove_prefix(1);
      if (rest_.starts_with("//")) {
        const auto end = rest_.find('\n');
        rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end);
      } else if (rest_.starts_with("/*")) {
        const auto end = rest_.find("*/", 2);
        rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 2);
      } else {
        return;
      }
    }
  }
  std::string_view rest_;
};
}  // namespace

std::vector<ArenaInfo> parseArenas(std::string_view text) {
  std::vector<ArenaInfo> arenas;
  Tokens tokens(text);
  while (auto token = tokens.next()) {
    if (*token != "{") return arenas;
    ArenaInfo arena;
    for (;;) {
      auto key = tokens.next();
      if (!key) return arenas;  // unfinished block
      if (*key == "}") break;
      auto value = tokens.next();
      if (!value || *value == "}" || *value == "{") return arenas;
      arena[lowerAscii(*key)] = *value;
    }
    arenas.push_back(std::move(arena));
  }
  return arenas;
}

bool arenaOffersCtf(const ArenaInfo& arena) {
  const auto type = arena.find("type");
  if (type == arena.end()) return false;
  const std::string types = lowerAscii(type->second);
  std::size_t at = 0;
  while (at < types.size()) {
    while (at < types.size() && static_cast<unsigned char>(types[at]) <= ' ') ++at;
    std::size_t end = at;
    while (end < types.size() && static_cast<unsigned char>(types[end]) > ' ') ++end;
    if (types.compare(at, end - at, "ctf") == 0 && end > at) return true;
    at = end;
  }
  return false;
}

}  // namespace tarvex
