#include "util/Files.h"

#include <fstream>
#include <random>
#include <system_error>
#include <vector>

#include "util/Text.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
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
  result.bytes.resize(static_cast<std::size_t>(size));
  in.read(result.bytes.data(), static_cast<std::streamsize>(size));
  result.bytes.resize(static_cast<std::size_t>(in.gcount()));
  result.status = in.bad() ? ReadStatus::Unreadable : ReadStatus::Ok;
  return result;
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

// The file a write lands in: the target of a symbolic link, else the path.
fs::path writeTarget(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
  const fs::path target = fs::weakly_canonical(path, ec);
  return ec ? path : target;
}
}  // namespace

#ifndef _WIN32
std::string replaceRefusal(const fs::path& path) {
  const fs::path target = writeTarget(path);
  std::error_code ec;
  const auto existing = fs::status(target, ec);
  if (!fs::exists(existing)) return {};
  // A file the user marked read-only is left alone, whoever runs Tarvex.
  const auto mode = static_cast<mode_t>(existing.permissions());
  if ((mode & S_IWUSR) == 0 || access(target.c_str(), W_OK) != 0) return "the file is read-only";
  return {};
}

std::string writeFileAtomic(const fs::path& path, std::string_view bytes, FileAccess readers) {
  const fs::path target = writeTarget(path);
  if (std::string refusal = replaceRefusal(target); !refusal.empty()) return refusal;
  std::error_code ec;
  const auto existing = fs::status(target, ec);
  mode_t mode = readers == FileAccess::OwnerOnly ? 0600 : 0666 & ~currentUmask();
  if (fs::exists(existing) && readers == FileAccess::Everyone)
    mode = static_cast<mode_t>(existing.permissions()) & 07777;
  std::string temp = (target.parent_path() / ("." + target.filename().string() + std::string(kTemporaryMark))).string();
  temp += "XXXXXX";
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
  if (rename(temp.c_str(), target.c_str()) != 0) {
    const int error = errno;
    unlink(temp.c_str());
    return std::strerror(error);
  }
  return {};
}
#else
std::string replaceRefusal(const fs::path& path) {
  const DWORD attributes = GetFileAttributesW(writeTarget(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return "the file is read-only";
  return {};
}

std::string writeFileAtomic(const fs::path& path, std::string_view bytes, FileAccess) {
  const fs::path target = writeTarget(path);
  if (std::string refusal = replaceRefusal(target); !refusal.empty()) return refusal;
  static std::mt19937 rng{std::random_device{}()};
  fs::path temp = target.parent_path() / ("." + target.filename().string() + std::string(kTemporaryMark) +
                                          std::to_string(rng() % 1000000));
  const HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "Windows error " + std::to_string(GetLastError());
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size() &&
                  FlushFileBuffers(file);
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (!ok || !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD cause = ok ? GetLastError() : error;
    DeleteFileW(temp.c_str());
    return "Windows error " + std::to_string(cause);
  }
  return {};
}
#endif

void removeStaleTemporaries(const fs::path& folder) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code ignored;
    if (name.find(kTemporaryMark) != std::string::npos && it->is_regular_file(ignored)) fs::remove(it->path(), ignored);
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
