// The harness a lab tests its own routine with: frames numbered from the
// canvas's first, keys the routine takes between frames, each frame's
// pixels, variables by label, and the counter moving at the frame period
// asked for that run only.
#include "offscreen/offscreen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace Kestravon {
namespace {

int width = 4;  // registered as "Width": Right widens the square by 1, Shift-Right by 2
std::vector<double> intervals;

// A white square on black, `width` pixels wide at the top left, until
// Escape; the interval of each frame as the routine's Clock sees it.
void squareRoutine() {
  Range range;
  VariableRegistrar::add(width).label("Width").range(1 <= range <= 100).step(2).step(1);
  intervals.clear();
  Canvas canvas(1024, 768, 32, 60);
  Clock last;
  while (!Keyboard::query(Key::Escape, pushed)) {
    canvas.clear(Color::black);
    canvas.fillRect(Rectangle(0, 0, width, width), Color::white);
    canvas.flip();
    Clock now;
    intervals.push_back((now - last).milliseconds());
    last = now;
  }
}

// The console steps a variable inside the flip that presents a frame
// (after its drawing): the harness sees the new value after that frame,
// and the pixels show it from the next one.
TEST(OffscreenTest, AKeyPressedBetweenFramesChangesTheVariableThenThePixels) {
  std::vector<double> widths;
  std::vector<std::uint32_t> edge;
  const int status = offscreen::run(
      8,
      [&](int frame) {
        widths.push_back(offscreen::variable("Width"));
        edge.push_back(offscreen::frame().rgb(6, 6));
        if (frame == 4) offscreen::pressKey(Key::Right);
      },
      "--set Width=5", squareRoutine);
  EXPECT_EQ(status, 0) << "Escape after frame 8 ends the routine";
  // Frames 1 and 2 are the canvas's blank ones; the routine draws from 3,
  // its square's corners (0, 0) and (width, width) included.
  EXPECT_EQ(widths, (std::vector<double>{5, 5, 5, 5, 6, 6, 6, 6})) << "Right: the plain step, 1";
  EXPECT_EQ(edge, (std::vector<std::uint32_t>{0, 0, 0, 0, 0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}));
  EXPECT_EQ(offscreen::frame().rgb(5, 5), 0xFFFFFFu);
  EXPECT_EQ(offscreen::frame().rgb(7, 7), 0x000000u);
  EXPECT_TRUE(std::isnan(offscreen::variable("No such variable")));
}

// A frame period set for one run holds for that run; the next one is at
// 60 Hz again (one test's period never leaks into another's).
TEST(OffscreenTest, AFramePeriodHoldsForTheNextRunOnly) {
  offscreen::setFramePeriod(10.0);
  ASSERT_EQ(offscreen::run(6, nullptr, "", squareRoutine), 0);
  ASSERT_GE(intervals.size(), 3u);
  for (std::size_t i = 1; i < intervals.size(); ++i) EXPECT_EQ(intervals[i], 10.0) << i;
  ASSERT_EQ(offscreen::run(6, nullptr, "", squareRoutine), 0);
  // 16.667 ms, in the whole milliseconds a Clock reads.
  for (std::size_t i = 1; i < intervals.size(); ++i) EXPECT_EQ(intervals[i], 16.0) << i;
}

}  // namespace
}  // namespace Kestravon
