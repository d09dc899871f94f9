#include "server/RotatingLog.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>

#ifdef _WIN32
#include <io.h>
#define TARVEX_OPEN ::_open
#define TARVEX_WRITE ::_write
#define TARVEX_CLOSE ::_close
#else
#include <unistd.h>
#define TARVEX_OPEN ::open
#define TARVEX_WRITE ::write
#define TARVEX_CLOSE ::close
#endif

#include "util/Files.h"

namespace tarvex {

namespace {
#ifdef _WIN32
constexpr int kOpenFlags = _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY | _O_NOINHERIT;
constexpr int kOpenMode = _S_IREAD | _S_IWRITE;
// Windows' rename does not replace a file.
void replaceFile(const char* from, const char* to) {
  std::remove(to);
  std::rename(from, to);
}
#else
constexpr int kOpenFlags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC;
constexpr int kOpenMode = 0600;  // a game's output can show its players' addresses
void replaceFile(const char* from, const char* to) { ::rename(from, to); }
#endif
}  // namespace

RotatingLog::RotatingLog(const std::filesystem::path& file, LogLimits limits, bool startFresh) : limits_(limits) {
  if (limits_.keep < 0) limits_.keep = 0;
  names_.push_back(fromPath(file));
  for (int i = 1; i <= limits_.keep; ++i) names_.push_back(names_.front() + "." + std::to_string(i));
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  const auto existing = std::filesystem::file_size(file, ec);
  if (!ec && existing > 0 && startFresh) rotate();
  open();
}

RotatingLog::~RotatingLog() {
  if (fd_ >= 0) TARVEX_CLOSE(fd_);
}

void RotatingLog::useDescriptor(int fd) {
  if (fd_ >= 0 && fd_ != fd) TARVEX_CLOSE(fd_);
  fd_ = fd;
}

void RotatingLog::open() {
  fd_ = TARVEX_OPEN(names_.front().c_str(), kOpenFlags, kOpenMode);
  struct stat info {};
  size_ = fd_ >= 0 && fstat(fd_, &info) == 0 ? std::uint64_t(info.st_size) : 0;
}

void RotatingLog::rotate() {
  if (fd_ >= 0) TARVEX_CLOSE(fd_);
  fd_ = -1;
  if (limits_.keep == 0) {
    std::remove(names_.front().c_str());
    return;
  }
  for (std::size_t i = names_.size() - 1; i > 0; --i) replaceFile(names_[i - 1].c_str(), names_[i].c_str());
}

void RotatingLog::write(std::string_view bytes) {
  if (bytes.empty()) return;
  if (size_ > 0 && size_ + bytes.size() > limits_.maxBytes) {
    rotate();
    open();
  }
  if (fd_ < 0) return;
  for (std::size_t done = 0; done < bytes.size();) {
    const auto n = TARVEX_WRITE(fd_, bytes.data() + done, static_cast<unsigned>(bytes.size() - done));
    if (n <= 0) return;
    done += std::size_t(n);
    size_ += std::uint64_t(n);
  }
}

std::string fileTail(const std::filesystem::path& file) {
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
  return std::string(text);
}

}  // namespace tarvex
