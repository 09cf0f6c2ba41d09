// Start-up: registration, the hidden listener window, library
// initialisation, the routine runner and the failure notification.
//
// The library's process-wide state is one LibraryState (library_state.h).
// startUp sets it back first (LibraryState::reset), then fills the
// Application record and runs initializeLibrary; a test fixture calls the
// same two.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace Kestravon {

using Routine = void (*)();

// Runs a routine on the caller's thread; mode 0 switches the parameter
// console on first, any other mode leaves it as it is.
struct RoutineRunner {
  Routine routine = nullptr;
  std::int32_t mode = 0;

  void run();
};

// Clock divisor, keyboard tables, empty variable registry; connects the
// canvas's hooks (CanvasHooks) and VariableRegistry::valueChanged to the
// starting values, the parameter console and the session record.
void initializeLibrary();

// The window procedure of the library's window class.
std::intptr_t listenerWindowProc(platform::Window window, std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam);

// Everything the entry function does, with the routine it runs: returns the
// process's exit status (0 after the routine returns, 15 after a failure was
// shown, 2 for refused options). The Escape key ends the process from inside
// the routine instead, with finalStatus(128).
int startUp(platform::Instance instance, platform::Instance previousInstance, const char* commandLine, int showCommand,
            Routine routine);

// The status the process ends with, once start-up has returned `status`
// or the Escape key ends it with 128: `status`, or 3 when the session
// record lost rows (kRecordWriteFailedExitStatus). The entry function
// returns it; start-up hands it to the pump for Escape.
int finalStatus(int status);

constexpr const char* kWindowClassName = "KestravonWindow";
constexpr const char* kListenerTitle = "Kestravon Dummy Window";
constexpr const char* kNotificationCaption = "Kestravon Notification";
constexpr int kFailureExitStatus = 15;

}  // namespace Kestravon
