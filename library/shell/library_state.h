// The library's process-wide state, in one place, and the one reset.
//
// Each layer's part is a struct of that layer (so no lower layer names a
// higher one); the storage of all of them is the one LibraryState here,
// and every process-wide name of the library refers into it:
//   base        application, Clock::countsPerMillisecond, Keyboard::states,
//               Keyboard::keyMap, Keyboard::escapeExitStatus, priorityAsked()
//   canvas      currentCanvas, canvasHooks, the display-list tables,
//               digitHeight, the subject's display (SubjectDisplay)
//   parameters  the registry, ParameterConsole::enabled / selected /
//               hasSelection, VariableRegistry::valueChanged, the
//               starting values' flag, and every holder ever made
//   shell       whether the record has its starting values, the record's
//               frame statistics
//   offscreen   the harness's frame period for its next run
// Outside it: constants (the predefined colours, the font tables); the
// files of a run, the session record's and an adjustment session's, with
// what their rows count from (SessionRecord::open and
// AdjustmentSession::request start them for a run; the exit handler, a
// signal, finish or abandon ends them, so they outlive a reset); and each
// backend's own state behind platform.h (headless: reset()).
//
// The storage is never destroyed, so exit handlers and the destructors of
// a program's static objects may still use it while the process ends.
#pragma once

#include "library/base/base_state.h"
#include "library/canvas/canvas_state.h"
#include "library/parameters/parameter_state.h"
#include "library/shell/frame_statistics.h"

namespace Kestravon {

struct ShellState {
  bool startingValuesRecorded = false;  // the record's frame-0 rows, once per run
  FrameStatistics frameStatistics;      // what the record's timing rows add up to
};

// The offscreen harness's settings for its next run (offscreen/offscreen.h),
// kept here so that the harness keeps no state of its own: a run takes
// them, and the start-up it calls sets them back for the run after it.
struct OffscreenState {
  double framePeriodMs = 1000.0 / 60.0;  // offscreen::setFramePeriod
};

struct LibraryState {
  BaseState base;
  CanvasState canvas;
  ParameterState parameters;
  ShellState shell;
  OffscreenState offscreen;

  // Everything as it is when the process is loaded, but the holders made so
  // far (every variable a later run registers again starts at its first
  // value). Start-up calls it first, so each run in a process (offscreen::run,
  // a test) starts afresh; the first run finds it done already.
  void reset();
};

extern LibraryState& libraryState;

}  // namespace Kestravon
