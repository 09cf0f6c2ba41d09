// The subject's display: which display the canvas opens on, and the
// luminance response whose inverse the canvas loads into that display's
// hardware look-up table. Both are desktop state, like the display mode:
// changed only on request, and given back with the mode on every exit.
// Process-wide; start-up sets them from the options, a routine may set
// them itself before it opens its canvas.
#pragma once

#include <string>

#include "gamma_table.h"

namespace Kestravon {

struct SessionOptions;  // the program's options (start-up's, not installed)

class SubjectDisplay {
 public:
  // Canvases opened from now on open on display `screen` (0 is the first).
  // When the canvas opens and there is no such display, it refuses the
  // option before the display is touched, listing the displays (start-up
  // reports it and returns status 2).
  static void choose(int screen);
  // Canvases opened from now on load the inverse of `response` into their
  // display's look-up table once the mode is switched (see
  // Canvas::loadLookupTable for what may fail), and give the display's own
  // table back when they close.
  static void linearise(const DisplayResponse& response);
  // The first display, its table left alone (as with no options).
  static void reset();
  // From the options: false, with `error`, for a malformed --gamma value
  // or --gamma-table file. Replaces whatever was set before.
  static bool configure(const SessionOptions& options, std::string& error);

  // The canvas's part. select: before the display is touched (throws
  // RefusedOption for a display that is not there). response: null when nothing is to be loaded.
  // headerLines: what the record's headers say of the display, given the
  // entries of the table that was loaded.
  static void select();
  static const DisplayResponse* response();
  static std::string headerLines(int loadedEntries);
};

}  // namespace Kestravon
