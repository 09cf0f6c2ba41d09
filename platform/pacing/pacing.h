// The swap schedule of a display that cannot sync (Xvfb, some virtual
// displays) or that syncs but may come back early: when each swap may
// happen so that swaps follow the requested refresh period. Pure logic on
// counter values, with no SDL and no clock of its own, so that it is
// tested without a display; gl_context.cpp reads the counter and waits.
#pragma once

namespace Kestravon {
namespace platform {
namespace sdl2 {

struct PacingSchedule {
  double periodCounts = 0.0;  // the refresh period in counter units; 0: do not pace
  double deadline = 0.0;      // when the next swap is due; 0: no schedule yet
};

// The refresh period in counter units for a requested rate (the mode's own
// when none is asked, 0 or 1 Hz standing for "the default"), or 0 when
// nothing is to be paced: no known rate, or pacing switched off.
double pacingPeriod(int requestedHz, int modeHz, double countsPerSecond, bool switchedOff);

// A swap is about to be paced at counter value `now`: returns the counter
// value it must wait for (at most `now` when it may go at once) and moves
// the schedule on. `driverSyncs` tells whether the swap itself waits for
// the retrace (then a swap close to its deadline is taken as on time).
double nextSwapTime(PacingSchedule& schedule, double now, bool driverSyncs);

}  // namespace sdl2
}  // namespace platform
}  // namespace Kestravon
