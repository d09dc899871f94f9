#pragma once
// Cuts an animated GIF into one small GIF per frame without decoding it: the
// frames are found by the bytes 00 21 F9 that open each Graphic Control
// Extension, and every frame gets the file's whole header in front of it.

#include <cstdint>
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

struct GifCut {
  enum class Status { Ok, NotGif } status = Status::NotGif;
  std::size_t headerLength = 0;  // the file's first bytes, up to the first marker's 00 21
  std::vector<GifFrame> frames;  // views into the file; memory stays linear in the file's size

  // Header + chunk: a GIF file of its own holding one frame.
  std::string frameFile(std::string_view file, const GifFrame& frame) const;
};

GifCut cutGif(std::string_view file);

inline constexpr const char* kNotGifMessage = "This file is not a *.gif file";
std::string logoNotFoundMessage(std::string_view file);
std::string logoReadErrorMessage(int number);

}  // namespace tarvex
