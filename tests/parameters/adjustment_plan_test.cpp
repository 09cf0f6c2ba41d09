// The plan of an adjustment session: where the random starts may fall,
// that a seed gives the same session back, the blocks of conditions, the
// refusals, and the summary statistics against values worked out by hand.
#include "library/parameters/adjustment_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>

#include "library/base/exception.h"
#include "library/parameters/range.h"
#include "library/parameters/variable_registry.h"
#include "tests/support/headless_fixture.h"

namespace Kestravon {
namespace {

class AdjustmentPlanTest : public testing::HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    Range r;
    0.0 <= r <= 1.0;
    VariableRegistrar::add(green).label("Green luminance").range(r).step(0.05).step(0.05);
    1 <= r <= 10;
    VariableRegistrar::add(soa).label("SOA").range(r).step(1).step(1);
    -1 <= r <= 1;
    VariableRegistrar::add(direction).label("Motion Direction").range(r).step(1).step(2);
  }

  static AdjustmentOptions options(int trials) {
    AdjustmentOptions o;
    o.trials = trials;
    o.resultsPath = "unused.csv";
    return o;
  }

  // The refusal's text, or "" when the plan is made.
  static std::string refusal(const AdjustmentOptions& o) {
    try {
      planAdjustment(o, 1);
    } catch (const RefusedOption& refused) {
      return refused.text();
    }
    return "";
  }

  double green = 1.0;
  int soa = 2;
  int direction = 1;
};

TEST_F(AdjustmentPlanTest, StartsFallOnTheStepGridWithinTheStartRangeAndASeedGivesTheSessionBack) {
  AdjustmentOptions o = options(400);
  o.startGiven = true;
  o.startLow = 0.2;
  o.startHigh = 0.45;  // grid values 0.2, 0.25, ..., 0.45: six
  const AdjustmentPlan plan = planAdjustment(o, 7);
  ASSERT_EQ(plan.trials.size(), 400u);
  std::map<double, int> drawn;
  for (const PlannedTrial& trial : plan.trials) ++drawn[trial.start];
  const std::map<double, int>::key_type expected[] = {0.2, 0.25, 0.3, 0.35, 0.4, 0.45};
  ASSERT_EQ(drawn.size(), 6u) << "every grid value is drawn in 400 trials, and nothing else";
  int i = 0;
  for (const auto& [value, count] : drawn) {
    EXPECT_EQ(value, expected[i++]) << "written as a person would (0.35, not 0.35000000000000003)";
    EXPECT_GT(count, 40) << value << ": about 67 of 400 each, uniformly";
  }
  // The same seed gives the same starts; another seed other ones.
  const AdjustmentPlan again = planAdjustment(o, 7);
  const AdjustmentPlan other = planAdjustment(o, 8);
  int same = 0;
  for (std::size_t t = 0; t < plan.trials.size(); ++t) {
    EXPECT_EQ(plan.trials[t].start, again.trials[t].start);
    same += plan.trials[t].start == other.trials[t].start;
  }
  EXPECT_LT(same, 150);

  // The whole range by default, both ends included; a whole-number variable's grid.
  o = options(300);
  o.adjust = "Motion Direction";  // -1 plus steps of 2: -1 and 1 only
  std::set<double> ends;
  for (const PlannedTrial& trial : planAdjustment(o, 3).trials) ends.insert(trial.start);
  EXPECT_EQ(ends, (std::set<double>{-1.0, 1.0}));
  o.adjust = "Green luminance";
  const AdjustmentPlan whole = planAdjustment(o, 3);
  EXPECT_EQ(whole.grid.count(), 21);
  EXPECT_EQ(whole.grid.value(whole.grid.last), 1.0);
}

TEST_F(AdjustmentPlanTest, ConditionsRunInBlocksOfOneTrialEachInANewOrderThatTheSeedKeeps) {
  AdjustmentOptions o = options(30);
  o.conditions = "SOA=1,2,4";
  const AdjustmentPlan plan = planAdjustment(o, 99);
  ASSERT_EQ(plan.trials.size(), 90u);
  EXPECT_EQ(plan.conditionText(2), "SOA=4");
  std::set<std::string> orders;
  for (int block = 0; block < 30; ++block) {
    std::string order;
    std::set<int> seen;
    for (int i = 0; i < 3; ++i) {
      const PlannedTrial& trial = plan.trials[static_cast<std::size_t>(block) * 3 + static_cast<std::size_t>(i)];
      EXPECT_EQ(trial.block, block + 1);
      seen.insert(trial.condition);
      order += static_cast<char>('0' + trial.condition);
    }
    EXPECT_EQ(seen.size(), 3u) << "block " << block + 1 << " holds each condition once";
    orders.insert(order);
  }
  EXPECT_GE(orders.size(), 4u) << "the blocks are shuffled, not one order repeated";
  const AdjustmentPlan again = planAdjustment(o, 99);
  for (std::size_t t = 0; t < plan.trials.size(); ++t) EXPECT_EQ(plan.trials[t].condition, again.trials[t].condition);
}

TEST_F(AdjustmentPlanTest, WhatNoSessionCouldRunIsRefusedNamingTheOptionAndWhy) {
  AdjustmentOptions o = options(5);
  o.adjust = "Green";
  EXPECT_EQ(refusal(o),
            "--adjust: no variable is labelled \"Green\"; the labels are \"Green luminance\", \"SOA\", \"Motion "
            "Direction\"");
  o = options(5);
  o.startGiven = true;
  o.startLow = 0.5;
  o.startHigh = 1.5;
  EXPECT_EQ(refusal(o), "--start 0.5,1.5: 1.5 is outside the range 0 <= Green luminance <= 1");
  o.startLow = 0.51;
  o.startHigh = 0.54;
  EXPECT_EQ(refusal(o),
            "--start 0.51,0.54: holds no value of the step grid (0 plus whole steps of 0.05); the starts need at "
            "least two");
  o.startHigh = 0.56;
  o.startLow = 0.54;
  EXPECT_NE(refusal(o).find("holds one value"), std::string::npos);
  o = options(5);
  o.conditions = "SOA=1,11";
  EXPECT_EQ(refusal(o), "--conditions \"SOA=1,11\": 11 is outside the range 1 <= SOA <= 10");
  o.conditions = "SOA=1,1.5";
  EXPECT_EQ(refusal(o), "--conditions \"SOA=1,1.5\": \"1.5\" is not a whole number");
  o.conditions = "SOA=2,3,02";
  EXPECT_EQ(refusal(o), "--conditions \"SOA=2,3,02\": the value 02 is given twice");
  o.conditions = "Green luminance=0.5,1";
  EXPECT_NE(refusal(o).find("is the adjusted variable"), std::string::npos);
  o.conditions = "soa=1,2";
  EXPECT_NE(refusal(o).find("no variable is labelled \"soa\""), std::string::npos);
  o.conditions = "SOA=1,2";
  EXPECT_EQ(refusal(o), "");
}

TEST(SummaryTest, MeanSdAndTheConfidenceIntervalAreStudentsT) {
  // Student's t quantiles, 97.5 %, from the published tables.
  EXPECT_NEAR(studentT975(1), 12.7062, 1e-4);
  EXPECT_NEAR(studentT975(2), 4.3027, 1e-4);
  EXPECT_NEAR(studentT975(4), 2.7764, 1e-4);
  EXPECT_NEAR(studentT975(9), 2.2622, 1e-4);
  EXPECT_NEAR(studentT975(29), 2.0452, 1e-4);
  EXPECT_NEAR(studentT975(999), 1.9623, 1e-4);
  // 1..5: mean 3, SD sqrt(2.5), half width 2.7764 * 1.5811 / sqrt(5) = 1.9632.
  const SettingSummary s = summarize({2, 5, 1, 4, 3});
  EXPECT_EQ(s.count, 5);
  EXPECT_DOUBLE_EQ(s.mean, 3.0);
  EXPECT_NEAR(s.sd, 1.581139, 1e-6);
  EXPECT_NEAR(s.low, 1.036756, 1e-5);
  EXPECT_NEAR(s.high, 4.963244, 1e-5);
  // One setting: its value, no spread.
  const SettingSummary one = summarize({0.6});
  EXPECT_EQ(one.count, 1);
  EXPECT_DOUBLE_EQ(one.mean, 0.6);
  EXPECT_EQ(one.sd, 0.0);
}

}  // namespace
}  // namespace Kestravon
