// The session record: what was shown and how well it was timed, in plain
// CSV files an experimenter asked for on the command line (--record,
// --timing). Files are created new (an existing one is never overwritten),
// written line by line from fixed buffers (the frame loop allocates
// nothing), each change flushed at once and the timing rows at least once
// a second, so kill -9 loses at most the last second of timing and no
// change, and a catchable end (a signal, a lost display) none. The first lines are written when the files are created,
// so a full disk is found before the display is touched. A write that fails leaves the file cut back to its last whole
// row; it is reported at once and at the end, and the process then ends with status 3 (start-up's finalStatus asks
// rowsLost); the stimulus runs on. A run that ends before its first frame leaves no file behind.
//
// Frame numbers count the canvas's presented frames from 1 (the two blank
// opening frames included); times are milliseconds since the first
// presented frame, from the performance counter.
#pragma once

#include <string>

#include "library/base/command_line.h"

namespace Kestravon {

class SessionRecord {
 public:
  // Creates the files the options name and arranges the summary and the
  // final flush at process exit. False, with `error` naming the file and
  // why, when one cannot be created; nothing is left behind then.
  static bool open(const SessionOptions& options, std::string& error);
  static bool active();

  // A canvas has opened: `displayLines` (which display and what its
  // look-up table holds: "# ..." lines, possibly none), the display lines
  // and the column headers (the first time). Asked: the mode the canvas
  // asked for.
  // `onsetSource`: what reports when a swap completed (null: nothing, the
  // onsets are then the times the swaps returned).
  static void canvasOpened(int width, int height, int bitsPerPixel, double refreshRate, const std::string& displayLines,
                           const char* onsetSource = nullptr);
  // A frame was presented (called after every swap). intervalLimit and
  // intervalOffset are the canvas's accounting rule for missed periods;
  // `flash`: the routine marked the frame as carrying the flash;
  // `driverOnsetMs`: when the driver says it went up (NaN: not known).
  static void framePresented(double intervalLimit, double intervalOffset, bool flash = false,
                             double driverOnsetMs = kUnknownOnset);
  static constexpr double kUnknownOnset = -1.0;
  // Recording, with a driver that reports when swaps complete.
  static bool wantsDriverOnsets();
  // The display's look-up table was found changed by another program and
  // loaded again: a "#" line in both files with the frame number, and on
  // standard error.
  static void lookupTableReloaded();
  // A variable's value: its starting value (frame 0), or a change the
  // console made, which takes effect on the next frame the routine draws.
  static void startingValue(const std::string& label, const char* value);
  static void valueChanged(const std::string& label, const char* value);

  // Flushes both files and writes the summary line to standard error (and
  // the failure again, after a failed write); with no frame presented,
  // removes the files instead. Runs at exit.
  static void finish();
  // Flushes both files: true when a row of either was lost, so that the
  // process ends with status 3. False with no frame presented.
  static bool rowsLost();
  // The process is ending by a signal or a lost display, without its exit
  // handlers: removes the files if no frame was presented; otherwise writes
  // the rows still buffered and says the summary (and any failed write).
  // Async-signal-safe; runs once.
  static void endAbruptly();
  // Closes everything without a summary (tests).
  static void discard();
  // The session ends before it began (a refused --set): removes the files
  // this run created, without a summary.
  static void abandon();
};

constexpr int kRecordWriteFailedExitStatus = 3;

}  // namespace Kestravon
