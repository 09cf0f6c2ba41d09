// Scheduling on Windows: the normal priority start-up sets, and what
// --priority asks for. Realtime is HIGH_PRIORITY_CLASS with the calling
// thread at THREAD_PRIORITY_TIME_CRITICAL, not REALTIME_PRIORITY_CLASS,
// which can starve the input and the desktop the program depends on.
// While the backend paces swaps itself it holds a 1 ms timer too.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "platform/win32/backend.h"

namespace Kestravon {
namespace platform {

namespace {

void releaseAtExit() {
  while (win32::backend().fineTimerHolds > 0) win32::releaseFineTimer();
}

std::string lastError() {
  char text[256] = {};
  const DWORD code = GetLastError();
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                      text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(code) : message;
}

const char* className(DWORD priorityClass) {
  switch (priorityClass) {
    case IDLE_PRIORITY_CLASS: return "IDLE";
    case BELOW_NORMAL_PRIORITY_CLASS: return "BELOW_NORMAL";
    case NORMAL_PRIORITY_CLASS: return "NORMAL";
    case ABOVE_NORMAL_PRIORITY_CLASS: return "ABOVE_NORMAL";
    case HIGH_PRIORITY_CLASS: return "HIGH";
    case REALTIME_PRIORITY_CLASS: return "REALTIME";
    default: return nullptr;
  }
}

std::string threadPriorityName(int priority) {
  switch (priority) {
    case THREAD_PRIORITY_IDLE: return "IDLE";
    case THREAD_PRIORITY_LOWEST: return "LOWEST";
    case THREAD_PRIORITY_BELOW_NORMAL: return "BELOW_NORMAL";
    case THREAD_PRIORITY_NORMAL: return "NORMAL";
    case THREAD_PRIORITY_ABOVE_NORMAL: return "ABOVE_NORMAL";
    case THREAD_PRIORITY_HIGHEST: return "HIGHEST";
    case THREAD_PRIORITY_TIME_CRITICAL: return "TIME_CRITICAL";
    default: return std::to_string(priority);
  }
}

}  // namespace

namespace win32 {

void holdFineTimer() {
  Backend& b = backend();
  if (!b.fineTimerExitHandlerSet) b.fineTimerExitHandlerSet = std::atexit(releaseAtExit) == 0;
  if (timeBeginPeriod(1) == TIMERR_NOERROR) ++b.fineTimerHolds;
}

void releaseFineTimer() {
  Backend& b = backend();
  if (b.fineTimerHolds == 0) return;
  timeEndPeriod(1);
  --b.fineTimerHolds;
}

}  // namespace win32

void setNormalPriority() { SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS); }

bool setPriority(Priority priority, std::string& refused) {
  refused.clear();
  const DWORD priorityClass = priority == Priority::Normal ? NORMAL_PRIORITY_CLASS : HIGH_PRIORITY_CLASS;
  const int threadPriority = priority == Priority::Realtime ? THREAD_PRIORITY_TIME_CRITICAL : THREAD_PRIORITY_NORMAL;
  bool granted = true;
  if (!SetPriorityClass(GetCurrentProcess(), priorityClass)) {
    refused = std::string("priority class ") + className(priorityClass) + " refused (" + lastError() +
              "); run the program from an account that may raise its priority";
    granted = false;
  }
  if (!SetThreadPriority(GetCurrentThread(), threadPriority)) {
    if (!refused.empty()) refused += "; ";
    refused += "thread priority " + threadPriorityName(threadPriority) + " refused (" + lastError() + ")";
    granted = false;
  }
  win32::Backend& b = win32::backend();
  if (priority == Priority::Realtime && !b.realtimeTimerHeld) {
    win32::holdFineTimer();
    b.realtimeTimerHeld = true;
  } else if (priority != Priority::Realtime && b.realtimeTimerHeld) {
    win32::releaseFineTimer();
    b.realtimeTimerHeld = false;
  }
  return granted;
}

std::string describeScheduling() {
  const DWORD priorityClass = GetPriorityClass(GetCurrentProcess());
  const char* name = className(priorityClass);
  std::string text = "priority class ";
  text += name != nullptr ? name : std::to_string(priorityClass);
  text += ", thread " + threadPriorityName(GetThreadPriority(GetCurrentThread()));
  text += win32::backend().fineTimerHolds > 0 ? ", timer 1 ms" : ", timer default";
  return text;
}

}  // namespace platform
}  // namespace Kestravon
