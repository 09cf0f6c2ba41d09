// Program variables made adjustable at run time: one holder per registered
// variable, kept in the process-wide registry in registration order.
#pragma once

#include <list>
#include <string>
#include <type_traits>

#include "range.h"

namespace Kestravon {

class VariableMonitor_Holder {
 public:
  virtual ~VariableMonitor_Holder() = default;
  virtual void* identifier() = 0;
  virtual void draw(double x, double y, bool selected) = 0;
  virtual void setLabel(const std::string& label) = 0;
  virtual Range& setRange(Range& range) = 0;
  virtual void setShiftStep(double step) = 0;
  virtual void setPlainStep(double step) = 0;
  virtual void decrement(bool shift) = 0;
  virtual void increment(bool shift) = 0;

  // For the session record and --set; the console uses none of them.
  virtual const std::string& labelText() const = 0;
  // The value as the shortest text that reads back exactly, written into
  // `buffer` (at least 32 bytes) with its terminating zero; its length.
  virtual int formatValue(char* buffer, int size) const = 0;
  // Sets the value from text, as the variable's type reads it; false with
  // `error` set when the text is no such number or lies outside the range.
  virtual bool setFromText(const std::string& text, std::string& error) = 0;
  // For an adjustment session: the value, the range, the plain step, and
  // whether the variable holds whole numbers only.
  virtual double numericValue() const = 0;
  virtual const Range& valueRange() const = 0;
  virtual double plainStepSize() const = 0;
  virtual bool holdsWholeNumbers() const = 0;
};

template <typename T>
class VariableMonitor_Holder_Instance : public VariableMonitor_Holder {
 public:
  explicit VariableMonitor_Holder_Instance(T* variable);

  void* identifier() override;
  void draw(double x, double y, bool selected) override;
  void setLabel(const std::string& text) override;
  Range& setRange(Range& r) override;
  void setShiftStep(double step) override;
  void setPlainStep(double step) override;
  void decrement(bool shift) override;
  void increment(bool shift) override;
  const std::string& labelText() const override { return label; }
  int formatValue(char* buffer, int size) const override;
  bool setFromText(const std::string& text, std::string& error) override;
  double numericValue() const override { return static_cast<double>(*variable); }
  const Range& valueRange() const override { return range; }
  double plainStepSize() const override { return static_cast<double>(plainStep); }
  bool holdsWholeNumbers() const override { return std::is_same<T, int>::value; }

  T* variable;
  T shiftStep;
  T plainStep;
  Range range;
  std::string label;
  // The value the variable had when it was first registered in the process.
  T firstValue;

 private:
  void stepBy(T step, bool up);
};

extern template class VariableMonitor_Holder_Instance<int>;
extern template class VariableMonitor_Holder_Instance<double>;

class VariableRegistry {
 public:
  using List = std::list<VariableMonitor_Holder*>;

  // The first holder bound to `key`; throws the boolean false when there is none.
  static VariableMonitor_Holder* find(void* key);
  // The first holder with this label; null when there is none.
  static VariableMonitor_Holder* findLabelled(const std::string& label);
  // These drop a value addressed to an unregistered identifier, silently.
  static void setLabel(void* identifier, const std::string& label);
  static void setRange(void* identifier, Range& range);
  static void setShiftStep(void* identifier, double step);
  static void setPlainStep(void* identifier, double step);
  // Forgets every holder (the holders themselves live on).
  static void clear();

  static List& holders();

  // Told of every change a step (the console's, or increment/decrement)
  // makes, with the new value as formatValue writes it; null: nobody
  // listens. Start-up connects the session record.
  static void (*&valueChanged)(const std::string& label, const char* value);
};

// "3 <= Bar Width <= 10": the range as a refusal names it (< for an open
// end, no side for an infinite one).
std::string describeRange(const Range& range, const std::string& label);

// What registration returns: chain label, range and the two steps on it.
class VariableBinding {
 public:
  // Also starts each run afresh: a variable registered again under the
  // same label, at the same address, after the registry was cleared (a new
  // run in the same process) is set back to the value it had when it was
  // first registered, whatever an earlier run's --set or console left.
  VariableBinding& label(const char* text);
  VariableBinding& range(Range& r);
  // The first step given is the Shift step, every later one the plain step.
  VariableBinding& step(double value);
  VariableBinding& step(int value);

  void* identifier;
  bool stepGiven;
};

class VariableRegistrar {
 public:
  static VariableBinding add(int& variable);
  static VariableBinding add(double& variable);
};

}  // namespace Kestravon
