#include "pk3/Levelshot.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#ifdef TARVEX_HAVE_LIBJPEG
#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#endif

namespace tarvex {

namespace {
unsigned byteAt(std::string_view bytes, std::size_t at) { return static_cast<unsigned char>(bytes[at]); }

// A TGA file has no signature: its header's fields must hold values that
// the format allows (colour-mapped, true-colour or grey, raw or RLE).
bool looksLikeTga(std::string_view b) {
  if (b.size() < 18) return false;
  const unsigned mapType = byteAt(b, 1), imageType = byteAt(b, 2), depth = byteAt(b, 16);
  if (mapType > 1) return false;
  const bool mapped = imageType == 1 || imageType == 9;
  if (!mapped && imageType != 2 && imageType != 3 && imageType != 10 && imageType != 11) return false;
  if (mapped && mapType != 1) return false;
  const unsigned width = byteAt(b, 12) | byteAt(b, 13) << 8, height = byteAt(b, 14) | byteAt(b, 15) << 8;
  if (width == 0 || height == 0) return false;
  return mapped ? depth == 8 || depth == 16 : depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
}

// What a JPEG would cost the decoder, read from its markers before any pixel
// is decoded: empty when it may be decoded, else the reason. Every Huffman
// table holds at most 256 codes: the decoder (stb_image 2.27) writes past its
// table for more, so they are counted in every DHT segment, before the first
// scan and between the scans of a progressive picture, walked as the decoder
// walks them. Every scan of a progressive picture passes over all its blocks
// again: a few bytes a scan can make one picture take hours.
Problem jpegProblem(std::string_view b) {
  std::size_t scans = 0;
  std::size_t at = 2;  // after the start-of-image marker
  while (at + 1 < b.size()) {
    if (byteAt(b, at) != 0xFF) {  // a scan's coded data
      ++at;
      continue;
    }
    const unsigned marker = byteAt(b, at + 1);
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    // A stuffed zero, a restart marker, or a marker without a segment.
    if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      at += 2;
      continue;
    }
    if (marker == 0xD9 || at + 4 > b.size()) return {};  // the end of the picture
    const std::size_t length = byteAt(b, at + 2) << 8 | byteAt(b, at + 3);
    if (length < 2) return "the levelshot is a broken JPEG picture";
    if (marker == 0xDA && ++scans > kMaxJpegScans)
      return "the levelshot is a JPEG picture of more than " + std::to_string(kMaxJpegScans) +
             " scans, which a levelshot never needs";
    if (marker == 0xC4) {
      const std::size_t end = at + 2 + length;
      for (std::size_t table = at + 4; table < end;) {
        std::size_t codes = 0;
        for (std::size_t i = 0; i < 16; ++i) codes += table + 1 + i < b.size() ? byteAt(b, table + 1 + i) : 0;
        if (codes > 256) return "the levelshot is a broken JPEG picture";
        table += 17 + codes;
      }
    }
    at += 2 + length;
  }
  return {};
}

// The bytes for the decoder, until the time a picture may take has passed:
// then they end, and the decoder stops at once.
struct TimedInput {
  std::string_view bytes;
  std::size_t at = 0;
  std::chrono::steady_clock::time_point deadline;
  bool late = false;

  static int read(void* user, char* data, int size) {
    auto* input = static_cast<TimedInput*>(user);
    if (std::chrono::steady_clock::now() > input->deadline) input->late = true;
    if (input->late) return 0;
    const std::size_t n = std::min<std::size_t>(std::size_t(size), input->bytes.size() - input->at);
    std::memcpy(data, input->bytes.data() + input->at, n);
    input->at += n;
    return int(n);
  }
  static void skip(void* user, int n) {
    auto* input = static_cast<TimedInput*>(user);
    const auto target = static_cast<long long>(input->at) + n;
    input->at = std::size_t(std::clamp<long long>(target, 0, static_cast<long long>(input->bytes.size())));
  }
  static int eof(void* user) {
    auto* input = static_cast<TimedInput*>(user);
    return input->late || input->at >= input->bytes.size();
  }
};
// One output pixel of a resampled line: the source pixels it takes from,
// with their weights (fixed point, summing to kOne).
constexpr int kWeightBits = 14;
constexpr int kOne = 1 << kWeightBits;
struct Taps {
  int first = 0;
  std::vector<int> weights;
};

// How each of `out` pixels takes from `in`: the average of the source pixels
// it covers when it shrinks (each weighted by how much of it is covered),
// the two nearest pixels' blend when it grows.
std::vector<Taps> resamplingTaps(int in, int out) {
  std::vector<Taps> taps(static_cast<std::size_t>(out));
  const double scale = double(in) / out;
  for (int o = 0; o < out; ++o) {
    Taps& tap = taps[std::size_t(o)];
    std::vector<double> weights;
    if (scale >= 1) {
      const double from = o * scale, to = (o + 1) * scale;
      tap.first = int(from);
      for (int i = tap.first; i < in && i < to; ++i)
        weights.push_back((std::min<double>(i + 1, to) - std::max<double>(i, from)) / scale);
    } else {
      const double at = std::clamp((o + 0.5) * scale - 0.5, 0.0, double(in - 1));
      tap.first = std::min(int(at), in - 1);
      const double next = at - tap.first;
      weights = {1 - next};
      if (tap.first + 1 < in) weights.push_back(next);
    }
    // Whole numbers summing to kOne: the rounding's rest goes to the largest weight.
    int sum = 0;
    for (const double weight : weights) sum += tap.weights.emplace_back(int(weight * kOne + 0.5));
    *std::max_element(tap.weights.begin(), tap.weights.end()) += kOne - sum;
  }
  return taps;
}

// The RGB picture resampled to width x height, area-averaged where it shrinks.
std::vector<unsigned char> resampled(const unsigned char* pixels, int inWidth, int inHeight, int width, int height) {
  const std::vector<Taps> across = resamplingTaps(inWidth, width), down = resamplingTaps(inHeight, height);
  // Across each source line first, kept at full precision, then down.
  std::vector<int> lines(std::size_t(width) * std::size_t(inHeight) * 3);
  for (int y = 0; y < inHeight; ++y) {
    const unsigned char* line = pixels + std::size_t(y) * std::size_t(inWidth) * 3;
    int* target = lines.data() + std::size_t(y) * std::size_t(width) * 3;
    for (int x = 0; x < width; ++x) {
      const Taps& tap = across[std::size_t(x)];
      int r = 0, g = 0, b = 0;
      for (std::size_t k = 0; k < tap.weights.size(); ++k) {
        const unsigned char* pixel = line + (std::size_t(tap.first) + k) * 3;
        r += pixel[0] * tap.weights[k];
        g += pixel[1] * tap.weights[k];
        b += pixel[2] * tap.weights[k];
      }
      target[x * 3] = r, target[x * 3 + 1] = g, target[x * 3 + 2] = b;
    }
  }
  std::vector<unsigned char> out(std::size_t(width) * std::size_t(height) * 3);
  std::vector<long long> sums(std::size_t(width) * 3);
  for (int y = 0; y < height; ++y) {
    const Taps& tap = down[std::size_t(y)];
    std::fill(sums.begin(), sums.end(), 0);
    for (std::size_t k = 0; k < tap.weights.size(); ++k) {
      const int* line = lines.data() + (std::size_t(tap.first) + k) * std::size_t(width) * 3;
      for (std::size_t i = 0; i < sums.size(); ++i) sums[i] += static_cast<long long>(line[i]) * tap.weights[k];
    }
    unsigned char* target = out.data() + std::size_t(y) * std::size_t(width) * 3;
    constexpr long long kHalf = 1LL << (2 * kWeightBits - 1);
    for (std::size_t i = 0; i < sums.size(); ++i)
      target[i] = static_cast<unsigned char>(std::clamp<long long>((sums[i] + kHalf) >> (2 * kWeightBits), 0, 255));
  }
  return out;
}

// RGB pixels and their size.
struct Pixels {
  std::vector<unsigned char> rgb;
  int width = 0, height = 0;
};

#ifdef TARVEX_HAVE_LIBJPEG
// libjpeg-turbo decodes a JPEG at M/8 of its size for a fraction of the work
// of a whole decode and resize: the smallest M that keeps both sides at least
// `least` pixels. Its errors and the time budget leave through longjmp, so
// this function holds no object that needs its destructor run.
struct JpegFailure {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};
struct JpegClock {
  jpeg_progress_mgr manager;
  std::chrono::steady_clock::time_point deadline;
  bool late;
};
[[noreturn]] void leaveJpeg(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegFailure*>(info->err)->jump, 1); }
void ignoreJpegWarning(j_common_ptr, int) {}
void watchJpegClock(j_common_ptr info) {
  auto* clock = reinterpret_cast<JpegClock*>(info->progress);
  if (std::chrono::steady_clock::now() < clock->deadline) return;
  clock->late = true;
  leaveJpeg(info);
}

// True when decoded into `out`; false when libjpeg could not (`late` says whether for the time).
bool decodeScaledJpeg(std::string_view bytes, int least, std::chrono::steady_clock::time_point deadline, Pixels& out,
                      bool& late) {
  jpeg_decompress_struct info;
  JpegFailure failure;
  JpegClock clock;
  info.err = jpeg_std_error(&failure.manager);
  failure.manager.error_exit = leaveJpeg;
  failure.manager.emit_message = ignoreJpegWarning;
  clock.manager.progress_monitor = watchJpegClock;
  clock.deadline = deadline;
  clock.late = false;
  if (setjmp(failure.jump)) {
    jpeg_destroy_decompress(&info);
    late = clock.late;
    return false;
  }
  jpeg_create_decompress(&info);
  info.progress = &clock.manager;
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  unsigned scale = 1;
  while (scale < 8 && (info.image_width * scale + 7) / 8 < unsigned(least)) ++scale;
  while (scale < 8 && (info.image_height * scale + 7) / 8 < unsigned(least)) ++scale;
  info.scale_num = scale;
  info.scale_denom = 8;
  jpeg_start_decompress(&info);
  if (info.output_components != 3) leaveJpeg(reinterpret_cast<j_common_ptr>(&info));
  out.width = int(info.output_width);
  out.height = int(info.output_height);
  out.rgb.resize(std::size_t(out.width) * std::size_t(out.height) * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out.rgb.data() + std::size_t(info.output_scanline) * std::size_t(out.width) * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}
#endif
}  // namespace

LevelshotFormat levelshotFormat(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xFF\xD8\xFF") return LevelshotFormat::Jpeg;
  if (bytes.size() >= 8 && bytes.substr(0, 8) == "\x89PNG\r\n\x1A\n") return LevelshotFormat::Png;
  if (looksLikeTga(bytes)) return LevelshotFormat::Tga;
  return LevelshotFormat::None;
}

Result<std::string> mapPictureFromLevelshot(std::string_view bytes) {
  const LevelshotFormat format = levelshotFormat(bytes);
  if (format == LevelshotFormat::None) {
    return failure("the levelshot is not a JPEG, PNG or TGA picture");
  }
  if (format == LevelshotFormat::Jpeg) {
    if (Problem cost = jpegProblem(bytes); !cost.ok()) return failure(std::move(cost));
  }
  const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
  const int size = int(std::min<std::size_t>(bytes.size(), 0x7fffffff));
  int width = 0, height = 0, channels = 0;
  // Look at the size and depth before decoding.
  if (!stbi_info_from_memory(data, size, &width, &height, &channels)) {
    return failure(std::string("the levelshot cannot be read (") + stbi_failure_reason() + ")");
  }
  if (width <= 0 || height <= 0 || width > kMaxLevelshotSide || height > kMaxLevelshotSide) {
    return failure("the levelshot is " + std::to_string(width) + " x " + std::to_string(height) +
                   " pixels, more than " + std::to_string(kMaxLevelshotSide) + " x " +
                   std::to_string(kMaxLevelshotSide));
  }
  if (stbi_is_16_bit_from_memory(data, size)) {
    return failure("the levelshot has 16 bits a channel");
  }
  const auto deadline = std::chrono::steady_clock::now() + kLevelshotTime;
  const std::string late =
      "the levelshot took more than " + std::to_string(kLevelshotTime.count()) + " seconds to decode";
  Pixels decoded;
#ifdef TARVEX_HAVE_LIBJPEG
  // What libjpeg cannot decode (a CMYK picture, say) goes to stb_image, within what is left of the time.
  bool tooLong = false;
  if (format == LevelshotFormat::Jpeg && !decodeScaledJpeg(bytes, kMapPictureSize, deadline, decoded, tooLong) &&
      tooLong)
    return failure(late);
#endif
  if (decoded.rgb.empty()) {
    TimedInput input{bytes.substr(0, std::size_t(size)), 0, deadline};
    const stbi_io_callbacks callbacks{&TimedInput::read, &TimedInput::skip, &TimedInput::eof};
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load_from_callbacks(&callbacks, &input, &width, &height, &channels, 3), stbi_image_free);
    if (input.late) return failure(late);
    if (!pixels) {
      return failure(std::string("the levelshot cannot be decoded (") + stbi_failure_reason() + ")");
    }
    decoded.rgb.assign(pixels.get(), pixels.get() + std::size_t(width) * std::size_t(height) * 3);
    decoded.width = width;
    decoded.height = height;
  }
  const std::vector<unsigned char> scaled =
      resampled(decoded.rgb.data(), decoded.width, decoded.height, kMapPictureSize, kMapPictureSize);
  std::string jpeg;
  const auto append = [](void* context, void* chunk, int length) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(chunk), std::size_t(length));
  };
  if (!stbi_write_jpg_to_func(append, &jpeg, kMapPictureSize, kMapPictureSize, 3, scaled.data(), 90)) {
    return failure("the picture cannot be written");
  }
  return jpeg;
}

}  // namespace tarvex
