#include "tests/support/image_check.h"

namespace Kestravon {
namespace testing {

::testing::AssertionResult RegionIs(const Image& image, int left, int top, int right, int bottom, std::uint32_t rgb) {
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x) {
      if (x < 0 || y < 0 || x >= image.width || y >= image.height) {
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") lies outside the image";
      }
      const std::uint32_t got = image.rgb(x, y);
      if (got != rgb) {
        return ::testing::AssertionFailure()
               << "pixel (" << x << ", " << y << ") is 0x" << std::hex << got << ", expected 0x" << rgb;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

int CountColor(const Image& image, std::uint32_t rgb) {
  int n = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) n += image.rgb(x, y) == rgb;
  }
  return n;
}

}  // namespace testing
}  // namespace Kestravon
