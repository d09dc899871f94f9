#include "platform/Files.h"

#include <charconv>
#include <chrono>
#include <fstream>
#include <random>
#include <system_error>
#include <vector>

#include "util/Text.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

#ifdef _WIN32
#include "platform/WindowsApi.h"
#endif

namespace fs = std::filesystem;

namespace tarvex {

#ifndef _WIN32
namespace {
mode_t currentUmask() {
  // umask can only be read by setting it; this is done once, before any thread starts writing.
  static const mode_t mask = [] {
    const mode_t value = umask(022);
    umask(value);
    return value;
  }();
  return mask;
}
}  // namespace
#endif

fs::path toPath(std::string_view bytes) { return fs::path(std::string(bytes)); }

std::string fromPath(const fs::path& path) { return path.string(); }

std::string withTrailingSeparator(std::string folder) {
  if (folder.empty() || folder.back() != kSeparator) folder.push_back(kSeparator);
  return folder;
}

std::string nativeSeparators(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\\' || c == '/') c = kSeparator;
  }
  return out;
}

FileBytes readFileBytes(const fs::path& path, std::uintmax_t maxBytes) {
  FileBytes result;
  std::error_code ec;
  const auto status = fs::status(path, ec);
  if (ec || !fs::exists(status)) {
    result.status = ReadStatus::Missing;
    return result;
  }
  if (!fs::is_regular_file(status)) {
    result.status = ReadStatus::Unreadable;
    return result;
  }
  const auto size = fs::file_size(path, ec);
  if (ec) {
    result.status = ReadStatus::Unreadable;
    return result;
  }
  if (size > maxBytes) {
    result.status = ReadStatus::TooLarge;
    return result;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.status = ReadStatus::Unreadable;
    return result;
  }
  // A file of /proc or /sys tells no size: it is read to its end, within the bound.
  const std::uintmax_t want = size > 0 ? size : maxBytes + 1;
  result.bytes.resize(static_cast<std::size_t>(std::min<std::uintmax_t>(want, 1024 * 1024)));
  std::size_t got = 0;
  while (got < want && in) {
    if (got == result.bytes.size()) result.bytes.resize(std::size_t(std::min<std::uintmax_t>(want, got * 2)));
    in.read(result.bytes.data() + got, static_cast<std::streamsize>(result.bytes.size() - got));
    got += static_cast<std::size_t>(in.gcount());
  }
  result.bytes.resize(got);
  if (got > maxBytes) {
    result.bytes.clear();
    result.status = ReadStatus::TooLarge;
    return result;
  }
  result.status = in.bad() ? ReadStatus::Unreadable : ReadStatus::Ok;
  return result;
}

FileBytes readFileBytesNoLinks(const fs::path& path, std::uintmax_t maxBytes) {
  FileBytes result;
#ifdef _WIN32
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(path, ec))) {
    result.status = ReadStatus::Unreadable;
    return result;
  }
  return readFileBytes(path, maxBytes);
#else
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    result.status = errno == ENOENT ? ReadStatus::Missing : ReadStatus::Unreadable;
    return result;
  }
  struct stat info = {};
  result.status = ReadStatus::Unreadable;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    if (std::uintmax_t(info.st_size) > maxBytes) {
      result.status = ReadStatus::TooLarge;
    } else {
      result.bytes.resize(std::size_t(info.st_size));
      std::size_t got = 0;
      for (ssize_t n;
           got < result.bytes.size() && (n = ::read(fd, result.bytes.data() + got, result.bytes.size() - got)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        got += std::size_t(n);
      }
      if (got == result.bytes.size()) result.status = ReadStatus::Ok;
    }
  }
  ::close(fd);
  if (result.status != ReadStatus::Ok) result.bytes.clear();
  return result;
#endif
}

FileBytes readFileHead(const fs::path& path, std::size_t maxBytes) {
  FileBytes result;
  std::error_code ec;
  const auto status = fs::status(path, ec);
  if (ec || !fs::exists(status)) return result;
  result.status = ReadStatus::Unreadable;
  if (!fs::is_regular_file(status)) return result;
  std::ifstream in(path, std::ios::binary);
  if (!in) return result;
  result.bytes.resize(maxBytes);
  in.read(result.bytes.data(), static_cast<std::streamsize>(maxBytes));
  result.bytes.resize(static_cast<std::size_t>(in.gcount()));
  result.status = in.bad() ? ReadStatus::Unreadable : ReadStatus::Ok;
  return result;
}

namespace {
constexpr std::string_view kTemporaryMark = ".tarvex-tmp-";

// The file a write lands in: the target of a symbolic link the user made,
// else the path itself. A link another user made (in a shared game folder,
// say) is replaced, never followed: it could point at any of this user's files.
fs::path writeTarget(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
#ifndef _WIN32
  struct stat link = {};
  if (lstat(path.c_str(), &link) != 0 || link.st_uid != geteuid()) return path;
#endif
  const fs::path target = fs::weakly_canonical(path, ec);
  return ec ? path : target;
}

// The temporary file of a write: beside the target, named with the writing
// process, so that another process's write in progress is never taken for a
// killed one's leftover.
std::string temporaryPrefix(const fs::path& target) {
#ifdef _WIN32
  const unsigned long pid = GetCurrentProcessId();
#else
  const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
  return (target.parent_path() /
          ("." + target.filename().string() + std::string(kTemporaryMark) + std::to_string(pid) + "-"))
      .string();
}

// Whether the process that wrote a temporary file still runs.
bool writerRuns(unsigned long pid) {
#ifdef _WIN32
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
  if (!process) return false;
  DWORD code = 0;
  const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
  CloseHandle(process);
  return running;
#else
  return pid > 0 && (kill(pid_t(pid), 0) == 0 || errno == EPERM);
#endif
}
}  // namespace

#ifndef _WIN32
Problem replaceRefusal(const fs::path& path) {
  const fs::path target = writeTarget(path);
  std::error_code ec;
  const auto node = fs::symlink_status(target, ec);
  if (fs::is_symlink(node) || !fs::exists(node)) return {};  // a link of another's is replaced itself
  // A device, a pipe or a folder is never replaced by a file.
  if (!fs::is_regular_file(node)) return "it is not a regular file";
  const auto existing = fs::status(target, ec);
  // A file the user marked read-only is left alone, whoever runs Tarvex.
  const auto mode = static_cast<mode_t>(existing.permissions());
  if ((mode & S_IWUSR) == 0 || access(target.c_str(), W_OK) != 0) return "the file is read-only";
  return {};
}

Problem writeFileAtomic(const fs::path& path, std::string_view bytes, FileAccess readers, FileWrite how) {
  const fs::path target = writeTarget(path);
  if (Problem refusal = replaceRefusal(target); !refusal.ok()) return refusal;
  std::error_code ec;
  const auto existing = fs::symlink_status(target, ec);
  mode_t mode = readers == FileAccess::OwnerOnly ? 0600 : 0666 & ~currentUmask();
  if (fs::is_regular_file(existing) && readers == FileAccess::Everyone)
    mode = static_cast<mode_t>(existing.permissions()) & 07777;
  std::string temp = temporaryPrefix(target) + "XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  const auto fail = [&](int error) {
    close(fd);
    unlink(temp.c_str());
    return std::string(std::strerror(error));
  };
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    done += std::size_t(n);
  }
  if (fchmod(fd, mode) != 0 || fsync(fd) != 0) return fail(errno);
  if (close(fd) != 0) {
    const int error = errno;
    unlink(temp.c_str());
    return std::strerror(error);
  }
  // link() puts the file in place only where there is none.
  const bool placed =
      how == FileWrite::Replace ? rename(temp.c_str(), target.c_str()) == 0 : link(temp.c_str(), target.c_str()) == 0;
  const int error = errno;
  unlink(temp.c_str());
  if (!placed) return how == FileWrite::CreateOnly && error == EEXIST ? kFileExists : std::strerror(error);
  return {};
}
#else
Problem replaceRefusal(const fs::path& path) {
  std::error_code ec;
  const auto node = fs::symlink_status(writeTarget(path), ec);
  if (fs::exists(node) && !fs::is_symlink(node) && !fs::is_regular_file(node)) return "it is not a regular file";
  const DWORD attributes = GetFileAttributesW(writeTarget(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return "the file is read-only";
  return {};
}

Problem writeFileAtomic(const fs::path& path, std::string_view bytes, FileAccess, FileWrite how) {
  const fs::path target = writeTarget(path);
  if (Problem refusal = replaceRefusal(target); !refusal.ok()) return refusal;
  static std::mt19937 rng{std::random_device{}()};
  fs::path temp = toPath(temporaryPrefix(target) + std::to_string(rng() % 1000000));
  const HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "Windows error " + std::to_string(GetLastError());
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size() &&
                  FlushFileBuffers(file);
  const DWORD error = GetLastError();
  CloseHandle(file);
  const DWORD replace = how == FileWrite::Replace ? MOVEFILE_REPLACE_EXISTING : 0;
  if (!ok || !MoveFileExW(temp.c_str(), target.c_str(), replace | MOVEFILE_WRITE_THROUGH)) {
    const DWORD cause = ok ? GetLastError() : error;
    DeleteFileW(temp.c_str());
    if (cause == ERROR_ALREADY_EXISTS || cause == ERROR_FILE_EXISTS) return kFileExists;
    return "Windows error " + std::to_string(cause);
  }
  return {};
}
#endif

void removeStaleTemporaries(const fs::path& folder) {
  // Older than this, a temporary file is a leftover whoever wrote it.
  constexpr auto kStale = std::chrono::hours(1);
  std::error_code ec;
  const auto now = fs::file_time_type::clock::now();
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const std::size_t mark = name.find(kTemporaryMark);
    std::error_code ignored;
    if (mark == std::string::npos || !it->is_regular_file(ignored)) continue;
    const std::string_view rest = std::string_view(name).substr(mark + kTemporaryMark.size());
    unsigned long pid = 0;
    const auto [end2, error] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
    const bool named = error == std::errc() && end2 < rest.data() + rest.size() && *end2 == '-';
    const auto written = it->last_write_time(ignored);
    const bool old = !ignored && now - written > kStale;
    if (old || !named || !writerRuns(pid)) fs::remove(it->path(), ignored);
  }
}

namespace {
bool plainWildcardMatch(std::string_view pattern, std::string_view name, bool ignoreCase);
}  // namespace

bool wildcardMatch(std::string_view pattern, std::string_view name, bool ignoreCase) {
  if (plainWildcardMatch(pattern, name, ignoreCase)) return true;
  // As a Windows directory listing matches: a name without an extension also
  // matches a pattern ending in ".*" ("*.*" finds "readme") and one ending in
  // a dot ("noext." finds "noext").
  if (name.find('.') != std::string_view::npos) return false;
  if (pattern.ends_with(".*")) return plainWildcardMatch(pattern.substr(0, pattern.size() - 2), name, ignoreCase);
  if (pattern.ends_with('.')) return plainWildcardMatch(pattern.substr(0, pattern.size() - 1), name, ignoreCase);
  return false;
}

namespace {
bool plainWildcardMatch(std::string_view pattern, std::string_view name, bool ignoreCase) {
  auto same = [ignoreCase](char a, char b) {
    return ignoreCase ? equalsNoCase(std::string_view(&a, 1), std::string_view(&b, 1)) : a == b;
  };
  // Iterative matcher with one backtracking point: linear in practice, never recursive.
  std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || (pattern[p] != '*' && same(pattern[p], name[n])))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}
}  // namespace

namespace {
// A directory match does not see hidden or system files: the attributes on
// Windows, a leading dot elsewhere.
bool isHiddenOrSystem(const fs::path& path, const std::string& name) {
#ifdef _WIN32
  (void)name;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
#else
  (void)path;
  return !name.empty() && name.front() == '.';
#endif
}

// Windows ignores case itself; the game under Wine sees its files the same way.
constexpr bool kIgnoreCase = true;

std::vector<std::string> splitComponents(std::string_view relative) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : relative) {
    if (c == '\\' || c == '/') {
      parts.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  parts.push_back(current);
  return parts;
}

// Looks up one folder entry; exact name first, then without regard to case.
std::optional<fs::path> findEntry(const fs::path& folder, const std::string& name) {
  std::error_code ec;
  fs::path exact = folder / name;
  if (fs::exists(exact, ec)) return exact;
  if (!kIgnoreCase) return std::nullopt;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (equalsNoCase(it->path().filename().string(), name)) return it->path();
  }
  return std::nullopt;
}
}  // namespace

std::optional<fs::path> resolveNoCase(const fs::path& base, std::string_view relative) {
  fs::path current = base;
  for (const auto& part : splitComponents(relative)) {
    if (part.empty() || part == ".") continue;
    auto next = findEntry(current, part);
    if (!next) return std::nullopt;
    current = *next;
  }
  return current;
}

bool ordinaryFileMatches(const fs::path& base, std::string_view relative) {
  return FolderListings().ordinaryFileMatches(base, relative);
}

const std::vector<FolderListings::Entry>& FolderListings::listing(const fs::path& folder) {
  const auto known = listings_.find(folder);
  if (known != listings_.end()) return known->second;
  std::vector<Entry> entries;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    Entry entry;
    entry.path = it->path();
    entry.name = entry.path.filename().string();
    entry.hidden = isHiddenOrSystem(entry.path, entry.name);
    std::error_code typeError;
    entry.regular = it->is_regular_file(typeError) && !typeError;
    entries.push_back(std::move(entry));
  }
  return listings_.emplace(folder, std::move(entries)).first->second;
}

std::optional<fs::path> FolderListings::find(const fs::path& folder, const std::string& name) {
  const auto& entries = listing(folder);
  for (const auto& entry : entries)
    if (entry.name == name) return entry.path;
  if (!kIgnoreCase) return std::nullopt;
  for (const auto& entry : entries)
    if (equalsNoCase(entry.name, name)) return entry.path;
  return std::nullopt;
}

bool FolderListings::ordinaryFileMatches(const fs::path& base, std::string_view relative) {
  auto parts = splitComponents(relative);
  const std::string pattern = parts.back();
  parts.pop_back();
  fs::path folder = base;
  for (const auto& part : parts) {
    if (part.empty() || part == ".") continue;
    auto next = find(folder, part);
    if (!next) return false;
    folder = *next;
  }
  for (const auto& entry : listing(folder)) {
    if (entry.hidden || !entry.regular) continue;
    if (pattern.empty() || wildcardMatch(pattern, entry.name, kIgnoreCase)) return true;
  }
  return false;
}

}  // namespace tarvex
