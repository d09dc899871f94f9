#pragma once
// Cuts an animated GIF into one small GIF per frame without decoding it: the
// frames are found by the bytes 00 21 F9 that open each Graphic Control
// Extension, and every frame gets the file's whole header in front of it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

struct GifFrame {
  std::size_t chunkOffset = 0;  // from the frame's F9 label byte
  std::size_t chunkLength = 0;
  int delayMs = 0;
  int left = 0;  // pixels, relative to the first frame's place
  int top = 0;
};

// Hands out the frames one at a time, so that memory stays constant whatever
// the file holds; the caller decodes each frame and may stop at any point.
class GifCutter {
 public:
  explicit GifCutter(std::string_view file);

  bool isGif() const { return isGif_; }
  std::size_t headerLength() const { return headerLength_; }
  std::optional<GifFrame> next();

  // Header + chunk: a GIF file of its own holding one frame.
  std::string frameFile(const GifFrame& frame) const;

 private:
  std::string_view file_;
  bool isGif_ = false;
  bool done_ = false;
  std::size_t headerLength_ = 0;  // the file's first bytes, up to the first marker's 00 21
  std::size_t start_ = 0;         // the current frame's F9 byte
};

// Every frame at once, for callers that want the whole list.
std::vector<GifFrame> allFrames(GifCutter& cutter);

inline constexpr const char* kNotGifMessage = "This file is not a *.gif file";
std::string logoNotFoundMessage(std::string_view file);
std::string logoReadErrorMessage(int number);

}  // namespace tarvex
