// The parameter console on the headless backend: scripted arrow and Shift
// keys, the rows it draws on every flip, and a fresh start on every run.
//
// Every key query takes at most one message first; a flip with the console
// on asks Right, [Shift], Left, [Shift], Up and Down in that order.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "library/base/keyboard.h"
#include "library/canvas/canvas.h"
#include "library/parameters/parameter_console.h"
#include "library/parameters/range.h"
#include "library/parameters/variable_registry.h"
#include "offscreen/offscreen.h"
#include "platform/platform.h"
#include "tests/support/canvas_fixture.h"
#include "tests/support/font_model.h"
#include "tests/support/image_check.h"

namespace Kestravon {
namespace {

namespace hl = platform::headless;
using testing::Image;

constexpr std::uint32_t kWhite = 0xFFFFFF;

class ConsoleTest : public testing::CanvasTest {
 protected:
  void TearDown() override {
    canvas_.reset();
    CanvasTest::TearDown();
  }

  // Three rows, as a routine registers them before it opens its canvas.
  void registerThree() {
    Range r;
    10 <= r <= 140;
    VariableRegistrar::add(bar).label("Bar").range(r).step(10).step(20);
    0.0 <= r <= 1.0;
    VariableRegistrar::add(road).label("Road").range(r).step(0.5).step(0.25);
    -1 <= r <= 1;
    VariableRegistrar::add(sea).label("Sea").range(r).step(1).step(2);
  }

  void open(bool consoleOn = true) {
    canvas_ = std::make_unique<Canvas>(1024, 768, 32, 60.0);
    ParameterConsole::setEnabled(consoleOn);
  }

  Image flip() {
    canvas_->clear(Color::black);
    canvas_->flip();
    return hl::frontImage();
  }

  // A key pushed and released: one flip takes the key-down, the next the key-up.
  Image press(int vk) {
    hl::pushKeyDown(vk);
    Image image = flip();
    hl::pushKeyUp(vk);
    flip();
    return image;
  }

  Image threeRows(int selected) const {
    Image image = testing::blackScreen();
    testing::paintConsoleRows(
        image, {{"Bar", testing::streamed(bar)}, {"Road", testing::streamed(road)}, {"Sea", testing::streamed(sea)}},
        selected);
    return image;
  }

  int bar = 80;
  double road = 0.5;
  int sea = 1;

 private:
  std::unique_ptr<Canvas> canvas_;
};

TEST_F(ConsoleTest, RowsRunDownFromTheTopInRegistrationOrder) {
  registerThree();
  open();
  const Image image = flip();
  EXPECT_TRUE(testing::ImagesEqual(threeRows(0), image));
  // Labels' bottom rows on 30, 80 and 130; the selected one opaque white.
  EXPECT_EQ(image.rgb(30, 29), kWhite);                // B, row 5 (F8)
  EXPECT_EQ(image.rgb(30, 79), testing::kHalfWhite);   // R, row 5 (CC)
  EXPECT_EQ(image.rgb(34, 129), testing::kHalfWhite);  // S, row 5 (F8)
}

TEST_F(ConsoleTest, UpAndDownMoveTheSelectionAndWrapAround) {
  registerThree();
  open();
  // The move shows in the rows drawn by the same flip.
  EXPECT_TRUE(testing::ImagesEqual(threeRows(2), press(platform::kVkUp))) << "Up from the first row selects the last";
  EXPECT_TRUE(testing::ImagesEqual(threeRows(0), press(platform::kVkDown)))
      << "Down from the last row selects the first";
  EXPECT_TRUE(testing::ImagesEqual(threeRows(1), press(platform::kVkDown)));
  EXPECT_TRUE(testing::ImagesEqual(threeRows(2), press(platform::kVkDown)));
  EXPECT_TRUE(testing::ImagesEqual(threeRows(1), press(platform::kVkUp)));
  EXPECT_EQ(bar, 80);
  EXPECT_EQ(road, 0.5);
  EXPECT_EQ(sea, 1);
}

TEST_F(ConsoleTest, OneRowIsBothFirstAndLast) {
  Range r;
  10 <= r <= 140;
  VariableRegistrar::add(bar).label("Bar").range(r).step(10).step(20);
  open();
  Image expected = testing::blackScreen();
  testing::paintConsoleRows(expected, {{"Bar", "80"}}, 0);
  EXPECT_TRUE(testing::ImagesEqual(expected, press(platform::kVkUp)));
  EXPECT_TRUE(testing::ImagesEqual(expected, press(platform::kVkDown)));
}

TEST_F(ConsoleTest, UpAndDownInOneFlipCancel) {
  registerThree();
  open();
  // Right and Left take the two messages; Up wraps to the last row, Down back.
  hl::pushKeyDown(platform::kVkUp);
  hl::pushKeyDown(platform::kVkDown);
  EXPECT_TRUE(testing::ImagesEqual(threeRows(0), flip()));
  EXPECT_EQ(hl::pendingMessages(), 0u);
  hl::pushKeyUp(platform::kVkUp);
  hl::pushKeyUp(platform::kVkDown);
  flip();
  // The same from the middle row.
  press(platform::kVkDown);
  hl::pushKeyDown(platform::kVkDown);
  hl::pushKeyDown(platform::kVkUp);
  EXPECT_TRUE(testing::ImagesEqual(threeRows(1), flip()));
}

TEST_F(ConsoleTest, RightAndLeftInOneFlipBothApplyIncrementFirst) {
  registerThree();
  bar = 140;  // the top of its range: 160 is refused, then 140 - 20 = 120
  open();
  hl::pushKeyDown(platform::kVkRight);
  hl::pushKeyDown(platform::kVkLeft);  // taken by the Shift query that follows Right
  flip();
  EXPECT_EQ(bar, 120);
  EXPECT_EQ(hl::pendingMessages(), 0u);
}

TEST_F(ConsoleTest, ValuesChangeOnTheSelectionTheFlipStartedWith) {
  registerThree();
  open();
  hl::pushKeyDown(platform::kVkRight);
  hl::pushKeyDown(platform::kVkDown);
  const Image image = flip();
  EXPECT_EQ(bar, 100);
  EXPECT_EQ(road, 0.5);
  EXPECT_TRUE(testing::ImagesEqual(threeRows(1), image)) << "new value and new selection in the same frame";
}

TEST_F(ConsoleTest, ShiftPicksTheShiftStep) {
  registerThree();
  open();
  // Shift held without a message reaching the program.
  hl::setKeyDown(platform::kVkShift, true);
  press(platform::kVkRight);
  EXPECT_EQ(bar, 90);
  press(platform::kVkLeft);
  EXPECT_EQ(bar, 80);
  hl::setKeyDown(platform::kVkShift, false);
  press(platform::kVkRight);
  EXPECT_EQ(bar, 100);
  press(platform::kVkLeft);
  EXPECT_EQ(bar, 80);
  // Shift arriving as a message just before Right: the Right query of the
  // first flip takes the Shift key-down, Left's takes Right's; the next flip
  // finds Right latched and Shift down.
  hl::pushKeyDown(platform::kVkShift);
  hl::pushKeyDown(platform::kVkRight);
  flip();
  EXPECT_EQ(bar, 80);
  const Image image = flip();
  EXPECT_EQ(bar, 90);
  EXPECT_TRUE(testing::ImagesEqual(threeRows(0), image));
}

TEST_F(ConsoleTest, HoldingAKeyStepsOnlyOnce) {
  registerThree();
  open();
  // Auto-repeat: key-down messages without key-ups between them.
  for (int i = 0; i < 10; ++i) {
    hl::pushKeyDown(platform::kVkRight);
    flip();
  }
  EXPECT_EQ(bar, 100);
  for (int i = 0; i < 10; ++i) {
    hl::pushKeyDown(platform::kVkDown);
    flip();
  }
  hl::pushKeyUp(platform::kVkRight);
  hl::pushKeyUp(platform::kVkDown);
  flip();
  EXPECT_TRUE(testing::ImagesEqual(threeRows(1), flip()));
  press(platform::kVkRight);
  EXPECT_EQ(road, 0.75);
  EXPECT_EQ(bar, 100);
}

TEST_F(ConsoleTest, RefusedStepsLeaveTheRowAsItWas) {
  registerThree();
  open();
  press(platform::kVkUp);  // Sea, at 1 in -1 to 1, plain step 2
  const Image image = press(platform::kVkRight);
  EXPECT_EQ(sea, 1);
  EXPECT_TRUE(testing::ImagesEqual(threeRows(2), image));
  press(platform::kVkLeft);
  EXPECT_EQ(sea, -1);
  EXPECT_TRUE(testing::ImagesEqual(threeRows(2), flip()));
}

TEST_F(ConsoleTest, SwitchedOffItDrawsNothingAndAsksForNoKey) {
  registerThree();
  open(false);
  hl::pushKeyDown(platform::kVkRight);
  hl::pushKeyDown(platform::kVkDown);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(testing::CountColor(flip(), 0x000000), 1024 * 768);
  }
  EXPECT_EQ(hl::pendingMessages(), 2u) << "no key was asked for";
  EXPECT_EQ(bar, 80);
  // Someone else's query takes the messages; the pushes stay latched for the console.
  Keyboard::query(Key::Escape, pushed);
  Keyboard::query(Key::Escape, pushed);
  ParameterConsole::setEnabled(true);
  const Image image = flip();
  EXPECT_EQ(bar, 100);
  EXPECT_TRUE(testing::ImagesEqual(threeRows(1), image));
}

TEST_F(ConsoleTest, EmptyRegistryDrawsNothingAndIgnoresTheKeys) {
  open();
  hl::setKeyDown(platform::kVkShift, true);
  for (int vk : {platform::kVkRight, platform::kVkLeft, platform::kVkUp, platform::kVkDown}) {
    hl::pushKeyDown(vk);
    EXPECT_EQ(testing::CountColor(flip(), 0x000000), 1024 * 768);
    hl::pushKeyUp(vk);
    flip();
  }
  hl::pushKeyDown(platform::kVkUp);
  hl::pushKeyDown(platform::kVkDown);
  hl::pushKeyDown(platform::kVkRight);
  hl::pushKeyDown(platform::kVkLeft);
  EXPECT_EQ(testing::CountColor(flip(), 0x000000), 1024 * 768);
  // A variable registered now gets a selected first row.
  registerThree();
  EXPECT_TRUE(testing::ImagesEqual(threeRows(0), flip()));
}

// A routine as a lab writes one: its variables outlive every run.
int framesOn = 6;
double contrast = 0.5;

void labRoutine() {
  Range frames;
  VariableRegistrar::add(framesOn).label("Frames on").range(1 <= frames <= 30).step(5).step(1);
  Range level;
  VariableRegistrar::add(contrast).label("Contrast").range(0.0 <= level <= 1.0).step(0.25).step(0.125);
  Canvas canvas(1024, 768, 32, 60);
  while (!Keyboard::query(Key::Escape, pushed)) canvas.flip();
}

// What one run's --set or console leaves does not carry into the next run
// in the same process: each starts from the values first registered, with
// the console on its first row.
TEST_F(ConsoleTest, EveryOffscreenRunStartsAfresh) {
  EXPECT_EQ(offscreen::run(5, nullptr, "--set \"Frames on=9\" --set Contrast=1", labRoutine), 0);
  EXPECT_EQ(framesOn, 9);
  EXPECT_EQ(contrast, 1.0);
  const auto downAndRight = [](int frame) {
    if (frame == 3) offscreen::pressKey(Key::Down);
    if (frame == 5) offscreen::pressKey(Key::Right);
  };
  EXPECT_EQ(offscreen::run(8, downAndRight, "", labRoutine), 0);
  EXPECT_EQ(framesOn, 6);
  EXPECT_EQ(contrast, 0.625) << "from 0.5, the console's second row";
  std::vector<double> seen;
  const auto right = [&seen](int frame) {
    if (frame == 2) seen = {offscreen::variable("Frames on"), offscreen::variable("Contrast")};
    if (frame == 3) offscreen::pressKey(Key::Right);
  };
  EXPECT_EQ(offscreen::run(6, right, "", labRoutine), 0);
  EXPECT_EQ(seen, (std::vector<double>{6, 0.5}));
  EXPECT_EQ(framesOn, 7) << "the console starts on its first row";
  EXPECT_EQ(contrast, 0.5);
}

}  // namespace
}  // namespace Kestravon
