#include "library/shell/session_record.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "library/base/clock.h"
#include "library/base/missed_periods.h"
#include "library/shell/library_state.h"
#include "library/shell/record_file.h"
#include "platform/platform.h"

namespace Kestravon {

namespace {

struct Session {
  bool active = false;
  bool exitHandlerSet = false;
  bool headersWritten = false;
  RecordFile record;
  RecordFile timing;
  char started[32] = {};
  double countsPerMs = 0;
  std::int64_t firstFrame = 0;
  std::int64_t lastFrame = 0;
  std::int64_t lastFlush = 0;
  double periodMs = 0;
  // Onsets in milliseconds since the first frame's, from the driver where
  // it reports them, else from when the swaps returned.
  bool driverOnsets = false;
  double firstDriverOnset = 0;
  double lastOnset = 0;
};

// The files and what their rows are measured from. Outside LibraryState:
// they are the process's until the exit handler or a signal has ended
// them, whatever a later start-up resets.
Session& session() {
  static Session instance;
  return instance;
}

// What the rows add up to: the shell's state.
FrameStatistics& statistics() { return libraryState.shell.frameStatistics; }

std::int64_t now() { return Clock().count; }

double millisecondsSince(std::int64_t from, std::int64_t to) {
  const Session& s = session();
  return s.countsPerMs > 0 ? static_cast<double>(to - from) / s.countsPerMs : 0.0;
}

void writeValueRow(long long frame, double ms, const std::string& label, const char* value) {
  Session& s = session();
  if (!s.record.isOpen()) return;
  Line line;
  line.integer(frame).text(",").milliseconds(ms).text(",").field(label).text(",").text(value).text("\n");
  s.record.append(line.data(), line.size());
  s.record.flush();  // a change is never lost
}

void exitHandler() { SessionRecord::finish(); }

// Set once the abrupt end has run: it runs at most once.
volatile std::sig_atomic_t endedAbruptly = 0;

// The summary line, then each failed write again. Async-signal-safe.
void reportSummary(const Session& s) {
  writeToStandardError(statistics().summaryLine());
  s.record.reportFailure();
  s.timing.reportFailure();
}

}  // namespace

bool SessionRecord::open(const SessionOptions& options, std::string& error) {
  Session& s = session();
  discard();
  if (!options.recording()) return true;
  platform::writeFailuresInsteadOfSignal();
  if (!options.recordPath.empty() && !s.record.create(options.recordPath, "record", error)) return false;
  if (!options.timingPath.empty() && !s.timing.create(options.timingPath, "timing", error)) {
    if (s.record.isOpen() && platform::sameFile(options.recordPath.c_str(), options.timingPath.c_str())) {
      error = "--record and --timing name the same file (\"" + options.recordPath + "\" and \"" + options.timingPath +
              "\")";
    }
    s.record.removeCreated();  // the same command line must work again once the cause is fixed
    return false;
  }
  std::int64_t frequency = 0;
  platform::queryPerformanceFrequency(frequency);
  s.countsPerMs = static_cast<double>(frequency) / 1000.0;
  const std::string started = startedNow();
  std::snprintf(s.started, sizeof s.started, "%s", started.c_str());
  // The first lines are written now: a full disk is found before the display is touched.
  for (RecordFile* file : {&s.record, &s.timing}) {
    Line line;
    line.text("# Kestravon ")
        .text(kKestravonVersion)
        .text(file == &s.record ? ", session record\n" : ", frame timing\n");
    line.text("# started ").text(s.started).text("\n");
    if (!file->start(line.data(), line.size(), error)) {
      abandon();
      return false;
    }
  }
  s.active = true;
  endedAbruptly = 0;
  if (!s.exitHandlerSet) {
    // Registered before the backend's own exit handlers (which give the
    // desktop back), so it runs after them.
    s.exitHandlerSet = std::atexit(exitHandler) == 0;
  }
  return true;
}

bool SessionRecord::active() { return session().active; }

bool SessionRecord::wantsDriverOnsets() { return session().active && session().driverOnsets; }

void SessionRecord::canvasOpened(int width, int height, int bitsPerPixel, double refreshRate,
                                 const std::string& displayLines, const char* onsetSource) {
  Session& s = session();
  if (!s.active) return;
  const std::string lines = runDescription(width, height, bitsPerPixel, refreshRate, displayLines);
  s.record.append(lines.c_str(), lines.size());
  s.timing.append(lines.c_str(), lines.size());
  if (!s.headersWritten) {
    s.headersWritten = true;
    s.periodMs = 1000.0 / refreshRate;
    s.driverOnsets = onsetSource != nullptr;
    s.record.append("frame,time_ms,label,value\n");
    Line period;
    period.text("# refresh period asked ").milliseconds(s.periodMs).text(" ms; missed = refresh periods missed, ");
    period.text("(interval + 0.1 ms) / (period + 1 ms) truncated; early = 1 for an interval under half a period\n");
    std::string timing(period.data(), period.size());
    timing += "# onset_ms = when the frame went up, from the first presented frame: ";
    if (s.driverOnsets) {
      timing += std::string("the time the display driver reports the swap completed (") + onsetSource + ")\n";
    } else {
      timing +=
          "the time the swap returned, an upper bound of the real onset (the driver reports no completion time)\n";
    }
    timing +=
        "# flash = 1 on the frames the routine marked as carrying its flash; interval_ms = onset_ms less the frame "
        "before's (each rounded apart)\nframe,interval_ms,missed,early,onset_ms,flash\n";
    s.timing.append(timing.c_str(), timing.size());
  }
  s.record.flush();
  s.timing.flush();
}

void SessionRecord::framePresented(double intervalLimit, double intervalOffset, bool flash, double driverOnsetMs) {
  Session& s = session();
  if (!s.active) return;
  const std::int64_t t = now();
  FrameStatistics& stats = statistics();
  const long long frame = ++stats.frames;
  const bool fromDriver = s.driverOnsets && driverOnsetMs != kUnknownOnset;
  if (frame == 1) {
    s.firstFrame = t;
    s.lastFlush = t;
    s.firstDriverOnset = fromDriver ? driverOnsetMs : 0.0;
  }
  const double onset = fromDriver ? driverOnsetMs - s.firstDriverOnset : millisecondsSince(s.firstFrame, t);
  Line line;
  line.integer(frame).text(",");
  if (frame == 1) {
    line.text(",0,0,");  // no interval before the first frame
  } else {
    const double interval = onset - s.lastOnset;
    const auto missed = static_cast<long long>(missedPeriods(interval, intervalLimit, intervalOffset));
    const bool early = stats.addInterval(interval, missed, s.periodMs);
    line.milliseconds(interval).text(",").integer(missed).text(",").integer(early ? 1 : 0).text(",");
  }
  line.milliseconds(onset).text(",").integer(flash ? 1 : 0).text("\n");
  s.lastOnset = onset;
  s.lastFrame = t;
  s.timing.append(line.data(), line.size());
  if (millisecondsSince(s.lastFlush, t) >= 1000.0) {
    s.timing.flush();
    s.lastFlush = t;
  }
}

void SessionRecord::lookupTableReloaded() {
  Session& s = session();
  static const char kWhat[] =
      "the display's look-up table was changed by another program; loaded again and read back\n";
  if (!s.active) {
    platform::writeToStandardError("Kestravon: ", 11);
    platform::writeToStandardError(kWhat, sizeof kWhat - 1);
    return;
  }
  Line line;
  line.text("# frame ").integer(statistics().frames).text(": ").text(kWhat);
  platform::writeToStandardError("Kestravon: ", 11);
  platform::writeToStandardError(line.data() + 2, line.size() - 2);
  s.record.append(line);
  s.timing.append(line);
  s.record.flush();
  s.timing.flush();
}

void SessionRecord::startingValue(const std::string& label, const char* value) { writeValueRow(0, 0.0, label, value); }

void SessionRecord::valueChanged(const std::string& label, const char* value) {
  Session& s = session();
  if (!s.active) return;
  // Made during a flip, before its swap: the routine draws the next frame
  // after that swap with the new value.
  const long long frames = statistics().frames;
  const double ms = frames > 0 ? millisecondsSince(s.firstFrame, now()) : 0.0;
  writeValueRow(frames + 2, ms, label, value);
}

void SessionRecord::finish() {
  Session& s = session();
  if (!s.active) return;
  s.active = false;
  std::fflush(stdout);
  std::fflush(stderr);
  if (statistics().frames == 0) {
    // The run failed before its first frame: files with no frame in them
    // would only make the same command line refused once the cause is fixed.
    s.record.removeCreated();
    s.timing.removeCreated();
    static const char kRemoved[] = "Kestravon: no frame was presented; the files this run created are removed\n";
    platform::writeToStandardError(kRemoved, sizeof kRemoved - 1);
    return;
  }
  s.record.flush();
  s.timing.flush();
  s.record.close();
  s.timing.close();
  reportSummary(s);
}

bool SessionRecord::rowsLost() {
  Session& s = session();
  if (!s.active || statistics().frames == 0) return false;  // no frame: finish removes the files
  const bool recordWritten = s.record.flush();
  const bool timingWritten = s.timing.flush();
  return !recordWritten || !timingWritten;
}

void SessionRecord::endAbruptly() {
  Session& s = session();
  if (!s.active || endedAbruptly != 0) return;
  endedAbruptly = 1;
  if (statistics().frames == 0) {
    s.record.removeCreatedAbruptly();
    s.timing.removeCreatedAbruptly();
    return;
  }
  // The whole rows still buffered (at most a second of timing), then the
  // summary, as at a normal end: a signal or a lost display must not take
  // the last second of frames, or a failed write, unsaid.
  s.record.flushAbruptly();
  s.timing.flushAbruptly();
  reportSummary(s);
}

void SessionRecord::abandon() {
  Session& s = session();
  s.record.removeCreated();
  s.timing.removeCreated();
  discard();
}

void SessionRecord::discard() {
  Session& s = session();
  s.record.close();
  s.timing.close();
  const bool handlerSet = s.exitHandlerSet;
  s = Session();
  s.exitHandlerSet = handlerSet;
  statistics() = FrameStatistics();
}

}  // namespace Kestravon
