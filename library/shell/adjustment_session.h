// An adjustment session: the method of adjustment, run by the library for
// any routine. The observer sets one registered variable per trial (Right
// and Left step it by its plain step, with Shift by its other step, as the
// console would; Return or Space accepts); each trial starts it at a
// random value of its step grid; another variable may take a value per
// condition. The console is hidden while a session runs, so the observer
// never sees the number; between two trials the canvas shows only a 5 by 5
// white fixation mark at its centre on black (--gap, 500 ms by default;
// keys are ignored then). Every accepted setting is a row of the results
// file at once, with the record's guarantees (never overwritten, whole
// rows, flushed at once, status 3 after a failed write, no file from a run
// that presented no frame); the summary per condition (mean, SD, 95 %
// confidence interval of the mean) ends the file and goes to standard error.
//
// After the last trial the session marks Escape as newly pushed (with no
// message, so the process is not ended): the routine's own Escape test
// ends its loop, the canvas closes and the program returns 0. Escape
// pressed by the observer ends the process as always (status 128); the
// file then says how many of the planned trials were done.
//
// Start-up runs a session from the command line (--trials N --results
// FILE ...). A routine of its own may ask for one itself, before it opens
// its canvas:
//
//   AdjustmentOptions session;
//   session.trials = 5;
//   session.adjust = "Contrast";
//   session.resultsPath = "contrast.csv";
//   std::string error;
//   if (!AdjustmentSession::request(session, error)) ...  // error names the file and why
//   Canvas canvas(1024, 768, 32, 60.0);  // labels and values checked here (status 2 if refused)
//   while (!Keyboard::query(Key::Escape, pushed)) { ...draw...; canvas.flip(); }
#pragma once

#include <string>

#include "../base/adjustment_options.h"

namespace Kestravon {

class AdjustmentSession {
 public:
  // Creates the results file and writes its first lines (a full disk is
  // found before the display is touched). False, with `error` naming the
  // file and why, when it cannot; true and nothing done for options that
  // ask for no session (trials 0). Replaces a session asked for earlier in
  // the process that has not started.
  static bool request(const AdjustmentOptions& options, std::string& error);
  // A session is planned and has not ended: the flips are its.
  static bool active();
  // Every planned trial was accepted (or a failed write ended it).
  static bool finished();

  // The canvas's moments, connected by start-up. Opening: the plan from the
  // registered variables (throws RefusedOption), the first trial's values.
  static void canvasOpening();
  // The results file's header, with the lines every file of the run has;
  // the canvas's refresh rate sets the gap's number of frames.
  static void canvasOpened(const std::string& runLines, double refreshRate);
  // In every flip instead of the console: the keys, and the gap's screen.
  static void refresh();
  // After every swap, before the session record's row.
  static void framePresented();

  // The pump is ending the process for Escape.
  static void noteEscape();
  // At exit: the end line and the summary, or the file removed when no
  // frame was presented.
  static void finish();
  // A setting could not be written: the process ends with status 3.
  static bool rowsLost();
  // A signal or a lost display: the end line and the summary as far as
  // they were, or the file removed. Async-signal-safe; runs once.
  static void endAbruptly();
  // The run ends before it began (a refused option): the file goes.
  static void abandon();
  // Closes everything without an end (tests).
  static void discard();
};

}  // namespace Kestravon
