#include "platform/RotatingLog.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>

#ifdef _WIN32
#include <io.h>
#define TARVEX_OPEN ::_open
#define TARVEX_READ ::_read
#define TARVEX_WRITE ::_write
#define TARVEX_CLOSE ::_close
#define TARVEX_LSEEK ::_lseeki64
#else
#include <unistd.h>
#define TARVEX_OPEN ::open
#define TARVEX_READ ::read
#define TARVEX_WRITE ::write
#define TARVEX_CLOSE ::close
#define TARVEX_LSEEK ::lseek
#endif

#include "platform/Files.h"

namespace fs = std::filesystem;

namespace tarvex {

namespace {
#ifdef _WIN32
constexpr int kAppendFlags = _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY | _O_NOINHERIT;
constexpr int kFreshFlags = kAppendFlags | _O_EXCL;
constexpr int kReadFlags = _O_RDONLY | _O_BINARY | _O_NOINHERIT;
constexpr int kOpenMode = _S_IREAD | _S_IWRITE;
using Stat = struct _stat64;
int statOf(int fd, Stat& info) { return _fstat64(fd, &info); }
// Windows has no links in the way of a log here; a rename does not replace a file.
int linkStatus(const char* path, Stat& info) { return _stat64(path, &info); }
int replaceFile(const char* from, const char* to) {
  std::remove(to);
  return std::rename(from, to);
}
// Windows' C library has no file numbers: a file is known by its creation time.
std::uint64_t identityOf(const Stat& info) { return std::uint64_t(info.st_ctime); }
#else
constexpr int kAppendFlags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
constexpr int kFreshFlags = kAppendFlags | O_EXCL;
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
constexpr int kOpenMode = 0600;  // a game's output can show its players' addresses
using Stat = struct stat;
int statOf(int fd, Stat& info) { return fstat(fd, &info); }
int linkStatus(const char* path, Stat& info) { return lstat(path, &info); }
int replaceFile(const char* from, const char* to) { return ::rename(from, to); }
std::uint64_t identityOf(const Stat& info) { return std::uint64_t(info.st_ino); }
#endif

bool isRegular(const Stat& info) { return (info.st_mode & S_IFMT) == S_IFREG; }

// Whether a path names a regular file (false: nothing, or anything else).
bool regularAt(const char* path, bool& exists) {
  Stat info{};
  // What cannot be looked at is there for all this program knows: it is never "no log".
  const bool seen = linkStatus(path, info) == 0;
  exists = seen || errno != ENOENT;
  return seen && isRegular(info);
}

std::int64_t steadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

RotatingLog::RotatingLog(const fs::path& file, LogLimits limits, bool startFresh) : limits_(limits) {
  if (limits_.keep < 0) limits_.keep = 0;
  names_.push_back(fromPath(file));
  for (int i = 1; i <= limits_.keep; ++i) names_.push_back(names_.front() + "." + std::to_string(i));
  bool exists = false;
  if (!regularAt(names_.front().c_str(), exists) && exists) {
    problem_ = "the log " + names_.front() +
               " is not a regular file (a link, a device or a folder), and a log writes only into its own files";
    return;
  }
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  Stat info{};
  if (startFresh && exists && linkStatus(names_.front().c_str(), info) == 0 && info.st_size > 0 && !rotate()) {
    problem_ = "the log " + names_.front() + " cannot begin afresh (" + std::strerror(errno) +
               "): its folder must be writable, so that the log can be kept within its bound";
    return;
  }
  open(false);
  if (fd_ < 0 && problem_.ok())
    problem_ = "the log " + names_.front() + " cannot be written (" + std::strerror(errno) + ")";
}

RotatingLog::~RotatingLog() {
  if (fd_ >= 0) TARVEX_CLOSE(fd_);
}

void RotatingLog::useDescriptor(int fd) {
  if (fd_ >= 0 && fd_ != fd) TARVEX_CLOSE(fd_);
  fd_ = fd;
}

void RotatingLog::open(bool fresh) {
  // Fresh after a rotation: a file that appeared under the name meanwhile is not ours.
  fd_ = TARVEX_OPEN(names_.front().c_str(), fresh ? kFreshFlags : kAppendFlags, kOpenMode);
  Stat info{};
  if (fd_ >= 0 && (statOf(fd_, info) != 0 || !isRegular(info))) {
    TARVEX_CLOSE(fd_);
    fd_ = -1;
    problem_ = "the log " + names_.front() + " is not a regular file";
    return;
  }
#ifndef _WIN32
  if (fd_ >= 0) fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
#endif
  size_ = fd_ >= 0 ? std::uint64_t(info.st_size) : 0;
}

bool RotatingLog::rotate() {
  if (fd_ >= 0) TARVEX_CLOSE(fd_);
  fd_ = -1;
  bool exists = false;
  if (!regularAt(names_.front().c_str(), exists)) {
    errno = exists ? EEXIST : 0;
    return !exists;
  }
  if (limits_.keep == 0) return std::remove(names_.front().c_str()) == 0;
  // Only regular files move; what NAME becomes must be free of it.
  for (std::size_t i = names_.size() - 1; i > 1; --i)
    if (regularAt(names_[i - 1].c_str(), exists)) replaceFile(names_[i - 1].c_str(), names_[i].c_str());
  return replaceFile(names_[0].c_str(), names_[1].c_str()) == 0;
}

void RotatingLog::fail(int error) {
  rotationFailed_ = true;
  failureTaken_ = false;
  failureError_ = error;
  retryAt_ = steadyMilliseconds() + limits_.retryEvery.count();
}

std::string RotatingLog::takeRotationFailure() {
  if (failureTaken_) return {};
  failureTaken_ = true;
  return "the log " + names_.front() + " could not be rotated (" + std::strerror(failureError_) +
         "): the game's output is dropped until it can be, so that the log stays within its bound";
}

void RotatingLog::write(std::string_view bytes) {
  if (bytes.empty() || !problem_.ok()) return;
  if (rotationFailed_ || (size_ > 0 && size_ + bytes.size() > limits_.maxBytes)) {
    if (rotationFailed_ && steadyMilliseconds() < retryAt_) {
      dropped_ += bytes.size();
      return;
    }
    if (!rotate()) {
      fail(errno);
      dropped_ += bytes.size();
      return;
    }
    open(true);
    if (fd_ < 0) {
      fail(errno);
      dropped_ += bytes.size();
      return;
    }
    if (rotationFailed_) {
      rotationFailed_ = false;
      char notice[256];
      const int length = std::snprintf(notice, sizeof notice,
                                       "[%llu bytes of the game's output were dropped: the log could not be rotated "
                                       "(%s)]\n",
                                       static_cast<unsigned long long>(dropped_), std::strerror(failureError_));
      dropped_ = 0;
      if (length > 0) write(std::string_view(notice, std::size_t(std::min<int>(length, sizeof notice - 1))));
    }
  }
  if (fd_ < 0) return;
  for (std::size_t done = 0; done < bytes.size();) {
    const auto n = TARVEX_WRITE(fd_, bytes.data() + done, static_cast<unsigned>(bytes.size() - done));
    if (n <= 0) return;
    done += std::size_t(n);
    size_ += std::uint64_t(n);
  }
}

LogFollower::LogFollower(const fs::path& file) : file_(file) { openFile(); }

LogFollower::~LogFollower() {
  if (fd_ >= 0) TARVEX_CLOSE(fd_);
}

bool LogFollower::openFile() {
  const std::string name = fromPath(file_);
  bool exists = false;
  if (!regularAt(name.c_str(), exists)) {
    Stat info{};
    const int lookError = linkStatus(name.c_str(), info) == 0 ? 0 : errno;
    if (exists && lookError != 0)
      problem_ = "The log " + name + " cannot be read (" + std::strerror(lookError) + ").";
    else
      problem_ = exists ? "The log " + name + " is not a regular file: it is not read."
                        : "There is no log " + name + " yet: it begins when the game is started.";
    return false;
  }
  const int fd = TARVEX_OPEN(name.c_str(), kReadFlags);
  Stat info{};
  if (fd < 0 || statOf(fd, info) != 0 || !isRegular(info)) {
    problem_ = "The log " + name + " cannot be read" + (fd < 0 ? " (" + std::string(std::strerror(errno)) + ")." : ".");
    if (fd >= 0) TARVEX_CLOSE(fd);
    return false;
  }
#ifndef _WIN32
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
#endif
  if (fd_ >= 0) TARVEX_CLOSE(fd_);
  fd_ = fd;
  offset_ = 0;
  device_ = std::uint64_t(info.st_dev);
  inode_ = identityOf(info);
  problem_.clear();
  return true;
}

std::string LogFollower::next(std::size_t most) {
  std::string bytes(most, '\0');
  const auto readSome = [&]() -> std::size_t {
    if (fd_ < 0) return 0;
    const auto n = TARVEX_READ(fd_, bytes.data(), static_cast<unsigned>(most));
    if (n <= 0) return 0;
    offset_ += std::uint64_t(n);
    return std::size_t(n);
  };
  if (const std::size_t n = readSome(); n > 0) {
    bytes.resize(n);
    return bytes;
  }
  // At the end of the file: has the name become another file, or this one shorter?
  Stat now{};
  const std::string name = fromPath(file_);
  if (linkStatus(name.c_str(), now) != 0) return {};
  if (std::uint64_t(now.st_dev) != device_ || identityOf(now) != inode_) {
    // What the old file got before it was renamed is read first.
    if (const std::size_t n = readSome(); n > 0) {
      bytes.resize(n);
      return bytes;
    }
    if (!openFile()) return {};
  } else if (std::uint64_t(now.st_size) < offset_) {
    TARVEX_LSEEK(fd_, 0, SEEK_SET);  // emptied in place
    offset_ = 0;
  }
  bytes.resize(readSome());
  return bytes;
}

std::string fileTail(const fs::path& file) {
  // Past a couple of kilobytes nobody reads a report.
  constexpr std::streamoff kTail = 2048;
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in) return {};
  const std::streamoff size = in.tellg();
  const std::streamoff from = size > kTail ? size - kTail : 0;
  in.seekg(from);
  std::string bytes(std::size_t(size - from), '\0');
  in.read(bytes.data(), std::streamsize(bytes.size()));
  bytes.resize(std::size_t(in.gcount()));
  std::string_view text = bytes;
  // Start at a whole line.
  if (from > 0)
    if (const auto line = text.find('\n'); line != std::string_view::npos) text.remove_prefix(line + 1);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.remove_suffix(1);
  // A Windows program's lines end in CR LF: the line break is the same.
  std::string tail;
  tail.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] != '\r' || i + 1 >= text.size() || text[i + 1] != '\n') tail.push_back(text[i]);
  return tail;
}

}  // namespace tarvex
