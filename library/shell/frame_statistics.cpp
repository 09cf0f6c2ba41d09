#include "library/shell/frame_statistics.h"

#include <cmath>

namespace Kestravon {

bool FrameStatistics::addInterval(double interval, long long missedPeriods, double periodMs) {
  const bool isEarly = interval < periodMs / 2.0;
  missed += missedPeriods;
  early += isEarly ? 1 : 0;
  overTwo += missedPeriods >= 2 ? 1 : 0;
  if (interval > worst) {
    worst = interval;
    worstFrame = frames;
  }
  const double n = static_cast<double>(frames - 1);
  const double delta = interval - mean;
  mean += delta / n;
  squares += delta * (interval - mean);
  return isEarly;
}

double FrameStatistics::standardDeviation() const {
  const long long intervals = frames > 1 ? frames - 1 : 0;
  return intervals > 1 ? std::sqrt(squares / static_cast<double>(intervals - 1)) : 0.0;
}

Line FrameStatistics::summaryLine() const {
  Line summary;
  summary.text("Kestravon: ").integer(frames).text(" frames presented, ").integer(missed);
  summary.text(" refresh periods missed, interval mean ").milliseconds(mean).text(" ms, SD ");
  summary.milliseconds(standardDeviation()).text(" ms; ").integer(early).text(" early (under half a period), ");
  summary.integer(overTwo).text(" over 2 periods (2 or more missed)");
  if (worstFrame > 0) summary.text(", worst ").milliseconds(worst).text(" ms at frame ").integer(worstFrame);
  summary.text("\n");
  return summary;
}

}  // namespace Kestravon
