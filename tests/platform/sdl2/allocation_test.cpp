// No heap allocation in the frame loop while input arrives, on the real
// input path of the Linux program: X events (XTest, as a keyboard and mouse
// make them) read by SDL, moved into the Win32 model's queue and taken by
// the console's key queries inside Canvas::flip. This executable's own
// operator new counts what the routine's thread allocates between two
// frames; the X and GL libraries, which are C, are not counted. Run under
// Xvfb by its ctest entry, unpaced so that the frames go quickly.
#include <gtest/gtest.h>

#include <cstdlib>

#include "library/kestravon.h"
#include "library/shell/startup.h"
#include "tests/support/allocation_counter.h"

// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace Kestravon {
namespace {

using testing::allocationsCounted;
using testing::countingAllocations;

constexpr int kFirstCounted = 30;
constexpr int kLastCounted = 630;
constexpr int kPresses = 20;  // Right, one every 30 frames from frame 45

int steps = 0;  // the console's first row: Right steps it
long frameAllocations = -1;
int motionsSent = 0;
bool displayOpened = false;

void routine() {
  Range range;
  VariableRegistrar::add(steps).label("Steps").range(0 <= range <= 1000).step(1).step(1);
  Display* input = XOpenDisplay(nullptr);
  displayOpened = input != nullptr;
  if (input == nullptr) return;
  const unsigned right = XKeysymToKeycode(input, XK_Right);

  Canvas canvas(1024, 768, 32, 60);
  for (int frame = 0; frame <= kLastCounted; ++frame) {
    const bool wasCounting = countingAllocations;
    countingAllocations = false;  // the test's own input is not the library's
    XTestFakeMotionEvent(input, -1, frame % 1000 + 10, 300 + frame % 7, CurrentTime);
    ++motionsSent;
    if (frame >= 45 && (frame - 45) % 30 == 0 && (frame - 45) / 30 < kPresses) {
      XTestFakeKeyEvent(input, right, True, CurrentTime);
      XTestFakeKeyEvent(input, right, False, CurrentTime);
    }
    XSync(input, False);  // the server has them: SDL reads them in the next flips
    countingAllocations = wasCounting;
    if (frame == kFirstCounted) {
      allocationsCounted = 0;
      countingAllocations = true;
    }
    canvas.clear(Color::black);
    canvas.fillRect(Rectangle().set(20, 20).centering(frame % 1000 + 10, 300), Color::white);
    canvas.flip();
  }
  countingAllocations = false;
  frameAllocations = allocationsCounted;
  // The last presses may still be on their way.
  for (int frame = 0; frame < 600 && steps < kPresses; ++frame) canvas.flip();
  XCloseDisplay(input);
}

TEST(Sdl2AllocationTest, NoFrameAllocatesWhileKeysAndPointerMotionArrive) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
  setenv("KESTRAVON_UNPACED", "1", 1);
  const int status = startUp(nullptr, nullptr, "", 1, routine);
  ASSERT_TRUE(displayOpened) << "the test cannot reach the display";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(frameAllocations, 0) << "allocations in frames " << kFirstCounted + 1 << " to " << kLastCounted;
  EXPECT_EQ(steps, kPresses) << "every key press came through the event path";
  EXPECT_GT(motionsSent, kLastCounted - kFirstCounted);
}

}  // namespace
}  // namespace Kestravon
