// The display lists of the two fonts and the circles, checked through what
// they draw: stroke end points through OpenGL feedback, glyphs through
// pixels, both against tables typed from the fonts' documentation.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "library/canvas/canvas.h"
#include "library/canvas/display_lists.h"
#include "library/canvas/gl.h"
#include "tests/support/canvas_fixture.h"
#include "tests/support/font_model.h"
#include "tests/support/image_check.h"

namespace Kestravon {
namespace {

namespace hl = platform::headless;
using testing::Image;

using FontTest = testing::CanvasTest;

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
// Every vertex lands 0.375 pixels right of and below its canvas position,
// and the window's y axis runs upwards.
constexpr double kShift = 0.375;

std::vector<GLfloat> feedback(GLenum type, const std::function<void()>& draw) {
  std::vector<GLfloat> buffer(1 << 16);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), type, buffer.data());
  glRenderMode(GL_FEEDBACK);
  draw();
  const GLint used = glRenderMode(GL_RENDER);
  EXPECT_GE(used, 0) << "feedback buffer overflowed";
  buffer.resize(used > 0 ? static_cast<std::size_t>(used) : 0);
  return buffer;
}

struct Line {
  double x1, y1, x2, y2;  // canvas pixels, y downwards
};

// The lines a list draws with its origin at (ox, oy), in canvas pixels
// without the 0.375 shift.
std::vector<Line> linesOf(GLuint list, int ox, int oy) {
  glPushMatrix();
  glTranslatef(static_cast<GLfloat>(ox), static_cast<GLfloat>(oy), 0);
  const std::vector<GLfloat> f = feedback(GL_2D, [list] { glCallList(list); });
  glPopMatrix();
  std::vector<Line> lines;
  for (std::size_t i = 0; i < f.size();) {
    const GLenum token = static_cast<GLenum>(f[i]);
    if ((token != GL_LINE_TOKEN && token != GL_LINE_RESET_TOKEN) || i + 5 > f.size()) {
      ADD_FAILURE() << "unexpected feedback token " << f[i];
      break;
    }
    lines.push_back({f[i + 1] - kShift - ox, kHeight - f[i + 2] - kShift - oy, f[i + 3] - kShift - ox,
                     kHeight - f[i + 4] - kShift - oy});
    i += 5;
  }
  return lines;
}

TEST_F(FontTest, EachTableIsOneBlockOfListNames) {
  Canvas canvas(kWidth, kHeight, 32, 60.0);
  for (int i = 0; i < 128; ++i) {
    EXPECT_EQ(segmentLists[i], segmentLists[0] + static_cast<std::uint32_t>(i)) << i;
    EXPECT_EQ(fontLists[i], fontLists[0] + static_cast<std::uint32_t>(i)) << i;
    EXPECT_TRUE(glIsList(segmentLists[i])) << i;
    EXPECT_TRUE(glIsList(fontLists[i])) << i;
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(circleListsA[i], circleListsA[0] + static_cast<std::uint32_t>(i));
    EXPECT_EQ(circleListsB[i], circleListsB[0] + static_cast<std::uint32_t>(i));
    EXPECT_TRUE(glIsList(circleListsA[i]));
    EXPECT_TRUE(glIsList(circleListsB[i]));
  }
  EXPECT_NE(circleListsA[0], circleListsB[0]);
  EXPECT_EQ(digitHeight, 19);
  // The byte alignment of the glyph upload is not left behind.
  GLint alignment = 0;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  EXPECT_EQ(alignment, 4);
}

TEST_F(FontTest, SegmentListsDrawTheDocumentedStrokesInOrder) {
  Canvas canvas(kWidth, kHeight, 32, 60.0);
  for (int code = 0; code < 128; ++code) {
    SCOPED_TRACE(code);
    std::vector<Line> expected;
    const int mask = testing::typedSegmentMask(static_cast<unsigned char>(code));
    for (int j = 0; j < 7; ++j) {
      if (!(mask & (1 << j))) continue;
      const testing::Stroke& s = testing::typedStroke(j);
      expected.push_back({double(s.x1), double(s.y1), double(s.x2), double(s.y2)});
    }
    const std::vector<Line> got = linesOf(segmentLists[code], 100, 200);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t k = 0; k < got.size(); ++k) {
      EXPECT_NEAR(got[k].x1, expected[k].x1, 1e-3) << "line " << k;
      EXPECT_NEAR(got[k].y1, expected[k].y1, 1e-3) << "line " << k;
      EXPECT_NEAR(got[k].x2, expected[k].x2, 1e-3) << "line " << k;
      EXPECT_NEAR(got[k].y2, expected[k].y2, 1e-3) << "line " << k;
    }
  }
  // The documented extremes, spelled out.
  EXPECT_EQ(linesOf(segmentLists[int{'8'}], 0, 100).size(), 7u) << "14 vertices";
  EXPECT_EQ(linesOf(segmentLists[int{' '}], 0, 100).size(), 0u);
  const std::vector<Line> one = linesOf(segmentLists[int{'1'}], 0, 100);
  ASSERT_EQ(one.size(), 2u);
  EXPECT_NEAR(one[0].x1, 8, 1e-3);
  EXPECT_NEAR(one[0].y1, -15, 1e-3);
  EXPECT_NEAR(one[1].y2, 0, 1e-3);
}

TEST_F(FontTest, BitmapListsAdvanceByTheirWidthPlusOne) {
  Canvas canvas(kWidth, kHeight, 32, 60.0);
  for (int code = 0; code < 128; ++code) {
    glRasterPos2i(30, 30);
    GLfloat before[4];
    GLfloat after[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, before);
    glCallList(fontLists[code]);
    glGetFloatv(GL_CURRENT_RASTER_POSITION, after);
    EXPECT_EQ(after[0] - before[0], testing::typedWidth(static_cast<unsigned char>(code)) + 1) << code;
    EXPECT_EQ(after[1], before[1]) << code;
  }
  // The two documented cases, by name.
  glRasterPos2i(30, 30);
  GLfloat p[4];
  glGetFloatv(GL_CURRENT_RASTER_POSITION, p);
  glCallList(fontLists[int{'M'}]);
  GLfloat q[4];
  glGetFloatv(GL_CURRENT_RASTER_POSITION, q);
  EXPECT_EQ(q[0] - p[0], 9.0f);
  glCallList(fontLists[127]);
  glGetFloatv(GL_CURRENT_RASTER_POSITION, p);
  EXPECT_EQ(p[0] - q[0], 1.0f);
}

TEST_F(FontTest, GlyphsMatchTheirRowsPixelForPixel) {
  Canvas canvas(kWidth, kHeight, 32, 60.0);
  canvas.clear(Color::black);
  const unsigned char codes[] = {0,   1,   '\n', 31,  ' ', '$', ',', '-', '@', 'A', 'B', 'D', 'E',
                                 'G', 'M', 'O',  'P', 'R', 'S', 'W', 'a', 'c', 'd', 'e', 'g', 'h',
                                 'i', 'j', 'l',  'm', 'n', 'o', 'r', 't', 'u', 'y', 127};
  Image expected = testing::blackScreen();
  int x = 20;
  for (unsigned char code : codes) {
    // A glyph on its own, 12 pixels apart, at a raster row of 40.
    glColor3f(1.0f, 1.0f, 1.0f);
    glRasterPos2i(x, 40);
    glCallList(fontLists[code]);
    testing::paintText(expected, std::string(1, static_cast<char>(code)), x, 40, 0xFFFFFF);
    x += 12;
  }
  canvas.flip();
  const Image image = hl::frontImage();
  EXPECT_TRUE(testing::ImagesEqual(expected, image));

  // The documented edges, spelled out. g (at x = 20 + 24 * 12 = 308): row 6
  // (78) on the raster row, row 0 (00) six rows above.
  const int g = 20 + 24 * 12;
  EXPECT_TRUE(testing::RegionIs(image, g + 1, 40, g + 4, 40, 0xFFFFFF));
  EXPECT_TRUE(testing::RegionIs(image, g, 34, g + 7, 34, 0x000000));
  // @ (at x = 20 + 8 * 12): row 3 is DA, but only its first six columns are drawn.
  const int at = 20 + 8 * 12;
  EXPECT_EQ(image.rgb(at + 4, 37), 0xFFFFFFu);
  EXPECT_EQ(image.rgb(at + 6, 37), 0x000000u);
  // Code 127 (the last one) draws nothing at all.
  const int del = 20 + 36 * 12;
  EXPECT_TRUE(testing::RegionIs(image, del - 4, 30, del + 12, 45, 0x000000));
}

TEST_F(FontTest, CircleListsAreUnitPolygonsOfGrowingDetail) {
  Canvas canvas(kWidth, kHeight, 32, 60.0);
  const double pi = std::acos(-1.0);
  const int corners[4] = {25, 35, 48, 66};
  for (const std::uint32_t* table : {circleListsA, circleListsB}) {
    for (int level = 0; level < 4; ++level) {
      SCOPED_TRACE(level);
      glPushMatrix();
      glTranslatef(200, 300, 0);
      glScalef(100, 100, 1);
      const std::vector<GLfloat> f = feedback(GL_2D, [&] { glCallList(table[level]); });
      glPopMatrix();
      // The polygon may come back cut into triangles: compare the corners.
      std::set<std::pair<long, long>> got;
      for (std::size_t i = 0; i < f.size();) {
        ASSERT_EQ(static_cast<GLenum>(f[i]), static_cast<GLenum>(GL_POLYGON_TOKEN));
        const int n = static_cast<int>(f[i + 1]);
        for (int k = 0; k < n; ++k) {
          const std::size_t at = i + 2 + 2 * static_cast<std::size_t>(k);
          const double x = f[at] - kShift - 200;
          const double y = kHeight - f[at + 1] - kShift - 300;
          got.insert({std::lround(x * 100), std::lround(y * 100)});
        }
        i += 2 + 2 * static_cast<std::size_t>(n);
      }
      std::set<std::pair<long, long>> expected;
      const double n = std::pow(5.0, 2.0 + 0.2 * level);
      for (int j = 0; j < corners[level]; ++j) {
        const double angle = j / n * 2.0 * pi;
        expected.insert(
            {std::lround((std::cos(angle) * 0.5 + 0.5) * 10000), std::lround((std::sin(angle) * 0.5 + 0.5) * 10000)});
      }
      EXPECT_EQ(got, expected);
    }
  }
}

// ---- no list names for the bitmap font ------------------------------------

int capturedStdout = -1;

void say(const char* text) {
  if (write(2, text, std::strlen(text)) < 0) return;
}

// Runs inside abort(): puts what the process printed, and the state it left
// the desktop in, on standard error, where the death test reads.
void reportOnAbort(int) {
  say("stdout:[");
  char buffer[256];
  lseek(capturedStdout, 0, SEEK_SET);
  for (ssize_t n; (n = read(capturedStdout, buffer, sizeof buffer)) > 0;) {
    if (write(2, buffer, static_cast<std::size_t>(n)) < 0) break;
  }
  say("]\n");
  const hl::State& s = hl::state();
  say(s.displayModeChanged ? "mode switched\n" : "mode restored\n");
  say(s.cursorCount == 0 ? "cursor shown\n" : "cursor hidden\n");
  say(s.canvasWindowsAlive == 0 ? "window destroyed\n" : "window alive\n");
  say(s.messageBoxes.empty() ? "no message box\n" : "message box\n");
}

void openCanvasWithoutListNames() {
  char path[] = "/tmp/kestravon-stdout-XXXXXX";
  capturedStdout = mkstemp(path);
  if (capturedStdout < 0) std::exit(2);
  unlink(path);
  std::fflush(stdout);
  dup2(capturedStdout, 1);
  std::signal(SIGABRT, reportOnAbort);
  // The context is never bound, so every glGenLists returns 0.
  hl::faults().contextNotCurrent = true;
  Canvas canvas(kWidth, kHeight, 32, 60.0);
  say("the canvas opened\n");
}

TEST_F(FontTest, NoNamesForTheBitmapFontPrintsAndAbortsAfterRestoringTheDesktop) {
  // A fork of a process that has rendered with llvmpipe can hang.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(openCanvasWithoutListNames(), ::testing::KilledBySignal(SIGABRT),
              "stdout:\\[Can't generate fonts\\.\\]\n"
              "mode restored\ncursor shown\nwindow destroyed\nno message box\n");
}

}  // namespace
}  // namespace Kestravon
