// The swap schedule the SDL2 and Win32 backends share, on counter values alone (no
// display): where swaps wait, and how the schedule moves after a late
// swap, a stall, and a swap close to its deadline.
#include "platform/pacing/pacing.h"

#include <gtest/gtest.h>

#include <vector>

namespace Kestravon {
namespace {

using platform::pacing::nextSwapTime;
using platform::pacing::pacingPeriod;
using platform::pacing::PacingSchedule;

constexpr double kPeriod = 1000.0;

// A schedule whose next swap is due at `deadline`.
PacingSchedule dueAt(double deadline) {
  PacingSchedule schedule;
  schedule.periodCounts = kPeriod;
  schedule.deadline = deadline;
  return schedule;
}

TEST(PacingTest, TheFirstSwapStartsTheScheduleWhenItIsUpAndEarlySwapsWaitForTheirSlot) {
  PacingSchedule schedule;
  schedule.periodCounts = kPeriod;
  EXPECT_EQ(nextSwapTime(schedule, 5000.0, false), 5000.0);
  // The first swap took 800 counts (a first frame often does): the next
  // still gets its full period after it is up, not 200.
  platform::pacing::swapReturned(schedule, 5800.0);
  EXPECT_EQ(schedule.deadline, 6800.0);
  EXPECT_EQ(nextSwapTime(schedule, 5900.0, false), 6800.0);
  platform::pacing::swapReturned(schedule, 6810.0);  // later swaps move nothing
  EXPECT_EQ(nextSwapTime(schedule, 7100.0, false), 7800.0);
  EXPECT_EQ(schedule.deadline, 8800.0);
}

// As a retrace would: a swap that misses its slot waits for the next one,
// so no swap goes up sooner than one period after the one before it.
TEST(PacingTest, ALateSwapWaitsForTheNextSlotAsARetraceWould) {
  PacingSchedule schedule = dueAt(6000.0);
  EXPECT_EQ(nextSwapTime(schedule, 6400.0, false), 7000.0);
  EXPECT_EQ(schedule.deadline, 8000.0);
  EXPECT_EQ(nextSwapTime(schedule, 7100.0, false), 8000.0);
  // Exactly at its slot is on time.
  schedule = dueAt(6000.0);
  EXPECT_EQ(nextSwapTime(schedule, 6000.0, false), 6000.0);
  EXPECT_EQ(schedule.deadline, 7000.0);
  // After a stall, the next slot on the same grid: the rate holds.
  schedule = dueAt(6000.0);
  EXPECT_EQ(nextSwapTime(schedule, 9500.0, false), 10000.0);
  EXPECT_EQ(schedule.deadline, 11000.0);
}

// A swap that came back long after its slot (the X server busy) went up,
// as at a retrace, at a later slot: the next frame waits a period beyond
// that, so two frames never go up within half a period of each other.
TEST(PacingTest, ASwapThatReturnedLateCountsAsGoneUpAtTheNextSlot) {
  PacingSchedule schedule = dueAt(6000.0);
  EXPECT_EQ(nextSwapTime(schedule, 5900.0, false), 6000.0);
  platform::pacing::swapReturned(schedule, 6700.0);  // 700 after its slot
  EXPECT_EQ(nextSwapTime(schedule, 6750.0, false), 8000.0) << "not 7000, 300 after it went up";
  platform::pacing::swapReturned(schedule, 8300.0);  // under half a period late: nothing moves
  EXPECT_EQ(nextSwapTime(schedule, 8400.0, false), 9000.0);
}

TEST(PacingTest, OnlyADriverThatSyncsHasAnOnTimeWindowAroundTheDeadline) {
  // 50 counts early (within a sixteenth of the period): with sync the swap
  // is on time, goes at once and the schedule follows it.
  PacingSchedule synced = dueAt(6000.0);
  EXPECT_EQ(nextSwapTime(synced, 5950.0, true), 5950.0);
  EXPECT_EQ(synced.deadline, 6950.0);
  // 50 counts late: the same, in the other direction.
  synced = dueAt(6000.0);
  EXPECT_EQ(nextSwapTime(synced, 6050.0, true), 6050.0);
  EXPECT_EQ(synced.deadline, 7050.0);
  // Further out, a synced swap that came back early is still held back.
  synced = dueAt(6000.0);
  EXPECT_EQ(nextSwapTime(synced, 5900.0, true), 6000.0);
  EXPECT_EQ(synced.deadline, 7000.0);
  // Without sync the schedule alone sets the rate: 50 early waits.
  PacingSchedule unsynced = dueAt(6000.0);
  EXPECT_EQ(nextSwapTime(unsynced, 5950.0, false), 6000.0);
  EXPECT_EQ(unsynced.deadline, 7000.0);
}

TEST(PacingTest, NoPeriodMeansNoWaitAndThePeriodFollowsTheRequestedRate) {
  PacingSchedule schedule = dueAt(0.0);
  schedule.periodCounts = 0.0;
  EXPECT_EQ(nextSwapTime(schedule, 100.0, false), 100.0);
  EXPECT_EQ(nextSwapTime(schedule, 101.0, false), 101.0);
  EXPECT_EQ(schedule.deadline, 0.0);

  EXPECT_DOUBLE_EQ(pacingPeriod(60, 0, 1e9, false), 1e9 / 60);
  EXPECT_DOUBLE_EQ(pacingPeriod(60, 75, 1e9, false), 1e9 / 60);  // the request, not the mode
  EXPECT_DOUBLE_EQ(pacingPeriod(1, 75, 1e9, false), 1e9 / 75);   // 0 and 1 Hz: the mode's rate
  EXPECT_EQ(pacingPeriod(0, 0, 1e9, false), 0.0);                // no known rate: not paced
  EXPECT_EQ(pacingPeriod(60, 60, 1e9, true), 0.0);               // KESTRAVON_UNPACED
}

// A counter that moves 1 on every read and by what a sleep asked, plus
// the lateness a scheduler tick adds to each sleep.
double counterValue = 0.0;
double sleepLateness = 0.0;
std::vector<double> sleptAt;
std::vector<double> sleptTo;  // where each sleep was asked to end
double readCounter() { return counterValue += 1.0; }
void sleepFor(double counts) {
  sleptAt.push_back(counterValue);
  sleptTo.push_back(counterValue + counts);
  counterValue += counts + sleepLateness;
}

TEST(PacingTest, TheWaitSleepsUpToTheSpinWindowThenWatchesTheCounterToTheTarget) {
  counterValue = 0.0;
  sleptAt.clear();
  sleepLateness = 0.0;
  platform::pacing::waitUntil(1000.0, 50.0, readCounter, sleepFor);
  ASSERT_EQ(sleptAt.size(), 1u) << "one sleep, to the start of the spin window";
  EXPECT_EQ(sleptTo[0], 950.0);
  EXPECT_GE(counterValue, 1000.0);
  EXPECT_LT(counterValue, 1002.0) << "the counter is watched, not slept past the target";

  // Sleeps that end late, even past the target, end the wait at once.
  counterValue = 0.0;
  sleptAt.clear();
  sleepLateness = 100.0;
  platform::pacing::waitUntil(1000.0, 50.0, readCounter, sleepFor);
  EXPECT_EQ(sleptAt.size(), 1u);
  EXPECT_LT(counterValue, 1052.0);

  // Already inside the spin window, or past the target: no sleep at all.
  for (const double start : {960.0, 1000.0, 5000.0}) {
    counterValue = start;
    sleptAt.clear();
    platform::pacing::waitUntil(1000.0, 50.0, readCounter, sleepFor);
    EXPECT_TRUE(sleptAt.empty()) << start;
    EXPECT_GE(counterValue, 1000.0);
  }
}

}  // namespace
}  // namespace Kestravon
