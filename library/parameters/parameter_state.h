// The parameter layer's part of the library's process-wide state. Its
// storage is the one LibraryState (library/shell/library_state.h), which
// also sets it back, all but everyHolder; the ParameterConsole's switch
// and selection and VariableRegistry::valueChanged refer into it.
#pragma once

#include <vector>

#include "library/parameters/variable_registry.h"

namespace Kestravon {

struct ParameterState {
  VariableRegistry::List registry;  // the holders this run registered
  // Every holder ever made: holders live until the process ends, and a run
  // registering a variable again starts it at its first value (kept across
  // runs, so never set back).
  std::vector<VariableMonitor_Holder*> everyHolder;
  void (*valueChanged)(const std::string& label, const char* value) = nullptr;  // VariableRegistry::valueChanged
  bool consoleEnabled = false;                                                  // ParameterConsole::enabled
  VariableRegistry::List::iterator selected;                                    // ParameterConsole::selected
  bool hasSelection = false;                                                    // ParameterConsole::hasSelection
  bool startingValuesApplied = false;  // --set is applied once, at the first canvas
};

extern ParameterState& parameterState;

}  // namespace Kestravon
