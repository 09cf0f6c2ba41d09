#include "library/parameters/variable_registry.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "library/canvas/canvas.h"
#include "library/parameters/parameter_console.h"
#include "library/parameters/parameter_state.h"
#include "library/parameters/starting_values.h"

namespace Kestravon {

namespace {

// Steps of an int variable truncate toward zero; a double beyond the int
// range (or not a number) must not reach an undefined conversion.
template <typename T>
T stepFrom(double step);

template <>
int stepFrom<int>(double step) {
  if (std::isnan(step)) return 0;
  if (step >= 2147483647.0) return INT_MAX;
  if (step <= -2147483648.0) return INT_MIN;
  return static_cast<int>(step);
}

template <>
double stepFrom<double>(double step) {
  return step;
}

// The candidate in the variable's own arithmetic; an int candidate that
// would leave the 32-bit range is refused rather than wrapped.
bool candidate(int value, int step, bool up, int& out) {
  const std::int64_t c = up ? std::int64_t{value} + step : std::int64_t{value} - step;
  if (c < INT_MIN || c > INT_MAX) return false;
  out = static_cast<int>(c);
  return true;
}

bool candidate(double value, double step, bool up, double& out) {
  out = up ? value + step : value - step;
  return true;
}

// Shortest text that reads back to the same value (no locale involved).
int format(int value, char* buffer, int size) {
  const auto result = std::to_chars(buffer, buffer + size - 1, value);
  *result.ptr = '\0';
  return static_cast<int>(result.ptr - buffer);
}

int format(double value, char* buffer, int size) {
  const auto result = std::to_chars(buffer, buffer + size - 1, value);
  *result.ptr = '\0';
  return static_cast<int>(result.ptr - buffer);
}

// The whole text as a number of the variable's type: Parsed, NotANumber, or
// TooLarge for a well-formed number the type cannot hold (1e400 for a
// double, 99999999999999999999 for an int), which no range admits.
enum class Parse { Parsed, NotANumber, TooLarge };

Parse parse(const std::string& text, int& out) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, out);
  if (result.ptr != end) return Parse::NotANumber;
  if (result.ec == std::errc::result_out_of_range) return Parse::TooLarge;
  return result.ec == std::errc() ? Parse::Parsed : Parse::NotANumber;
}

Parse parse(const std::string& text, double& out) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, out);
  if (result.ptr != end) return Parse::NotANumber;
  if (result.ec == std::errc::result_out_of_range) return Parse::TooLarge;
  return result.ec == std::errc() && std::isfinite(out) ? Parse::Parsed : Parse::NotANumber;
}

}  // namespace

// "3 <= Bar Width <= 10", with < for an open end and no side for an infinite one.
std::string describeRange(const Range& range, const std::string& label) {
  char number[32];
  std::string text;
  if (range.lower.kind == Finite) {
    format(range.lower.value, number, sizeof number);
    text += std::string(number) + (range.lower.closure == Closed ? " <= " : " < ");
  }
  text += label;
  if (range.upper.kind == Finite) {
    format(range.upper.value, number, sizeof number);
    text += std::string(range.upper.closure == Closed ? " <= " : " < ") + number;
  }
  return text;
}

template <typename T>
VariableMonitor_Holder_Instance<T>::VariableMonitor_Holder_Instance(T* v)
    : variable(v), shiftStep(0), plainStep(0), range(), label("Untitled"), firstValue(*v) {}

template <typename T>
void* VariableMonitor_Holder_Instance<T>::identifier() {
  return variable;
}

template <typename T>
void VariableMonitor_Holder_Instance<T>::draw(double x, double y, bool selected) {
  // Rows draw on the first canvas; none is open once it has closed.
  if (currentCanvas == nullptr) return;
  const Color& color = ParameterConsole::rowColors[selected ? 1 : 0];
  drawText(label, x + 30, y + 30, color);
  currentCanvas->drawNumber(*variable, x + 190, y + 30, color, false);
}

template <typename T>
void VariableMonitor_Holder_Instance<T>::setLabel(const std::string& text) {
  label = text;
}

template <typename T>
Range& VariableMonitor_Holder_Instance<T>::setRange(Range& r) {
  range.lower = r.lower;
  range.upper = r.upper;
  return range;
}

template <typename T>
void VariableMonitor_Holder_Instance<T>::setShiftStep(double step) {
  shiftStep = stepFrom<T>(step);
}

template <typename T>
void VariableMonitor_Holder_Instance<T>::setPlainStep(double step) {
  plainStep = stepFrom<T>(step);
}

template <typename T>
void VariableMonitor_Holder_Instance<T>::stepBy(T step, bool up) {
  T next;
  if (!candidate(*variable, step, up, next)) return;
  if (!range.includes(static_cast<double>(next))) return;
  const bool changed = next != *variable;
  *variable = next;
  if (changed && VariableRegistry::valueChanged != nullptr) {
    char value[32];
    formatValue(value, sizeof value);
    VariableRegistry::valueChanged(label, value);
  }
}

template <typename T>
int VariableMonitor_Holder_Instance<T>::formatValue(char* buffer, int size) const {
  return format(*variable, buffer, size);
}

template <typename T>
bool VariableMonitor_Holder_Instance<T>::setFromText(const std::string& text, std::string& error) {
  T value{};
  const Parse parsed = parse(text, value);
  if (parsed == Parse::NotANumber) {
    error = "\"" + text + "\" is not " + (std::is_same<T, int>::value ? "a whole number" : "a number");
    return false;
  }
  if (parsed == Parse::TooLarge || !range.includes(static_cast<double>(value))) {
    error = text + " is outside the range " + describeRange(range, label);
    return false;
  }
  *variable = value;
  return true;
}

template <typename T>
void VariableMonitor_Holder_Instance<T>::increment(bool shift) {
  stepBy(shift ? shiftStep : plainStep, true);
}

template <typename T>
void VariableMonitor_Holder_Instance<T>::decrement(bool shift) {
  stepBy(shift ? shiftStep : plainStep, false);
}

template class VariableMonitor_Holder_Instance<int>;
template class VariableMonitor_Holder_Instance<double>;

// ---- registry --------------------------------------------------------------

VariableRegistry::List& VariableRegistry::holders() { return parameterState.registry; }

VariableMonitor_Holder* VariableRegistry::find(void* key) {
  if (key == nullptr) throw false;
  for (VariableMonitor_Holder* holder : holders()) {
    if (holder->identifier() == key) return holder;
  }
  throw false;
}

VariableMonitor_Holder* VariableRegistry::findLabelled(const std::string& label) {
  for (VariableMonitor_Holder* holder : holders()) {
    if (holder->labelText() == label) return holder;
  }
  return nullptr;
}

void VariableRegistry::setLabel(void* identifier, const std::string& label) {
  try {
    find(identifier)->setLabel(label);
  } catch (bool) {
  }
}

void VariableRegistry::setRange(void* identifier, Range& range) {
  try {
    find(identifier)->setRange(range);
  } catch (bool) {
  }
}

void VariableRegistry::setShiftStep(void* identifier, double step) {
  try {
    find(identifier)->setShiftStep(step);
  } catch (bool) {
  }
}

void VariableRegistry::setPlainStep(void* identifier, double step) {
  try {
    find(identifier)->setPlainStep(step);
  } catch (bool) {
  }
}

void VariableRegistry::clear() {
  holders().clear();
  ParameterConsole::selectNone();
  resetStartingValues();
}

// ---- registration ----------------------------------------------------------

namespace {

template <typename T>
bool takeFirstValue(VariableMonitor_Holder* now, VariableMonitor_Holder* earlier) {
  auto* n = dynamic_cast<VariableMonitor_Holder_Instance<T>*>(now);
  auto* e = dynamic_cast<VariableMonitor_Holder_Instance<T>*>(earlier);
  if (n == nullptr || e == nullptr) return false;
  n->firstValue = e->firstValue;
  *n->variable = e->firstValue;
  return true;
}

// The variable's value back to the one it had when first registered, if
// an earlier run registered it (same address, type and label).
void startAfresh(VariableMonitor_Holder* holder) {
  const VariableRegistry::List& listed = VariableRegistry::holders();
  for (VariableMonitor_Holder* earlier : parameterState.everyHolder) {
    if (earlier == holder) return;  // none before it
    if (earlier->identifier() != holder->identifier() || earlier->labelText() != holder->labelText()) continue;
    if (std::find(listed.begin(), listed.end(), earlier) != listed.end()) continue;  // this run's own
    if (takeFirstValue<int>(holder, earlier) || takeFirstValue<double>(holder, earlier)) return;
  }
}

}  // namespace

VariableBinding& VariableBinding::label(const char* text) {
  if (identifier == nullptr) return *this;
  VariableRegistry::setLabel(identifier, std::string(text));
  VariableMonitor_Holder* holder = VariableRegistry::find(identifier);
  startAfresh(holder);
  return *this;
}

VariableBinding& VariableBinding::range(Range& r) {
  if (identifier != nullptr) VariableRegistry::setRange(identifier, r);
  return *this;
}

VariableBinding& VariableBinding::step(double value) {
  if (identifier == nullptr) return *this;
  if (!stepGiven) {
    VariableRegistry::setShiftStep(identifier, value);
    stepGiven = true;
  } else {
    VariableRegistry::setPlainStep(identifier, value);
  }
  return *this;
}

VariableBinding& VariableBinding::step(int value) { return step(static_cast<double>(value)); }

namespace {

template <typename T>
VariableBinding addHolder(T& variable) {
  VariableMonitor_Holder* holder = new VariableMonitor_Holder_Instance<T>(&variable);
  parameterState.everyHolder.push_back(holder);  // owned, and reachable, until the process ends
  VariableRegistry::holders().push_back(holder);
  ParameterConsole::selectFirst();
  return VariableBinding{&variable, false};
}

}  // namespace

VariableBinding VariableRegistrar::add(int& variable) { return addHolder(variable); }
VariableBinding VariableRegistrar::add(double& variable) { return addHolder(variable); }

}  // namespace Kestravon
