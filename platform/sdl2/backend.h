// SDL2 backend of platform.h, for Linux (X11) and other POSIX systems.
//
// Implements every operation with the effect of the Win32 call it stands
// for: one borderless OpenGL window that covers the chosen display (the
// first unless selected, on any X screen) in the chosen mode, its look-up
// table loaded through the output's RandR CRTC gamma ramp and given back
// with the mode (x_screens.cpp, gamma_ramp.cpp), one event taken per
// PeekMessage, Win32 virtual-key codes and a key-state table of its own,
// the counter, and message boxes that fall back to standard error.
//
// Where it differs from Win32, and what it cannot do:
// - Switch the mode on its own: SDL switches when a fullscreen window is
//   shown, so changeDisplayMode only chooses the mode and the switch happens
//   in createCanvasWindow (screenWidth/screenHeight report it in between).
// - Choose a pixel format after the window exists: the GL attributes are
//   fixed when the window is created, so choose/setPixelFormat only check.
// - Give the display mode and look-up table back after SIGKILL (the
//   keyboard focus reverts to PointerRoot by itself, keyboard_focus.cpp).
//   A lost X connection ends the program at once ("Kestravon Notification:
//   Lost the connection to the display." on standard error, status 15);
//   mode, table and focus go back over a fresh connection when the server
//   is still there (the connection was cut, as by xkill). Every other
//   exit (return, exit, abort, terminate, every signal that would end the
//   process) puts the desktop mode back, shows the cursor, and keeps the
//   status it would have had. Children the process forks (SDL's X11
//   message box) restore nothing and are killed when it ends.
// - Sync to the display where the driver cannot (Xvfb), or where it
//   accepts a swap interval but its test swaps do not wait: there swaps are
//   paced to the requested refresh period against the counter instead
//   (the schedule is platform/pacing/, shared with the Win32 backend).
//
// The files, one concern each: startup.cpp (SDL start, message box,
// memory), scheduling.cpp (priority), display_mode.cpp, x_screens.cpp,
// windows.cpp, gl_context.cpp (and the swap check and pacing),
// gamma_ramp.cpp, events.cpp (and key_translation.cpp), counter.cpp,
// desktop_safety.cpp, display_loss.cpp, keyboard_focus.cpp,
// mode_emulation.cpp, randr_outputs.h (a screen's RandR outputs walked,
// and freed, for x_screens.cpp, gamma_ramp.cpp and mode_emulation.cpp),
// files.cpp (the run's files and standard error, on platform/posix/files.cpp,
// which the headless backend shares; main is platform/posix/entry.cpp).
// This header holds the one state they share and the declarations they
// call each other by.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/pacing/pacing.h"
#include "platform/platform.h"
#include "platform/win32_model/win32_model.h"

namespace Kestravon {
namespace platform {

struct DeviceContextObject {
  WindowObject* window = nullptr;
};

// Whether it is live, and its procedure, the model's window table knows;
// the table owns it.
struct WindowObject {
  SDL_Window* sdlWindow = nullptr;    // null for the message-only listener, and once destroyed
  DeviceContextObject deviceContext;  // one per window, like a class DC
};

struct GLContextObject {
  SDL_GLContext handle = nullptr;
};

namespace sdl2 {

// Everything the backend keeps between calls. What the signal handlers
// read is not here but in one block of desktop_safety.cpp (and the display's
// own look-up table they put back, gamma_ramp.cpp), where it is written so
// that a handler can read it at any moment.
struct Backend {
  bool videoUp = false;

  // Win32's rules: the queue with the key table and focus, classes, the
  // windows (destroyed ones kept dead), the cursor count.
  win32_model::Model model;
  std::vector<GLContextObject*> liveContexts;
  WindowObject* listener = nullptr;
  // The window SDL draws into and the keyboard goes to (the model's focus).
  WindowObject* canvas = nullptr;

  // The SDL display the canvas, its mode and its restore concern (selectDisplay).
  int display = 0;
  bool modeChosen = false;
  SDL_DisplayMode chosenMode{};

  Priority priority = Priority::Normal;  // as setPriority last set it
  pacing::PacingSchedule pacing;
  // Whether swaps wait for the display: the driver accepted swap interval
  // 1 and the test swaps waited. Otherwise nothing syncs and every swap is
  // held to the schedule.
  bool driverSyncs = false;
  SwapCheck swapCheck;

  // Where the driver reports when a swap completed (GLX_OML_sync_control):
  // its glXWaitForSbcOML, and the X display and drawable it is asked of.
  void* waitForSbc = nullptr;
  void* swapDisplay = nullptr;
  unsigned long swapDrawable = 0;

  // The blank frame the test swaps show (gl_context.cpp), drawn with the
  // context's own GL (the backend links no GL library of its own).
  struct BlankFrame {
    void (*clearColor)(float, float, float, float) = nullptr;
    void (*clear)(unsigned) = nullptr;
    SDL_Window* window = nullptr;
  } blank;

  bool desktopSafetyInstalled = false;
  // The display lists modes it cannot really set (mode_emulation.cpp).
  bool modesEmulated = false;

  // display_loss.cpp, read by its X error handlers: the process that
  // reports a lost display (a message box's forked child ends quietly),
  // the canvas's X window (an X Window), whether it was destroyed or
  // hidden under the program, and the error handler in force before (an
  // XErrorHandler).
  int displayLossReporter = 0;
  unsigned long canvasXWindow = 0;
  bool canvasDestroyed = false;
  bool canvasHidden = false;
  bool endingForCanvas = false;
  int (*previousErrorHandler)(void* display, void* error) = nullptr;

  // keyboard_focus.cpp: the desktop's focus and how it reverts (an X Window
  // and a revert mode; PointerRoot until noted), as found before the first
  // canvas; and SDL's X connection (a Display*) once the canvas took the
  // focus through it, until SDL_Quit.
  bool desktopFocusNoted = false;
  unsigned long desktopFocus = 1;
  int desktopFocusRevert = 1;
  void* focusDisplay = nullptr;
};

Backend& backend();

// ---- startup.cpp
// Starts SDL's video on a real display; false when there is none.
bool startVideo();

// ---- mode_emulation.cpp
// Whether the display behind this SDL video driver only emulates the modes
// it lists, its output staying in its own mode (Wayland, Xwayland).
bool displayEmulatesModes(const char* driver);

// ---- display_loss.cpp
// The status after a lost display: that of a reported failure.
constexpr int kDisplayLostStatus = 15;
// From here on, a lost X connection ends the process at once, with a line
// on standard error; called once SDL's video is up.
void endWhenDisplayLost();
// The canvas window to watch for being destroyed by another program.
void watchCanvasWindow(SDL_Window* window);
// The canvas window was unmapped or iconified (an SDL window event).
void noteCanvasHidden();
// Ends the process, through its exit handlers and with the status of a
// reported failure, once the watched canvas window was destroyed under it,
// or is still hidden once the events were read.
void endWhenCanvasDestroyed();

// ---- desktop_safety.cpp
// From the first mode choice or window on, every way out must give the
// desktop back.
void installDesktopSafety();
// The library's callback for an end without exit handlers (a signal, a lost
// display), once, in the process that owns the desktop. Async-signal-safe.
void endingAbruptly();

// Brackets every stretch of SDL or driver calls: a termination signal that
// arrived meanwhile is acted on at its edges, where no Xlib or driver lock
// can be held.
class SdlSection {
 public:
  SdlSection();
  ~SdlSection();
  SdlSection(const SdlSection&) = delete;
  SdlSection& operator=(const SdlSection&) = delete;
};

// ---- display_mode.cpp
bool sameSize(const SDL_DisplayMode& a, const SDL_DisplayMode& b);
bool sameMode(const SDL_DisplayMode& a, const SDL_DisplayMode& b);
// Puts the desktop mode back if SDL's record shows another with no
// fullscreen window left to undo it.
void ensureDesktopMode();

// ---- x_screens.cpp
// Makes SDL display `index` one whose windows can be placed (restarting
// SDL's video on its X screen if it is on another than $DISPLAY's); call
// only while SDL has no window. Its index from then on; -1 when it is lost.
int reachDisplay(int index);
// The X screen SDL display `index` is on; -1 when it cannot be told.
int xScreenOf(int index);

// ---- gamma_ramp.cpp
// Puts the display's own look-up table back if one was set; from the exit
// handler and the signal handlers too, before SDL's windows go.
void restoreGammaRamp();
// The same over another connection (the program's own is gone): an X
// Display*, kept opaque here so that no X type leaks into the backend's header.
void restoreGammaRampOn(void* display);

// ---- keyboard_focus.cpp
// Notes the desktop's keyboard focus, once, before the first canvas shows.
void noteDesktopFocus();
// The shown canvas takes the focus, to revert to PointerRoot when it goes.
void takeKeyboardFocus(SDL_Window* window);
// The focus back as it was found, through SDL's connection (before SDL_Quit).
void giveKeyboardFocusBack();
// The same over another connection (the program's own is gone; an X Display*).
void giveKeyboardFocusBackOn(void* display);

// ---- windows.cpp
bool isLive(const WindowObject* window);
SDL_Window* sdlWindowOf(DeviceContext dc);

// ---- gl_context.cpp
// Fixes the canvas window's visual; called before the window is created.
void setGLAttributes();
// Sets the refresh period the swaps are paced to (requested rate, else
// the mode's), and starts a new schedule.
void setPacingPeriod(int requestedHz, int modeHz);
// The canvas window was shown with its context current: where the driver
// claims to sync, times the test swaps and believes them.
void checkSwapsWait(SDL_Window* window);

}  // namespace sdl2
}  // namespace platform
}  // namespace Kestravon
