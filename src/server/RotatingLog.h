#pragma once
// A log file that never grows past its bound: when a write would take it past
// the size limit, NAME is renamed to NAME.1 (NAME.1 to NAME.2, ...; the
// oldest kept is NAME.<keep>) and a fresh NAME begins. Everything a write
// needs is prepared when the log is made, so that writing allocates nothing
// and may run in a process just forked from a threaded one.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

struct LogLimits {
  std::uint64_t maxBytes = 10 * 1024 * 1024;
  int keep = 5;  // earlier files kept beside the current one
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
  const std::string& path() const { return names_.front(); }
  // Appends the bytes; a failed write (a full disk) drops them, never blocks.
  void write(std::string_view bytes);
  // The open file's descriptor, and taking another descriptor of the same
  // file in its place (a forked writer moves it out of the way).
  int descriptor() const { return fd_; }
  void useDescriptor(int fd);

 private:
  void rotate();
  void open();
  std::vector<std::string> names_;  // NAME, NAME.1, ... NAME.<keep>
  LogLimits limits_;
  std::uint64_t size_ = 0;
  int fd_ = -1;
};

// The last lines of a file, at most about two kilobytes of it; empty when it
// cannot be read.
std::string fileTail(const std::filesystem::path& file);

}  // namespace tarvex
