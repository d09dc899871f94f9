#pragma once
// The lines a user types at a terminal: with line editing and a history of
// the session's lines (libedit on Linux; Windows' console edits the line and
// keeps its history itself), while text that arrives meanwhile is shown above
// the line being typed.

#include <functional>
#include <optional>
#include <string>

namespace tarvex::platform {

// Whether standard input and output are a terminal.
bool isInteractive();

class LineEditor {
 public:
  explicit LineEditor(std::string prompt);
  ~LineEditor();
  LineEditor(const LineEditor&) = delete;
  LineEditor& operator=(const LineEditor&) = delete;

  // The next line typed; nullopt at the input's end (Ctrl+D, Ctrl+Z on
  // Windows). Meanwhile, about four times a second, arrived() gives the
  // text to show above the line (empty: nothing).
  std::optional<std::string> next(const std::function<std::string()>& arrived);

 private:
  std::string prompt_;
};

}  // namespace tarvex::platform
