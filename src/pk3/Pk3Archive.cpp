#include "pk3/Pk3Archive.h"

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <utility>

namespace tarvex {

// Where the archive's bytes come from: a file, read piece by piece, or the
// bytes themselves.
struct Pk3Archive::Source {
  std::ifstream file;
  std::string bytes;
  bool inMemory = false;
  std::uint64_t size = 0;

  // The n bytes at offset into out; false when the source does not hold them.
  bool readAt(std::uint64_t offset, std::size_t n, char* out) {
    if (offset > size || n > size - offset) return false;
    if (inMemory) {
      std::copy_n(bytes.data() + offset, n, out);
      return true;
    }
    file.clear();
    file.seekg(std::streamoff(offset));
    file.read(out, std::streamsize(n));
    return file.gcount() == std::streamsize(n);
  }
};

namespace {
// The records of a zip archive, by their signatures and fixed sizes.
constexpr std::uint32_t kEndSignature = 0x06054b50, kEnd64Signature = 0x06064b50, kLocator64Signature = 0x07064b50,
                        kCentralSignature = 0x02014b50, kLocalSignature = 0x04034b50;
constexpr std::size_t kEndBytes = 22, kEnd64Bytes = 56, kLocator64Bytes = 20, kCentralBytes = 46, kLocalBytes = 30;
constexpr std::size_t kMaxCommentBytes = 65535;
constexpr std::uint16_t kZip64Extra = 0x0001;
constexpr std::uint32_t kEscaped32 = 0xFFFFFFFF;
constexpr std::uint16_t kEscaped16 = 0xFFFF;

// Little-endian numbers at an offset of bytes known to hold them.
std::uint16_t le16(const char* at) {
  const auto* b = reinterpret_cast<const unsigned char*>(at);
  return std::uint16_t(b[0] | b[1] << 8);
}
std::uint32_t le32(const char* at) { return std::uint32_t(le16(at)) | std::uint32_t(le16(at + 2)) << 16; }
std::uint64_t le64(const char* at) { return std::uint64_t(le32(at)) | std::uint64_t(le32(at + 4)) << 32; }

// What extraction needs of an entry, from its directory record.
struct EntryRecord {
  std::uint16_t flags = 0, method = 0;
  std::uint32_t crc = 0;
  std::uint64_t packedSize = 0, size = 0, localOffset = 0;
};

// The record whose name starts at `name` (its record lies before it, all of
// it checked when the directory was read); nullopt when its ZIP64 field lies.
std::optional<EntryRecord> entryRecord(const char* name) {
  const char* record = name - kCentralBytes;
  EntryRecord entry;
  entry.flags = le16(record + 8);
  entry.method = le16(record + 10);
  entry.crc = le32(record + 16);
  entry.packedSize = le32(record + 20);
  entry.size = le32(record + 24);
  entry.localOffset = le32(record + 42);
  const std::size_t nameBytes = le16(record + 28), extraBytes = le16(record + 30);
  if (entry.size != kEscaped32 && entry.packedSize != kEscaped32 && entry.localOffset != kEscaped32) return entry;
  // Large values stand in the ZIP64 extra field, those escaped alone and in this order.
  const char* extra = name + nameBytes;
  for (std::size_t at = 0; at + 4 <= extraBytes;) {
    const std::size_t id = le16(extra + at), length = le16(extra + at + 2);
    if (at + 4 + length > extraBytes) break;
    if (id == kZip64Extra) {
      std::size_t field = at + 4;
      const std::size_t end = field + length;
      for (std::uint64_t* value : {&entry.size, &entry.packedSize, &entry.localOffset}) {
        if (*value != kEscaped32) continue;
        if (field + 8 > end) return std::nullopt;
        *value = le64(extra + field);
        field += 8;
      }
      return entry;
    }
    at += 4 + length;
  }
  return std::nullopt;
}
}  // namespace

Pk3Archive::Pk3Archive(std::unique_ptr<Source> source) : source_(std::move(source)) {}
Pk3Archive::Pk3Archive(Pk3Archive&&) noexcept = default;
Pk3Archive& Pk3Archive::operator=(Pk3Archive&&) noexcept = default;
Pk3Archive::~Pk3Archive() = default;

Result<Pk3Archive> Pk3Archive::open(const std::filesystem::path& file, std::size_t maxEntries) {
  auto source = std::make_unique<Source>();
  source->file.open(file, std::ios::binary);
  if (!source->file) return failure("it cannot be opened");
  source->file.seekg(0, std::ios::end);
  const std::streamoff size = source->file.tellg();
  if (size < 0) return failure("it cannot be read");
  source->size = std::uint64_t(size);
  return read(std::move(source), maxEntries);
}

Result<Pk3Archive> Pk3Archive::openBytes(std::string bytes) {
  auto source = std::make_unique<Source>();
  source->size = bytes.size();
  source->bytes = std::move(bytes);
  source->inMemory = true;
  return read(std::move(source), kMaxEntries);
}

Result<Pk3Archive> Pk3Archive::read(std::unique_ptr<Source> source, std::size_t maxEntries) {
  // The end record is the last one in the file's last bytes, after which at most a comment follows.
  const std::uint64_t size = source->size;
  const std::size_t tailBytes = std::size_t(std::min<std::uint64_t>(size, kEndBytes + kMaxCommentBytes));
  std::string tail(tailBytes, '\0');
  if (!source->readAt(size - tailBytes, tailBytes, tail.data())) return failure("it cannot be read");
  std::size_t endAt = tail.npos;
  for (std::size_t at = tailBytes >= kEndBytes ? tailBytes - kEndBytes + 1 : 0; at-- > 0;) {
    if (le32(tail.data() + at) == kEndSignature) {
      endAt = at;
      break;
    }
  }
  if (endAt == tail.npos) return failure("it is not a zip archive");
  const char* end = tail.data() + endAt;
  const std::uint64_t endOffset = size - tailBytes + endAt;
  std::uint64_t entries = le16(end + 10), directoryBytes = le32(end + 12), directoryOffset = le32(end + 16);
  // One file holds it all: the disk numbers are 0 and this disk holds every entry.
  bool split = le16(end + 4) != 0 || le16(end + 6) != 0 || le16(end + 8) != entries;
  std::uint64_t directoryEnd = endOffset;  // where the directory ends: the end record, or ZIP64's

  // A ZIP64 archive (over 65,535 entries, or over 4 GB) says so by a locator before the end record.
  std::array<char, kEnd64Bytes> end64{};
  if (endOffset >= kLocator64Bytes) {
    std::array<char, kLocator64Bytes> locator{};
    if (!source->readAt(endOffset - kLocator64Bytes, kLocator64Bytes, locator.data()))
      return failure("it cannot be read");
    if (le32(locator.data()) == kLocator64Signature) {
      const std::uint64_t end64Offset = le64(locator.data() + 8);
      if (end64Offset > endOffset - kLocator64Bytes || !source->readAt(end64Offset, kEnd64Bytes, end64.data()) ||
          le32(end64.data()) != kEnd64Signature)
        return failure("its directory is broken");
      split = le32(end64.data() + 16) != 0 || le32(end64.data() + 20) != 0 ||
              le64(end64.data() + 24) != le64(end64.data() + 32);
      entries = le64(end64.data() + 32);
      directoryBytes = le64(end64.data() + 40);
      directoryOffset = le64(end64.data() + 48);
      directoryEnd = end64Offset;
    }
  }
  if (split) return failure("it is split over several files");
  if (entries > maxEntries)
    return failure("it holds " + std::to_string(entries) + " entries, more than any game archive");
  if (directoryBytes > kMaxDirectoryBytes) return failure("its directory is larger than any game archive's");
  if (directoryOffset > directoryEnd || directoryBytes > directoryEnd - directoryOffset ||
      directoryBytes < entries * kCentralBytes)
    return failure("its directory is broken");

  // Bytes before the archive (as a self-extracting one has) shift every offset, as the engine allows.
  Pk3Archive archive(std::move(source));
  archive.shift_ = directoryEnd - (directoryOffset + directoryBytes);
  archive.directory_.resize(std::size_t(directoryBytes));
  if (!archive.source_->readAt(archive.shift_ + directoryOffset, archive.directory_.size(), archive.directory_.data()))
    return failure("it cannot be read");

  const std::string_view directory = archive.directory_;
  archive.names_.reserve(std::size_t(entries));
  std::size_t at = 0;
  for (std::uint64_t i = 0; i < entries; ++i) {
    if (directory.size() - at < kCentralBytes || le32(directory.data() + at) != kCentralSignature)
      return failure("its directory is broken");
    const char* record = directory.data() + at;
    const std::size_t nameBytes = le16(record + 28), extraBytes = le16(record + 30), commentBytes = le16(record + 32);
    const std::size_t recordBytes = kCentralBytes + nameBytes + extraBytes + commentBytes;
    if (directory.size() - at < recordBytes) return failure("its directory is broken");
    // A name ends at its first NUL, as the game reads it.
    const std::string_view name(record + kCentralBytes, nameBytes);
    archive.names_.push_back(name.substr(0, name.find('\0')));
    at += recordBytes;
  }
  return archive;
}

std::optional<std::size_t> Pk3Archive::find(std::string_view name) const {
  // A look-up table pays from a few dozen entries on; of a name stored twice, the first.
  constexpr std::size_t kScanned = 32;
  if (names_.size() <= kScanned) {
    const auto found = std::find(names_.begin(), names_.end(), name);
    if (found == names_.end()) return std::nullopt;
    return std::size_t(found - names_.begin());
  }
  if (byName_.empty()) {
    byName_.reserve(names_.size());
    for (std::size_t i = 0; i < names_.size(); ++i) byName_.emplace(names_[i], i);
  }
  const auto found = byName_.find(name);
  if (found == byName_.end()) return std::nullopt;
  return found->second;
}

Result<std::string> Pk3Archive::extract(std::string_view name, std::size_t maxBytes) const {
  const std::optional<std::size_t> index = find(name);
  if (!index) return failure("no entry " + std::string(name));
  return extract(*index, maxBytes);
}

Result<std::string> Pk3Archive::extract(std::size_t index, std::size_t maxBytes) const {
  if (index >= names_.size()) return failure("no entry " + std::to_string(index));
  const std::string name(names_[index]);
  const auto unreadable = [&] { return failure("the entry " + name + " cannot be read"); };
  const auto broken = [&] { return failure("the entry " + name + " is broken"); };
  const std::optional<EntryRecord> entry = entryRecord(names_[index].data());
  if (!entry) return broken();
  constexpr std::uint16_t kEncrypted = 1, kStored = 0, kDeflated = 8;
  if ((entry->flags & kEncrypted) || (entry->method != kStored && entry->method != kDeflated)) return unreadable();
  if (entry->size > maxBytes)
    return failure("the entry " + name + " is larger than " + std::to_string(maxBytes) + " bytes");
  // Deflate adds a few bytes per 64 KB at the most: more input than that is no honest entry, and is not read.
  const std::uint64_t packedBound = entry->size + entry->size / 1024 + 1024;
  if (entry->packedSize > packedBound || (entry->method == kStored && entry->packedSize != entry->size))
    return broken();

  std::array<char, kLocalBytes> local{};
  const std::uint64_t localOffset = shift_ + entry->localOffset;
  if (localOffset < entry->localOffset || !source_->readAt(localOffset, kLocalBytes, local.data()) ||
      le32(local.data()) != kLocalSignature)
    return broken();
  const std::uint64_t dataOffset = localOffset + kLocalBytes + le16(local.data() + 26) + le16(local.data() + 28);
  if (dataOffset > source_->size || entry->packedSize > source_->size - dataOffset) return broken();

  std::string bytes(std::size_t(entry->size), '\0');
  if (entry->method == kStored) {
    if (!source_->readAt(dataOffset, bytes.size(), bytes.data())) return broken();
  } else {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return unreadable();
    std::array<char, 65536> input{};
    std::uint64_t read = 0;
    char spare = 0;  // takes what inflates past the size the directory gives
    stream.next_out = reinterpret_cast<Bytef*>(bytes.data());
    stream.avail_out = uInt(bytes.size());
    int status = Z_OK;
    while (status == Z_OK) {
      if (stream.avail_in == 0) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(input.size(), entry->packedSize - read));
        if (n == 0 || !source_->readAt(dataOffset + read, n, input.data())) break;
        read += n;
        stream.next_in = reinterpret_cast<Bytef*>(input.data());
        stream.avail_in = uInt(n);
      }
      if (stream.avail_out == 0) {
        if (stream.total_out > bytes.size()) break;
        stream.next_out = reinterpret_cast<Bytef*>(&spare);
        stream.avail_out = 1;
      }
      status = inflate(&stream, Z_NO_FLUSH);
    }
    const bool whole = status == Z_STREAM_END && stream.total_out == bytes.size();
    inflateEnd(&stream);
    if (!whole) return broken();
  }
  // The checksum in the directory: a damaged entry is never taken for its bytes.
  if (crc32_z(0L, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()) != entry->crc) return broken();
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
