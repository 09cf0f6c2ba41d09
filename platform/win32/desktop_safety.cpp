// Desktop safety: Windows does not promise to undo a CDS_FULLSCREEN mode
// change when the process ends (Wine does not), so every exit the process
// can see restores it, with the look-up table and the cursor: a normal exit
// (atexit; the Escape exit is one), std::terminate and abort, an exception
// nobody handles, and console control events. Nothing runs when the
// process is killed from outside (TerminateProcess; under Wine, SIGTERM and
// SIGKILL).
#include <windows.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "platform/platform.h"
#include "platform/win32/backend.h"

namespace Kestravon {
namespace platform {
namespace win32 {

namespace {

// The state the exit handlers read lives here, apart from the Backend
// struct: a handler may run on any thread (a console control event comes
// on a thread of its own) while the library is anywhere in its code. The
// flags are 1 while owed, and whoever gives a thing back swaps its flag to
// 0 first, so a handler racing the library, or a second handler, does not
// restore again. The display's own look-up table is written before its
// flag is set; the handlers ours replace are kept as ours are installed.
volatile LONG modeOwed = 0;
volatile LONG cursorOwed = 0;
volatile LONG rampOwed = 0;
GammaRamp ownRamp;
char ownRampDevice[sizeof Backend::chosenDevice] = {};  // empty for the primary display
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
  Backend& b = backend();
  if (b.desktopSafetyInstalled) return;
  b.desktopSafetyInstalled = true;
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

void cursorCounted(int count) {
  if (count < 0) installHandlers();
  InterlockedExchange(&cursorOwed, count < 0 ? 1 : 0);
}

bool ownGammaRampKept() { return rampOwed != 0; }

void keepOwnGammaRamp(const GammaRamp& ramp) {
  std::memcpy(ownRamp, ramp, sizeof ownRamp);
  std::memcpy(ownRampDevice, backend().chosenDevice, sizeof ownRampDevice);
  installHandlers();
  InterlockedExchange(&rampOwed, 1);
}

// Through a device context of the display itself: the canvas window, and
// its context, may be gone by now.
void giveGammaRampBack() {
  if (InterlockedExchange(&rampOwed, 0) == 0) return;
  HDC dc = ownRampDevice[0] != '\0' ? CreateDCA(ownRampDevice, nullptr, nullptr, nullptr) : GetDC(nullptr);
  if (dc == nullptr) return;
  setGammaRamp(dc, ownRamp);
  if (ownRampDevice[0] != '\0') {
    DeleteDC(dc);
  } else {
    ReleaseDC(nullptr, dc);
  }
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

// What ends a Windows process from outside (TerminateProcess; under Wine,
// signals) runs no code of the program's.
void setAbruptEndCallback(void (* /*callback*/)()) {}

}  // namespace platform
}  // namespace Kestravon
