#include "library/shell/adjustment_session.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "library/base/clock.h"
#include "library/base/command_line.h"
#include "library/base/comment_text.h"
#include "library/base/keyboard.h"
#include "library/canvas/canvas.h"
#include "library/parameters/adjustment_plan.h"
#include "library/shell/record_file.h"
#include "platform/platform.h"

namespace Kestravon {

namespace {

constexpr int kOpeningFrames = 2;  // the canvas opens on two blank frames

enum class Phase { Opening, Showing, Gap, Over };

struct Adjustment {
  bool requested = false;
  bool planned = false;
  bool exitHandlerSet = false;
  bool headerWritten = false;
  bool endedByEscape = false;
  bool endWritten = false;
  AdjustmentOptions options;
  std::uint64_t seed = 0;
  AdjustmentPlan plan;
  RecordFile results;
  double countsPerMs = 0;

  Phase phase = Phase::Opening;
  int framesLeft = 0;  // of the opening or of the gap
  int gapFrames = 1;
  long long frames = 0;  // presented since the session was asked for, from 1
  std::size_t trial = 0;
  bool firstFramePending = false;
  long long firstFrame = 0;
  std::int64_t firstFrameTime = 0;
  int steps = 0;
  char start[32] = {};  // the trial's start, as the variable writes it
  int done = 0;         // settings accepted and written
  bool writeFailed = false;
  std::vector<std::vector<double>> settings;  // per condition

  // What an abrupt end appends: the summary so far, composed after every
  // accept so that a signal handler only writes it.
  char summary[16384] = {};
  std::size_t summarySize = 0;
};

Adjustment& adjustment() {
  static Adjustment instance;
  return instance;
}

// Set while a row is being written, so that an abrupt end does not write
// into the middle of it; and once the abrupt end has run.
volatile std::sig_atomic_t writingRow = 0;
volatile std::sig_atomic_t endedAbruptly = 0;

std::int64_t now() { return Clock().count; }

void exitHandler() { AdjustmentSession::finish(); }

int formatted(VariableMonitor_Holder* holder, char (&text)[32]) { return holder->formatValue(text, sizeof text); }

// Sets a variable from text the plan has checked; tells the record of a change.
void setVariable(VariableMonitor_Holder* holder, const char* value, bool announce) {
  char before[32];
  formatted(holder, before);
  std::string error;
  holder->setFromText(value, error);
  char after[32];
  formatted(holder, after);
  if (announce && std::strcmp(before, after) != 0 && VariableRegistry::valueChanged != nullptr) {
    VariableRegistry::valueChanged(holder->labelText(), after);
  }
}

// Every variable a trial starts with: its condition's value, and the
// adjusted variable at its drawn start. `announce`: once the record has
// its starting values, the changes go in as rows.
void startTrial(Adjustment& a, std::size_t index, bool announce) {
  const PlannedTrial& trial = a.plan.trials[index];
  a.trial = index;
  a.steps = 0;
  if (a.plan.conditionVariable != nullptr) {
    setVariable(a.plan.conditionVariable, a.plan.conditionValues[static_cast<std::size_t>(trial.condition)].c_str(),
                announce);
  }
  char start[32];  // the shortest text that reads back as the drawn value
  const auto end = std::to_chars(start, start + sizeof start - 1, trial.start).ptr;
  *end = '\0';
  setVariable(a.plan.adjusted, start, announce);
  formatted(a.plan.adjusted, a.start);
  a.firstFramePending = true;
}

// "SOA=2: 5 settings of Green luminance, mean 0.61, SD 0.0418, 95% CI of the mean 0.558 to 0.662"
Line summaryText(const Adjustment& a, int condition) {
  const SettingSummary s = summarize(a.settings[static_cast<std::size_t>(condition)]);
  Line line;
  const std::string conditionText = a.plan.conditionText(condition);
  if (!conditionText.empty()) line.text(conditionText).text(": ");
  line.integer(s.count).text(s.count == 1 ? " setting of " : " settings of ").text(a.plan.adjusted->labelText());
  if (s.count == 0) return line;
  line.text(", mean ").number(s.mean);
  if (s.count < 2) return line.text(" (SD and confidence interval need two settings)");
  line.text(", SD ").number(s.sd).text(", 95% CI of the mean ").number(s.low).text(" to ").number(s.high);
  return line.text(" (t = ").number(s.t).text(", ").integer(s.count - 1).text(" df)");
}

// The end of the file as an abrupt end would write it now: the summary as
// CSV lines behind "# " (a comment to every reader of the rows; strip the
// "# " to read it as a table of its own).
void composeSummary(Adjustment& a) {
  std::string text = "# summary,condition,settings,mean,sd,ci95_low,ci95_high\n";
  const int conditions = static_cast<int>(a.plan.conditionValues.size());
  for (int c = 0; c < conditions; ++c) {
    const SettingSummary s = summarize(a.settings[static_cast<std::size_t>(c)]);
    Line line;
    line.text("# summary,").field(a.plan.conditionText(c)).text(",").integer(s.count).text(",");
    if (s.count > 0) line.number(s.mean);
    line.text(",");
    if (s.count > 1) line.number(s.sd).text(",").number(s.low).text(",").number(s.high);
    if (s.count < 2) line.text(",,");
    line.text("\n");
    text.append(line.data(), line.size());
  }
  a.summarySize = std::min(text.size(), sizeof a.summary);
  std::memcpy(a.summary, text.data(), a.summarySize);
}

// "# ended by Escape: 2 of 6 planned trials done"
Line endLine(const Adjustment& a, const char* how) {
  Line line;
  line.text("# ").text(how).text(": ").integer(a.done).text(" of ");
  line.integer(static_cast<long long>(a.plan.trials.size())).text(" planned trials done\n");
  return line;
}

// The end of the session: the end line and the summary, in the file and
// on standard error.
void writeEnd(Adjustment& a, const char* how) {
  if (a.endWritten) return;
  a.endWritten = true;
  if (!a.planned) return;
  a.results.append(endLine(a, how));
  a.results.append(a.summary, a.summarySize);
  a.results.flush();
  const int conditions = static_cast<int>(a.plan.conditionValues.size());
  for (int c = 0; c < conditions; ++c) {
    Line line;
    line.text("Kestravon: ");
    const Line summary = summaryText(a, c);
    line.text(summary.data(), summary.size()).text("\n");
    writeToStandardError(line);
  }
  if (a.done < static_cast<int>(a.plan.trials.size())) {
    Line line = endLine(a, how);
    platform::writeToStandardError("Kestravon: session ", 19);
    platform::writeToStandardError(line.data() + 2, line.size() - 2);
  }
}

// The fixation mark alone: the screen between two trials.
void drawFixationOnly() {
  Canvas* canvas = currentCanvas;
  if (canvas == nullptr) return;
  canvas->clear(Color::black);
  Point centre;
  centre.set(canvas->width * 0.5, canvas->height * 0.5);
  Rectangle mark;
  mark.set(5, 5).centering(centre);
  canvas->fillRect(mark, Color::white);
}

// Keys pushed now count for nothing (the gap, the opening frames, the end).
void ignoreKeys() {
  for (KeyCode key : {Key::Right, Key::Left, Key::Up, Key::Down, Key::Return, Key::Space}) {
    Keyboard::query(key, pushed);
  }
}

// The observer accepted the setting: its row, then the gap or the end.
void accept(Adjustment& a) {
  const PlannedTrial& trial = a.plan.trials[a.trial];
  const double responseMs =
      a.countsPerMs > 0 && !a.firstFramePending ? static_cast<double>(now() - a.firstFrameTime) / a.countsPerMs : 0.0;
  char setting[32];
  formatted(a.plan.adjusted, setting);
  Line row;
  row.integer(static_cast<long long>(a.trial) + 1).text(",").integer(trial.block).text(",");
  row.field(a.plan.conditionText(trial.condition)).text(",").text(a.start).text(",").text(setting).text(",");
  row.integer(a.steps).text(",").milliseconds(responseMs).text(",").integer(a.firstFrame).text(",");
  row.integer(a.frames);
  for (VariableMonitor_Holder* holder : VariableRegistry::holders()) {
    char value[32];
    formatted(holder, value);
    row.text(",").text(value);
  }
  row.text("\n");
  writingRow = 1;
  a.results.append(row);
  const bool written = a.results.flush();
  writingRow = 0;
  if (!written) {
    // A setting that cannot be kept ends the session: more trials would be lost too.
    a.writeFailed = true;
    a.phase = Phase::Over;
    Keyboard::latchPushed(Key::Escape);
    return;
  }
  ++a.done;
  a.settings[static_cast<std::size_t>(trial.condition)].push_back(a.plan.adjusted->numericValue());
  composeSummary(a);
  if (a.trial + 1 == a.plan.trials.size()) {
    a.phase = Phase::Over;
    writeEnd(a, "completed");
    Keyboard::latchPushed(Key::Escape);  // the routine's own test ends it
    return;
  }
  // The frame being drawn now is the gap's first (with no gap, it shows
  // the accepted setting once more); the next trial starts after the gap.
  a.phase = Phase::Gap;
  a.framesLeft = a.options.gapMs > 0 ? a.gapFrames : 1;
}

void writeHeader(Adjustment& a, const std::string& runLines) {
  const AdjustmentPlan& p = a.plan;
  std::string text = runLines;
  Line line;
  line.text("# adjusted: ").text(commentText(p.adjusted->labelText())).text(" (Right/Left step it by ");
  line.number(p.adjusted->plainStepSize()).text(", Return or Space accepts)\n");
  text.append(line.data(), line.size());
  Line starts;
  starts.text("# starts: ").number(p.grid.base).text(" plus whole steps of ").number(p.grid.step);
  starts.text(", uniformly within ").number(p.startLow).text(" to ").number(p.startHigh).text(" (");
  starts.integer(p.grid.count()).text(" values)\n");
  text.append(starts.data(), starts.size());
  Line seed;
  seed.text("# seed: ");
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, a.seed).ptr;
  seed.text(digits, static_cast<std::size_t>(end - digits));
  seed.text(a.options.seedGiven ? " (given)\n" : " (from the clock)\n");
  text.append(seed.data(), seed.size());
  text += "# conditions: ";
  if (p.conditionVariable == nullptr) {
    text += "none\n";
  } else {
    text += commentText(a.options.conditions) + " (blocks of one trial per condition, each in a new random order)\n";
  }
  Line gap;
  gap.text("# gap: ").integer(a.options.gapMs).text(" ms");
  if (a.options.gapMs > 0) gap.text(" (").integer(a.gapFrames).text(" frames of the fixation mark alone)");
  gap.text("\n# trials planned: ").integer(static_cast<long long>(p.trials.size())).text(" (");
  gap.integer(a.options.trials).text(" per condition)\n");
  text.append(gap.data(), gap.size());
  // Labels are written as CSV fields, so the header reads back whatever they hold.
  text += "trial,block,condition,start,setting,steps,response_ms,first_frame,accept_frame";
  for (VariableMonitor_Holder* holder : VariableRegistry::holders()) {
    Line label;
    label.text(",").field(holder->labelText());
    text.append(label.data(), label.size());
  }
  text += "\n";
  a.results.append(text.c_str(), text.size());
  a.results.flush();
}

}  // namespace

bool AdjustmentSession::request(const AdjustmentOptions& options, std::string& error) {
  discard();
  Adjustment& a = adjustment();
  if (!options.requested()) return true;
  platform::writeFailuresInsteadOfSignal();
  if (!a.results.create(options.resultsPath, "results", error)) return false;
  a.options = options;
  std::int64_t frequency = 0;
  platform::queryPerformanceFrequency(frequency);
  a.countsPerMs = static_cast<double>(frequency) / 1000.0;
  // A seed of the clock's: the time of day mixed with the counter, so two
  // sessions started in the same second still differ.
  a.seed = options.seedGiven ? options.seed
                             : static_cast<std::uint64_t>(std::time(nullptr)) * 0x9E3779B97F4A7C15ull ^
                                   static_cast<std::uint64_t>(now());
  Line first;
  first.text("# Kestravon ").text(kKestravonVersion).text(", adjustment results\n");
  first.text("# started ").text(startedNow()).text("\n");
  if (!a.results.start(first.data(), first.size(), error)) {
    abandon();
    return false;
  }
  a.requested = true;
  endedAbruptly = 0;
  if (!a.exitHandlerSet) a.exitHandlerSet = std::atexit(exitHandler) == 0;
  return true;
}

bool AdjustmentSession::active() {
  const Adjustment& a = adjustment();
  return a.requested && a.planned;
}

bool AdjustmentSession::finished() {
  const Adjustment& a = adjustment();
  return a.planned && a.phase == Phase::Over;
}

void AdjustmentSession::canvasOpening() {
  Adjustment& a = adjustment();
  if (!a.requested || a.planned) return;
  a.plan = planAdjustment(a.options, a.seed);
  a.settings.assign(a.plan.conditionValues.size(), std::vector<double>());
  a.planned = true;
  a.phase = Phase::Opening;
  a.framesLeft = kOpeningFrames;
  startTrial(a, 0, false);  // before the record's starting values: they show the first trial's
  composeSummary(a);
}

void AdjustmentSession::canvasOpened(const std::string& runLines, double refreshRate) {
  Adjustment& a = adjustment();
  if (!a.planned || a.headerWritten) return;
  a.headerWritten = true;
  const double periodMs = 1000.0 / refreshRate;
  a.gapFrames = std::max(1, static_cast<int>(std::lround(a.options.gapMs / periodMs)));
  writeHeader(a, runLines);
}

void AdjustmentSession::refresh() {
  Adjustment& a = adjustment();
  if (!a.planned) return;
  switch (a.phase) {
    case Phase::Opening: ignoreKeys(); return;
    case Phase::Showing: break;
    case Phase::Gap:
      ignoreKeys();
      if (a.options.gapMs > 0) drawFixationOnly();
      return;
    case Phase::Over:
      ignoreKeys();
      drawFixationOnly();
      return;
  }
  // As the console steps its selected row: Right, then Left, each with
  // the Shift key as it is at that moment.
  if (Keyboard::query(Key::Right, pushed)) {
    a.plan.adjusted->increment(Keyboard::query(Key::Shift, pressed));
    ++a.steps;
  }
  if (Keyboard::query(Key::Left, pushed)) {
    a.plan.adjusted->decrement(Keyboard::query(Key::Shift, pressed));
    ++a.steps;
  }
  Keyboard::query(Key::Up, pushed);  // no row to select: the observer adjusts one variable
  Keyboard::query(Key::Down, pushed);
  const bool returnPushed = Keyboard::query(Key::Return, pushed);
  const bool spacePushed = Keyboard::query(Key::Space, pushed);
  if (!returnPushed && !spacePushed) return;
  accept(a);
  if (a.phase == Phase::Over || (a.phase == Phase::Gap && a.options.gapMs > 0)) drawFixationOnly();
}

void AdjustmentSession::framePresented() {
  Adjustment& a = adjustment();
  if (!a.requested) return;
  ++a.frames;
  if (!a.planned) return;
  switch (a.phase) {
    case Phase::Opening:
      if (--a.framesLeft <= 0) a.phase = Phase::Showing;
      return;
    case Phase::Showing:
      if (a.firstFramePending) {
        a.firstFramePending = false;
        a.firstFrame = a.frames;
        a.firstFrameTime = now();
      }
      return;
    case Phase::Gap:
      if (--a.framesLeft <= 0) {
        startTrial(a, a.trial + 1, true);
        a.phase = Phase::Showing;
      }
      return;
    case Phase::Over: return;
  }
}

void AdjustmentSession::noteEscape() { adjustment().endedByEscape = true; }

void AdjustmentSession::finish() {
  Adjustment& a = adjustment();
  if (!a.requested) return;
  a.requested = false;
  if (a.frames == 0) {
    // As the record: a file with no frame behind it would only make the
    // same command line refused once the cause is fixed.
    a.results.removeCreated();
    static const char kRemoved[] = "Kestravon: no frame was presented; the results file this run created is removed\n";
    platform::writeToStandardError(kRemoved, sizeof kRemoved - 1);
    return;
  }
  if (a.writeFailed) {
    a.results.reportFailure();
    Line line;
    line.text("Kestravon: the session stopped at trial ").integer(static_cast<long long>(a.trial) + 1);
    line.text(": its setting could not be written; the file holds the ").integer(a.done).text(" before it\n");
    writeToStandardError(line);
  } else if (a.planned && a.phase != Phase::Over) {
    writeEnd(a, a.endedByEscape ? "ended by Escape" : "ended early");
  }
  a.results.flush();
  a.results.close();
}

bool AdjustmentSession::rowsLost() {
  Adjustment& a = adjustment();
  if (!a.requested || a.frames == 0) return false;
  return !a.results.flush();
}

void AdjustmentSession::endAbruptly() {
  Adjustment& a = adjustment();
  if (!a.requested || endedAbruptly != 0) return;
  endedAbruptly = 1;
  if (a.frames == 0) {
    a.results.removeCreatedAbruptly();
    return;
  }
  if (!a.planned || a.endWritten || a.writeFailed || writingRow != 0) return;
  a.endWritten = true;
  a.results.append(endLine(a, "ended abruptly (a signal or a lost display)"));
  a.results.append(a.summary, a.summarySize);
  a.results.flushAbruptly();
}

void AdjustmentSession::abandon() {
  adjustment().results.removeCreated();
  discard();
}

void AdjustmentSession::discard() {
  Adjustment& a = adjustment();
  a.results.close();
  const bool handlerSet = a.exitHandlerSet;
  a.requested = false;
  a.planned = false;
  a.headerWritten = false;
  a.endedByEscape = false;
  a.endWritten = false;
  a.writeFailed = false;
  a.phase = Phase::Opening;
  a.frames = 0;
  a.done = 0;
  a.trial = 0;
  a.settings.clear();
  a.plan = AdjustmentPlan();
  a.summarySize = 0;
  a.exitHandlerSet = handlerSet;
}

}  // namespace Kestravon
