#include "pk3/Levelshot.h"

#include <stb_image.h>
#include <stb_image_resize.h>
#include <stb_image_write.h>

#include <memory>
#include <vector>

namespace tarvex {

std::optional<std::string> mapPictureFromLevelshot(std::string_view bytes, std::string& problem) {
  const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
  const int size = int(std::min<std::size_t>(bytes.size(), 0x7fffffff));
  int width = 0, height = 0, channels = 0;
  // Look at the size before decoding: a few bytes can claim a huge picture.
  if (!stbi_info_from_memory(data, size, &width, &height, &channels)) {
    problem = "the levelshot is not a picture";
    return std::nullopt;
  }
  if (width <= 0 || height <= 0 || width > 8192 || height > 8192) {
    problem = "the levelshot is " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
    return std::nullopt;
  }
  std::unique_ptr<stbi_uc, void (*)(void*)> pixels(stbi_load_from_memory(data, size, &width, &height, &channels, 3),
                                                   stbi_image_free);
  if (!pixels) {
    problem = std::string("the levelshot cannot be decoded (") + stbi_failure_reason() + ")";
    return std::nullopt;
  }
  std::vector<unsigned char> scaled(std::size_t(kMapPictureSize) * kMapPictureSize * 3);
  if (!stbir_resize_uint8(pixels.get(), width, height, 0, scaled.data(), kMapPictureSize, kMapPictureSize, 0, 3)) {
    problem = "the levelshot cannot be scaled";
    return std::nullopt;
  }
  std::string jpeg;
  const auto append = [](void* context, void* chunk, int length) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(chunk), std::size_t(length));
  };
  if (!stbi_write_jpg_to_func(append, &jpeg, kMapPictureSize, kMapPictureSize, 3, scaled.data(), 90)) {
    problem = "the picture cannot be written";
    return std::nullopt;
  }
  return jpeg;
}

}  // namespace tarvex
