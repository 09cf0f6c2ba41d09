// Shared set-up for tests on the headless backend: a fresh backend and a
// freshly initialised library for every test, plus pixel helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/headless/headless.h"

namespace Kestravon {
namespace testing {

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

using platform::headless::Image;

// Every pixel of `image` inside the inclusive rectangle has colour `rgb`
// (0xRRGGBB); reports the first pixel that differs.
::testing::AssertionResult RegionIs(const Image& image, int left, int top, int right, int bottom, std::uint32_t rgb);
// The number of pixels of colour `rgb` in the image.
int CountColor(const Image& image, std::uint32_t rgb);

}  // namespace testing
}  // namespace Kestravon
