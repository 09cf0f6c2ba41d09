#include "library/parameters/variable_registry.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

#include "library/canvas/canvas.h"
#include "library/parameters/parameter_console.h"

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

}  // namespace

template <typename T>
VariableMonitor_Holder_Instance<T>::VariableMonitor_Holder_Instance(T* v)
    : variable(v), shiftStep(0), plainStep(0), range(), label("Untitled") {}

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
  if (range.includes(static_cast<double>(next))) *variable = next;
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

VariableRegistry::List& VariableRegistry::holders() {
  static List list;
  return list;
}

VariableMonitor_Holder* VariableRegistry::find(void* key) {
  if (key == nullptr) throw false;
  for (VariableMonitor_Holder* holder : holders()) {
    if (holder->identifier() == key) return holder;
  }
  throw false;
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
}

// ---- registration ----------------------------------------------------------

VariableBinding& VariableBinding::label(const char* text) {
  if (identifier != nullptr) VariableRegistry::setLabel(identifier, std::string(text));
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

// Holders live until the process ends, whether or not the registry still
// lists them; this keeps them owned (and reachable) for that whole time.
std::vector<VariableMonitor_Holder*>& everyHolder() {
  static auto* all = new std::vector<VariableMonitor_Holder*>();
  return *all;
}

template <typename T>
VariableBinding addHolder(T& variable) {
  VariableMonitor_Holder* holder = new VariableMonitor_Holder_Instance<T>(&variable);
  everyHolder().push_back(holder);
  VariableRegistry::holders().push_back(holder);
  ParameterConsole::selectFirst();
  return VariableBinding{&variable, false};
}

}  // namespace

VariableBinding VariableRegistrar::add(int& variable) { return addHolder(variable); }
VariableBinding VariableRegistrar::add(double& variable) { return addHolder(variable); }

}  // namespace Kestravon
