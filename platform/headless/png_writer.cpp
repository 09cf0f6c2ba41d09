// PNG files of presented frames, for the capture tool and for looking at
// test failures.
#include <png.h>

#include "platform/headless/headless.h"

namespace Kestravon {
namespace platform {
namespace headless {

bool writePng(const Image& image, const std::string& path) {
  if (image.width <= 0 || image.height <= 0) return false;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGBA;
  // Frames are opaque; drop the alpha channel the framebuffer happens to hold.
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(image.width) * image.height * 3);
  for (std::size_t i = 0, j = 0; i < rgb.size(); i += 3, j += 4) {
    rgb[i] = image.rgba[j];
    rgb[i + 1] = image.rgba[j + 1];
    rgb[i + 2] = image.rgba[j + 2];
  }
  png.format = PNG_FORMAT_RGB;
  return png_image_write_to_file(&png, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

}  // namespace headless
}  // namespace platform
}  // namespace Kestravon
