// Text in the bitmap font and numbers in the seven-segment font.
#include <charconv>
#include <cmath>
#include <cstdio>

#include "library/canvas/canvas.h"
#include "library/canvas/display_lists.h"
#include "library/canvas/gl.h"

namespace Kestravon {

namespace {

constexpr GLfloat kDigitPitch = 12.0f;

// The text an output string stream in its default state gives (classic
// locale, precision 6, %g-style), written without allocating and whatever
// C locale the process has set.
int formatNumber(int value, char (&buffer)[32]) {
  return static_cast<int>(std::to_chars(buffer, buffer + sizeof buffer, value).ptr - buffer);
}
int formatNumber(double value, char (&buffer)[32]) {
  // to_chars writes inf and nan without the sign and payload rules of the
  // stream; those few go through the stream's own conversion.
  if (!std::isfinite(value)) return std::snprintf(buffer, sizeof buffer, "%.6g", value);
  return static_cast<int>(std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6).ptr -
                          buffer);
}

}  // namespace

void Canvas::drawText(const char* text, double x, double y, Color color) {
  glPushMatrix();
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  // The raster position latches the current colour for the bitmaps.
  glColor4f(static_cast<GLfloat>(color.r), static_cast<GLfloat>(color.g), static_cast<GLfloat>(color.b),
            static_cast<GLfloat>(color.a));
  // Truncated toward zero; std::trunc, since a cast of a far-off anchor to an
  // integer type would be undefined.
  glRasterPos2d(std::trunc(x), std::trunc(y));
  // The font's lists are consecutive names, so one glCallLists on a run of
  // characters calls the same lists in the same order as a glCallList per
  // character, in one call (a driver may batch the run's bitmaps; Mesa
  // 22.3 still draws each on its own). Codes above 127 lie outside the font
  // and draw nothing: they end a run. The list base is part of GL_LIST_BIT
  // and comes back with the pop.
  glListBase(fontLists[0]);
  const unsigned char* run = reinterpret_cast<const unsigned char*>(text);
  for (const unsigned char* c = run;; ++c) {
    if (*c != 0 && *c < 128) continue;
    if (c != run) glCallLists(static_cast<GLsizei>(c - run), GL_UNSIGNED_BYTE, run);
    if (*c == 0) break;
    run = c + 1;
  }
  glPopAttrib();
  glPopMatrix();
}

void Canvas::drawText(const std::string& text, double x, double y, Color color) { drawText(text.c_str(), x, y, color); }

void drawText(const std::string& text, double x, double y, Color color) { currentCanvas->drawText(text, x, y, color); }

template <typename T>
void Canvas::drawNumber(T value, double x, double y, Color color, bool leftAligned) {
  char text[32];
  const int length = formatNumber(value, text);
  glPushMatrix();
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glColor4f(static_cast<GLfloat>(color.r), static_cast<GLfloat>(color.g), static_cast<GLfloat>(color.b),
            static_cast<GLfloat>(color.a));
  if (leftAligned) {
    glTranslatef(static_cast<GLfloat>(x) - kDigitPitch, static_cast<GLfloat>(y), 0);
    for (int i = 0; i < length; ++i) {
      glTranslatef(kDigitPitch, 0, 0);
      glCallList(segmentLists[static_cast<unsigned char>(text[i]) & 0x7F]);
    }
  } else {
    glTranslatef(static_cast<GLfloat>(x), static_cast<GLfloat>(y), 0);
    for (int i = length - 1; i >= 0; --i) {
      glTranslatef(-kDigitPitch, 0, 0);
      glCallList(segmentLists[static_cast<unsigned char>(text[i]) & 0x7F]);
    }
  }
  glPopAttrib();
  glPopMatrix();
}

template void Canvas::drawNumber<int>(int, double, double, Color, bool);
template void Canvas::drawNumber<double>(double, double, double, Color, bool);

}  // namespace Kestravon
