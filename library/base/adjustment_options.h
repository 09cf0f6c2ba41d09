// What an adjustment session is asked to do: the command line's session
// options (--trials, --adjust, --start, --seed, --conditions, --gap,
// --results), or a routine's own call (AdjustmentSession::request). The
// labels and values are checked against the registered variables when the
// canvas opens, before the display is touched.
#pragma once

#include <cstdint>
#include <string>

namespace Kestravon {

struct AdjustmentOptions {
  int trials = 0;                          // settings per condition, 1 to 1000; 0: no session
  std::string adjust = "Green luminance";  // the label of the variable the observer adjusts
  bool startGiven = false;                 // --start LO,HI; otherwise the variable's whole range
  double startLow = 0;
  double startHigh = 0;
  bool seedGiven = false;  // otherwise one is taken from the clock (and written in the results)
  std::uint64_t seed = 0;
  std::string conditions;  // "Label=v1,v2,...": another variable takes each value for `trials` trials
  int gapMs = 500;         // the fixation mark alone between two trials, 0 to 10000 ms
  std::string resultsPath;

  bool requested() const { return trials > 0; }
};

constexpr int kMaxTrials = 1000;
constexpr int kMaxGapMs = 10000;

}  // namespace Kestravon
