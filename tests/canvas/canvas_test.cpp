#include "library/canvas/canvas.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "library/canvas/canvas_platform.h"
#include "library/canvas/display_lists.h"
#include "library/canvas/gl.h"
#include "tests/support/canvas_fixture.h"
#include "tests/support/image_check.h"
#include "tests/support/opening_failures.h"

namespace Kestravon {
namespace {

namespace hl = platform::headless;

using CanvasTest = testing::CanvasTest;

TEST_F(CanvasTest, OpensInTheDocumentedOrder) {
  Canvas canvas(1024, 768, 32, 60.0);
  const std::vector<std::string> expected = {
      "changeDisplayMode 1024 768 32 60",
      "showCursor 0",
      "screenWidth",
      "screenHeight",
      "createCanvasWindow KestravonWindow Kestravon Main Window 0 0 1024 768",
      "getDeviceContext",
      "choosePixelFormat 0x1429 32 0 1",
      "setPixelFormat 1",
      "createGLContext",
      "makeCurrent 1",
      "bringWindowToTop",
      "showWindow 1",
      "swapBuffers",
      "swapBuffers",
  };
  EXPECT_EQ(hl::state().log, expected);
  EXPECT_TRUE(canvas.opened);
  EXPECT_TRUE(canvas.api->opened);
  EXPECT_EQ(currentCanvas, &canvas);
  EXPECT_EQ(canvas.width, 1024.0);
  EXPECT_EQ(canvas.height, 768.0);
  EXPECT_EQ(canvas.colorDepth, 32);
  EXPECT_DOUBLE_EQ(canvas.intervalLimit, 1000.0 / 60.0 + 1.0);
  EXPECT_EQ(canvas.intervalOffset, 0.1);
  EXPECT_FALSE(canvas.frameAccounting);
  EXPECT_FALSE(canvas.infoOverlay);
  EXPECT_EQ(canvas.flipCount, 0);
  EXPECT_EQ(canvas.droppedFrames, 0);
  EXPECT_EQ(hl::state().cursorCount, -1);
  EXPECT_TRUE(hl::state().displayModeChanged);
  EXPECT_NE(segmentLists[0], 0u);
  EXPECT_NE(fontLists[0], 0u);
  EXPECT_EQ(digitHeight, 19);
}

TEST_F(CanvasTest, RefreshRateIsTruncatedForTheModeOnly) {
  Canvas canvas(1024, 768, 32, 59.94);
  EXPECT_EQ(hl::state().log.front(), "changeDisplayMode 1024 768 32 59");
  EXPECT_DOUBLE_EQ(canvas.intervalLimit, 1000.0 / 59.94 + 1.0);
  EXPECT_NEAR(canvas.intervalLimit, 17.683, 0.001);
}

TEST_F(CanvasTest, WindowFollowsTheScreenProjectionFollowsTheRequest) {
  Canvas canvas(800, 600, 32, 60.0);
  EXPECT_EQ(hl::state().log[4], "createCanvasWindow KestravonWindow Kestravon Main Window 0 0 800 600");
  GLdouble projection[16];
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  // glOrtho(0, 800, 600, 0, -1, 1)
  EXPECT_FLOAT_EQ(projection[0], 2.0f / 800);
  EXPECT_FLOAT_EQ(projection[5], -2.0f / 600);
  EXPECT_DOUBLE_EQ(projection[12], -1.0);
  EXPECT_DOUBLE_EQ(projection[13], 1.0);
  GLint depth = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 2);
}

TEST_F(CanvasTest, EveryOpeningFailureGivesItsTextAndRestoresTheDesktop) {
  for (const testing::OpeningFailure& c : testing::openingFailures()) {
    SCOPED_TRACE(c.name);
    hl::faults() = hl::Faults();
    c.inject();
    std::string thrown;
    try {
      Canvas canvas(1024, 768, 32, 60.0);
      ADD_FAILURE() << "opened despite the failure";
    } catch (const char* text) {
      thrown = text;
    }
    EXPECT_EQ(thrown, c.text);
    expectDesktopRestored();
    EXPECT_EQ(currentCanvas, nullptr);
  }
}

TEST_F(CanvasTest, ReopeningAnOpenCanvasThrowsAndChangesNothing) {
  Canvas canvas(1024, 768, 32, 60.0);
  platform::Window window = canvas.api->hwnd;
  APICanvasProperties* api = canvas.api;
  const int swaps = hl::state().swapCount;
  try {
    canvas.set(640, 480, 16, 75.0);
    FAIL() << "no error";
  } catch (Canvas::Error e) {
    EXPECT_EQ(e, 1);
  }
  EXPECT_EQ(canvas.api, api);
  EXPECT_EQ(canvas.api->hwnd, window);
  EXPECT_EQ(canvas.width, 1024.0);
  EXPECT_EQ(hl::state().swapCount, swaps);
}

TEST_F(CanvasTest, ReleaseRestoresTheDesktopAndIsHarmlessTwice) {
  Canvas canvas(1024, 768, 32, 60.0);
  hl::state().log.clear();
  canvas.release();
  // The window procedure answers the destroy message with a quit message.
  const std::vector<std::string> expected = {"makeCurrent 0", "deleteGLContext",   "releaseDeviceContext",
                                             "destroyWindow", "postQuitMessage 0", "restoreDisplayMode",
                                             "showCursor 1"};
  EXPECT_EQ(hl::state().log, expected);
  expectDesktopRestored();
  EXPECT_FALSE(canvas.opened);
  EXPECT_EQ(canvas.api, nullptr);
  EXPECT_EQ(hl::state().quitCount, 1) << "destroying the window posts a quit message";
  canvas.release();
  EXPECT_EQ(hl::state().log.size(), expected.size());
}

TEST_F(CanvasTest, SecondCanvasNeitherBecomesCurrentNorRebuildsLists) {
  Canvas first(1024, 768, 32, 60.0);
  const std::uint32_t segments = segmentLists[0];
  const std::uint32_t font = fontLists[0];
  {
    Canvas second(1024, 768, 32, 60.0);
    EXPECT_EQ(currentCanvas, &first);
    EXPECT_EQ(segmentLists[0], segments);
    EXPECT_EQ(fontLists[0], font);
  }
  EXPECT_EQ(currentCanvas, &first);
}

// ---- pixels ----------------------------------------------------------------

TEST_F(CanvasTest, BothBuffersStartBlackAndDrawingGoesToTheBack) {
  Canvas canvas(1024, 768, 32, 60.0);
  const testing::Image front = hl::frontImage();
  const testing::Image back = hl::backImage();
  ASSERT_EQ(front.width, 1024);
  ASSERT_EQ(front.height, 768);
  EXPECT_EQ(testing::CountColor(front, 0x000000), 1024 * 768);
  EXPECT_EQ(testing::CountColor(back, 0x000000), 1024 * 768);
  GLint drawBuffer = 0;
  glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
  EXPECT_EQ(drawBuffer, GL_BACK);

  canvas.fillRect(Rectangle(0, 0, 9, 9), Color::white);
  EXPECT_EQ(hl::frontImage().rgb(0, 0), 0x000000u) << "nothing shows before the flip";
  canvas.flip();
  EXPECT_EQ(hl::frontImage().rgb(0, 0), 0xFFFFFFu);
}

TEST_F(CanvasTest, RectanglesFillExactlyTheirInclusivePixels) {
  Canvas canvas(1024, 768, 32, 60.0);
  canvas.clear(Color::black);
  canvas.fillRect(Rectangle(100, 200, 109, 204), Color::red);
  const Rectangle corners[] = {Rectangle(0, 0, 0, 0), Rectangle(1023, 0, 1023, 0), Rectangle(0, 767, 0, 767),
                               Rectangle(1023, 767, 1023, 767)};
  for (const Rectangle& r : corners) canvas.fillRect(r, Color::green);
  Rectangle mark;
  Point centre;
  centre.set(512, 384);
  mark.set(5, 5).centering(centre);
  canvas.fillRect(mark, Color::white);
  canvas.flip();

  const testing::Image image = hl::frontImage();
  EXPECT_TRUE(testing::RegionIs(image, 100, 200, 109, 204, 0xFF0000));
  EXPECT_EQ(testing::CountColor(image, 0xFF0000), 10 * 5);
  for (const Rectangle& r : corners) {
    EXPECT_EQ(image.rgb(static_cast<int>(r.left), static_cast<int>(r.top)), 0x00FF00u);
  }
  EXPECT_EQ(testing::CountColor(image, 0x00FF00), 4);
  EXPECT_TRUE(testing::RegionIs(image, 510, 382, 514, 386, 0xFFFFFF));
  EXPECT_EQ(testing::CountColor(image, 0xFFFFFF), 25);
}

TEST_F(CanvasTest, TranslucentColoursBlendOverWhatIsThere) {
  Canvas canvas(1024, 768, 32, 60.0);
  canvas.clear(Color::black);
  canvas.fillRect(Rectangle(10, 10, 19, 19), Color::red);
  canvas.fillRect(Rectangle(10, 10, 19, 19), Color(1.0, 1.0, 1.0, 0.5));
  canvas.flip();
  const std::uint32_t p = hl::frontImage().rgb(15, 15);
  EXPECT_EQ(p >> 16, 0xFFu);
  EXPECT_NEAR(static_cast<int>((p >> 8) & 0xFF), 128, 1);
  EXPECT_NEAR(static_cast<int>(p & 0xFF), 128, 1);
}

TEST_F(CanvasTest, ClearOverwritesWithoutBlendingAndKeepsItsAlpha) {
  Canvas canvas(1024, 768, 32, 60.0);
  canvas.fillRect(Rectangle(0, 0, 1023, 767), Color::white);
  canvas.clear(Color(0.0, 0.0, 1.0, 0.5));
  GLfloat clearColor[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor);
  EXPECT_EQ(clearColor[3], 0.5f);
  canvas.flip();
  EXPECT_EQ(testing::CountColor(hl::frontImage(), 0x0000FF), 1024 * 768);
}

// ---- frame accounting ------------------------------------------------------

TEST_F(CanvasTest, AccountingCountsMissedRefreshPeriods) {
  Canvas canvas(1024, 768, 32, 60.0);
  canvas.frameAccounting = true;
  struct {
    int ms;
    int adds;
  } const steps[] = {{17, 0}, {18, 1}, {33, 1}, {36, 2}, {0, 0}, {53, 3}};
  int dropped = 0;
  int flips = 0;
  for (const auto& s : steps) {
    hl::advanceCounter(s.ms * 10'000LL);
    canvas.flip();
    dropped += s.adds;
    ++flips;
    EXPECT_EQ(canvas.lastInterval, s.ms);
    EXPECT_EQ(canvas.droppedFrames, dropped) << s.ms << " ms";
    EXPECT_EQ(canvas.flipCount, flips);
  }
}

TEST_F(CanvasTest, FirstAccountedFlipMeasuresFromOpening) {
  hl::setCounter(5'000'000);
  Canvas canvas(1024, 768, 32, 60.0);
  hl::advanceCounter(1'000'000);  // 100 ms with accounting off
  canvas.flip();
  EXPECT_EQ(canvas.flipCount, 0);
  EXPECT_EQ(canvas.lastInterval, 0);
  EXPECT_EQ(canvas.lastFlip.count, 5'000'000);
  canvas.frameAccounting = true;
  hl::advanceCounter(99'999);  // 109.9999 ms reads 109
  canvas.flip();
  EXPECT_EQ(canvas.lastInterval, 109);
  EXPECT_EQ(canvas.droppedFrames, 6);  // (109 + 0.1) / 17.666...
  EXPECT_EQ(canvas.lastFlip.count, 6'099'999);
}

TEST_F(CanvasTest, AccountingCountersStopAtTheLargestInt) {
  Canvas canvas(1024, 768, 32, 60.0);
  canvas.frameAccounting = true;
  canvas.flipCount = INT_MAX - 1;
  canvas.droppedFrames = INT_MAX - 1;
  hl::advanceCounter(1000LL * 10'000 * 1000);  // a 1000-second frame
  canvas.flip();
  EXPECT_EQ(canvas.flipCount, INT_MAX);
  EXPECT_EQ(canvas.droppedFrames, INT_MAX);
  hl::advanceCounter(10'000LL * 10'000'000);  // a frame of almost three hours
  canvas.flip();
  EXPECT_EQ(canvas.flipCount, INT_MAX);
  EXPECT_EQ(canvas.droppedFrames, INT_MAX);
}

}  // namespace
}  // namespace Kestravon
