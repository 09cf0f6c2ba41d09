// The swap schedule of a display that cannot sync (Xvfb, some virtual
// displays, a driver with vertical sync forced off) or that syncs but may
// come back early: when each swap may happen so that swaps follow the
// requested refresh period; and the check that tells whether swaps wait
// for the display at all. Pure logic on counter values, with no window
// system and no clock of its own, so that it is tested without a display;
// each backend (sdl2, win32) hands in its counter and its sleep.
#pragma once

namespace Kestravon {
namespace platform {
namespace pacing {

struct PacingSchedule {
  double periodCounts = 0.0;  // the refresh period in counter units; 0: do not pace
  double deadline = 0.0;      // when the next swap is due; 0: no schedule yet
  // The schedule starts when its first swap has returned (swapReturned): a
  // first swap that takes long still gets its full period after it.
  bool startsAtReturn = false;
  double lastSlot = 0.0;  // the slot the last paced swap was held to
};

// The refresh period in counter units for a requested rate (the mode's own
// when none is asked, 0 or 1 Hz standing for "the default"), or 0 when
// nothing is to be paced: no known rate, or pacing switched off.
double pacingPeriod(int requestedHz, int modeHz, double countsPerSecond, bool switchedOff);

// A swap is about to be paced at counter value `now`: returns the counter
// value it must wait for (at most `now` when it may go at once) and moves
// the schedule on. `driverSyncs` tells whether the swap itself waits for
// the retrace (then a swap close to its deadline is taken as on time).
// Without it the schedule behaves as a retrace would: slots one period
// apart, a swap that misses its slot waits for the next one, so no swap
// goes up sooner than one period after the one before it.
double nextSwapTime(PacingSchedule& schedule, double now, bool driverSyncs);
// The paced swap returned at counter value `now` (call after every paced
// swap): the first one starts the schedule there; one that returned more
// than half a period after its slot went up, as at a retrace, at the slot
// after, and the next swap waits a period beyond that.
void swapReturned(PacingSchedule& schedule, double now);

// Waits until `counter()` reaches `target`: sleeps (`sleep`, for about that
// many counter units) until `spinCounts` before it, since a sleep may end
// late by up to a scheduler tick, then watches the counter for the rest.
void waitUntil(double target, double spinCounts, double (*counter)(), void (*sleep)(double counts));

// KESTRAVON_UNPACED=1 in the environment switches pacing off, so that a
// benchmark sees what a frame costs rather than the refresh period; a
// driver that syncs still syncs.
bool switchedOffByEnvironment();

// A driver that accepts a swap interval of 1 may still not wait (vertical
// sync forced off in its settings, a virtual display): when the canvas is
// shown, this many blank frames are swapped and timed.
constexpr int kTestSwaps = 8;
// Swaps kTestSwaps blank frames (`swapBlank` clears and swaps one, done
// when it returns) and gives their mean interval in counter units, from the
// first swap's end to the last's.
double timeTestSwaps(void (*swapBlank)(), double (*counter)());
// Whether the test swaps waited for the display: their mean interval
// (counter units, from the first swap's end to the last's) is at least half
// the refresh period. A driver that waits gives about one period; one that
// does not, the time it takes to draw a blank frame.
bool swapsWait(double meanInterval, double periodCounts);

}  // namespace pacing
}  // namespace platform
}  // namespace Kestravon
