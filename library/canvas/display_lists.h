// Display lists compiled once, in the first canvas's context: the seven-
// segment font for numbers, the bitmap font for text, and circles.
#pragma once

#include <cstdint>

namespace Kestravon {

// (Their storage: LibraryState, library/shell/library_state.h.)
extern std::uint32_t (&segmentLists)[128];
extern std::uint32_t (&fontLists)[128];
extern std::uint32_t (&circleListsA)[4];
extern std::uint32_t (&circleListsB)[4];
// Line-spacing base of the seven-segment digits: 2 * scale + 3.
extern int& digitHeight;

void buildDisplayLists();

// The constant tables the lists are compiled from.
namespace SevenSegmentFont {
constexpr int kScale = 8;
extern const std::int32_t segmentTable[7][4];  // x1, y1, x2, y2 on a 1 x 2 grid
extern const std::int32_t segmentMasks[128];
}  // namespace SevenSegmentFont

namespace BuiltinFont {
constexpr int kCellHeight = 8;
constexpr int kRows = kCellHeight - 1;
extern const std::uint8_t glyphs[128][kRows];  // row 0 at the top, MSB = leftmost pixel
extern const std::int32_t widths[128];
}  // namespace BuiltinFont

}  // namespace Kestravon
