#include "tools/stimulus_driver.h"

#include <cmath>
#include <limits>

#include "library/frame/startup.h"
#include "platform/headless/headless.h"
#include "stimulus/stimulus.h"

namespace Kestravon {
namespace driver {

namespace hl = platform::headless;

namespace {

constexpr int kOpeningFrames = 2;

}  // namespace

int runStimulus(int frames, const std::function<void(int frame)>& onFrame, const char* commandLine) {
  hl::reset();
  hl::setSwapHook([frames, &onFrame](int swap) {
    const int frame = swap - kOpeningFrames;
    if (frame < 0) return;
    if (onFrame) onFrame(frame);
    if (frame == frames) hl::setKeyDown(platform::kVkEscape, true);
  });
  const int status = startUp(nullptr, nullptr, commandLine, 1, stimulus_main);
  hl::setSwapHook(nullptr);
  return status;
}

VariableMonitor_Holder* findHolder(const std::string& label) {
  for (VariableMonitor_Holder* holder : VariableRegistry::holders()) {
    if (auto* h = dynamic_cast<VariableMonitor_Holder_Instance<int>*>(holder)) {
      if (h->label == label) return holder;
    } else if (auto* d = dynamic_cast<VariableMonitor_Holder_Instance<double>*>(holder)) {
      if (d->label == label) return holder;
    }
  }
  return nullptr;
}

bool setVariable(const std::string& label, double value) {
  VariableMonitor_Holder* holder = findHolder(label);
  if (auto* h = dynamic_cast<VariableMonitor_Holder_Instance<int>*>(holder)) {
    *h->variable = static_cast<int>(value);
    return true;
  }
  if (auto* d = dynamic_cast<VariableMonitor_Holder_Instance<double>*>(holder)) {
    *d->variable = value;
    return true;
  }
  return false;
}

double variableValue(const std::string& label) {
  VariableMonitor_Holder* holder = findHolder(label);
  if (auto* h = dynamic_cast<VariableMonitor_Holder_Instance<int>*>(holder)) return *h->variable;
  if (auto* d = dynamic_cast<VariableMonitor_Holder_Instance<double>*>(holder)) return *d->variable;
  return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace driver
}  // namespace Kestravon
