#include "library/parameters/adjustment_plan.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "library/base/exception.h"

namespace Kestravon {

std::uint64_t SessionRandom::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::uint64_t SessionRandom::below(std::uint64_t n) {
  // The largest multiple of n that fits: draws at or above it are drawn again.
  const std::uint64_t limit = UINT64_MAX - UINT64_MAX % n;
  std::uint64_t draw = next();
  while (draw >= limit) draw = next();
  return draw % n;
}

double StartGrid::value(long long k) const {
  const double raw = base + static_cast<double>(k) * step;
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, raw, std::chars_format::general, 12).ptr;
  double rounded = raw;
  std::from_chars(text, end, rounded);
  return std::fabs(rounded - raw) <= step * 1e-6 ? rounded : raw;
}

std::string AdjustmentPlan::conditionText(int condition) const {
  if (conditionVariable == nullptr) return std::string();
  return conditionVariable->labelText() + "=" + conditionValues[static_cast<std::size_t>(condition)];
}

namespace {

std::string number(double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

VariableMonitor_Holder* findOrRefuse(const std::string& option, const std::string& label) {
  VariableMonitor_Holder* holder = VariableRegistry::findLabelled(label);
  if (holder != nullptr) return holder;
  std::string labels;
  for (VariableMonitor_Holder* h : VariableRegistry::holders()) {
    labels += (labels.empty() ? "\"" : ", \"") + h->labelText() + "\"";
  }
  throw RefusedOption(option + ": no variable is labelled \"" + label + "\"; the labels are " +
                      (labels.empty() ? std::string("(none registered)") : labels));
}

// The adjusted variable's step grid within the start range.
StartGrid startGrid(const AdjustmentOptions& options, const VariableMonitor_Holder& adjusted, double& low,
                    double& high) {
  const Range& range = adjusted.valueRange();
  const std::string& label = adjusted.labelText();
  const std::string prefix = "--adjust \"" + label + "\": ";
  if (range.lower.kind != Finite) throw RefusedOption(prefix + "its range has no low end to start a step grid from");
  StartGrid grid;
  grid.step = adjusted.plainStepSize();
  if (!(grid.step > 0)) throw RefusedOption(prefix + "its plain step is " + number(grid.step) + ", not above 0");
  grid.base = adjusted.holdsWholeNumbers() ? std::ceil(range.lower.value) : range.lower.value;
  if (options.startGiven) {
    low = options.startLow;
    high = options.startHigh;
    const std::string given = "--start " + number(low) + "," + number(high) + ": ";
    for (double end : {low, high}) {
      if (!range.includes(end)) {
        throw RefusedOption(given + number(end) + " is outside the range " + describeRange(range, label));
      }
    }
  } else {
    if (range.upper.kind != Finite) {
      throw RefusedOption(prefix + "its range has no high end; --start LO,HI says where the starts lie");
    }
    low = range.lower.value;
    high = range.upper.value;
  }
  constexpr double kSlack = 1e-9;  // a grid value computed a hair off an end still counts
  grid.first = static_cast<long long>(std::max(0.0, std::ceil((low - grid.base) / grid.step - kSlack)));
  grid.last = static_cast<long long>(std::floor((high - grid.base) / grid.step + kSlack));
  while (grid.first <= grid.last && !range.includes(grid.value(grid.first))) ++grid.first;
  while (grid.first <= grid.last && !range.includes(grid.value(grid.last))) --grid.last;
  if (grid.count() < 2) {
    throw RefusedOption(
        (options.startGiven ? "--start " + number(low) + "," + number(high) : prefix.substr(0, prefix.size() - 2)) +
        ": holds " + (grid.count() == 1 ? "one value" : "no value") + " of the step grid (" + number(grid.base) +
        " plus whole steps of " + number(grid.step) + "); the starts need at least two");
  }
  return grid;
}

// The condition variable and its values, each checked against its range.
void resolveConditions(const AdjustmentOptions& options, AdjustmentPlan& plan) {
  plan.conditionValues.clear();
  if (options.conditions.empty()) {
    plan.conditionValues.emplace_back();
    return;
  }
  const std::string option = "--conditions \"" + options.conditions + "\"";
  const std::size_t equals = options.conditions.find('=');
  const std::string label = options.conditions.substr(0, equals);
  plan.conditionVariable = findOrRefuse(option, label);
  if (plan.conditionVariable == plan.adjusted) {
    throw RefusedOption(option + ": \"" + label + "\" is the adjusted variable; conditions vary another one");
  }
  std::vector<std::string> seen;  // each value as the variable reads it back
  std::string values = options.conditions.substr(equals + 1);
  for (std::size_t from = 0; from <= values.size();) {
    const std::size_t comma = std::min(values.find(',', from), values.size());
    const std::string value = values.substr(from, comma - from);
    from = comma + 1;
    std::string error;
    if (!plan.conditionVariable->setFromText(value, error))
      throw RefusedOption(std::string(option).append(": ").append(error));
    char text[32];
    plan.conditionVariable->formatValue(text, sizeof text);
    for (const std::string& earlier : seen) {
      if (earlier == text) {
        throw RefusedOption(std::string(option).append(": the value ").append(value).append(" is given twice"));
      }
    }
    seen.emplace_back(text);
    plan.conditionValues.push_back(value);
  }
  if (plan.conditionValues.size() > static_cast<std::size_t>(kMaxConditions)) {
    throw RefusedOption(option + ": " + std::to_string(plan.conditionValues.size()) + " values; at most " +
                        std::to_string(kMaxConditions));
  }
}

}  // namespace

AdjustmentPlan planAdjustment(const AdjustmentOptions& options, std::uint64_t seed) {
  AdjustmentPlan plan;
  plan.adjusted = findOrRefuse("--adjust", options.adjust);
  plan.grid = startGrid(options, *plan.adjusted, plan.startLow, plan.startHigh);
  resolveConditions(options, plan);

  SessionRandom random(seed);
  const int conditions = static_cast<int>(plan.conditionValues.size());
  std::vector<int> order(static_cast<std::size_t>(conditions));
  for (int block = 1; block <= options.trials; ++block) {
    for (int i = 0; i < conditions; ++i) order[static_cast<std::size_t>(i)] = i;
    for (int i = conditions - 1; i > 0; --i) {  // Fisher-Yates
      const auto j = static_cast<std::size_t>(random.below(static_cast<std::uint64_t>(i) + 1));
      std::swap(order[static_cast<std::size_t>(i)], order[j]);
    }
    for (int condition : order) {
      const auto k = static_cast<long long>(random.below(static_cast<std::uint64_t>(plan.grid.count())));
      plan.trials.push_back(PlannedTrial{block, condition, plan.grid.value(plan.grid.first + k)});
    }
  }
  return plan;
}

// ---- statistics ------------------------------------------------------------

namespace {

// The continued fraction of the regularised incomplete beta function
// (modified Lentz), for x < (a + 1) / (a + b + 2).
double betaFraction(double a, double b, double x) {
  constexpr double kTiny = 1e-300;
  double c = 1.0;
  double d = 1.0 - (a + b) * x / (a + 1.0);
  if (std::fabs(d) < kTiny) d = kTiny;
  d = 1.0 / d;
  double h = d;
  for (int m = 1; m <= 300; ++m) {
    const double m2 = 2.0 * m;
    double aa = m * (b - m) * x / ((a + m2 - 1.0) * (a + m2));
    d = 1.0 + aa * d;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = 1.0 + aa / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1.0 / d;
    h *= d * c;
    aa = -(a + m) * (a + b + m) * x / ((a + m2) * (a + m2 + 1.0));
    d = 1.0 + aa * d;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = 1.0 + aa / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1.0 / d;
    const double delta = d * c;
    h *= delta;
    if (std::fabs(delta - 1.0) < 1e-15) break;
  }
  return h;
}

double incompleteBeta(double a, double b, double x) {
  if (x <= 0) return 0;
  if (x >= 1) return 1;
  const double front =
      std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) + b * std::log(1.0 - x));
  if (x < (a + 1.0) / (a + b + 2.0)) return front * betaFraction(a, b, x) / a;
  return 1.0 - front * betaFraction(b, a, 1.0 - x) / b;
}

// P(T <= t) for t >= 0.
double studentCdf(double t, int df) {
  const double v = df;
  return 1.0 - 0.5 * incompleteBeta(v / 2.0, 0.5, v / (v + t * t));
}

}  // namespace

double studentT975(int df) {
  double low = 0;
  double high = 1000;  // df 1 gives 12.7
  for (int i = 0; i < 200 && high - low > 1e-12; ++i) {
    const double middle = (low + high) / 2;
    (studentCdf(middle, df) < 0.975 ? low : high) = middle;
  }
  return (low + high) / 2;
}

SettingSummary summarize(const std::vector<double>& settings) {
  SettingSummary s;
  s.count = static_cast<int>(settings.size());
  if (s.count == 0) return s;
  for (double x : settings) s.mean += x;
  s.mean /= s.count;
  s.low = s.high = s.mean;
  if (s.count < 2) return s;
  double squares = 0;
  for (double x : settings) squares += (x - s.mean) * (x - s.mean);
  s.sd = std::sqrt(squares / (s.count - 1));
  s.t = studentT975(s.count - 1);
  const double half = s.t * s.sd / std::sqrt(static_cast<double>(s.count));
  s.low = s.mean - half;
  s.high = s.mean + half;
  return s;
}

}  // namespace Kestravon
