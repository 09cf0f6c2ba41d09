// How well a run's frames kept time, counted as they are presented: what
// the timing file's rows and the summary line at the end say. Part of the
// shell's state (library_state.h): the session record adds to it.
#pragma once

#include "library/shell/record_format.h"

namespace Kestravon {

struct FrameStatistics {
  long long frames = 0;   // presented
  long long missed = 0;   // refresh periods, by the canvas's rule
  long long early = 0;    // intervals under half a period
  long long overTwo = 0;  // intervals that missed 2 periods or more: a stall the observer sees
  double worst = 0;       // the longest interval, and its frame
  long long worstFrame = 0;
  // Running mean and sum of squared deviations of the intervals (Welford).
  double mean = 0;
  double squares = 0;

  // The interval before frame `frames` (already counted), `missed` periods
  // missed in it, and whether it was under half of `periodMs`: adds it.
  // Returns whether it was early.
  bool addInterval(double interval, long long missedPeriods, double periodMs);
  double standardDeviation() const;
  // "Kestravon: 600 frames presented, 3 refresh periods missed, interval
  // mean 16.667 ms, SD 0.500 ms; 0 early (...), 1 over 2 periods (...),
  // worst 50.000 ms at frame 300".
  Line summaryLine() const;
};

}  // namespace Kestravon
