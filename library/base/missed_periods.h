// The one rule for refresh periods a frame interval missed, used by the
// canvas's frame accounting (on the clock's whole milliseconds) and by the
// session's timing file (on fractional milliseconds from the counter):
//   missed = (interval + offset) / limit, truncated, where limit is the
//   refresh period plus 1 ms and offset 0.1 ms; an interval below
//   limit - offset misses none, and a clock running backwards subtracts none.
// At 60 Hz (limit 17.667 ms) one period is missed from an interval of
// 17.567 ms: 17 whole milliseconds miss none, 18 miss one.
#pragma once

namespace Kestravon {

inline double missedPeriods(double intervalMs, double intervalLimit, double intervalOffset) {
  const double periods = (intervalMs + intervalOffset) / intervalLimit;
  if (!(periods >= 1.0)) return 0.0;  // NaN too
  return static_cast<double>(static_cast<long long>(periods));
}

}  // namespace Kestravon
