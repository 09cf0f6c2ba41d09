#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "library/parameters/parameter_console.h"
#include "library/parameters/variable_registry.h"

namespace Kestravon {
namespace {

// Needs no window system: these tests also run on Windows.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { VariableRegistry::clear(); }
};

template <typename T>
VariableMonitor_Holder_Instance<T>& holderOf(T& variable) {
  return dynamic_cast<VariableMonitor_Holder_Instance<T>&>(*VariableRegistry::find(&variable));
}

TEST_F(RegistryTest, IntStepsStayInsideTheRange) {
  int direction = 1;
  Range r;
  -1 <= r <= 1;
  VariableRegistrar::add(direction).label("Motion Direction").range(r).step(1).step(2);
  VariableMonitor_Holder& h = *VariableRegistry::find(&direction);
  h.increment(false);  // 3 is outside
  EXPECT_EQ(direction, 1);
  h.decrement(false);
  EXPECT_EQ(direction, -1);
  h.increment(true);
  EXPECT_EQ(direction, 0);

  int eccentricity = 80;
  10 <= r <= 140;
  VariableRegistrar::add(eccentricity).range(r).step(10).step(20);
  VariableMonitor_Holder& e = *VariableRegistry::find(&eccentricity);
  for (int expected : {100, 120, 140, 140, 140}) {
    e.increment(false);
    EXPECT_EQ(eccentricity, expected);
  }
}

TEST_F(RegistryTest, DoubleStepsAddWithoutCorrection) {
  double ratio = 1.0;
  Range r;
  1.0 <= r <= 6.0;
  VariableRegistrar::add(ratio).range(r).step(2).step(0.5);
  VariableMonitor_Holder& h = *VariableRegistry::find(&ratio);
  h.decrement(false);
  EXPECT_EQ(ratio, 1.0);
  h.increment(false);
  EXPECT_EQ(ratio, 1.5);
  h.increment(true);
  EXPECT_EQ(ratio, 3.5);
  EXPECT_EQ(holderOf(ratio).shiftStep, 2.0);

  double green = 1.0;
  0.0 <= r <= 1.0;
  VariableRegistrar::add(green).range(r).step(0.05).step(0.05);
  VariableMonitor_Holder& g = *VariableRegistry::find(&green);
  double expected = 1.0;
  for (int i = 0; i < 20; ++i) {
    g.decrement(false);
    if (expected - 0.05 >= 0.0) expected -= 0.05;
  }
  EXPECT_EQ(green, expected);
  EXPECT_GT(green, 0.0) << "the last step would go below 0 and is refused";
  EXPECT_LT(green, 0.06);
}

TEST_F(RegistryTest, IntStepsTruncateAndNeverOverflow) {
  int v = 5;
  Range r;
  -2147483647.0 - 1 <= r <= 2147483647.0;
  VariableRegistrar::add(v).range(r).step(2.9).step(0.5);
  auto& h = holderOf(v);
  EXPECT_EQ(h.shiftStep, 2);
  EXPECT_EQ(h.plainStep, 0);
  h.increment(false);  // a step of 0 stores the same value again
  EXPECT_EQ(v, 5);
  VariableRegistry::setShiftStep(&v, -2.9);
  EXPECT_EQ(h.shiftStep, -2);
  VariableRegistry::setShiftStep(&v, 1e12);
  EXPECT_EQ(h.shiftStep, 2147483647);
  VariableRegistry::setShiftStep(&v, -1e12);
  EXPECT_EQ(h.shiftStep, -2147483647 - 1);
  VariableRegistry::setShiftStep(&v, 0.0 / 0.0);
  EXPECT_EQ(h.shiftStep, 0);
  v = 2147483647;
  VariableRegistry::setShiftStep(&v, 1);
  h.increment(true);  // would pass the int limit: refused, not wrapped
  EXPECT_EQ(v, 2147483647);
}

TEST_F(RegistryTest, BindingChainsLabelRangeAndSteps) {
  double d = 0.0;
  Range r;
  0.0 <= r <= 10.0;
  VariableBinding b = VariableRegistrar::add(d);
  EXPECT_EQ(b.identifier, &d);
  EXPECT_FALSE(b.stepGiven);
  auto& h = holderOf(d);
  EXPECT_EQ(h.label, "Untitled");
  b.label("Level").range(r).step(2).step(0.25).step(0.75);
  EXPECT_EQ(h.label, "Level");
  EXPECT_EQ(h.shiftStep, 2.0);
  EXPECT_EQ(h.plainStep, 0.75) << "each later step replaces the plain step";
  EXPECT_TRUE(h.range.includes(10.0));
  EXPECT_FALSE(h.range.includes(10.5));
  1.0 <= r <= 2.0;  // the holder keeps its own copy
  EXPECT_TRUE(h.range.includes(10.0));

  VariableBinding none{nullptr, false};
  none.label("x").range(r).step(1.0).step(2);
  EXPECT_FALSE(none.stepGiven);
}

TEST_F(RegistryTest, SameVariableTwiceGivesTwoRowsSecondBindingReachesTheFirst) {
  int v = 0;
  VariableRegistrar::add(v).label("First");
  VariableRegistrar::add(v).label("Second");
  ASSERT_EQ(VariableRegistry::holders().size(), 2u);
  auto* first = dynamic_cast<VariableMonitor_Holder_Instance<int>*>(VariableRegistry::holders().front());
  auto* second = dynamic_cast<VariableMonitor_Holder_Instance<int>*>(VariableRegistry::holders().back());
  EXPECT_EQ(first->label, "Second");
  EXPECT_EQ(second->label, "Untitled");
}

TEST_F(RegistryTest, UnknownIdentifiersAreDroppedSilently) {
  int registered = 3;
  int stranger = 4;
  VariableRegistrar::add(registered).label("Known");
  Range r;
  EXPECT_NO_THROW(VariableRegistry::setLabel(&stranger, "x"));
  EXPECT_NO_THROW(VariableRegistry::setRange(&stranger, r));
  EXPECT_NO_THROW(VariableRegistry::setShiftStep(&stranger, 1));
  EXPECT_NO_THROW(VariableRegistry::setPlainStep(nullptr, 1));
  EXPECT_EQ(holderOf(registered).label, "Known");
  try {
    VariableRegistry::find(&stranger);
    FAIL() << "found an unregistered variable";
  } catch (bool b) {
    EXPECT_FALSE(b);
  }
  EXPECT_THROW(VariableRegistry::find(nullptr), bool);
}

TEST_F(RegistryTest, RegistrationSelectsTheFirstRowClearingSelectsNone) {
  int a = 0, b = 0;
  VariableRegistrar::add(a);
  ParameterConsole::selected = std::next(VariableRegistry::holders().begin(), 0);
  VariableRegistrar::add(b);
  EXPECT_TRUE(ParameterConsole::hasSelection);
  EXPECT_EQ(*ParameterConsole::selected, VariableRegistry::holders().front());
  VariableRegistry::clear();
  EXPECT_FALSE(ParameterConsole::hasSelection);
  EXPECT_TRUE(VariableRegistry::holders().empty());
}

// A starting value too large for the variable's type is refused by its
// range, not called "not a number".
TEST_F(RegistryTest, NumbersTooLargeForTheTypeAreOutsideTheRange) {
  int width = 6;
  double green = 1.0;
  Range r;
  3 <= r <= 10;
  VariableRegistrar::add(width).label("Bar Width").range(r).step(1).step(1);
  0.0 <= r <= 1.0;
  VariableRegistrar::add(green).label("Green luminance").range(r).step(0.05).step(0.05);
  std::string error;
  EXPECT_FALSE(VariableRegistry::findLabelled("Bar Width")->setFromText("99999999999999999999", error));
  EXPECT_EQ(error, "99999999999999999999 is outside the range 3 <= Bar Width <= 10");
  EXPECT_FALSE(VariableRegistry::findLabelled("Green luminance")->setFromText("1e400", error));
  EXPECT_EQ(error, "1e400 is outside the range 0 <= Green luminance <= 1");
  EXPECT_FALSE(VariableRegistry::findLabelled("Green luminance")->setFromText("1e4x", error));
  EXPECT_EQ(error, "\"1e4x\" is not a number");
  EXPECT_TRUE(VariableRegistry::findLabelled("Bar Width")->setFromText("10", error));
  EXPECT_EQ(width, 10);
  EXPECT_EQ(green, 1.0);
}

}  // namespace
}  // namespace Kestravon
