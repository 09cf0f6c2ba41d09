// The frame-timing box that Canvas::flip draws in the top-right corner when
// the canvas's infoOverlay switch is on.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>

#include "library/canvas/canvas.h"
#include "library/parameters/parameter_console.h"
#include "library/parameters/range.h"
#include "library/parameters/variable_registry.h"
#include "tests/support/canvas_fixture.h"
#include "tests/support/font_model.h"
#include "tests/support/image_check.h"

namespace Kestravon {
namespace {

namespace hl = platform::headless;
using testing::Image;
using testing::ImagesEqual;
using testing::paintCellsRight;

constexpr std::uint32_t kBlue = 0x0000FF;
constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kWhite = 0xFFFFFF;

class OverlayTest : public testing::CanvasTest {
 protected:
  // A frame of blue with the overlay drawn over it.
  Image frameWith(Canvas& canvas, int dropped, int flips, double interval) {
    canvas.infoOverlay = true;
    canvas.droppedFrames = dropped;
    canvas.flipCount = flips;
    canvas.lastInterval = interval;
    canvas.clear(Color::blue);
    canvas.flip();
    return hl::frontImage();
  }

  // The box (W - 100, 1) to (W - 2, 77) in black on blue, and three lines
  // ending at x = W - 12 with their origins on rows 16, 38 and 60.
  static Image expectedFrame(int width, int height, const std::string& dropped, const std::string& periods,
                             const std::string& interval, std::uint32_t intervalColour) {
    Image image = testing::blankImage(width, height, kBlue);
    testing::fillRegion(image, width - 100, 1, width - 2, 77, 0x000000);
    paintCellsRight(image, dropped, width - 12, 16, kRed);
    paintCellsRight(image, periods, width - 12, 38, kWhite);
    paintCellsRight(image, interval, width - 12, 60, intervalColour);
    return image;
  }
};

TEST_F(OverlayTest, OffUntilSwitchedOn) {
  Canvas canvas(1024, 768, 32, 60.0);
  EXPECT_FALSE(canvas.infoOverlay);
  canvas.clear(Color::blue);
  canvas.flip();
  EXPECT_EQ(testing::CountColor(hl::frontImage(), kBlue), 1024 * 768);
}

TEST_F(OverlayTest, BoxAndCountersInTheTopRightCorner) {
  Canvas canvas(1024, 768, 32, 60.0);
  const Image image = frameWith(canvas, 3, 100, 17);
  EXPECT_TRUE(ImagesEqual(expectedFrame(1024, 768, "3", "103", "17", kWhite), image));
  // The box covers columns 924 to 1022 and rows 1 to 77, opaque.
  EXPECT_EQ(image.rgb(923, 40), kBlue);
  EXPECT_EQ(image.rgb(924, 40), 0x000000u);
  EXPECT_EQ(image.rgb(1022, 40), 0x000000u);
  EXPECT_EQ(image.rgb(1023, 40), kBlue);
  EXPECT_EQ(image.rgb(930, 77), 0x000000u);
  EXPECT_EQ(image.rgb(930, 78), kBlue);
  // Every number ends at x = 1012: its last strokes on column 1008.
  EXPECT_EQ(image.rgb(1008, 10), kRed);
  EXPECT_TRUE(testing::RegionIs(image, 1009, 2, 1022, 77, 0x000000));
  // The first number's top stroke stands on row 0, above the box.
  EXPECT_EQ(image.rgb(1001, 0), kRed);
}

TEST_F(OverlayTest, LastIntervalTurnsRedOnlyAboveTheLimit) {
  Canvas canvas(1024, 768, 32, 60.0);  // limit 17.666... ms
  struct Case {
    double interval;
    const char* shown;
    std::uint32_t colour;
  } const cases[] = {
      {17, "17", kWhite}, {17.6, "17", kWhite}, {17.7, "17", kRed},
      {18, "18", kRed},   {0, "0", kWhite},     {250, "250", kRed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.interval);
    EXPECT_TRUE(
        ImagesEqual(expectedFrame(1024, 768, "0", "0", c.shown, c.colour), frameWith(canvas, 0, 0, c.interval)));
  }
  // Not a number is not above the limit.
  const Image image = frameWith(canvas, 0, 0, std::numeric_limits<double>::quiet_NaN());
  Image counters = expectedFrame(1024, 768, "0", "0", "", kWhite);
  EXPECT_TRUE(testing::RegionsEqual(counters, image, 0, 0, 1023, 43));  // the third line starts at row 44
  int red = 0;
  for (int y = 44; y < 78; ++y) {
    for (int x = 900; x < 1024; ++x) red += image.rgb(x, y) == kRed;
  }
  EXPECT_EQ(red, 0);
}

TEST_F(OverlayTest, BoxFollowsTheCanvasWidth) {
  Canvas canvas(640, 480, 32, 60.0);
  EXPECT_TRUE(ImagesEqual(expectedFrame(640, 480, "12", "1234567", "5", kWhite), frameWith(canvas, 12, 1234555, 5)));
}

TEST_F(OverlayTest, ConsoleRowsAreDrawnOverTheBox) {
  // On a 200-pixel canvas the box (100 to 198) lies under the first row's value.
  int value = 4567;
  Range range;
  0 <= range <= 10000;
  VariableRegistrar::add(value).label("Bar").range(range).step(1).step(1);
  Canvas canvas(200, 200, 32, 60.0);
  ParameterConsole::setEnabled(true);
  const Image image = frameWith(canvas, 0, 0, 0);
  Image expected = expectedFrame(200, 200, "0", "0", "0", kWhite);
  testing::paintText(expected, "Bar", 30, 30, kWhite);
  paintCellsRight(expected, "4567", 190, 30, kWhite);
  EXPECT_TRUE(ImagesEqual(expected, image));
}

}  // namespace
}  // namespace Kestravon
