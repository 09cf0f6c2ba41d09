#include "library/base/clock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "library/base/exception.h"
#include "library/base/missed_periods.h"
#include "tests/support/headless_fixture.h"

namespace Kestravon {
namespace {

namespace hl = platform::headless;
using ClockTest = testing::HeadlessTest;

TEST_F(ClockTest, MillisecondsTruncateTowardZero) {
  hl::setFrequency(3'579'545);  // an old ACPI timer: d = 3579
  Clock::initialize();
  const std::int64_t d = Clock::countsPerMillisecond;
  ASSERT_EQ(d, 3579);
  EXPECT_EQ(Clock(10 * d).milliseconds(), 10.0);
  EXPECT_EQ(Clock(10 * d - 1).milliseconds(), 9.0);
  EXPECT_EQ(Clock(-(3 * d + d * 9 / 10)).milliseconds(), -3.0);
  EXPECT_EQ(Clock(d - 1).milliseconds(), 0.0);
}

TEST_F(ClockTest, ReadingsAndDifferences) {
  hl::setCounter(1'000'000);
  Clock earlier;
  hl::advanceCounter(250'000);  // 25 ms at 10 MHz
  Clock later;
  EXPECT_EQ((later - earlier).milliseconds(), 25.0);
  EXPECT_EQ((earlier - later).milliseconds(), -25.0);
  hl::advanceCounter(10'000);
  later.update();
  EXPECT_EQ((later - earlier).milliseconds(), 26.0);
  // Wraps like two's complement instead of overflowing.
  const Clock big(std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ((Clock(std::numeric_limits<std::int64_t>::min()) - big).count, 1);
}

void expectRefused(std::int64_t frequency) {
  hl::setFrequency(frequency);
  try {
    Clock::initialize();
    ADD_FAILURE() << "a counter of " << frequency << " ticks per second was accepted";
  } catch (const Exception& e) {
    EXPECT_TRUE(e.origin() == typeid(Clock));
    EXPECT_EQ(e.title(), "HARDWARE NOT SUPPORTED");
    EXPECT_EQ(e.message(), "This computer does not support high-resolution performance counter.");
    EXPECT_EQ(e.detail(), "");
  }
}

TEST_F(ClockTest, MissingOrSlowCounterIsRefused) {
  expectRefused(0);
  expectRefused(999);  // would make the divisor 0
  hl::setFrequency(1000);
  EXPECT_NO_THROW(Clock::initialize());
  EXPECT_EQ(Clock::countsPerMillisecond, 1);
}

// The accounting's whole milliseconds and the timing file's fractional ones
// meet the same rule; at 60 Hz the limit is 17.667 ms and the offset 0.1 ms.
TEST(MissedPeriodsTest, OneRuleAtItsEdges) {
  const double limit = 1000.0 / 60.0 + 1.0;
  EXPECT_EQ(missedPeriods(17.0, limit, 0.1), 0.0) << "whole ms: 17 misses none";
  EXPECT_EQ(missedPeriods(18.0, limit, 0.1), 1.0) << "whole ms: 18 misses one";
  EXPECT_EQ(missedPeriods(17.566, limit, 0.1), 0.0);
  EXPECT_EQ(missedPeriods(17.567, limit, 0.1), 1.0);
  EXPECT_EQ(missedPeriods(2 * limit - 0.1 - 0.001, limit, 0.1), 1.0) << "truncated";
  EXPECT_EQ(missedPeriods(2 * limit - 0.1 + 0.001, limit, 0.1), 2.0);
  EXPECT_EQ(missedPeriods(-40.0, limit, 0.1), 0.0) << "a clock running backwards subtracts none";
  EXPECT_EQ(missedPeriods(std::numeric_limits<double>::quiet_NaN(), limit, 0.1), 0.0);
}

// Kept and handed on by value: one assigned over another (a default one,
// whose origin is Exception itself) takes its origin with its texts.
TEST(ExceptionTest, AnAssignedExceptionTakesTheOriginWithTheTexts) {
  Exception kept;
  ASSERT_TRUE(kept.origin() == typeid(Exception));
  kept = Exception(typeid(Clock), "T", "M");
  EXPECT_TRUE(kept.origin() == typeid(Clock));
  EXPECT_EQ(kept.title(), "T");
  EXPECT_EQ(kept.message(), "M");
}

}  // namespace
}  // namespace Kestravon
