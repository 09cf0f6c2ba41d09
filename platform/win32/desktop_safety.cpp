// Windows does not promise to undo a CDS_FULLSCREEN mode change when the
// process ends (Wine does not), so every exit the process can see restores
// it: a normal exit (atexit; the Escape exit is one), std::terminate and
// abort, an exception nobody handles, and console control events. Nothing
// runs when the process is killed from outside (TerminateProcess; under
// Wine, SIGTERM and SIGKILL).
#include "platform/win32/desktop_safety.h"

#include <windows.h>

#include <csignal>
#include <cstdlib>
#include <exception>

namespace Kestravon {
namespace platform {
namespace win32 {

namespace {

// 1 while owed. Whoever gives it back swaps it to 0 first, so a handler
// racing the library, or a second handler, does not restore again.
volatile LONG modeOwed = 0;
volatile LONG cursorOwed = 0;

bool handlersInstalled = false;
LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
std::terminate_handler previousTerminate = nullptr;

void onExit() { giveDesktopBack(); }

LONG WINAPI onUnhandledException(EXCEPTION_POINTERS* exception) {
  giveDesktopBack();
  // The crash goes on as before: to the filter ours replaced (the C
  // runtime's), then to the system.
  return previousFilter != nullptr ? previousFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

// Before abort, which in a GUI program first waits in a message box.
[[noreturn]] void onTerminate() {
  giveDesktopBack();
  if (previousTerminate != nullptr) previousTerminate();
  std::abort();
}

// The C runtime ends the process when this returns.
void onAbort(int) { giveDesktopBack(); }

BOOL WINAPI onConsoleEvent(DWORD) {
  giveDesktopBack();
  return FALSE;  // the default handling still ends the process
}

void installHandlers() {
  if (handlersInstalled) return;
  handlersInstalled = true;
  std::atexit(onExit);
  previousFilter = SetUnhandledExceptionFilter(onUnhandledException);
  previousTerminate = std::set_terminate(onTerminate);
  std::signal(SIGABRT, onAbort);
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

}  // namespace

void modeSwitched() {
  installHandlers();
  InterlockedExchange(&modeOwed, 1);
}

void modeRestored() { InterlockedExchange(&modeOwed, 0); }

void gammaRampOwed() { installHandlers(); }

void cursorCounted(int count) {
  if (count < 0) installHandlers();
  InterlockedExchange(&cursorOwed, count < 0 ? 1 : 0);
}

void giveDesktopBack() {
  if (InterlockedExchange(&modeOwed, 0) != 0) ChangeDisplaySettingsA(nullptr, 0);
  // After the mode: a mode change may reset the table, and under Wine a
  // crash that changed the mode after the table sometimes ends with 0.
  giveGammaRampBack();
  // The count is kept per thread: from a handler on another thread this
  // shows nothing, but the windows it was hidden over end with the process.
  if (InterlockedExchange(&cursorOwed, 0) != 0) {
    while (ShowCursor(TRUE) < 0) {
    }
  }
}

}  // namespace win32
}  // namespace platform
}  // namespace Kestravon
