// Start-up: registration, the hidden listener window, library
// initialisation, the routine runner and the failure notification.
//
// All of the library's state is process-wide. What it is, and what sets it
// back (a test fixture calls these same steps):
//   Application record (application.h)   filled by startUp, options included
//   session record (session_record.h)     SessionRecord::open, from startUp
//   Clock divisor (clock.h)               Clock::initialize   } initializeLibrary
//   key tables and key map (keyboard.h)   Keyboard::reset     }
//   variable registry (variable_registry.h),                  }
//     the console's selection and the                         }
//     starting-value flags                VariableRegistry::clear
//   the hooks the lower layers announce   connected            }
//     through (CanvasHooks, VariableRegistry::valueChanged)    }
//   each variable's first value           kept for the process; a new run registering it again starts there
//   the status Escape ends with           Keyboard::escapeExitStatus, set by startUp
//   the console's switch                  RoutineRunner::run (mode 0 switches it on)
//   currentCanvas, display-list tables    the first Canvas sets them; Canvas::release clears currentCanvas
//   predefined colours                    constants, made before main
// Each backend keeps its own state behind platform.h (headless: reset()).
#pragma once

#include <cstdint>

#include "../../platform/platform.h"

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
