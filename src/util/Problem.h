#pragma once
// The one way a step that can fail says how it went: a Problem, empty when
// the step succeeded, else why it failed in words a message can carry ("No
// space left on device", "the file is read-only"). It is a string, so that a
// caller can word it into a message, and it must be looked at: a result
// dropped is a compile warning.

#include <string>
#include <utility>

namespace tarvex {

class [[nodiscard]] Problem : public std::string {
 public:
  Problem() = default;
  Problem(std::string text) : std::string(std::move(text)) {}  // NOLINT: a reason is a problem
  Problem(const char* text) : std::string(text) {}             // NOLINT
  bool ok() const { return empty(); }
};

}  // namespace tarvex
