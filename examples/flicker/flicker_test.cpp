// The flicker, offscreen: which frames show the square, and how the
// console and --set change it.
#include <gtest/gtest.h>
#include <kestravon/offscreen.h>

#include <string>

using namespace Kestravon;

namespace {

// The canvas presents two blank frames on opening; the routine's frame 0
// is presented frame 3.
constexpr int kFirst = 3;

// One character a presented frame from kFirst on: '#' when the centre is
// white, '.' when black.
std::string pattern(int frames, const std::string& commandLine = "", int pressRightAt = 0) {
  std::string seen;
  offscreen::run(
      kFirst + frames - 1,
      [&](int frame) {
        if (frame >= kFirst) seen += offscreen::frame().rgb(512, 384) == 0xFFFFFF ? '#' : '.';
        if (frame == pressRightAt) offscreen::pressKey(Key::Right);
      },
      commandLine);
  return seen;
}

TEST(FlickerTest, SixFramesOnSixOff) { EXPECT_EQ(pattern(24), "######......######......"); }

TEST(FlickerTest, StartingValueFromTheCommandLine) { EXPECT_EQ(pattern(12, "--set \"Frames on=2\""), "##..##..##.."); }

TEST(FlickerTest, RightInTheConsoleLengthensIt) {
  // Pressed after frame 3 (presented 5): from the routine's next frame on, 7.
  EXPECT_EQ(pattern(21, "", kFirst + 2), "#######.......#######");
}

TEST(FlickerTest, TheSquareIs101PixelsAcrossAtTheCentre) {
  offscreen::run(kFirst, [](int frame) {
    if (frame != kFirst) return;
    const offscreen::Image image = offscreen::frame();
    int left = -1, right = -1, white = 0;
    for (int x = 0; x < image.width; ++x) {
      if (image.rgb(x, 384) != 0xFFFFFF) continue;
      if (left < 0) left = x;
      right = x;
      ++white;
    }
    EXPECT_EQ(white, 101);
    EXPECT_EQ(right - left, 100) << "one run, no gaps";
    EXPECT_EQ(left + right, 2 * 512) << "centred";
  });
}

}  // namespace
