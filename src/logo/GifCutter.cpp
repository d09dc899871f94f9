#include "logo/GifCutter.h"

#include <algorithm>

namespace tarvex {

namespace {
constexpr char kMarker[] = {'\x00', '\x21', '\xF9'};

std::size_t findMarker(std::string_view file, std::size_t from) {
  return file.find(std::string_view(kMarker, 3), from);
}

int le16(std::string_view chunk, std::size_t oneBased) {
  const auto byte = [&](std::size_t n) { return n <= chunk.size() ? static_cast<unsigned char>(chunk[n - 1]) : 0; };
  return byte(oneBased) + 256 * byte(oneBased + 1);
}

// Bytes 4-5 of the chunk: the delay in hundredths; 9-10 and 11-12: the image's left and top.
GifFrame describe(std::string_view file, std::size_t offset, std::size_t length) {
  const std::string_view chunk = file.substr(offset, length);
  return GifFrame{offset, length, le16(chunk, 4) * 10, le16(chunk, 9), le16(chunk, 11)};
}
}  // namespace

GifCutter::GifCutter(std::string_view file) : file_(file) {
  const std::size_t first = findMarker(file, 0);
  // Header: everything before the first marker plus its 00 21; without a marker, the first byte.
  headerLength_ = first == std::string_view::npos ? std::min<std::size_t>(1, file.size()) : first + 2;
  isGif_ = first != std::string_view::npos && file.substr(0, std::min<std::size_t>(3, headerLength_)) == "GIF";
  done_ = !isGif_;
  start_ = isGif_ ? first + 2 : 0;
}

std::optional<GifFrame> GifCutter::next() {
  if (done_) return std::nullopt;
  const std::size_t marker = findMarker(file_, start_ + 1);
  if (marker != std::string_view::npos) {
    // A frame's chunk ends with the 00 21 that begins the next frame's marker.
    const std::size_t end = marker + 2;
    const GifFrame frame = describe(file_, start_, end - start_);
    start_ = end;
    return frame;
  }
  done_ = true;
  // The last frame stops before the file's trailer, its last two bytes.
  if (start_ + 2 < file_.size()) return describe(file_, start_, file_.size() - start_ - 2);
  return std::nullopt;
}

std::string GifCutter::frameFile(const GifFrame& frame) const {
  std::string bytes(file_.substr(0, headerLength_));
  bytes.append(file_.substr(frame.chunkOffset, frame.chunkLength));
  return bytes;
}

std::vector<GifFrame> allFrames(GifCutter& cutter) {
  std::vector<GifFrame> frames;
  while (auto frame = cutter.next()) frames.push_back(*frame);
  return frames;
}

std::string logoNotFoundMessage(std::string_view file) { return "File " + std::string(file) + " not found"; }

std::string logoReadErrorMessage(int number) { return "Error No. " + std::to_string(number) + " when reading file"; }

}  // namespace tarvex
