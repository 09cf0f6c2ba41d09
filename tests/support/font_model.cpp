#include "tests/support/font_model.h"

#include <cstddef>
#include <sstream>

namespace Kestravon {
namespace testing {

namespace {

struct TypedGlyph {
  int code;
  GlyphRows glyph;
};

// clang-format off
const TypedGlyph kGlyphs[] = {
    {0, {4, {0x00, 0x00, 0x60, 0x60, 0x00, 0x00, 0x00}}},  // every control character
    {' ', {6, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}}},
    {'$', {6, {0x10, 0x7C, 0xD0, 0x78, 0x14, 0xF8, 0x10}}},
    {',', {4, {0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0x60}}},
    {'-', {4, {0x00, 0x00, 0x00, 0xF0, 0x00, 0x00, 0x00}}},
    {'@', {6, {0x78, 0xC4, 0xD4, 0xDA, 0xC0, 0x78, 0x00}}},
    {'A', {6, {0x78, 0xCC, 0xCC, 0xFC, 0xCC, 0xCC, 0x00}}},
    {'B', {6, {0xF8, 0xCC, 0xF8, 0xCC, 0xCC, 0xF8, 0x00}}},
    {'D', {6, {0xF8, 0xCC, 0xCC, 0xCC, 0xCC, 0xF8, 0x00}}},
    {'E', {6, {0xFC, 0xC0, 0xFC, 0xC0, 0xC0, 0xFC, 0x00}}},
    {'G', {6, {0x7C, 0xC0, 0xC0, 0xCC, 0xCC, 0x7C, 0x00}}},
    {'M', {8, {0xE7, 0xDB, 0xDB, 0xDB, 0xDB, 0xDB, 0x00}}},
    {'O', {6, {0x78, 0xCC, 0xCC, 0xCC, 0xCC, 0x78, 0x00}}},
    {'P', {6, {0xF8, 0xCC, 0xCC, 0xF8, 0xC0, 0xC0, 0x00}}},
    {'R', {6, {0xF8, 0xCC, 0xCC, 0xF8, 0xD0, 0xCC, 0x00}}},
    {'S', {6, {0x7C, 0xC0, 0x78, 0x0C, 0x0C, 0xF8, 0x00}}},
    {'W', {8, {0xDB, 0xDB, 0xDB, 0xDB, 0xDB, 0x7F, 0x00}}},
    {'a', {6, {0x00, 0x78, 0x0C, 0x7C, 0xCC, 0x7C, 0x00}}},
    {'c', {5, {0x00, 0x78, 0xC0, 0xC0, 0xC0, 0x78, 0x00}}},
    {'d', {6, {0x0C, 0x0C, 0x7C, 0xCC, 0xCC, 0x7C, 0x00}}},
    {'e', {6, {0x00, 0x78, 0xCC, 0xFC, 0xC0, 0x78, 0x00}}},
    {'g', {6, {0x00, 0x78, 0xCC, 0xCC, 0x7C, 0x0C, 0x78}}},
    {'h', {6, {0xC0, 0xC0, 0xF8, 0xCC, 0xCC, 0xCC, 0x00}}},
    {'i', {4, {0x60, 0x00, 0x60, 0x60, 0x60, 0x60, 0x00}}},
    {'j', {4, {0x60, 0x00, 0x60, 0x60, 0x60, 0x60, 0xC0}}},
    {'l', {4, {0x60, 0x60, 0x60, 0x60, 0x60, 0x20, 0x00}}},
    {'m', {8, {0x00, 0xFF, 0xDB, 0xDB, 0xDB, 0xDB, 0x00}}},
    {'n', {6, {0x00, 0xF8, 0xCC, 0xCC, 0xCC, 0xCC, 0x00}}},
    {'o', {6, {0x00, 0x78, 0xCC, 0xCC, 0xCC, 0x78, 0x00}}},
    {'r', {5, {0x00, 0xD8, 0xF0, 0xC0, 0xC0, 0xC0, 0x00}}},
    {'t', {4, {0x60, 0xF0, 0x60, 0x60, 0x60, 0x30, 0x00}}},
    {'u', {6, {0x00, 0xCC, 0xCC, 0xCC, 0xCC, 0x7C, 0x00}}},
    {'y', {6, {0x00, 0xCC, 0xCC, 0x6C, 0x18, 0x30, 0x60}}},
    {127, {0, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}}},
};

// Widths of codes 32 to 127, sixteen to a line; codes 0 to 31 are 4 wide.
const char kWidths[] =
    "6466666444664444"   // 32 to 47:  space ! " # $ % & ' ( ) * + , - . /
    "6666666666444446"   // 48 to 63:  0 to 9 : ; < = > ?
    "6666666664466866"   // 64 to 79:  @ A to O
    "6666666866644444"   // 80 to 95:  P to Z [ \ ] ^ _
    "4665665664464866"   // 96 to 111: ` a to o
    "6656466866644460";  // 112 to 127: p to z { | } ~ delete

struct TypedMask {
  int code;
  int mask;
};

const TypedMask kMasks[] = {
    {'!', 119}, {'-', 8},   {'.', 64},  {'0', 119}, {'1', 36},  {'2', 93},  {'3', 109},
    {'4', 46},  {'5', 107}, {'6', 123}, {'7', 39},  {'8', 127}, {'9', 47},  {'A', 63},
    {'B', 122}, {'C', 83},  {'D', 124}, {'E', 91},  {'F', 27},
};

const Stroke kStrokes[7] = {
    {1, -16, 8, -16},  // top
    {0, -15, 0, -8},   // upper left
    {8, -15, 8, -8},   // upper right
    {1, -8, 8, -8},    // middle
    {0, -7, 0, 0},     // lower left
    {8, -7, 8, 0},     // lower right
    {1, 0, 8, 0},      // bottom
};

constexpr int kCellPitch = 12;

}  // namespace

const GlyphRows* typedGlyph(unsigned char code) {
  const int lookup = code < 32 ? 0 : code;
  for (const TypedGlyph& g : kGlyphs) {
    if (g.code == lookup) return &g.glyph;
  }
  ADD_FAILURE() << "glyph " << int{code} << " is not typed into the test model";
  return nullptr;
}

int typedWidth(unsigned char code) {
  if (code < 32) return 4;
  if (code > 127) {
    ADD_FAILURE() << "code " << int{code} << " lies outside the font";
    return 0;
  }
  return kWidths[code - 32] - '0';
}

void paintText(Image& image, const std::string& text, int x, int y, std::uint32_t rgb) {
  int pen = x;
  for (char c : text) {
    const unsigned char code = static_cast<unsigned char>(c);
    const GlyphRows* glyph = typedGlyph(code);
    if (glyph == nullptr) return;
    EXPECT_EQ(glyph->width, typedWidth(code)) << "the model's two tables disagree on " << int{code};
    for (int row = 0; row < 7; ++row) {
      for (int column = 0; column < glyph->width; ++column) {
        if (glyph->rows[row] & (0x80 >> column)) setPixel(image, pen + column, y - 6 + row, rgb);
      }
    }
    pen += glyph->width + 1;
  }
}

int typedSegmentMask(unsigned char code) {
  for (const TypedMask& m : kMasks) {
    if (m.code == code) return m.mask;
  }
  return 0;
}

const Stroke& typedStroke(int segment) { return kStrokes[segment]; }

void paintCells(Image& image, const std::string& text, int x, int y, std::uint32_t rgb) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int ox = x + kCellPitch * static_cast<int>(i);
    const int mask = typedSegmentMask(static_cast<unsigned char>(text[i]));
    for (int j = 0; j < 7; ++j) {
      if (!(mask & (1 << j))) continue;
      const Stroke& s = kStrokes[j];
      if (s.x1 == s.x2) {
        for (int py = s.y1; py < s.y2; ++py) setPixel(image, ox + s.x1, y + py, rgb);
      } else {
        for (int px = s.x1; px < s.x2; ++px) setPixel(image, ox + px, y + s.y1, rgb);
      }
    }
  }
}

void paintCellsRight(Image& image, const std::string& text, int x, int y, std::uint32_t rgb) {
  paintCells(image, text, x - kCellPitch * static_cast<int>(text.size()), y, rgb);
}

Image blankImage(int width, int height, std::uint32_t rgb) {
  Image image;
  image.width = width;
  image.height = height;
  image.rgba.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
  fillRegion(image, 0, 0, width - 1, height - 1, rgb);
  return image;
}

void setPixel(Image& image, int x, int y, std::uint32_t rgb) {
  if (x < 0 || y < 0 || x >= image.width || y >= image.height) return;
  std::uint8_t* p = image.rgba.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                                         static_cast<std::size_t>(x)) * 4;
  p[0] = static_cast<std::uint8_t>(rgb >> 16);
  p[1] = static_cast<std::uint8_t>(rgb >> 8);
  p[2] = static_cast<std::uint8_t>(rgb);
  p[3] = 0xFF;
}

void fillRegion(Image& image, int left, int top, int right, int bottom, std::uint32_t rgb) {
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x) setPixel(image, x, y, rgb);
  }
}

::testing::AssertionResult RegionsEqual(const Image& expected, const Image& actual, int left, int top, int right,
                                        int bottom) {
  if (expected.width != actual.width || expected.height != actual.height) {
    return ::testing::AssertionFailure() << "image is " << actual.width << " x " << actual.height << ", expected "
                                         << expected.width << " x " << expected.height;
  }
  int differing = 0;
  std::ostringstream first;
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x) {
      const std::uint32_t want = expected.rgb(x, y);
      const std::uint32_t got = actual.rgb(x, y);
      if (want == got) continue;
      if (++differing <= 8) {
        first << "\n  (" << x << ", " << y << ") is 0x" << std::hex << got << ", expected 0x" << want << std::dec;
      }
    }
  }
  if (differing == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << differing << " pixel(s) differ:" << first.str();
}

::testing::AssertionResult ImagesEqual(const Image& expected, const Image& actual) {
  return RegionsEqual(expected, actual, 0, 0, expected.width - 1, expected.height - 1);
}

void paintConsoleRows(Image& image, const std::vector<ConsoleRow>& rows, int selected) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const int y = 30 + 50 * static_cast<int>(i);
    const std::uint32_t colour = static_cast<int>(i) == selected ? 0xFFFFFFu : kHalfWhite;
    paintText(image, rows[i].label, 30, y, colour);
    paintCellsRight(image, rows[i].value, 190, y, colour);
  }
}

}  // namespace testing
}  // namespace Kestravon
