#include "logo/GifCutter.h"

#include <algorithm>

namespace tarvex {

namespace {
constexpr char kMarker[] = {'\x00', '\x21', '\xF9'};

// Position (from 0) of the next marker at or after from, or npos.
std::size_t findMarker(std::string_view file, std::size_t from) {
  return file.find(std::string_view(kMarker, 3), from);
}

int le16(std::string_view chunk, std::size_t oneBased) {
  const auto byte = [&](std::size_t n) { return n <= chunk.size() ? static_cast<unsigned char>(chunk[n - 1]) : 0; };
  return byte(oneBased) + 256 * byte(oneBased + 1);
}

GifFrame describe(std::string_view file, std::size_t offset, std::size_t length) {
  const std::string_view chunk = file.substr(offset, length);
  GifFrame frame;
  frame.chunkOffset = offset;
  frame.chunkLength = length;
  frame.delayMs = le16(chunk, 4) * 10;
  frame.left = le16(chunk, 9);
  frame.top = le16(chunk, 11);
  return frame;
}
}  // namespace

GifCut cutGif(std::string_view file) {
  GifCut cut;
  const std::size_t first = findMarker(file, 0);
  // Header: everything before the first marker plus its 00 21; without a marker, the first byte.
  cut.headerLength = first == std::string_view::npos ? std::min<std::size_t>(1, file.size()) : first + 2;
  if (first == std::string_view::npos || file.substr(0, cut.headerLength).substr(0, 3) != "GIF") {
    cut.status = GifCut::Status::NotGif;
    return cut;
  }
  cut.status = GifCut::Status::Ok;
  // Positions from 0: the current frame's F9 byte is at start.
  std::size_t start = first + 2;
  for (;;) {
    const std::size_t next = findMarker(file, start + 1);
    if (next == std::string_view::npos) break;
    const std::size_t end = next + 2;  // up to and including the next marker's 00 21
    cut.frames.push_back(describe(file, start, end - start));
    start = end;
  }
  // The last frame runs to the end of the file without its last two bytes.
  if (start + 2 < file.size()) cut.frames.push_back(describe(file, start, file.size() - start - 2));
  return cut;
}

std::string GifCut::frameFile(std::string_view file, const GifFrame& frame) const {
  std::string bytes(file.substr(0, headerLength));
  bytes.append(file.substr(frame.chunkOffset, frame.chunkLength));
  return bytes;
}

std::string logoNotFoundMessage(std::string_view file) { return "File " + std::string(file) + " not found"; }

std::string logoReadErrorMessage(int number) { return "Error No. " + std::to_string(number) + " when reading file"; }

}  // namespace tarvex
