#include <gtest/gtest.h>

#include "logo/GifCutter.h"

using namespace tarvex;

namespace {
std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

// Logical screen: "GIF89a", 2x1 pixels, no colour table, aspect byte 0 (the 00 of the first marker).
const std::string kScreen = "GIF89a" + bytes({2, 0, 1, 0, 0, 0, 0});

// One frame: Graphic Control Extension, image descriptor, a tiny image data block.
std::string frame(int delay, int left, int top) {
  return bytes({0x21, 0xF9, 4, 0, delay & 0xFF, delay >> 8, 0, 0}) +
         bytes({0x2C, left & 0xFF, left >> 8, top & 0xFF, top >> 8, 2, 0, 1, 0, 0}) + bytes({2, 2, 0x4C, 0x01, 0});
}
}  // namespace

TEST(GifCutter, ThreeFramesAreCutExactlyAtTheMarkers) {
  const std::string f1 = frame(10, 0, 0), f2 = frame(300, 10, 5), f3 = frame(0, 1, 2);
  const std::string file = kScreen + f1 + f2 + f3 + bytes({0x3B});
  GifCutter cutter(file);
  ASSERT_TRUE(cutter.isGif());
  EXPECT_EQ(file.substr(0, cutter.headerLength()), kScreen + bytes({0x21}));
  const auto frames = allFrames(cutter);
  ASSERT_EQ(frames.size(), 3u);
  // Each chunk runs from its F9 label to the next marker's 00 21; the last to the end less two bytes.
  EXPECT_EQ(file.substr(frames[0].chunkOffset, frames[0].chunkLength), f1.substr(1) + bytes({0x21}));
  EXPECT_EQ(file.substr(frames[1].chunkOffset, frames[1].chunkLength), f2.substr(1) + bytes({0x21}));
  EXPECT_EQ(file.substr(frames[2].chunkOffset, frames[2].chunkLength), f3.substr(1, f3.size() - 2));
  EXPECT_EQ(cutter.frameFile(frames[1]), kScreen + f2 + bytes({0x21}));
  EXPECT_EQ(std::vector({frames[0].delayMs, frames[1].delayMs, frames[2].delayMs}), std::vector({100, 3000, 0}));
  EXPECT_EQ(frames[1].left, 10);
  EXPECT_EQ(frames[1].top, 5);
}

// No extension or no signature is no GIF; a marker at the very end stays
// within the file (the fuzzer tries the rest).
TEST(GifCutter, WhatIsNoGifAndMarkersAtTheEndStayInBounds) {
  const std::string noExtension = kScreen + bytes({0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0, 2, 2, 0x4C, 1, 0, 0x3B});
  for (const std::string& file :
       {noExtension, "PNG" + bytes({0, 0x21, 0xF9, 4, 0, 0}), std::string(), bytes({0, 0x21, 0xF9})}) {
    GifCutter cutter(file);
    EXPECT_FALSE(cutter.isGif() || cutter.next());
  }
  GifCutter atEnd("GIF" + bytes({0, 0x21, 0xF9}));
  EXPECT_TRUE(atEnd.isGif());
  EXPECT_FALSE(atEnd.next());
}
