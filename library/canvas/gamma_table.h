// The display's luminance response, as a lab measures it, and the
// look-up table that linearises it: measured gamma exponents or a measured
// table (CSV) read and checked, and their inverse sized to whatever number
// of entries the display's hardware table has.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Kestravon {

// One curve per channel, at equally spaced input levels from 0 to 1 (the
// first entry for 0, the last for 1); every value 0 to 1, none below the
// one before it.
struct ChannelCurves {
  std::vector<double> red;
  std::vector<double> green;
  std::vector<double> blue;
};

constexpr std::size_t kMinCurveEntries = 2;
constexpr std::size_t kMaxCurveEntries = 4096;
// More than any table of 4096 rows with comments needs: a file above it is refused unread.
constexpr std::size_t kMaxGammaTableBytes = std::size_t{4} * 1024 * 1024;
constexpr double kMinGammaExponent = 0.5;
constexpr double kMaxGammaExponent = 5.0;

// What the display makes of an input value: luminance = value^exponent
// per channel, or, when `measured` holds a table, that table (interpolated
// linearly between its rows).
struct DisplayResponse {
  double exponents[3] = {1.0, 1.0, 1.0};
  ChannelCurves measured;
  // What the record's headers say of it: "exponents 2.2,2.2,2.2" or
  // "table \"lab.csv\" (CRC-32 0x1c291ca3, 256 rows)".
  std::string source;
};

// "G" or "R,G,B", each from 0.5 to 5. False with `error` saying why.
bool parseGammaExponents(const std::string& text, DisplayResponse& response, std::string& error);
// A measured table: CSV, "#" starts a comment, blank lines are skipped, an
// optional first row "r,g,b"; then one row of three values per input
// level. `name` is what errors and the headers call it. False with
// `error` naming the line and the problem.
bool parseGammaTable(const std::string& contents, const std::string& name, DisplayResponse& response,
                     std::string& error);
// The same, read from a file: only a regular file of at most
// kMaxGammaTableBytes (a directory, a device or a FIFO is refused by name).
// A UTF-8 byte-order mark is skipped; UTF-16 text is refused as such.
bool readGammaTable(const std::string& path, DisplayResponse& response, std::string& error);

// A table a routine loads itself: each curve 2 to 4,096 entries, all three
// the same length, every value finite, 0 to 1, none below the one before.
bool checkCurves(const ChannelCurves& curves, std::string& error);

// A hardware table of `size` entries per channel (red, then green, then
// blue; 0 to 65535) that undoes the response: the luminance of input level
// i / (size - 1) becomes proportional to it, between the darkest and the
// brightest luminance the channel reaches.
std::vector<std::uint16_t> inverseRamp(const DisplayResponse& response, int size);
// A routine's own curves, interpolated to a hardware table of `size` entries.
std::vector<std::uint16_t> resampleCurves(const ChannelCurves& curves, int size);

// CRC-32 (ISO-HDLC, as zlib and `gzip` compute it) of the bytes.
std::uint32_t crc32(const std::string& bytes);

}  // namespace Kestravon
