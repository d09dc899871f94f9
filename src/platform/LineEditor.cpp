#include "platform/LineEditor.h"

#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#else
#include <poll.h>
#include <unistd.h>
#endif
#ifdef TARVEX_HAVE_LIBEDIT
#include <editline/readline.h>
#endif

namespace tarvex::platform {

#ifdef _WIN32
bool isInteractive() { return _isatty(_fileno(stdin)) && _isatty(_fileno(stdout)); }
#else
bool isInteractive() { return isatty(STDIN_FILENO) && isatty(STDOUT_FILENO); }
#endif

LineEditor::LineEditor(std::string prompt) : prompt_(std::move(prompt)) {}

#ifdef TARVEX_HAVE_LIBEDIT
namespace {
// libedit's callbacks are plain functions: the line they hand over waits here.
struct Typed {
  bool done = false;
  std::optional<std::string> line;
} typed;

void takeLine(char* line) {
  typed.done = true;
  typed.line = line ? std::optional<std::string>(line) : std::nullopt;
  if (line && *line) add_history(line);
  std::free(line);
}
}  // namespace

LineEditor::~LineEditor() = default;

std::optional<std::string> LineEditor::next(const std::function<std::string()>& arrived) {
  typed = {};
  rl_callback_handler_install(prompt_.c_str(), takeLine);
  while (!typed.done) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    const int ready = poll(&input, 1, 250);
    if (ready > 0) {
      rl_callback_read_char();
      continue;
    }
    if (const std::string text = arrived(); !text.empty()) {
      // Above the line being typed, which is then drawn again as it was.
      std::fputs("\r\033[K", stdout);
      std::fwrite(text.data(), 1, text.size(), stdout);
      std::fflush(stdout);
      rl_forced_update_display();
    }
  }
  rl_callback_handler_remove();
  if (!typed.line) std::fputs("\n", stdout);
  return typed.line;
}
#else
LineEditor::~LineEditor() = default;

// The console edits the line and keeps its history itself; what arrived is shown before each prompt.
std::optional<std::string> LineEditor::next(const std::function<std::string()>& arrived) {
  std::cout << arrived() << prompt_ << std::flush;
  std::string line;
  if (!std::getline(std::cin, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}
#endif

}  // namespace tarvex::platform
