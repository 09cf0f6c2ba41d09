// The swap schedule (see pacing.h).
#include "platform/pacing/pacing.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace Kestravon {
namespace platform {
namespace pacing {

namespace {

// With a driver that syncs, a swap within this much of the deadline counts
// as on time and the schedule follows the swap itself, so a display a hair
// faster or slower than requested is never held back (which would drop a
// frame now and then). Without sync, the schedule alone sets the rate.
constexpr double kOnTimeFraction = 1.0 / 16.0;

}  // namespace

double pacingPeriod(int requestedHz, int modeHz, double countsPerSecond, bool switchedOff) {
  const int hz = requestedHz > 1 ? requestedHz : modeHz;
  return hz > 0 && !switchedOff ? countsPerSecond / hz : 0.0;
}

double nextSwapTime(PacingSchedule& schedule, double now, bool driverSyncs) {
  const double period = schedule.periodCounts;
  if (period <= 0.0) {
    return now;
  }
  if (schedule.deadline == 0.0) {
    if (driverSyncs) {
      schedule.deadline = now + period;
    } else {
      schedule.startsAtReturn = true;  // the slots run from when this swap is up
    }
    return now;
  }
  const double due = schedule.deadline;
  const double early = due - now;
  if (!driverSyncs) {
    // As a retrace: on time, at the slot; late (a slow frame, a stall), at
    // the next slot, never at once.
    const double slot = early >= 0.0 ? due : due + std::ceil(-early / period) * period;
    schedule.deadline = slot + period;
    schedule.lastSlot = slot;
    return slot;
  }
  const double onTime = period * kOnTimeFraction;
  if (early > onTime) {
    schedule.deadline += period;
    return due;
  }
  // A little late: keep the schedule, so that the average rate holds. On
  // time, or after a stall: start afresh from now (rather than rush to
  // catch up).
  const bool littleLate = early < -onTime && -early <= period;
  schedule.deadline = littleLate ? schedule.deadline + period : now + period;
  return now;
}

void swapReturned(PacingSchedule& schedule, double now) {
  const double period = schedule.periodCounts;
  if (period <= 0.0) return;
  if (schedule.startsAtReturn) {
    schedule.startsAtReturn = false;
    schedule.deadline = now + period;
    schedule.lastSlot = now;
    return;
  }
  const double late = now - schedule.lastSlot;
  if (schedule.lastSlot == 0.0 || late <= period / 2.0) return;
  const double wentUp = schedule.lastSlot + std::ceil(late / period) * period;
  if (wentUp + period > schedule.deadline) schedule.deadline = wentUp + period;
}

void waitUntil(double target, double spinCounts, double (*counter)(), void (*sleep)(double counts)) {
  const double wakeAt = target - spinCounts;
  for (;;) {
    const double now = counter();
    if (now >= target) return;
    if (now < wakeAt) sleep(wakeAt - now);
  }
}

bool switchedOffByEnvironment() {
  const char* value = std::getenv("KESTRAVON_UNPACED");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

double timeTestSwaps(void (*swapBlank)(), double (*counter)()) {
  double first = 0.0;
  double last = 0.0;
  for (int i = 0; i < kTestSwaps; ++i) {
    swapBlank();
    last = counter();
    if (i == 0) first = last;
  }
  return (last - first) / (kTestSwaps - 1);
}

bool swapsWait(double meanInterval, double periodCounts) {
  return periodCounts <= 0.0 || meanInterval >= periodCounts / 2.0;
}

}  // namespace pacing
}  // namespace platform
}  // namespace Kestravon
