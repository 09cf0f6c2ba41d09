// The real stimulus routine on the headless backend: every presented frame
// is compared, pixel for pixel, with a frame drawn from the geometry of the
// moving bars as stimulus/stimulus.h describes it; and its console's six rows.
#include "stimulus/stimulus.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "library/base/command_line.h"
#include "library/canvas/canvas.h"
#include "library/shell/startup.h"
#include "platform/headless/headless.h"
#include "tests/support/bar_geometry.h"
#include "tests/support/canvas_fixture.h"
#include "tests/support/font_model.h"
#include "tests/support/headless_fixture.h"
#include "tests/support/image_check.h"
#include "tests/support/opening_failures.h"
#include "tools/stimulus_driver.h"

namespace Kestravon {
namespace {

namespace hl = platform::headless;
using testing::Image;

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
// The console's rows occupy the top-left corner; the bars never reach it.
constexpr int kConsoleRight = 200;
constexpr int kConsoleBottom = 290;

struct Variables {
  double pathRatio = 1.0;
  int barWidth = 6;
  int soa = 2;
  int eccentricity = 80;
  int motionDirection = 1;
  double greenLevel = 1.0;
};

// The frames the routine should draw: the bar geometry of the values set,
// the upper row rightwards when the direction is 1.
class Model {
 public:
  void advance(const Variables& v) {
    v_ = v;
    g_ = testing::BarGeometry(v.pathRatio, v.barWidth, v.soa);
    counter_ = (counter_ + 1) % g_.cycle;
  }

  int barsPerRow() const { return g_.N; }
  int pathLength() const { return g_.L; }
  bool flash() const { return counter_ % v_.soa == 0; }
  int phase() const { return counter_ / v_.soa; }

  int rightwardCentre(int i) const { return g_.rightwardCentre(phase(), i); }
  int leftwardCentre(int i) const { return g_.leftwardCentre(phase(), i); }

  Image draw() const {
    Image image = testing::blackScreen();
    testing::fillRegion(image, 510, 382, 514, 386, 0xFFFFFF);
    if (flash()) {
      const std::uint32_t a = 0xFF0000;
      const std::uint32_t b = static_cast<std::uint32_t>(std::lround(v_.greenLevel * 255.0)) << 8;
      const bool upperRight = v_.motionDirection == 1;
      for (int i = 0; i < g_.N; ++i) {
        const std::uint32_t colour = (phase() + i) % 2 == 0 ? a : b;
        bar(image, upperRight ? rightwardCentre(i) : leftwardCentre(i), 384 - v_.eccentricity, colour);
        bar(image, upperRight ? leftwardCentre(i) : rightwardCentre(i), 384 + v_.eccentricity, colour);
      }
    }
    return image;
  }

 private:
  // A bar w wide and 40 high centred on (c, y): its inclusive corners sit
  // at c -/+ (w - 1) / 2 and y -/+ 19.5, which cover w by 40 whole pixels.
  void bar(Image& image, int c, int y, std::uint32_t rgb) const {
    const int w = v_.barWidth;
    const int left = c - w / 2 + (w % 2 == 0 ? 1 : 0);
    testing::fillRegion(image, left, y - 19, left + w - 1, y + 20, rgb);
  }

  Variables v_;
  testing::BarGeometry g_{1.0, 6, 2};
  int counter_ = 0;
};

// The whole frame but the console's corner: right of it, then below it.
::testing::AssertionResult SameOutsideConsole(const Image& got, const Image& want, int frame) {
  ::testing::AssertionResult same = testing::RegionsEqual(want, got, kConsoleRight, 0, kWidth - 1, kConsoleBottom - 1);
  if (same) same = testing::RegionsEqual(want, got, 0, kConsoleBottom, kWidth - 1, kHeight - 1);
  if (!same) same << " (frame " << frame << ")";
  return same;
}

void applyToProgram(const Variables& v) {
  driver::setVariable("Path-length Ratio", v.pathRatio);
  driver::setVariable("Bar Width", v.barWidth);
  driver::setVariable("SOA", v.soa);
  driver::setVariable("Eccentricity", v.eccentricity);
  driver::setVariable("Motion Direction", v.motionDirection);
  driver::setVariable("Green luminance", v.greenLevel);
}

// Runs the program for `frames` frames; before frame f it applies
// `change(f, variables)` (which may alter the variables) and then compares
// the presented frame with the model. Returns the number of flash frames.
int runAndCompare(int frames, const std::function<void(int, Variables&)>& change) {
  Variables v;
  Model model;
  int flashes = 0;
  bool ok = true;
  const int status = driver::runStimulus(frames, [&](int frame) {
    if (!ok) return;
    if (frame > 0) {
      model.advance(v);
      flashes += model.flash();
      const ::testing::AssertionResult same = SameOutsideConsole(hl::frontImage(), model.draw(), frame);
      if (!same) {
        ADD_FAILURE() << same.message();
        ok = false;
      }
    }
    if (frame < frames && change) {
      change(frame + 1, v);
      applyToProgram(v);
    }
  });
  EXPECT_EQ(status, 0) << "the routine ends normally through its own Escape test";
  return flashes;
}

using StimulusTest = testing::HeadlessTest;

TEST_F(StimulusTest, DefaultValuesOverMoreThanOneFullCycle) {
  // cycle = (600 / 6) * 2 = 200 frames; 230 frames cross the wrap to 0.
  const int flashes = runAndCompare(230, nullptr);
  EXPECT_EQ(flashes, 115) << "bars on every second frame, starting with the second";
}

TEST_F(StimulusTest, DefaultGeometry) {
  Model model;
  Variables v;
  model.advance(v);
  EXPECT_EQ(model.pathLength(), 600);
  EXPECT_EQ(model.barsPerRow(), 50);
  EXPECT_FALSE(model.flash());
  model.advance(v);
  EXPECT_TRUE(model.flash());
  EXPECT_EQ(model.rightwardCentre(0), 218);  // 6 pixels on at the first flash
  // The real program: at frame 2 (phase 1) the upper bar 0 covers 216..221
  // and rows 285..324 in green, bar 1 red; the lower row mirrors the upper.
  driver::runStimulus(2, [](int frame) {
    if (frame != 2) return;
    const Image image = hl::frontImage();
    EXPECT_TRUE(testing::RegionIs(image, 216, 285, 221, 324, 0x00FF00));
    EXPECT_TRUE(testing::RegionIs(image, 228, 285, 233, 324, 0xFF0000));
    EXPECT_TRUE(testing::RegionIs(image, 222, 285, 227, 324, 0x000000));
    EXPECT_EQ(image.rgb(216, 284), 0u);
    EXPECT_EQ(image.rgb(216, 325), 0u);
    EXPECT_TRUE(testing::RegionIs(image, 1025 - 221, 445, 1025 - 216, 484, 0x00FF00));
  });
}

TEST_F(StimulusTest, BarWidthAndPathRatioChangeTheRows) {
  struct Case {
    double ratio;
    int width;
    int L;
    int N;
  } const cases[] = {{1.0, 7, 588, 42}, {1.0, 3, 600, 100}, {1.5, 6, 600, 50},
                     {2.0, 6, 576, 32}, {6.0, 10, 560, 8},  {1.0, 10, 600, 30}};
  for (const Case& c : cases) {
    Model model;
    Variables v;
    v.pathRatio = c.ratio;
    v.barWidth = c.width;
    model.advance(v);
    EXPECT_EQ(model.pathLength(), c.L) << c.ratio << " " << c.width;
    EXPECT_EQ(model.barsPerRow(), c.N) << c.ratio << " " << c.width;
  }
  // And the program draws them so, across a wrap of the shortest cycle.
  runAndCompare(60, [](int frame, Variables& v) {
    v.barWidth = frame <= 20 ? 7 : frame <= 40 ? 3 : 10;
    v.pathRatio = frame <= 40 ? 1.0 : 6.0;
  });
}

TEST_F(StimulusTest, SoaOneFlashesEveryFrame) {
  const int flashes = runAndCompare(120, [](int, Variables& v) { v.soa = 1; });
  EXPECT_EQ(flashes, 120);
}

TEST_F(StimulusTest, DirectionZeroMovesLikeMinusOne) {
  std::vector<Image> minusOne;
  std::vector<Image> zero;
  for (int direction : {-1, 0}) {
    std::vector<Image>& frames = direction == -1 ? minusOne : zero;
    driver::runStimulus(24, [&](int frame) {
      if (frame == 0) driver::setVariable("Motion Direction", direction);
      if (frame > 0) frames.push_back(hl::frontImage());
    });
  }
  ASSERT_EQ(minusOne.size(), 24u);
  // The console shows the two values differently; the stimulus is the same.
  for (std::size_t i = 0; i < minusOne.size(); ++i) {
    EXPECT_TRUE(SameOutsideConsole(zero[i], minusOne[i], static_cast<int>(i) + 1));
  }
  runAndCompare(40, [](int, Variables& v) { v.motionDirection = 0; });
}

TEST_F(StimulusTest, ChangesMidRunKeepTheCounterAndWrapUnbroken) {
  // Eccentricity, SOA, green level and direction change while the rows move;
  // the frame counter carries over and is reduced by the new cycle.
  runAndCompare(260, [](int frame, Variables& v) {
    if (frame == 30) v.eccentricity = 140;
    if (frame == 60) v.soa = 3;
    if (frame == 90) v.motionDirection = -1;
    if (frame == 120) v.barWidth = 9;
    if (frame == 150) v.pathRatio = 3.5;
    if (frame == 180) v.soa = 1;
    if (frame == 200) v.eccentricity = 10;
    if (frame == 220) v.barWidth = 4;
  });
}

TEST_F(StimulusTest, RowCentresStayOnTheirHalfOpenPaths) {
  Variables v;
  for (int w = 3; w <= 10; ++w) {
    for (double ratio : {1.0, 2.0, 3.0, 4.5, 6.0}) {
      v.barWidth = w;
      v.pathRatio = ratio;
      Model model;
      const int frames = 2 * 600;
      for (int f = 0; f < frames; ++f) {
        model.advance(v);
        const int xLeft = 512 - model.pathLength() / 2;
        const int xRight = 512 + model.pathLength() / 2;
        for (int i = 0; i < model.barsPerRow(); ++i) {
          ASSERT_GE(model.rightwardCentre(i), xLeft);
          ASSERT_LT(model.rightwardCentre(i), xRight);
          ASSERT_GT(model.leftwardCentre(i), xLeft);
          ASSERT_LE(model.leftwardCentre(i), xRight);
        }
        ASSERT_LE(model.barsPerRow(), 100);
      }
    }
  }
  // The program's own frames put every bar where the model does, over a
  // whole cycle (a flash on every frame), the wrap included.
  const struct {
    int w;
    double ratio;
  } paths[] = {{3, 1.0}, {6, 4.5}, {10, 6.0}};
  for (const auto& path : paths) {
    SCOPED_TRACE("bar width " + std::to_string(path.w) + ", path-length ratio " + std::to_string(path.ratio));
    const testing::BarGeometry geometry(path.ratio, path.w, 1);
    const int flashes = runAndCompare(geometry.cycle + 1, [&path](int, Variables& v) {
      v.barWidth = path.w;
      v.pathRatio = path.ratio;
      v.soa = 1;
    });
    EXPECT_EQ(flashes, geometry.cycle + 1);
  }
}

// The parameter console of the program: its six rows, driven by the arrow keys.

constexpr std::uint32_t kWhite = 0xFFFFFF;

// The console's corner of the canvas; the bars never reach it.
constexpr int kCornerRight = 199;
constexpr int kCornerBottom = 289;

const char* const kLabels[6] = {"Path-length Ratio", "Bar Width",        "SOA",
                                "Eccentricity",      "Motion Direction", "Green luminance"};

std::vector<testing::ConsoleRow> stimulusRows() {
  std::vector<testing::ConsoleRow> rows;
  for (const char* label : kLabels) {
    const double value = driver::variableValue(label);
    const bool isInt = dynamic_cast<VariableMonitor_Holder_Instance<int>*>(driver::findHolder(label)) != nullptr;
    rows.push_back({label, isInt ? testing::streamed(static_cast<int>(value)) : testing::streamed(value)});
  }
  return rows;
}

// --photodiode: in each corner, a 50x50 square white on every flash frame
// (SOA 3 here: loop frames 3, 6, ...) and black on every other, exactly,
// over whatever the frame holds there (the console, in the top left).
TEST(PhotodiodeTest, ThePatchIsWhiteExactlyOnTheFlashFramesInTheCornerAsked) {
  const struct {
    const char* corner;
    int left;
    int top;
  } corners[] = {{"top-left", 0, 0},
                 {"top-right", kWidth - 50, 0},
                 {"bottom-left", 0, kHeight - 50},
                 {"bottom-right", kWidth - 50, kHeight - 50}};
  for (const auto& c : corners) {
    int checked = 0;
    const int status = driver::runStimulus(
        9,
        [&](int frame) {
          if (frame < 1) return;
          const Image image = hl::frontImage();
          const std::uint32_t expected = frame % 3 == 0 ? 0xFFFFFFu : 0x000000u;
          int wrong = 0;
          for (int y = c.top - 1; y <= c.top + 50; ++y) {
            for (int x = c.left - 1; x <= c.left + 50; ++x) {
              const bool inside = x >= c.left && x < c.left + 50 && y >= c.top && y < c.top + 50;
              if (x < 0 || y < 0 || x >= kWidth || y >= kHeight || !inside) continue;
              wrong += image.rgb(x, y) != expected ? 1 : 0;
            }
          }
          EXPECT_EQ(wrong, 0) << c.corner << ", loop frame " << frame;
          // Just outside it, the stimulus as ever: black there (the console's text lies further in).
          const int outsideX = c.left == 0 ? 50 : c.left - 1;
          const int outsideY = c.top == 0 ? 50 : c.top - 1;
          EXPECT_EQ(image.rgb(outsideX, outsideY), 0x000000u) << c.corner;
          ++checked;
        },
        (std::string("--set SOA=3 --photodiode ") + c.corner).c_str());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(checked, 9);
  }
  // A corner that is not one: refused before the display is touched.
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(driver::runStimulus(3, nullptr, "--photodiode centre"), kUsageExitStatus);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find(
                "Kestravon: --photodiode takes top-left, top-right, bottom-left or bottom-right, not \"centre\""),
            std::string::npos);
}

TEST(StimulusConsoleTest, SixRowsAndTheArrowKeysDriveThem) {
  struct Step {
    int frame;
    int key;
    bool shift;
  };
  // One key press per frame: the loop's Escape query takes the key-down,
  // the console's Right query the key-up, and the push stays latched.
  const Step script[] = {
      {0, platform::kVkUp, false},     // Path-length Ratio -> Green luminance (wraps)
      {1, platform::kVkLeft, false},   // green 1.0 -> 0.95
      {2, platform::kVkDown, false},   // back to Path-length Ratio (wraps)
      {3, platform::kVkRight, true},   // ratio 1.0 + Shift step 2 = 3.0
      {4, platform::kVkRight, false},  // ratio 3.0 + 0.5 = 3.5
      {5, platform::kVkDown, false},   // Bar Width
      {6, platform::kVkLeft, false},   // 6 -> 5
      {7, platform::kVkDown, false},   // SOA
      {8, platform::kVkDown, false},   // Eccentricity
      {9, platform::kVkRight, true},   // 80 + Shift step 10 = 90
  };
  const int selectedAfter[] = {0, 5, 5, 0, 0, 0, 1, 1, 2, 3, 3};
  std::vector<std::string> failures;
  const int status = driver::runStimulus(10, [&](int frame) {
    const Image image = hl::frontImage();
    Image expected = testing::blackScreen();
    testing::paintConsoleRows(expected, stimulusRows(), selectedAfter[frame]);
    const ::testing::AssertionResult same = testing::RegionsEqual(expected, image, 0, 0, kCornerRight, kCornerBottom);
    if (!same) failures.push_back("frame " + std::to_string(frame) + ": " + same.message());
    if (frame == 0) {
      // Rows at y = 0, 50, ... 250: the labels' bottom rows on 30, 80, ... 280.
      EXPECT_EQ(image.rgb(30, 29), kWhite);  // P, row 5 (C0)
      for (int i = 1; i < 6; ++i) {
        // The first glyph's row 5 (CC, F8, F8, DB, 7C) lights column 31.
        EXPECT_EQ(image.rgb(31, 29 + 50 * i), testing::kHalfWhite) << "row " << i;
        EXPECT_TRUE(testing::RegionIs(image, 0, 30 + 50 * i, 40, 30 + 50 * i, 0x000000)) << "row " << i;
      }
    }
    if (frame == 10) {
      EXPECT_EQ(driver::variableValue("Green luminance"), 1.0 - 0.05);
      EXPECT_EQ(driver::variableValue("Path-length Ratio"), 3.5);
      EXPECT_EQ(driver::variableValue("Bar Width"), 5);
      EXPECT_EQ(driver::variableValue("SOA"), 2);
      EXPECT_EQ(driver::variableValue("Eccentricity"), 90);
      EXPECT_EQ(driver::variableValue("Motion Direction"), 1);
    }
    for (const Step& s : script) {
      if (s.frame != frame) continue;
      hl::setKeyDown(platform::kVkShift, s.shift);
      hl::pushKeyDown(s.key);
      hl::pushKeyUp(s.key);
    }
  });
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(failures.empty()) << ::testing::PrintToString(failures);
}

using ProgramFailureTest = testing::CanvasTest;

// Position of the last log entry starting with `prefix`, or -1.
int lastEntry(const std::vector<std::string>& log, const std::string& prefix) {
  for (int i = static_cast<int>(log.size()) - 1; i >= 0; --i) {
    if (log[static_cast<std::size_t>(i)].compare(0, prefix.size(), prefix) == 0) return i;
  }
  return -1;
}

// The whole program (start-up running the real stimulus) meets each failure:
// the box shows its text, the status is 15, and the display mode and the
// cursor were given back before the box appeared.
TEST_F(ProgramFailureTest, EveryOpeningFailureOfTheProgramGivesTheDesktopBackBeforeItsBox) {
  std::vector<testing::OpeningFailure> cases = testing::openingFailures();
  const std::size_t canvasCases = cases.size();
  // Start-up's own failures come before any canvas: nothing is touched.
  cases.push_back({"no window class", [] { hl::faults().registerWindowClass = true; },
                   "Failed to regist control message listner.", false});
  cases.push_back({"no listener", [] { hl::faults().createMessageWindow = true; },
                   "Failed to create control message listner.", false});
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const testing::OpeningFailure& c = cases[i];
    SCOPED_TRACE(c.name);
    hl::reset();
    c.inject();
    EXPECT_EQ(startUp(nullptr, nullptr, "", 1, stimulus_main), kFailureExitStatus);
    const hl::State& s = hl::state();
    ASSERT_EQ(s.messageBoxes.size(), 1u);
    EXPECT_EQ(s.messageBoxes[0].text, c.text);
    EXPECT_EQ(s.messageBoxes[0].caption, "Kestravon Notification");
    EXPECT_EQ(s.swapCount, 0) << "no frame was shown";
    expectDesktopRestored();
    const int box = lastEntry(s.log, "messageBox");
    const int hidden = lastEntry(s.log, "showCursor 0");
    if (c.afterSwitch) {
      const int restored = lastEntry(s.log, "restoreDisplayMode");
      const int shown = lastEntry(s.log, "showCursor 1");
      ASSERT_GE(hidden, 0);
      EXPECT_LT(hidden, restored);
      EXPECT_LT(restored, box);
      EXPECT_LT(hidden, shown);
      EXPECT_LT(shown, box);
    } else {
      EXPECT_EQ(hidden, -1) << "the cursor was never hidden";
    }
    if (i >= canvasCases) {
      EXPECT_EQ(lastEntry(s.log, "changeDisplayMode"), -1);
    }
    EXPECT_EQ(currentCanvas, nullptr);
  }
}

}  // namespace
}  // namespace Kestravon
