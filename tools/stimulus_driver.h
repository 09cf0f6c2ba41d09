// Runs the real stimulus routine on the headless backend, frame by frame,
// for the capture tool, the benchmarks and the tests.
#pragma once

#include <functional>
#include <string>

#include "library/parameters/variable_registry.h"

namespace Kestravon {
namespace driver {

// Runs stimulus_main through start-up, as the program does, on a fresh
// headless backend. After the swap that presents loop frame f (1 for the
// first frame of the loop) `onFrame(f)` is called, and `onFrame(0)` after
// the blank opening frames, before frame 1 is drawn: the variables are
// registered by then. After frame `frames` the Escape key goes down and the
// routine ends through its own loop test. Returns start-up's status.
// commandLine: the program's options, as the entry function would pass them.
int runStimulus(int frames, const std::function<void(int frame)>& onFrame, const char* commandLine = "");

// The three below reach the routine's own variables: call them only while
// the routine runs (from onFrame), never after runStimulus has returned.

// The registered holder with this label, or null.
VariableMonitor_Holder* findHolder(const std::string& label);
// Sets a registered variable by label, as a console would (no range check);
// false when there is no such variable.
bool setVariable(const std::string& label, double value);
// The current value of a registered variable (NaN when there is none).
double variableValue(const std::string& label);

}  // namespace driver
}  // namespace Kestravon
