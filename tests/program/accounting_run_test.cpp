// Frame accounting switched on while the real stimulus runs: it counts
// exactly over a run, and at the largest int both counters stop there (the
// documented choice) instead of overflowing, whatever the clock does. The
// sanitizer build turns any signed overflow here into a failure.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "library/canvas/canvas.h"
#include "platform/headless/headless.h"
#include "tests/support/headless_fixture.h"
#include "tools/stimulus_driver.h"

namespace Kestravon {
namespace {

namespace hl = platform::headless;
using AccountingRunTest = testing::HeadlessTest;

constexpr std::int64_t kPeriod = 10000000 / 60;  // one 60 Hz period of the backend's 10 MHz counter

TEST_F(AccountingRunTest, CountsEveryFlipAndEveryLateOneOverARun) {
  constexpr int kFrames = 3000;
  int late = 0;
  std::string failure;
  const int status = driver::runStimulus(kFrames, [&](int frame) {
    Canvas& canvas = *currentCanvas;
    if (frame == 0) {
      hl::setPresentImages(false);
      canvas.frameAccounting = true;
    } else if (failure.empty() && (canvas.flipCount != frame || canvas.droppedFrames != late)) {
      failure = "frame " + std::to_string(frame) + ": " + std::to_string(canvas.flipCount) + " flips, " +
                std::to_string(canvas.droppedFrames) + " missed, expected " + std::to_string(late);
    }
    // Every seventh frame takes two periods (33 ms): one period missed.
    const bool slow = frame % 7 == 6;
    hl::advanceCounter(slow ? 2 * kPeriod : kPeriod);
    late += slow;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(failure, "");
}

TEST_F(AccountingRunTest, CountersStopAtTheLargestIntWhateverTheClockDoes) {
  // From just below the limit, frames of every kind: on time, early, a
  // clock that runs backwards, stalls of a second, an hour and a day.
  const std::int64_t steps[] = {kPeriod,       0, -kPeriod,       3 * kPeriod,   10000000,
                                36000000000LL, 1, 864000000000LL, -36000000000LL};
  int frames = 0;
  std::int32_t lastFlips = 0;
  std::int32_t lastDropped = 0;
  std::string failure;
  const int status = driver::runStimulus(400, [&](int frame) {
    Canvas& canvas = *currentCanvas;
    if (frame == 0) {
      hl::setPresentImages(false);
      canvas.frameAccounting = true;
      canvas.flipCount = INT_MAX - 150;
      canvas.droppedFrames = INT_MAX - 100000;
      lastFlips = canvas.flipCount;
      lastDropped = canvas.droppedFrames;
    } else {
      ++frames;
      // Never down, never past the largest int (an int cannot be), and up
      // by one a flip until the limit.
      const std::int32_t wantFlips = lastFlips == INT_MAX ? INT_MAX : lastFlips + 1;
      if (failure.empty() && (canvas.flipCount != wantFlips || canvas.droppedFrames < lastDropped)) {
        failure = "frame " + std::to_string(frame) + ": flips " + std::to_string(canvas.flipCount) + ", missed " +
                  std::to_string(canvas.droppedFrames);
      }
      lastFlips = canvas.flipCount;
      lastDropped = canvas.droppedFrames;
    }
    hl::advanceCounter(steps[frame % (sizeof steps / sizeof steps[0])]);
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(failure, "");
  EXPECT_EQ(frames, 400);
  EXPECT_EQ(lastFlips, INT_MAX);
  EXPECT_EQ(lastDropped, INT_MAX) << "a day-long stall misses over five million periods";
}

}  // namespace
}  // namespace Kestravon
