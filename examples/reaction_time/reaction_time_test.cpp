// The reaction-time display, offscreen: the counter moves 1/60 s a frame,
// so a press k frames after the target's frame measures k x 16.667 ms.
#include "reaction_time.h"

#include <gtest/gtest.h>
#include <kestravon/offscreen.h>

using namespace Kestravon;

namespace {

bool targetShown() { return offscreen::frame().rgb(512, 384) == 0xFFFFFF; }

TEST(ReactionTimeTest, TheTimeFromTheTargetsFrameToTheAnswerIsMeasured) {
  int shownAt = 0;
  int answeredAt = 0;
  bool goneAfterAnswer = false;
  const int status = offscreen::run(
      80,
      [&](int frame) {
        if (shownAt == 0 && targetShown()) shownAt = frame;
        if (shownAt != 0 && frame == shownAt + 12) {
          offscreen::pressKey(Key::Space);
          answeredAt = frame;
        }
        if (answeredAt != 0 && frame == answeredAt + 2) goneAfterAnswer = !targetShown();
      },
      "--set \"Wait (frames)=20\"");
  EXPECT_EQ(status, 0);
  // Routine frame 19 (the 20th) shows it; the canvas's two blank frames come first.
  EXPECT_EQ(shownAt, 22);
  EXPECT_NEAR(lastResponseMs, 200.0, 0.01) << "12 frames at 60 Hz";
  EXPECT_TRUE(goneAfterAnswer);
  EXPECT_EQ(falseStarts, 0);
}

TEST(ReactionTimeTest, APressWithNoTargetIsAFalseStart) {
  offscreen::run(30, [](int frame) {
    if (frame == 5) offscreen::pressKey(Key::Space);
  });
  EXPECT_EQ(falseStarts, 1);
  EXPECT_EQ(lastResponseMs, 0.0);
}

}  // namespace
