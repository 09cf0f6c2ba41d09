// Expected pixels of text and numbers, painted from the documented font
// tables and glyph geometry. The glyph rows, widths and segment masks here
// are typed from the font's documentation, independently of the library's
// own tables, so that a wrong table entry shows up as a pixel difference.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "platform/headless/headless.h"

namespace Kestravon {
namespace testing {

using platform::headless::Image;

// ---- bitmap font -----------------------------------------------------------

struct GlyphRows {
  int width;
  std::uint8_t rows[7];  // row 0 at the top, most significant bit leftmost
};

// The typed glyphs: the letters of the stimulus's labels and a few with
// special rows (descenders, the seventh column of @, controls, code 127).
// Fails the current test and returns null for a code not typed.
const GlyphRows* typedGlyph(unsigned char code);

// Advance widths of all 128 codes.
int typedWidth(unsigned char code);

// Text with the first glyph's left column at x and its bottom row (row 6)
// on pixel row y; each glyph advances width + 1.
void paintText(Image& image, const std::string& text, int x, int y, std::uint32_t rgb);

// ---- seven-segment font ----------------------------------------------------

// Bit j set: segment j (top, upper left, upper right, middle, lower left,
// lower right, bottom) is drawn.
int typedSegmentMask(unsigned char code);

// The compiled end points of segment j relative to the cell origin.
struct Stroke {
  int x1, y1, x2, y2;
};
const Stroke& typedStroke(int segment);

// Characters in 12-pixel cells, the first cell's origin (its bottom-left
// corner) at (x, y). Each stroke lights the pixels from its first end point
// up to, not including, its second: seven pixels per stroke.
void paintCells(Image& image, const std::string& text, int x, int y, std::uint32_t rgb);
// The same, right-aligned: the last cell ends at x.
void paintCellsRight(Image& image, const std::string& text, int x, int y, std::uint32_t rgb);

// ---- images ----------------------------------------------------------------

Image blankImage(int width, int height, std::uint32_t rgb);
// The program's 1024 x 768 canvas, all black.
inline Image blackScreen() { return blankImage(1024, 768, 0x000000); }
void setPixel(Image& image, int x, int y, std::uint32_t rgb);  // outside the image: ignored
void fillRegion(Image& image, int left, int top, int right, int bottom, std::uint32_t rgb);

// Every pixel (RGB) inside the inclusive rectangle is equal; reports how many
// differ and the first few.
::testing::AssertionResult RegionsEqual(const Image& expected, const Image& actual, int left, int top, int right,
                                        int bottom);
::testing::AssertionResult ImagesEqual(const Image& expected, const Image& actual);

// The text a default output string stream makes of the value.
template <typename T>
std::string streamed(T value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

// Alpha 0.5 white over black, as the blending of the canvas gives it.
constexpr std::uint32_t kHalfWhite = 0x808080;

// One row of the parameter console: a label and its value as drawn.
struct ConsoleRow {
  std::string label;
  std::string value;
};
// Row i: its label from (30, 30 + 50 i), its value ending at x = 190 on the
// same line; the selected row opaque white, the others half-transparent.
void paintConsoleRows(Image& image, const std::vector<ConsoleRow>& rows, int selected);

}  // namespace testing
}  // namespace Kestravon
