// Exact pixel checks on images the headless backend read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/headless/headless.h"

namespace Kestravon {
namespace testing {

using platform::headless::Image;

// Every pixel of `image` inside the inclusive rectangle has colour `rgb`
// (0xRRGGBB); reports the first pixel that differs.
::testing::AssertionResult RegionIs(const Image& image, int left, int top, int right, int bottom, std::uint32_t rgb);
// The number of pixels of colour `rgb` in the image.
int CountColor(const Image& image, std::uint32_t rgb);

}  // namespace testing
}  // namespace Kestravon
