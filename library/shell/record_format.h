// What the run's CSV files are written in: the fixed line buffer rows are
// composed in (the frame loop and a signal handler allocate nothing), and
// the lines every file of a run begins with.
#pragma once

#include <cstddef>
#include <string>

#include "platform/platform.h"

namespace Kestravon {

// Appends text to a fixed line buffer; never past its end.
class Line {
 public:
  Line& text(const char* s);
  Line& text(const char* s, std::size_t n);
  Line& text(const std::string& s) { return text(s.c_str(), s.size()); }
  Line& integer(long long value);
  // Milliseconds with three decimals, as integers so no locale can change it.
  Line& milliseconds(double ms);
  // A number with up to six significant digits, whatever the C locale.
  Line& number(double value);
  // A CSV field: quoted, with its quotes doubled, when it holds a comma, a
  // quote or a line break.
  Line& field(const std::string& value);
  const char* data() const { return buffer_; }
  std::size_t size() const { return used_; }

 private:
  char buffer_[512];
  std::size_t used_ = 0;
};

// A composed line to standard error, with no stdio buffer in between:
// also from a signal handler.
inline void writeToStandardError(const Line& line) { platform::writeToStandardError(line.data(), line.size()); }

// "# started 2026-12-08T23:39:49Z": the time a run's files were created, UTC.
std::string startedNow();

// The lines every file of a run has after its first two: the display
// asked and obtained, how swaps are synchronised, what the driver and the
// system granted, and `displayLines` (which display, its look-up table).
std::string runDescription(int width, int height, int bitsPerPixel, double refreshRate,
                           const std::string& displayLines);

}  // namespace Kestravon
