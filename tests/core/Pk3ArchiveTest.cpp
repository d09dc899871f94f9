#include <gtest/gtest.h>
#include <zip.h>
#include <zlib.h>

#include <optional>
#include <string>
#include <vector>

#include "core/TestSupport.h"
#include "pk3/Pk3Archive.h"

namespace fs = std::filesystem;
using namespace tarvex;

namespace {
// Zip archives put together byte by byte, so that each field can be made to
// lie: what other tools write is taken from libzip below.
struct Entry {
  Entry(std::string name, std::string data, bool deflate = false)
      : name(std::move(name)), data(std::move(data)), deflate(deflate) {}
  std::string name;
  std::string data;
  bool deflate = false;
  bool zip64 = false;        // sizes and offset in the ZIP64 extra field
  bool zip64Offset = false;  // the offset alone there
  std::uint16_t flags = 0, method = 0;
  std::optional<std::uint32_t> crc, size, packedSize, localOffset;
  std::string localSignature = "PK\x03\x04";
  std::string localExtra;  // the local header's own extra field, as other tools write one
};
struct Layout {
  std::string prefix, comment;
  bool zip64End = false;
  std::optional<std::uint64_t> entries;          // what the end records say
  std::optional<std::uint64_t> entriesThisDisk;  // the same of this file
  std::uint16_t disk = 0;                        // the disk number (of the ZIP64 record when there is one)
};
Layout endSays(std::uint64_t entries, std::uint16_t disk = 0, bool zip64 = false) {
  Layout layout;
  layout.entries = entries;
  layout.disk = disk;
  layout.zip64End = zip64;
  return layout;
}

void put16(std::string& out, std::uint64_t v) {
  for (int i = 0; i < 2; ++i) out += char((v >> (8 * i)) & 0xFF);
}
void put32(std::string& out, std::uint64_t v) {
  for (int i = 0; i < 4; ++i) out += char((v >> (8 * i)) & 0xFF);
}
void put64(std::string& out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out += char((v >> (8 * i)) & 0xFF);
}

std::string deflated(const std::string& data) {
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, uLong(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = uInt(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = uInt(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

std::string zipOf(const std::vector<Entry>& entries, const Layout& layout = {}) {
  std::string body, directory;
  for (const Entry& e : entries) {
    const std::string packed = e.deflate ? deflated(e.data) : e.data;
    const std::uint16_t method = e.method ? e.method : (e.deflate ? 8 : 0);
    const std::uint32_t crc =
        e.crc.value_or(std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), uInt(e.data.size()))));
    const std::uint64_t offset = e.localOffset.value_or(body.size());
    const std::uint64_t size = e.size.value_or(e.data.size()), packedSize = e.packedSize.value_or(packed.size());
    body += e.localSignature;
    put16(body, 20), put16(body, e.flags), put16(body, method), put32(body, 0), put32(body, crc);
    put32(body, packedSize), put32(body, size), put16(body, e.name.size()), put16(body, e.localExtra.size());
    body += e.name + e.localExtra + packed;
    std::string extra;
    if (e.zip64) put16(extra, 1), put16(extra, 24), put64(extra, size), put64(extra, packedSize), put64(extra, offset);
    if (e.zip64Offset) put16(extra, 1), put16(extra, 8), put64(extra, offset);
    directory += "PK\x01\x02";
    put16(directory, 20), put16(directory, 20), put16(directory, e.flags), put16(directory, method);
    put32(directory, 0), put32(directory, crc);
    put32(directory, e.zip64 ? 0xFFFFFFFF : packedSize), put32(directory, e.zip64 ? 0xFFFFFFFF : size);
    put16(directory, e.name.size()), put16(directory, extra.size()), put16(directory, 0);
    put16(directory, 0), put16(directory, 0), put32(directory, 0);
    put32(directory, e.zip64 || e.zip64Offset ? 0xFFFFFFFF : offset);
    directory += e.name + extra;
  }
  const std::uint64_t count = layout.entries.value_or(entries.size());
  const std::uint64_t thisDisk = layout.entriesThisDisk.value_or(count);
  std::string out = layout.prefix + body + directory;
  const std::uint64_t directoryAt = body.size();  // as the archive's own offsets count, without the prefix
  if (layout.zip64End) {
    const std::uint64_t end64At = out.size();
    out += "PK\x06\x06";
    put64(out, 44), put16(out, 45), put16(out, 45), put32(out, layout.disk), put32(out, 0);
    put64(out, thisDisk), put64(out, count), put64(out, directory.size()), put64(out, directoryAt);
    out += "PK\x06\x07";
    put32(out, 0), put64(out, end64At), put32(out, 1);
  }
  out += "PK\x05\x06";
  put16(out, layout.zip64End ? 0xFFFF : layout.disk), put16(out, layout.zip64End ? 0xFFFF : 0);
  put16(out, layout.zip64End ? 0xFFFF : thisDisk), put16(out, layout.zip64End ? 0xFFFF : count);
  put32(out, layout.zip64End ? 0xFFFFFFFF : directory.size()), put32(out, layout.zip64End ? 0xFFFFFFFF : directoryAt);
  put16(out, layout.comment.size());
  return out + layout.comment;
}
}  // namespace

// What libzip writes (the backups, most map packs' tools) reads back whole,
// from a file and from memory, by name and by index.
TEST(Pk3Archive, ReadsWhatLibzipWritesFromAFileAndFromMemory) {
  test::TempFolder folder;
  const std::string big(200000, 'q');
  const std::vector<std::pair<std::string, std::string>> entries = {
      {"maps/one.bsp", "IBSP"}, {"scripts/one.arena", "{ map \"one\" }"}, {"empty", ""}, {"levelshots/one.jpg", big}};
  ASSERT_TRUE(test::writePk3(folder / "a.pk3", entries));
  const auto bytes = zipBytes(entries);
  ASSERT_TRUE(bytes) << bytes.problem();
  for (const bool inMemory : {false, true}) {
    const auto archive = inMemory ? Pk3Archive::openBytes(*bytes) : Pk3Archive::open(folder / "a.pk3");
    ASSERT_TRUE(archive) << archive.problem();
    ASSERT_EQ(archive->names().size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(archive->names()[i], entries[i].first);
      EXPECT_EQ(archive->find(entries[i].first), i);
      EXPECT_EQ(*archive->extract(entries[i].first, big.size()), entries[i].second);
      EXPECT_EQ(*archive->extract(i, big.size()), entries[i].second);
    }
    EXPECT_EQ(archive->extract("levelshots/one.jpg", big.size() - 1).problem(),
              "the entry levelshots/one.jpg is larger than 199999 bytes");
    EXPECT_EQ(archive->extract("maps/ONE.bsp", 100).problem(), "no entry maps/ONE.bsp");
    EXPECT_EQ(archive->find("nothing"), std::nullopt);
  }
  EXPECT_EQ(Pk3Archive::open(folder / "missing.pk3").problem(), "it cannot be opened");
}

// The forms the engine reads: ZIP64 records, a program before the archive, a
// comment after it, a name cut at a NUL, a name stored twice (the first is
// found), and many entries (looked up by a table).
TEST(Pk3Archive, Zip64APrefixACommentAndNamesAsTheEngineReadsThem) {
  std::vector<Entry> entries = {{"a.txt", "alpha", true}, {std::string("cut\0off", 7), "nul"}, {"a.txt", "second"}};
  entries[0].zip64 = true;
  entries[2].zip64Offset = true;  // only what does not fit stands in the ZIP64 field
  entries[2].localExtra = std::string("UT\x05\x00\x01\x00\x00\x00\x00", 9);
  for (int i = 0; i < 100; ++i) entries.emplace_back("n" + std::to_string(i), std::to_string(i));
  Layout layout;
  layout.prefix = "MZ a program first";
  layout.comment = "PK\x05\x06 a comment";
  layout.zip64End = true;
  const auto archive = Pk3Archive::openBytes(zipOf(entries, layout));
  ASSERT_TRUE(archive) << archive.problem();
  ASSERT_EQ(archive->names().size(), entries.size());
  EXPECT_EQ(archive->names()[1], "cut");
  EXPECT_EQ(*archive->extract("a.txt", 100), "alpha");
  EXPECT_EQ(*archive->extract(2, 100), "second");
  EXPECT_EQ(*archive->extract("n99", 100), "99");
  EXPECT_EQ(*archive->extract(1, 100), "nul");
}

// Every field of a hostile archive is checked before it is used: a listing
// or an extraction says what is wrong, reads nothing outside the archive, and
// inflates nothing past the size its directory gives.
TEST(Pk3Archive, AnArchiveThatLiesIsRefusedWithItsReason) {
  const auto opened = [](const std::vector<Entry>& entries, const Layout& layout = {}) {
    return Pk3Archive::openBytes(zipOf(entries, layout));
  };
  const Entry ok("e", std::string(5000, 'x'), true);
  EXPECT_EQ(Pk3Archive::openBytes("PK\x03\x04 no end").problem(), "it is not a zip archive");
  EXPECT_EQ(Pk3Archive::openBytes("").problem(), "it is not a zip archive");
  const std::string whole = zipOf({ok});
  EXPECT_EQ(Pk3Archive::openBytes(whole.substr(0, whole.size() - 1)).problem(), "it is not a zip archive");
  EXPECT_EQ(Pk3Archive::openBytes(whole.substr(10)).problem(), "its directory is broken");
  EXPECT_EQ(opened({ok}, endSays(2)).problem(), "its directory is broken");
  EXPECT_EQ(opened({ok, ok}, endSays(1)).value().value().names().size(), 1u);  // the engine reads as many
  EXPECT_EQ(opened({ok}, endSays(60000)).problem(), "its directory is broken");
  EXPECT_EQ(opened({ok}, endSays(1, 1)).problem(), "it is split over several files");
  EXPECT_EQ(opened({ok}, endSays(1, 1, true)).problem(), "it is split over several files");
  Layout partOnly;
  partOnly.entriesThisDisk = 0;
  EXPECT_EQ(opened({ok}, partOnly).problem(), "it is split over several files");
  EXPECT_EQ(opened({ok}, endSays(0x100000003, 0, true)).problem(),
            "it holds 4294967299 entries, more than any game archive");

  const auto extracted = [&](Entry entry) {
    const auto archive = opened({entry});
    return archive ? archive->extract(0, 1 << 20) : Result<std::string>(Failure{archive.problem()});
  };
  EXPECT_EQ(*extracted(ok), ok.data);
  Entry e = ok;
  e.crc = 1;
  EXPECT_EQ(extracted(e).problem(), "the entry e is broken");
  e = ok, e.size = 4999;  // inflates past what the directory says
  EXPECT_EQ(extracted(e).problem(), "the entry e is broken");
  e = ok, e.size = 5001;
  EXPECT_EQ(extracted(e).problem(), "the entry e is broken");
  e = ok, e.size = 2u << 20;  // a bomb's size is refused unread
  EXPECT_EQ(extracted(e).problem(), "the entry e is larger than 1048576 bytes");
  e = ok, e.packedSize = 4000000;  // more input than any deflate of 5,000 bytes
  EXPECT_EQ(extracted(e).problem(), "the entry e is broken");
  e = ok, e.localOffset = 1u << 30;
  EXPECT_EQ(extracted(e).problem(), "the entry e is broken");
  e = ok, e.localSignature = "PK\x01\x02";
  EXPECT_EQ(extracted(e).problem(), "the entry e is broken");
  e = ok, e.flags = 1;  // encrypted
  EXPECT_EQ(extracted(e).problem(), "the entry e cannot be read");
  e = ok, e.method = 14;  // LZMA: not the game's
  EXPECT_EQ(extracted(e).problem(), "the entry e cannot be read");
  e = Entry("s", "stored"), e.packedSize = 5;
  EXPECT_EQ(extracted(e).problem(), "the entry s is broken");
  e = Entry("s", "stored"), e.size = 7, e.packedSize = 7;  // a byte of what follows, and a checksum off
  EXPECT_EQ(*extracted(Entry("s", "stored")), "stored");
  EXPECT_EQ(extracted(e).problem(), "the entry s is broken");
  // Data that is no deflate stream at all.
  e = Entry("d", "\xff\xff\xff garbage"), e.method = 8;
  EXPECT_EQ(extracted(e).problem(), "the entry d is broken");
}
