#include "tools/stimulus_driver.h"

#include "offscreen/offscreen.h"
#include "stimulus/stimulus.h"

namespace Kestravon {
namespace driver {

namespace {

constexpr int kOpeningFrames = 2;

}  // namespace

int runStimulus(int frames, const std::function<void(int frame)>& onFrame, const char* commandLine) {
  // The routine's frames, after the canvas's blank opening ones; the
  // counter stands still unless the caller moves it (for this run only).
  offscreen::setFramePeriod(0.0);
  const int status = offscreen::run(
      frames + kOpeningFrames,
      [&onFrame](int swap) {
        if (swap >= kOpeningFrames && onFrame) onFrame(swap - kOpeningFrames);
      },
      commandLine, stimulus_main);
  return status;
}

VariableMonitor_Holder* findHolder(const std::string& label) { return VariableRegistry::findLabelled(label); }

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

double variableValue(const std::string& label) { return offscreen::variable(label); }

}  // namespace driver
}  // namespace Kestravon
