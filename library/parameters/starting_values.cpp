#include "library/parameters/starting_values.h"

#include "library/base/exception.h"
#include "library/parameters/parameter_state.h"
#include "library/parameters/variable_registry.h"

namespace Kestravon {

namespace {

[[noreturn]] void refuse(const std::string& setting, const std::string& why) {
  throw RefusedOption("--set \"" + setting + "\": " + why);
}

}  // namespace

void applyStartingValues(const std::vector<std::string>& settings) {
  if (parameterState.startingValuesApplied) return;
  parameterState.startingValuesApplied = true;
  for (const std::string& setting : settings) {
    const std::size_t equals = setting.find('=');
    const std::string label = setting.substr(0, equals);
    const std::string value = equals == std::string::npos ? std::string() : setting.substr(equals + 1);
    VariableMonitor_Holder* holder = VariableRegistry::findLabelled(label);
    if (holder == nullptr) {
      std::string labels;
      for (VariableMonitor_Holder* h : VariableRegistry::holders()) {
        labels += (labels.empty() ? "\"" : ", \"") + h->labelText() + "\"";
      }
      refuse(setting, "no variable is labelled \"" + label + "\"; the labels are " +
                          (labels.empty() ? std::string("(none registered)") : labels));
    }
    std::string error;
    if (!holder->setFromText(value, error)) refuse(setting, error);
  }
}

void resetStartingValues() { parameterState.startingValuesApplied = false; }

}  // namespace Kestravon
