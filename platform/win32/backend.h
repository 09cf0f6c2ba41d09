// Win32 backend of platform.h, for Windows (natively, or under Wine for the
// tests).
//
// Implements every operation as the Win32 or WGL call it is named after,
// with the arguments the library gives: the window class and its windows,
// ChangeDisplaySettingsA (ChangeDisplaySettingsExA on a chosen display
// other than the primary, the canvas placed at its position), the pixel
// format and the WGL context, SwapBuffers, PeekMessageA and the calls that
// go with it, GetKeyboardState, the performance counter, MessageBoxA,
// SetPriorityClass, and the look-up table through SetDeviceGammaRamp.
//
// Where it differs from the real Win32 it stands on:
// - The library's window procedure is reached through a trampoline, the
//   class's procedure being the backend's own (windows.cpp).
// - Some implementations (Wine among them) answer draw-to-bitmap with a
//   single-buffered pixel format: a format that is not double-buffered is
//   chosen again with draw-to-window in place of draw-to-bitmap.
// - A driver may accept a swap interval and still not wait for the display
//   (vertical sync forced off, or Wine on a display without it): the
//   swaps are timed when the canvas shows and, where they do not wait,
//   paced to the refresh period against the counter, with a 1 ms timer
//   held (the schedule is platform/pacing/, shared with the SDL2 backend).
// - Windows does not undo a CDS_FULLSCREEN mode change when the process
//   ends (Wine does not either): a switched mode, a changed look-up table
//   and a hidden cursor are given back on every exit the process can see
//   (desktop_safety.cpp).
//
// What it cannot do:
// - Give the desktop back when the process is ended from outside
//   (TerminateProcess; under Wine, SIGTERM and SIGKILL): no code of the
//   program's runs then, so the library's abrupt-end callback is never
//   called.
// - Say when a swap completed: WGL has no standard report of it (nor has
//   Wine), so the library takes the time the swap returned.
//
// The files, one concern each: startup.cpp (the backend's state, message
// box), scheduling.cpp (priority and the 1 ms timer), display_mode.cpp (the
// mode, the cursor, the screen size, what the display runs at),
// display_devices.cpp (which display, its look-up table), windows.cpp
// (the class, windows, device contexts), gl_context.cpp (the pixel format,
// the GL context, the swap check and pacing), events.cpp (messages and the
// key table), counter.cpp, desktop_safety.cpp (every exit gives the desktop
// back), files.cpp (the run's files, standard descriptors, the program's
// name), entry.cpp (the process entry). This header holds the one state
// they share and the declarations they call each other by.
#pragma once

#include <windows.h>

#include "platform/pacing/pacing.h"
#include "platform/platform.h"

namespace Kestravon {
namespace platform {
namespace win32 {

// The opaque handles of platform.h are Win32's own.
inline HWND toHwnd(Window window) { return reinterpret_cast<HWND>(window); }
inline Window fromHwnd(HWND hwnd) { return reinterpret_cast<Window>(hwnd); }
inline HDC toHdc(DeviceContext dc) { return reinterpret_cast<HDC>(dc); }
inline HGLRC toHglrc(GLContext context) { return reinterpret_cast<HGLRC>(context); }

// The look-up table: Windows' 3 x 256 entries.
constexpr int kGammaEntries = 256;
using GammaRamp = WORD[3][kGammaEntries];

// Everything the backend keeps between calls. What the exit handlers read
// is not here: see desktop_safety.cpp.
struct Backend {
  // The registered class's window procedure, which the trampoline calls.
  WindowProcedure classProcedure = nullptr;

  // The display selectDisplay chose: its device name
  // (DISPLAY_DEVICEA::DeviceName), empty for the primary display.
  char chosenDevice[32] = {};

  // What is known of the canvas's swaps: asked, checked, and, where they
  // do not wait for the display, the schedule they are held to.
  struct Swaps {
    int requestedHz = 0;    // the rate the last mode change asked for
    HGLRC asked = nullptr;  // the context a swap interval was last asked for
    SwapCheck check;
    bool checked = false;
    bool paced = false;
    pacing::PacingSchedule schedule;
    double countsPerSecond = 0.0;  // the counter's frequency, read when the swaps are checked
  } swaps;

  // The 1 ms timer: how often it is held, whether the exit handler that
  // gives it back is set, and whether realtime priority holds it.
  int fineTimerHolds = 0;
  bool fineTimerExitHandlerSet = false;
  bool realtimeTimerHeld = false;

  bool desktopSafetyInstalled = false;
};

Backend& backend();

// ---- scheduling.cpp
// A 1 ms system timer for as long as it is held (timeBeginPeriod), so that
// Sleep ends within a millisecond of when it should: held at real-time
// priority and while the backend paces swaps itself. Given back at exit.
void holdFineTimer();
void releaseFineTimer();

// ---- display_devices.cpp
// The chosen display's device name; null for the primary display, which
// the calls that name no device concern.
const char* selectedDevice();
// EnumDisplaySettingsA(selectedDevice(), ENUM_CURRENT_SETTINGS).
bool currentSettings(DEVMODEA& dm);
// SetDeviceGammaRamp, tried again a few times a little apart (drivers
// refuse a call now and then). Any thread, no allocation.
bool setGammaRamp(HDC dc, GammaRamp& ramp);

// ---- display_mode.cpp
// The selected display's rate; 0 when unknown (0 and 1 stand for the
// hardware's default rate).
int currentModeHz();

// ---- gl_context.cpp
// The window was shown: if it is the canvas, with its context current,
// swaps a few blank frames and times them; where they do not wait for the
// display, the swaps from here on are paced.
void checkSwaps(HWND window);

// ---- counter.cpp
// The counter's frequency (0 when there is none) and value, as doubles.
double counterFrequency();
double counterNow();

// ---- desktop_safety.cpp
// Once the display mode has been switched, the look-up table changed or
// the cursor hidden, every exit the process can see gives them back first,
// exactly once. The backend reports what it changed; the first change
// installs the exit handlers.
// ChangeDisplaySettingsA switched the mode / put the desktop's mode back.
void modeSwitched();
void modeRestored();
// ShowCursor returned this display count (below zero: hidden).
void cursorCounted(int count);
// Whether the display's own look-up table is kept, to be given back.
bool ownGammaRampKept();
// Keeps the chosen display's own look-up table, before SetDeviceGammaRamp
// first changes it.
void keepOwnGammaRamp(const GammaRamp& ramp);
// Puts the display's own look-up table back if it is still owed, through a
// device context of the display itself. Any thread, no allocation.
void giveGammaRampBack();
// What every exit handler runs: restores the mode and the look-up table
// and shows the cursor if they are still owed, then owes nothing. No
// allocation, any thread.
void giveDesktopBack();

}  // namespace win32
}  // namespace platform
}  // namespace Kestravon
