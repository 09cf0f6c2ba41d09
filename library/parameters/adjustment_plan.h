// The plan of an adjustment session, worked out from its options and the
// registered variables before the display is touched: which variable the
// observer adjusts, the grid its random starts are drawn from, the
// conditions, and every trial in order (blocks of one trial per condition,
// each block in a new random order). The same seed gives the same plan on
// every platform: the generator and the draws are the library's own.
// Also the summary of a condition's settings (mean, SD, 95 % confidence
// interval of the mean by Student's t).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library/base/adjustment_options.h"
#include "library/parameters/variable_registry.h"

namespace Kestravon {

// splitmix64: small, fast, and the same numbers everywhere.
class SessionRandom {
 public:
  explicit SessionRandom(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next();
  // Uniform in 0 .. n-1 (n > 0), without the bias of a plain modulo.
  std::uint64_t below(std::uint64_t n);

 private:
  std::uint64_t state_;
};

// The values a start can take: base + k * step for k = first .. last.
struct StartGrid {
  double base = 0;
  double step = 0;
  long long first = 0;
  long long last = -1;

  long long count() const { return last - first + 1; }
  // The k-th value, rounded to 12 significant digits where that is within
  // a millionth of a step of it (3 x 0.05 is 0.15, not 0.15000000000000002).
  double value(long long k) const;
};

struct PlannedTrial {
  int block = 0;      // 1, 2, ...
  int condition = 0;  // index into AdjustmentPlan::conditionValues (0 without conditions)
  double start = 0;
};

struct AdjustmentPlan {
  VariableMonitor_Holder* adjusted = nullptr;
  VariableMonitor_Holder* conditionVariable = nullptr;  // null without conditions
  std::vector<std::string> conditionValues;             // as given; one empty value without conditions
  StartGrid grid;
  double startLow = 0;  // the range the starts were drawn within
  double startHigh = 0;
  std::vector<PlannedTrial> trials;

  // "SOA=2", or "" without conditions.
  std::string conditionText(int condition) const;
};

constexpr int kMaxConditions = 100;

// Resolves the options against the registry and draws the trials from
// `seed`. A label no variable has, a value outside its variable's range, a
// start range outside the adjusted variable's or holding fewer than two
// grid values: throws RefusedOption with one line naming the option and why.
// Leaves the condition variable at its last checked value: the session
// sets every variable a trial uses when the trial starts.
AdjustmentPlan planAdjustment(const AdjustmentOptions& options, std::uint64_t seed);

struct SettingSummary {
  int count = 0;
  double mean = 0;
  double sd = 0;   // with n - 1; 0 for fewer than two settings
  double t = 0;    // Student's t for 97.5 % with count - 1 degrees of freedom; 0 for fewer than two
  double low = 0;  // the 95 % confidence interval of the mean
  double high = 0;
};

SettingSummary summarize(const std::vector<double>& settings);

// The 97.5 % quantile of Student's t distribution with `df` degrees of
// freedom (df >= 1).
double studentT975(int df);

}  // namespace Kestravon
