#include "pk3/Pk3Archive.h"

#include <zip.h>

#include <utility>

namespace tarvex {

namespace {
std::string zipProblem(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}
}  // namespace

Pk3Archive::Pk3Archive(zip* archive, std::shared_ptr<std::string> bytes)
    : archive_(archive), bytes_(std::move(bytes)) {}

Pk3Archive::Pk3Archive(Pk3Archive&& other) noexcept
    : archive_(std::exchange(other.archive_, nullptr)),
      bytes_(std::move(other.bytes_)),
      names_(std::move(other.names_)) {}

Pk3Archive& Pk3Archive::operator=(Pk3Archive&& other) noexcept {
  if (this != &other) {
    if (archive_) zip_discard(archive_);
    archive_ = std::exchange(other.archive_, nullptr);
    bytes_ = std::move(other.bytes_);
    names_ = std::move(other.names_);
  }
  return *this;
}

Pk3Archive::~Pk3Archive() {
  if (archive_) zip_discard(archive_);
}

Result<Pk3Archive> Pk3Archive::open(const std::filesystem::path& file, std::size_t maxEntries) {
  int code = 0;
  zip* archive = zip_open(file.string().c_str(), ZIP_RDONLY, &code);
  if (!archive) return failure(zipProblem(code));
  Pk3Archive result(archive, nullptr);
  if (Problem problem = result.readDirectory(maxEntries); !problem.ok()) return Failure{std::move(problem)};
  return result;
}

Result<Pk3Archive> Pk3Archive::openBytes(std::string bytes) {
  auto kept = std::make_shared<std::string>(std::move(bytes));
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(kept->data(), kept->size(), 0, &error);
  zip* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
  if (!archive) {
    std::string why = zip_error_strerror(&error);
    zip_error_fini(&error);
    if (source) zip_source_free(source);
    return failure(std::move(why));
  }
  zip_error_fini(&error);
  Pk3Archive result(archive, std::move(kept));
  if (Problem problem = result.readDirectory(kMaxEntries); !problem.ok()) return Failure{std::move(problem)};
  return result;
}

Problem Pk3Archive::readDirectory(std::size_t maxEntries) {
  const zip_int64_t count = zip_get_num_entries(archive_, 0);
  if (count < 0) return "its directory cannot be read";
  if (std::size_t(count) > maxEntries)
    return "it holds " + std::to_string(count) + " entries, more than any game archive";
  names_.reserve(std::size_t(count));
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(archive_, zip_uint64_t(i), ZIP_FL_ENC_RAW);
    names_.emplace_back(name ? std::string_view(name) : std::string_view());
  }
  return {};
}

Result<std::string> Pk3Archive::extract(std::string_view name, std::size_t maxBytes) const {
  const zip_int64_t index = zip_name_locate(archive_, std::string(name).c_str(), ZIP_FL_ENC_RAW);
  if (index < 0) return failure("no entry " + std::string(name));
  zip_file_t* file = zip_fopen_index(archive_, zip_uint64_t(index), 0);
  if (!file) return failure("the entry " + std::string(name) + " cannot be read");
  // Read at most one byte past the cap: the size in the directory may lie.
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const zip_int64_t got = zip_fread(file, buffer, sizeof buffer);
    if (got < 0) {
      zip_fclose(file);
      return failure("the entry " + std::string(name) + " is broken");
    }
    if (got == 0) break;
    bytes.append(buffer, std::size_t(got));
    if (bytes.size() > maxBytes) {
      zip_fclose(file);
      return failure("the entry " + std::string(name) + " is larger than " + std::to_string(maxBytes) + " bytes");
    }
  }
  zip_fclose(file);
  return bytes;
}

Result<std::string> zipBytes(const std::vector<std::pair<std::string, std::string>>& entries) {
  zip_error_t error;
  zip_error_init(&error);
  // The archive is written into a buffer source, kept past zip_close to be read back.
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip* archive = buffer ? zip_open_from_source(buffer, ZIP_TRUNCATE, &error) : nullptr;
  const auto fail = [&](std::string why) -> Result<std::string> {
    if (archive) zip_discard(archive);
    if (buffer) zip_source_free(buffer);
    zip_error_fini(&error);
    return failure(std::move(why));
  };
  if (!archive) return fail(zip_error_strerror(&error));
  zip_source_keep(buffer);
  for (const auto& [name, bytes] : entries) {
    zip_source_t* data = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    if (!data || zip_file_add(archive, name.c_str(), data, ZIP_FL_ENC_UTF_8) < 0) {
      if (data) zip_source_free(data);
      return fail(zip_strerror(archive));
    }
  }
  if (zip_close(archive) < 0) return fail(zip_strerror(archive));
  archive = nullptr;
  std::string out;
  zip_stat_t stat;
  if (zip_source_stat(buffer, &stat) < 0 || zip_source_open(buffer) < 0) return fail("the archive cannot be read back");
  out.resize(std::size_t(stat.size));
  const zip_int64_t got = zip_source_read(buffer, out.data(), out.size());
  zip_source_close(buffer);
  if (got != zip_int64_t(out.size())) return fail("the archive cannot be read back");
  zip_source_free(buffer);
  zip_error_fini(&error);
  return out;
}

}  // namespace tarvex
