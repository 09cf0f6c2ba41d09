#include "library/canvas/display_lists.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "library/canvas/canvas.h"
#include "library/canvas/gl.h"

namespace Kestravon {

namespace {

void buildSevenSegmentFont() {
  const int s = SevenSegmentFont::kScale;
  std::int32_t segments[7][4];
  for (int j = 0; j < 7; ++j) {
    std::int32_t x1 = SevenSegmentFont::segmentTable[j][0];
    std::int32_t y1 = SevenSegmentFont::segmentTable[j][1];
    std::int32_t x2 = SevenSegmentFont::segmentTable[j][2];
    std::int32_t y2 = SevenSegmentFont::segmentTable[j][3];
    // A stroke along an axis starts one pixel in, so that strokes meet without overlapping.
    if (x1 == x2) {
      x1 *= s;
      x2 *= s;
    } else {
      x1 = x1 * s + 1;
      x2 *= s;
    }
    if (y1 == y2) {
      y1 *= s;
      y2 *= s;
    } else {
      y1 = y1 * s + 1;
      y2 *= s;
    }
    segments[j][0] = x1;
    segments[j][1] = y1 - 2 * s;
    segments[j][2] = x2;
    segments[j][3] = y2 - 2 * s;
  }

  const GLuint first = glGenLists(128);
  if (first != 0) {
    for (int i = 0; i < 128; ++i) {
      segmentLists[i] = first + static_cast<GLuint>(i);
      glNewList(segmentLists[i], GL_COMPILE);
      glBegin(GL_LINES);
      for (int j = 0; j < 7; ++j) {
        if (SevenSegmentFont::segmentMasks[i] & (1 << j)) {
          glVertex2i(segments[j][0], segments[j][1]);
          glVertex2i(segments[j][2], segments[j][3]);
        }
      }
      glEnd();
      glEndList();
    }
  }
  digitHeight = 2 * s + 3;
}

void buildBuiltinFont() {
  const GLuint first = glGenLists(128);
  if (first == 0) {
    std::fputs("Can't generate fonts.", stdout);
    std::fflush(stdout);
    // The program cannot draw text; give the desktop back before aborting.
    if (currentCanvas != nullptr) currentCanvas->release();
    std::abort();
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int i = 0; i < 128; ++i) {
    fontLists[i] = first + static_cast<GLuint>(i);
    GLubyte bitmap[BuiltinFont::kRows];
    for (int row = 0; row < BuiltinFont::kRows; ++row) {
      bitmap[row] = BuiltinFont::glyphs[i][BuiltinFont::kRows - 1 - row];
    }
    const int width = BuiltinFont::widths[i];
    glNewList(fontLists[i], GL_COMPILE);
    glBitmap(width, BuiltinFont::kRows, 0, 0, static_cast<GLfloat>(width + 1), 0, bitmap);
    glEndList();
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

void buildCircles(std::uint32_t (&table)[4]) {
  const GLuint first = glGenLists(4);
  // Nothing draws the circles; without names the table simply stays empty.
  if (first == 0) return;
  const double pi = std::acos(-1.0);
  for (int i = 0; i < 4; ++i) {
    table[i] = first + static_cast<GLuint>(i);
    const double n = std::pow(5.0, 2.0 + 0.2 * i);
    glNewList(table[i], GL_COMPILE);
    glBegin(GL_POLYGON);
    for (int j = 0; j < n; ++j) {
      const double angle = j / n * 2.0 * pi;
      glVertex2f(static_cast<GLfloat>(std::cos(angle) * 0.5 + 0.5), static_cast<GLfloat>(std::sin(angle) * 0.5 + 0.5));
    }
    glVertex2f(1.0f, 0.5f);
    glEnd();
    glEndList();
  }
}

}  // namespace

void buildDisplayLists() {
  buildSevenSegmentFont();
  buildBuiltinFont();
  buildCircles(circleListsA);
  buildCircles(circleListsB);
}

}  // namespace Kestravon
