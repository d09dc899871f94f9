#pragma once
// A log file that never grows past its bound: when a write would take it past
// the size limit, NAME is renamed to NAME.1 (NAME.1 to NAME.2, ...; the
// oldest kept is NAME.<keep>) and a fresh NAME begins. It only ever writes
// and renames regular files: a link, a device or a folder under its name is
// refused, never followed or replaced. When a rotation fails (a folder that
// cannot be written), nothing more goes into the full file: the output is
// dropped, counted, and a later rotation that succeeds says so at the start
// of the fresh file. Everything a write needs is prepared when the log is
// made, so that writing allocates nothing and may run in a process just
// forked from a threaded one.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "util/Problem.h"

namespace tarvex {

struct LogLimits {
  std::uint64_t maxBytes = 10 * 1024 * 1024;
  int keep = 5;                                 // earlier files kept beside the current one
  std::chrono::milliseconds retryEvery{10000};  // a failed rotation is tried again this often
};

class RotatingLog {
 public:
  // Opens NAME for appending (its folder is made when missing); with
  // startFresh, an existing non-empty NAME is first moved to NAME.1.
  RotatingLog(const std::filesystem::path& file, LogLimits limits, bool startFresh);
  ~RotatingLog();
  RotatingLog(const RotatingLog&) = delete;
  RotatingLog& operator=(const RotatingLog&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  // Why the log cannot be written at all ("... is not a regular file",
  // "cannot be made (Permission denied)"); empty when it can.
  const Problem& problem() const { return problem_; }
  const std::string& path() const { return names_.front(); }
  // Appends the bytes; a failed write (a full disk) drops them, never blocks.
  void write(std::string_view bytes);
  // The reason of a rotation that failed since the last call, once; empty
  // when none did.
  std::string takeRotationFailure();
  // The open file's descriptor, and taking another descriptor of the same
  // file in its place (a forked writer moves it out of the way).
  int descriptor() const { return fd_; }
  void useDescriptor(int fd);

 private:
  bool rotate();
  void open(bool fresh);
  void fail(int error);
  std::vector<std::string> names_;  // NAME, NAME.1, ... NAME.<keep>
  LogLimits limits_;
  std::uint64_t size_ = 0;
  int fd_ = -1;
  Problem problem_;
  // While a rotation has failed: its cause, the bytes dropped since, when to try again.
  bool rotationFailed_ = false;
  bool failureTaken_ = true;
  int failureError_ = 0;
  std::uint64_t dropped_ = 0;
  std::int64_t retryAt_ = 0;  // milliseconds of a steady clock
};

// Reads a log from its start and goes on with what is added, across its
// rotations: when NAME becomes another file (by identity, not by size), the
// rest of the old one is read first, so that no line is lost. Only a regular
// file is read, never through a link.
class LogFollower {
 public:
  explicit LogFollower(const std::filesystem::path& file);
  ~LogFollower();
  LogFollower(const LogFollower&) = delete;
  LogFollower& operator=(const LogFollower&) = delete;
  // Why the log cannot be read ("there is no log ... yet", "... is not a
  // regular file"); empty when it is open.
  const Problem& problem() const { return problem_; }
  // At most `most` further bytes; empty when there are none yet.
  std::string next(std::size_t most);

 private:
  bool openFile();
  std::filesystem::path file_;
  Problem problem_;
  int fd_ = -1;
  std::uint64_t offset_ = 0;
  std::uint64_t device_ = 0, inode_ = 0;
};

// The last lines of a file, at most about two kilobytes of it; empty when it
// cannot be read.
std::string fileTail(const std::filesystem::path& file);

}  // namespace tarvex
