#pragma once
// The one way a step that can fail says how it went.
//
// A step that only acts returns a Problem: empty when it succeeded, else why
// it failed in words a message can carry ("No space left on device", "the
// file is read-only"). It is a string, so that a caller can word it into a
// message, and it must be looked at: a result dropped is a compile warning.
//
// A step that makes something returns a Result<T>: the value, or the Problem
// that kept it from being made (`return failure("why")`).

#include <optional>
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

// Why a Result holds no value; made by failure().
struct Failure {
  Problem problem;
};
inline Failure failure(std::string why) { return {Problem(std::move(why))}; }

template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT: a value is a result
  Result(Failure failed) : problem_(std::move(failed.problem)) {
    if (problem_.empty()) problem_ = "it failed";  // a failure always says something
  }

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  T& operator*() & { return *value_; }
  const T& operator*() const& { return *value_; }
  T&& operator*() && { return std::move(*value_); }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  // Empty when there is a value.
  const Problem& problem() const { return problem_; }
  // The value, or nullopt: for a caller that has no use for the reason.
  std::optional<T> value() && { return std::move(value_); }

 private:
  std::optional<T> value_;
  Problem problem_;
};

}  // namespace tarvex
