#include "library/shell/startup.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "library/base/application.h"
#include "library/base/clock.h"
#include "library/base/exception.h"
#include "library/base/keyboard.h"
#include "library/base/priority.h"
#include "library/canvas/canvas.h"
#include "library/canvas/canvas_platform.h"
#include "library/canvas/subject_display.h"
#include "library/parameters/parameter_console.h"
#include "library/parameters/starting_values.h"
#include "library/parameters/variable_registry.h"
#include "library/shell/adjustment_session.h"
#include "library/shell/library_state.h"
#include "library/shell/record_file.h"
#include "library/shell/session_record.h"

namespace Kestravon {

void RoutineRunner::run() {
  if (mode == 0) ParameterConsole::setEnabled(true);
  routine();
}

namespace {

// The record's frame-0 row of every registered variable, once per registry.
void recordStartingValues() {
  bool& recorded = libraryState.shell.startingValuesRecorded;
  if (recorded || !SessionRecord::active()) return;
  recorded = true;
  for (VariableMonitor_Holder* holder : VariableRegistry::holders()) {
    char value[32];
    holder->formatValue(value, sizeof value);
    SessionRecord::startingValue(holder->labelText(), value);
  }
}

// The lower layers announce their moments; the higher ones act on them.
void connectLayers() {
  VariableRegistry::valueChanged = SessionRecord::valueChanged;
  canvasHooks.opening = [] {
    applyStartingValues(application.options.settings);
    AdjustmentSession::canvasOpening();  // after --set: a trial sets the variables it uses
  };
  canvasHooks.opened = [](const Canvas& canvas) {
    std::string displayLines = SubjectDisplay::headerLines(static_cast<int>(canvas.api->gammaRampLoaded.size() / 3));
    if (const char* corner = photodiodeCornerName(application.options.photodiode)) {
      displayLines += std::string("# photodiode patch: 50x50 pixels in the ") + corner +
                      " corner, white on the frames marked as flash, black on the others\n";
    }
    SessionRecord::canvasOpened(static_cast<int>(canvas.width), static_cast<int>(canvas.height), canvas.colorDepth,
                                canvas.refreshRate, displayLines,
                                SessionRecord::active() ? platform::swapCompletionSource(canvas.api->hdc) : nullptr);
    if (AdjustmentSession::active()) {
      AdjustmentSession::canvasOpened(runDescription(static_cast<int>(canvas.width), static_cast<int>(canvas.height),
                                                     canvas.colorDepth, canvas.refreshRate, displayLines),
                                      canvas.refreshRate);
    }
    recordStartingValues();
  };
  // A session hides the console: the observer must not see the number.
  canvasHooks.drawing = [] {
    AdjustmentSession::active() ? AdjustmentSession::refresh() : ParameterConsole::refresh();
  };
  canvasHooks.presented = [](const Canvas& canvas) {
    AdjustmentSession::framePresented();  // first: a trial's values go in the record with the next frame's number
    double onset = SessionRecord::kUnknownOnset;
    if (SessionRecord::wantsDriverOnsets() && !platform::swapCompletedAt(canvas.api->hdc, onset)) {
      onset = SessionRecord::kUnknownOnset;
    }
    SessionRecord::framePresented(canvas.intervalLimit, canvas.intervalOffset, canvas.flashMarked, onset);
  };
  canvasHooks.lookupTableReloaded = [](const Canvas&) { SessionRecord::lookupTableReloaded(); };
}

}  // namespace

void initializeLibrary() {
  Clock::initialize();
  Keyboard::reset();
  VariableRegistry::clear();
  libraryState.shell.startingValuesRecorded = false;
  connectLayers();
}

std::intptr_t listenerWindowProc(platform::Window window, std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
  switch (message) {
    case platform::kMsgClose:
    case platform::kMsgDestroy: platform::postQuitMessage(0); return 0;
    default: return platform::defaultWindowProcedure(window, message, wParam, lParam);
  }
}

namespace {

// The program's name as it was started, without folder or ".exe".
std::string programName() {
  std::string name = platform::programPath();
  name = name.substr(name.find_last_of("/\\") + 1);  // npos + 1 is 0
  const std::size_t length = name.size();
  if (length > 4 && (name.compare(length - 4, 4, ".exe") == 0 || name.compare(length - 4, 4, ".EXE") == 0)) {
    name.resize(length - 4);
  }
  return name.empty() ? std::string("stimulus") : name;
}

// A refused command line, on standard error (`more`: what follows the
// line, the usage text say). A Windows program started from the desktop
// has no standard error to read it on: it is shown in the notification
// box there instead.
int refuse(const std::string& text, const char* more = "") {
  std::fprintf(stderr, "Kestravon: %s\n%s", text.c_str(), more);
  std::fflush(stderr);
  if (!platform::hasStandardError()) platform::messageBox(("Kestravon: " + text).c_str(), kNotificationCaption);
  return kUsageExitStatus;
}

}  // namespace

int finalStatus(int status) {
  const bool recordLost = SessionRecord::rowsLost();
  const bool resultsLost = AdjustmentSession::rowsLost();
  return recordLost || resultsLost ? kRecordWriteFailedExitStatus : status;
}

int startUp(platform::Instance instance, platform::Instance previousInstance, const char* commandLine, int showCommand,
            Routine routine) {
  libraryState.reset();  // a run in a process that ran one before starts afresh
  // A file opened while a standard stream is closed would become it: the
  // record would then receive the program's own messages.
  platform::keepStandardStreamsOpen();
  // The options, and the files they name, before anything touches the display.
  std::string error;
  if (!parseOptions(splitCommandLine(commandLine), application.options, error))
    return refuse(error, usageText(programName()).c_str());
  if (!SubjectDisplay::configure(application.options, error)) return refuse(error);
  if (application.options.help) {
    std::fputs(usageText(programName()).c_str(), stdout);
    return 0;
  }
  if (application.options.version) {
    std::printf("Kestravon %s\n", kKestravonVersion);
    return 0;
  }
  if (!SessionRecord::open(application.options, error)) return refuse(error);
  if (!AdjustmentSession::request(application.options.adjustment, error)) {
    SessionRecord::abandon();
    return refuse(error);
  }
  platform::setAbruptEndCallback([] {
    AdjustmentSession::endAbruptly();
    SessionRecord::endAbruptly();
  });
  Keyboard::escapeExitStatus = [] {
    AdjustmentSession::noteEscape();
    return finalStatus(kEscapeExitStatus);
  };
  try {
    application.instance = instance;
    application.previousInstance = previousInstance;
    application.commandLine = commandLine;
    application.showCommand = showCommand;
    application.className = kWindowClassName;

    application.windowClass.className = kWindowClassName;
    application.windowClass.menuName = kListenerTitle;
    application.windowClass.procedure = listenerWindowProc;
    application.windowClass.instance = instance;
    if (platform::registerWindowClass(application.windowClass) == 0) {
      throw "Failed to regist control message listner.";
    }

    application.listenerWindow = platform::createMessageWindow(kWindowClassName, kListenerTitle, instance);
    if (application.listenerWindow == nullptr) throw "Failed to create control message listner.";

    platform::setNormalPriority();
    // Asked for: raised before the canvas opens, so that the threads the
    // GL driver starts then inherit it.
    if (application.options.priority != platform::Priority::Normal) setPriority(application.options.priority);
    initializeLibrary();

    RoutineRunner runner;
    runner.routine = routine;
    runner.mode = 0;
    runner.run();
  } catch (const RefusedOption& refused) {
    SessionRecord::abandon();  // so that the corrected command line can create them again
    AdjustmentSession::abandon();
    return refuse(refused.text());
  } catch (const char* text) {
    platform::messageBox(text, kNotificationCaption);
    return kFailureExitStatus;
  }
  return 0;
}

}  // namespace Kestravon
