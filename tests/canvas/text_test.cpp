// Text in the bitmap font and numbers in the seven-segment font, drawn on
// the canvas: placement, colour, formatting and the OpenGL state left behind.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "library/canvas/canvas.h"
#include "library/canvas/gl.h"
#include "tests/support/canvas_fixture.h"
#include "tests/support/font_model.h"
#include "tests/support/image_check.h"

namespace Kestravon {
namespace {

namespace hl = platform::headless;
using testing::Image;
using testing::ImagesEqual;
using testing::paintCells;
using testing::paintCellsRight;
using testing::paintText;

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

class TextTest : public testing::CanvasTest {
 protected:
  void SetUp() override {
    CanvasTest::SetUp();
    if (HasFatalFailure()) return;
    canvas_ = std::make_unique<Canvas>(kWidth, kHeight, 32, 60.0);
    canvas_->clear(Color::black);
  }
  void TearDown() override {
    canvas_.reset();
    CanvasTest::TearDown();
  }

  Canvas& canvas() { return *canvas_; }
  // Presents what was drawn and starts the next frame black.
  Image shown() {
    canvas_->flip();
    canvas_->clear(Color::black);
    return hl::frontImage();
  }

 private:
  std::unique_ptr<Canvas> canvas_;
};

// ---- text ------------------------------------------------------------------

TEST_F(TextTest, BarWidthSetsEachGlyphAtItsPen) {
  // A colour current before the call must not tint the text.
  glColor3f(1.0f, 0.0f, 0.0f);
  canvas().drawText("Bar Width", 30, 30, Color::white);
  const Image image = shown();
  Image expected = testing::blackScreen();
  paintText(expected, "Bar Width", 30, 30, 0xFFFFFF);
  EXPECT_TRUE(ImagesEqual(expected, image));

  // B: rows 0 to 5 on pixel rows 24 to 29, its (empty) row 6 on row 30,
  // from column 30; row 5 is F8.
  EXPECT_TRUE(testing::RegionIs(image, 30, 29, 34, 29, 0xFFFFFF));
  EXPECT_EQ(image.rgb(35, 29), 0x000000u);
  EXPECT_TRUE(testing::RegionIs(image, 28, 30, 40, 30, 0x000000));
  EXPECT_TRUE(testing::RegionIs(image, 28, 23, 40, 23, 0x000000));
  // a starts at column 37 (B is 6 wide, plus 1): its row 2 (0C) lights 41 and 42.
  EXPECT_TRUE(testing::RegionIs(image, 36, 24, 36, 30, 0x000000)) << "the gap after B";
  EXPECT_TRUE(testing::RegionIs(image, 41, 26, 42, 26, 0xFFFFFF));
  EXPECT_TRUE(testing::RegionIs(image, 37, 26, 40, 26, 0x000000));
}

TEST_F(TextTest, DescenderRowLandsOnTheAnchorRow) {
  canvas().drawText("gj,$y", 200, 100, Color::white);
  const Image image = shown();
  Image expected = testing::blackScreen();
  paintText(expected, "gj,$y", 200, 100, 0xFFFFFF);
  EXPECT_TRUE(ImagesEqual(expected, image));
  // g: row 6 (78) on row 100, row 0 (00) on row 94.
  EXPECT_TRUE(testing::RegionIs(image, 201, 100, 204, 100, 0xFFFFFF));
  EXPECT_TRUE(testing::RegionIs(image, 200, 94, 206, 94, 0x000000));
}

TEST_F(TextTest, AnchorIsTruncatedTowardZero) {
  struct Case {
    double x, y;
    int column, row;
  } const cases[] = {{10.9, 20.7, 10, 20}, {-0.5, 5, 0, 5}, {-0.99, 40.2, 0, 40}, {300.5, -0.9, 300, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.x << ", " << c.y);
    canvas().drawText("Bar", c.x, c.y, Color::white);
    Image expected = testing::blackScreen();
    paintText(expected, "Bar", c.column, c.row, 0xFFFFFF);
    EXPECT_TRUE(ImagesEqual(expected, shown()));
  }
}

TEST_F(TextTest, AnchorOutsideTheCanvasDropsTheWholeString) {
  // Most of each string would fall inside; none of it may be drawn.
  const double anchors[][2] = {{-1, 30},    {-6, 30},   {1024, 30},
                               {30, 768},   {30, -1},   {-1e12, 30},
                               {-1e30, 30}, {30, 1e30}, {-std::numeric_limits<double>::infinity(), 30}};
  for (const auto& a : anchors) {
    SCOPED_TRACE(::testing::Message() << a[0] << ", " << a[1]);
    canvas().drawText("Bar Width Bar Width", a[0], a[1], Color::white);
    EXPECT_TRUE(ImagesEqual(testing::blackScreen(), shown()));
  }
}

TEST_F(TextTest, StringsEndAtTheirFirstNulAndEveryFormDrawsTheSame) {
  const std::string withNul("Ba\0rW", 5);
  canvas().drawText(withNul, 30, 30, Color::white);
  drawText(withNul, 30, 60, Color::white);
  canvas().drawText("Ba", 30, 90, Color::white);
  canvas().drawText("", 30, 120, Color::white);
  canvas().drawText(std::string(), 30, 150, Color::white);
  Image expected = testing::blackScreen();
  paintText(expected, "Ba", 30, 30, 0xFFFFFF);
  paintText(expected, "Ba", 30, 60, 0xFFFFFF);
  paintText(expected, "Ba", 30, 90, 0xFFFFFF);
  EXPECT_TRUE(ImagesEqual(expected, shown()));
}

TEST_F(TextTest, CodesAbove127DrawNothing) {
  std::string high;
  for (int code = 128; code < 256; ++code) high += static_cast<char>(code);
  canvas().drawText(high, 30, 30, Color::white);
  canvas().drawText("\xC3\xA9\xFF\x80", 30, 60, Color::white);
  EXPECT_TRUE(ImagesEqual(testing::blackScreen(), shown()));
}

TEST_F(TextTest, CodesAbove127WithinTextNeitherDrawNorAdvance) {
  // The characters around them are drawn in runs; each run must go on
  // from where the previous one left the raster position.
  canvas().drawText(
      "B\x80"
      "a\xFF\xC3r",
      30, 30, Color::white);
  canvas().drawText("\x80W\x80", 30, 60, Color::white);
  Image expected = testing::blackScreen();
  paintText(expected, "Bar", 30, 30, 0xFFFFFF);
  paintText(expected, "W", 30, 60, 0xFFFFFF);
  EXPECT_TRUE(ImagesEqual(expected, shown()));
}

TEST_F(TextTest, TextAndNumbersTakeTheirColourAndAlpha) {
  canvas().fillRect(Rectangle(0, 0, 1023, 99), Color::blue);
  canvas().drawText("Bar", 30, 30, Color::red);
  canvas().drawText("Bar", 30, 130, Color(1.0, 1.0, 1.0, 0.5));
  canvas().drawNumber(8, 100.0, 50.0, Color::green, true);
  canvas().drawNumber(8, 100.0, 150.0, Color(1.0, 1.0, 1.0, 0.5), true);
  Image expected = testing::blackScreen();
  testing::fillRegion(expected, 0, 0, 1023, 99, 0x0000FF);
  paintText(expected, "Bar", 30, 30, 0xFF0000);
  paintText(expected, "Bar", 30, 130, testing::kHalfWhite);
  paintCells(expected, "8", 100, 50, 0x00FF00);
  paintCells(expected, "8", 100, 150, testing::kHalfWhite);
  EXPECT_TRUE(ImagesEqual(expected, shown()));
}

struct GlState {
  GLfloat color[4];
  GLfloat rasterPosition[4];
  GLfloat rasterColor[4];
  GLint rasterValid;
  GLfloat modelview[16];
  GLfloat projection[16];
  GLint modelviewDepth;
  GLint matrixMode;
  GLboolean blend;
  GLboolean alphaTest;
  GLint unpackAlignment;
  GLint listBase;

  static GlState read() {
    GlState s;
    glGetFloatv(GL_CURRENT_COLOR, s.color);
    glGetFloatv(GL_CURRENT_RASTER_POSITION, s.rasterPosition);
    glGetFloatv(GL_CURRENT_RASTER_COLOR, s.rasterColor);
    glGetIntegerv(GL_CURRENT_RASTER_POSITION_VALID, &s.rasterValid);
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, s.projection);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &s.modelviewDepth);
    glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
    s.blend = glIsEnabled(GL_BLEND);
    s.alphaTest = glIsEnabled(GL_ALPHA_TEST);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &s.unpackAlignment);
    glGetIntegerv(GL_LIST_BASE, &s.listBase);
    return s;
  }
};

void expectSameState(const GlState& a, const GlState& b) {
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(a.color[i], b.color[i]) << "current colour " << i;
    EXPECT_EQ(a.rasterPosition[i], b.rasterPosition[i]) << "raster position " << i;
    EXPECT_EQ(a.rasterColor[i], b.rasterColor[i]) << "raster colour " << i;
  }
  EXPECT_EQ(a.rasterValid, b.rasterValid);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(a.modelview[i], b.modelview[i]) << "modelview " << i;
    EXPECT_EQ(a.projection[i], b.projection[i]) << "projection " << i;
  }
  EXPECT_EQ(a.modelviewDepth, b.modelviewDepth);
  EXPECT_EQ(a.matrixMode, b.matrixMode);
  EXPECT_EQ(a.blend, b.blend);
  EXPECT_EQ(a.alphaTest, b.alphaTest);
  EXPECT_EQ(a.unpackAlignment, b.unpackAlignment);
  EXPECT_EQ(a.listBase, b.listBase);
}

TEST_F(TextTest, DrawingLeavesTheOpenGlStateAsItFoundIt) {
  glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
  glRasterPos2i(7, 9);
  const GlState before = GlState::read();
  ASSERT_EQ(before.modelviewDepth, 2);
  canvas().drawText("Bar Width", 30.5, 30.5, Color::red);
  expectSameState(before, GlState::read());
  canvas().drawText("", 30, 30, Color::red);
  expectSameState(before, GlState::read());
  canvas().drawText("Bar", -5, 30, Color::red);  // the raster position turns invalid inside
  expectSameState(before, GlState::read());
  canvas().drawNumber(-1.5, 100.3, 100.7, Color::green, false);
  expectSameState(before, GlState::read());
  canvas().drawNumber(12345, 100.0, 100.0, Color::green, true);
  expectSameState(before, GlState::read());
}

// ---- numbers ---------------------------------------------------------------

TEST_F(TextTest, EachStrokeLightsSevenPixelsFromItsFirstEnd) {
  canvas().drawNumber(1, 200.0, 100.0, Color::white, true);
  canvas().drawNumber(8, 300.0, 100.0, Color::white, true);
  const Image image = shown();
  // 1: only column origin + 8, rows origin - 15 to - 9 and - 7 to - 1; the
  // row where the two strokes meet (origin - 8) stays dark.
  EXPECT_TRUE(testing::RegionIs(image, 208, 85, 208, 91, 0xFFFFFF));
  EXPECT_TRUE(testing::RegionIs(image, 208, 93, 208, 99, 0xFFFFFF));
  EXPECT_EQ(image.rgb(208, 92), 0x000000u);
  EXPECT_EQ(image.rgb(208, 84), 0x000000u);
  EXPECT_EQ(image.rgb(208, 100), 0x000000u);
  EXPECT_TRUE(testing::RegionIs(image, 196, 80, 207, 104, 0x000000));
  EXPECT_TRUE(testing::RegionIs(image, 209, 80, 215, 104, 0x000000));
  // 8: seven strokes of seven pixels, none shared.
  EXPECT_TRUE(testing::RegionIs(image, 301, 84, 307, 84, 0xFFFFFF));    // top
  EXPECT_TRUE(testing::RegionIs(image, 301, 92, 307, 92, 0xFFFFFF));    // middle
  EXPECT_TRUE(testing::RegionIs(image, 301, 100, 307, 100, 0xFFFFFF));  // bottom
  EXPECT_TRUE(testing::RegionIs(image, 300, 85, 300, 91, 0xFFFFFF));    // upper left
  EXPECT_TRUE(testing::RegionIs(image, 308, 93, 308, 99, 0xFFFFFF));    // lower right
  EXPECT_EQ(testing::CountColor(image, 0xFFFFFF), 14 + 49);
  Image expected = testing::blackScreen();
  paintCells(expected, "1", 200, 100, 0xFFFFFF);
  paintCells(expected, "8", 300, 100, 0xFFFFFF);
  EXPECT_TRUE(ImagesEqual(expected, image));
}

TEST_F(TextTest, RightAlignedNumbersEndAtTheirAnchor) {
  canvas().drawNumber(-42, 100.0, 50.0, Color::white, false);
  const Image image = shown();
  Image expected = testing::blackScreen();
  // Cells at 64, 76 and 88: the hyphen-minus, 4 and 2.
  paintCells(expected, "-", 64, 50, 0xFFFFFF);
  paintCells(expected, "4", 76, 50, 0xFFFFFF);
  paintCells(expected, "2", 88, 50, 0xFFFFFF);
  EXPECT_TRUE(ImagesEqual(expected, image));
  // The strokes end at x - 4.
  EXPECT_TRUE(testing::RegionIs(image, 96, 35, 96, 41, 0xFFFFFF));
  EXPECT_TRUE(testing::RegionIs(image, 97, 20, 120, 60, 0x000000));
}

TEST_F(TextTest, LeftAlignedNumbersStartAtTheirAnchor) {
  canvas().drawNumber(0.5, 100.0, 50.0, Color::white, true);
  Image expected = testing::blackScreen();
  paintCells(expected, "0", 100, 50, 0xFFFFFF);
  paintCells(expected, ".", 112, 50, 0xFFFFFF);
  paintCells(expected, "5", 124, 50, 0xFFFFFF);
  EXPECT_TRUE(ImagesEqual(expected, shown()));
}

TEST_F(TextTest, ExponentLetterIsABlankCell) {
  canvas().drawNumber(1e-07, 300.0, 50.0, Color::white, false);
  canvas().drawNumber(1e-07, 300.0, 100.0, Color::white, true);
  Image expected = testing::blackScreen();
  // 1, blank, hyphen-minus, 0, 7.
  paintCells(expected, "1 -07", 240, 50, 0xFFFFFF);
  paintCells(expected, "1 -07", 300, 100, 0xFFFFFF);
  EXPECT_TRUE(ImagesEqual(expected, shown()));
}

TEST_F(TextTest, NumberPositionsAreNotRoundedToWholePixels) {
  // Only the 0.375 shift decides the pixels: 100.7 lands where 101 does,
  // 100.3 where 100 does.
  canvas().drawNumber(58, 100.7, 200.7, Color::white, true);
  canvas().drawNumber(58, 400.7, 200.7, Color::white, false);
  canvas().drawNumber(58, 100.3, 300.3, Color::white, true);
  canvas().drawNumber(58, 400.3, 300.3, Color::white, false);
  Image expected = testing::blackScreen();
  paintCells(expected, "58", 101, 201, 0xFFFFFF);
  paintCellsRight(expected, "58", 401, 201, 0xFFFFFF);
  paintCells(expected, "58", 100, 300, 0xFFFFFF);
  paintCellsRight(expected, "58", 400, 300, 0xFFFFFF);
  EXPECT_TRUE(ImagesEqual(expected, shown()));
}

TEST_F(TextTest, NumbersReadAsADefaultStringStreamWritesThem) {
  const int ints[] = {0, 7, -1, 10, -42, 1000000, 123456789, INT_MAX, INT_MIN};
  for (int v : ints) {
    SCOPED_TRACE(v);
    canvas().drawNumber(v, 1000.0, 400.0, Color::white, false);
    Image expected = testing::blackScreen();
    paintCellsRight(expected, testing::streamed(v), 1000, 400, 0xFFFFFF);
    EXPECT_TRUE(ImagesEqual(expected, shown()));
  }
  const double doubles[] = {0.0,
                            -0.0,
                            0.1,
                            0.5,
                            1.875,
                            2.0,
                            -2.5,
                            1.0 / 3.0,
                            0.30000000000000004,
                            1e6,
                            123456.0,
                            1234567.0,
                            999999.5,
                            123456789.0,
                            0.0001,
                            1e-5,
                            -2.5e-10,
                            1e-300,
                            1e100,
                            DBL_MAX,
                            std::numeric_limits<double>::denorm_min(),
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::quiet_NaN()};
  for (double v : doubles) {
    SCOPED_TRACE(testing::streamed(v));
    canvas().drawNumber(v, 1000.0, 400.0, Color::white, false);
    canvas().drawNumber(v, 100.0, 600.0, Color::white, true);
    Image expected = testing::blackScreen();
    paintCellsRight(expected, testing::streamed(v), 1000, 400, 0xFFFFFF);
    paintCells(expected, testing::streamed(v), 100, 600, 0xFFFFFF);
    EXPECT_TRUE(ImagesEqual(expected, shown()));
  }
}

TEST_F(TextTest, DocumentedNumberTexts) {
  struct Case {
    double value;
    const char* text;
  } const cases[] = {{0.5, "0.5"},
                     {1.875, "1.875"},
                     {2.0, "2"},
                     {0.1, "0.1"},
                     {1e6, "1e+06"},
                     {-0.0, "-0"},
                     {123456789.0, "1.23457e+08"},
                     {1e-300, "1e-300"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    canvas().drawNumber(c.value, 500.0, 300.0, Color::white, false);
    Image expected = testing::blackScreen();
    paintCellsRight(expected, c.text, 500, 300, 0xFFFFFF);
    EXPECT_TRUE(ImagesEqual(expected, shown()));
  }
  canvas().drawNumber(INT_MIN, 500.0, 300.0, Color::white, false);
  Image expected = testing::blackScreen();
  paintCellsRight(expected, "-2147483648", 500, 300, 0xFFFFFF);
  EXPECT_TRUE(ImagesEqual(expected, shown()));
}

}  // namespace
}  // namespace Kestravon
