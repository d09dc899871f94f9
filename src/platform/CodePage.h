#pragma once
// The game's code page and the form of paths.

#include <string>
#include <string_view>

namespace tarvex::platform {

// The game's code page, in which every text that reaches the game is bytes:
// on Windows the system's ANSI code page, elsewhere Windows-1252 (the game's
// under Wine). Every byte becomes one character and comes back as itself.
std::u16string fromGameBytes(std::string_view bytes);

// A character the code page lacks becomes '?'.
std::string toGameBytes(std::u16string_view text);

// True when the game's code page holds the character.
bool isGameCharacter(char16_t character);

// Paths are wide on Windows (path::wstring() is their own form), bytes in
// the locale's encoding elsewhere.
inline constexpr bool kWidePaths =
#ifdef _WIN32
    true;
#else
    false;
#endif

}  // namespace tarvex::platform
