#include "library/parameters/range.h"

#include <gtest/gtest.h>

#include <limits>

namespace Kestravon {
namespace {

void expectBound(const Bound& b, BoundKind kind, Closure closure, double value) {
  EXPECT_EQ(b.kind, kind);
  EXPECT_EQ(b.closure, closure);
  EXPECT_EQ(b.value, value);
}

TEST(RangeTest, ClosedChainIncludesItsEnds) {
  Range r;
  Range& result = (1.0 <= r <= 6.0);
  EXPECT_EQ(&result, &r);
  EXPECT_TRUE(r.includes(1.0));
  EXPECT_TRUE(r.includes(6.0));
  EXPECT_TRUE(r.includes(3.3));
  EXPECT_FALSE(r.includes(0.999));
  EXPECT_FALSE(r.includes(6.5));
  -1.0 <= r <= 1.0;
  EXPECT_TRUE(r.includes(-1.0));
  EXPECT_FALSE(r.includes(3.0));
  EXPECT_FALSE(r.includes(-3.0));
}

TEST(RangeTest, HalfLineHasNoUpperLimit) {
  Range r;
  static_cast<void>(2.5 <= r);  // the lower end alone: the chain's first half
  EXPECT_TRUE(r.includes(2.5));
  EXPECT_TRUE(r.includes(std::numeric_limits<double>::max()));
  EXPECT_TRUE(r.includes(std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(r.includes(2.4999));
  expectBound(r.upper, PlusInfinity, Closed, 0.0);
}

TEST(RangeTest, OpenEndsExcludeTheirValues) {
  Range r;  // finite open ends at 2 and 3
  expectBound(r.lower, Finite, Open, 2.0);
  expectBound(r.upper, Finite, Open, 3.0);
  EXPECT_FALSE(r.includes(2.0));
  EXPECT_TRUE(r.includes(2.5));
  EXPECT_FALSE(r.includes(3.0));
  r.lower.kind = MinusInfinity;
  EXPECT_TRUE(r.includes(-1e300));
  // Only MinusInfinity skips the lower end: PlusInfinity there is examined at its value.
  r.lower = Bound{PlusInfinity, Closed, 2.0};
  EXPECT_FALSE(r.includes(1.0));
  // An unknown closure code lets its end pass.
  r.upper = Bound{Finite, static_cast<Closure>(7), 3.0};
  EXPECT_TRUE(r.includes(100.0));
}

TEST(RangeTest, ScratchRangeReusedKeepsNothingAndCopiesAreIndependent) {
  Range scratch;
  1.0 <= scratch <= 6.0;
  const Range first = scratch;
  10 <= scratch <= 140;
  EXPECT_FALSE(scratch.includes(5.0));
  EXPECT_TRUE(first.includes(5.0));
  EXPECT_FALSE(first.includes(100.0));
  Range assigned;
  assigned = scratch;
  expectBound(assigned.lower, Finite, Closed, 10.0);
  expectBound(assigned.upper, Finite, Closed, 140.0);
}

TEST(RangeTest, AccumulatorKeepsItsOwnCopyOfTheFirstStep) {
  Range r;
  Range_acc acc = (4.0 <= r);
  Range& done = (acc <= 9.0);
  EXPECT_EQ(&done, &r);
  EXPECT_EQ(&acc.target, &r);
  expectBound(acc.lower, Finite, Closed, 4.0);
  expectBound(acc.upper, PlusInfinity, Closed, 0.0);
  expectBound(r.upper, Finite, Closed, 9.0);
}

}  // namespace
}  // namespace Kestravon
