// A lost display ends the program. When the X server goes away (killed,
// crashed, a remote connection dropped), Xlib's default I/O error handler
// calls exit(1), and the exit handlers, the desktop restore among them,
// then wait on a connection that no longer answers: SDL loops in XIfEvent
// for ever. Instead the backend's own handler, process-wide in Xlib, says
// so on standard error (no box can be shown without the display) and ends
// at once, with the status of a reported failure, making no further X
// call: there is no desktop left to give back through that connection.
//
// So does a canvas window destroyed, unmapped or iconified by another
// program (xdotool windowclose or windowunmap, a window manager's
// XDestroyWindow or minimise): for a destroyed one Xlib's default error
// handler would end the process with status 1 at the next swap. The
// backend's error handler notes it (no X call may be made there); at the
// edge of the backend code the desktop gets its mode back and the process
// ends through its exit handlers, with the status of a reported failure.
#include <SDL.h>
#include <SDL_syswm.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/sdl2/backend.h"

#ifdef KESTRAVON_HAVE_X11
#include <X11/Xlib.h>
#ifdef KESTRAVON_HAVE_XRANDR
#include <X11/extensions/Xrandr.h>
#endif
#endif

namespace Kestravon {
namespace platform {
namespace sdl2 {

namespace {

#ifdef KESTRAVON_HAVE_X11
// The process that reports it (backend().displayLossReporter). A message
// box's forked child, whose own connection breaks at the same moment, ends
// quietly: its parent tells.

void giveDesktopBackOverFreshConnection();

int onDisplayLost(Display* /*display*/) {
  if (getpid() == backend().displayLossReporter) {
    static const char kText[] = "Kestravon Notification: Lost the connection to the display.\n";
    ssize_t ignored = write(STDERR_FILENO, kText, sizeof kText - 1);
    (void)ignored;
    endingAbruptly();
    giveDesktopBackOverFreshConnection();
  }
  _exit(kDisplayLostStatus);
}

// The canvas's X window, and whether it was destroyed under the program,
// or unmapped or iconified by another program (xdotool windowunmap, a
// window manager's minimise: no frame it "presents" is seen): Backend.

// Errors naming the canvas window that mean it is gone: a core window or
// drawable error, or an extension's (GLX, MIT-SHM) on it. Once it is gone,
// the requests that still name it or what hung from it (SDL's and the GL
// driver's, up to the restore at exit) fail too: none of them may end the
// process before the desktop is given back.
int onXError(Display* display, XErrorEvent* error) {
  Backend& b = backend();
  if (b.canvasXWindow != 0 && error->resourceid == b.canvasXWindow &&
      (error->error_code == BadWindow || error->error_code == BadDrawable || error->error_code >= 128)) {
    b.canvasDestroyed = true;
  }
  if (b.canvasDestroyed) {
    return 0;
  }
  return b.previousErrorHandler != nullptr ? b.previousErrorHandler(display, error) : 0;
}

int ignoreXError(Display* /*display*/, XErrorEvent* /*error*/) { return 0; }

// Puts the desktop's mode back through `display` (a connection of its own),
// by RandR, as `xrandr -s` does, when SDL's record shows it switched.
void setDesktopModeOn(Display* display, const SDL_DisplayMode& desktop) {
#ifdef KESTRAVON_HAVE_XRANDR
  const ::Window root = DefaultRootWindow(display);
  if (XRRScreenConfiguration* config = XRRGetScreenInfo(display, root)) {
    int count = 0;
    const XRRScreenSize* sizes = XRRConfigSizes(config, &count);
    Rotation rotation = 0;
    XRRConfigCurrentConfiguration(config, &rotation);
    for (int i = 0; i < count; ++i) {
      if (sizes[i].width == desktop.w && sizes[i].height == desktop.h) {
        XRRSetScreenConfig(display, config, root, i, rotation, CurrentTime);
        break;
      }
    }
    XRRFreeScreenConfigInfo(config);
  }
#else
  (void)display;
  (void)desktop;
#endif
}

// Whether SDL's record shows the display switched away from the desktop's mode.
bool switchedFromDesktop(SDL_DisplayMode& desktop) {
  Backend& b = backend();
  SDL_DisplayMode current{};
  return b.videoUp && SDL_GetCurrentDisplayMode(b.display, &current) == 0 &&
         SDL_GetDesktopDisplayMode(b.display, &desktop) == 0 && (current.w != desktop.w || current.h != desktop.h);
}

// Gives the desktop its look-up table and mode back with the canvas window
// gone. SDL cannot: it would wait for ever for the vanished window to be
// unmapped. The table and the focus go back as always (the connection
// stands; only the window is gone), the mode is set on a connection of its
// own, and SDL is left as it is for the process's end.
void giveDesktopBackWithoutCanvas() {
  Backend& b = backend();
  restoreGammaRamp();
  giveKeyboardFocusBack();
  SDL_DisplayMode desktop{};
  const bool switched = switchedFromDesktop(desktop);
  b.videoUp = false;  // the exit handlers leave SDL alone
  Display* display = switched ? XOpenDisplay(nullptr) : nullptr;
  if (display == nullptr) return;
  setDesktopModeOn(display, desktop);
  XCloseDisplay(display);
}

// The program's connection is gone (cut by xkill, or the server died): the
// look-up table, the mode and the focus go back over a fresh one, if the
// server is still there to take it. Nothing of the old connection is used.
void giveDesktopBackOverFreshConnection() {
  SDL_DisplayMode desktop{};
  const bool switched = switchedFromDesktop(desktop);
  backend().videoUp = false;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return;  // the server itself is gone, and the desktop with it
  XSetErrorHandler(ignoreXError);  // a focus window gone meanwhile must not end this
  restoreGammaRampOn(display);
  if (switched) setDesktopModeOn(display, desktop);
  giveKeyboardFocusBackOn(display);
  XSync(display, False);
  XCloseDisplay(display);
}
#endif

}  // namespace

void endWhenDisplayLost() {
#ifdef KESTRAVON_HAVE_X11
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver != nullptr && std::strcmp(driver, "x11") == 0) {
    Backend& b = backend();
    b.displayLossReporter = getpid();
    XSetIOErrorHandler(onDisplayLost);
    // SDL's, which ends the process; kept without naming an X type in the
    // backend's header.
    b.previousErrorHandler = reinterpret_cast<int (*)(void*, void*)>(XSetErrorHandler(onXError));
  }
#endif
}

void watchCanvasWindow(SDL_Window* window) {
#ifdef KESTRAVON_HAVE_X11
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11) {
    backend().canvasXWindow = info.info.x11.window;
    backend().canvasDestroyed = false;
  }
#else
  (void)window;
#endif
}

void noteCanvasHidden() {
#ifdef KESTRAVON_HAVE_X11
  backend().canvasHidden = true;
#endif
}

void endWhenCanvasDestroyed() {
#ifdef KESTRAVON_HAVE_X11
  Backend& b = backend();
  if (b.canvasHidden && !b.canvasDestroyed) {
    // Still hidden once every event was read (SDL may hide and show a
    // window itself while it sets its mode)?
    const WindowObject* canvas = b.canvas;
    b.canvasHidden = canvas != nullptr && canvas->sdlWindow != nullptr &&
                     (SDL_GetWindowFlags(canvas->sdlWindow) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) != 0;
  }
  if ((!b.canvasDestroyed && !b.canvasHidden) || b.endingForCanvas || getpid() != b.displayLossReporter) {
    return;
  }
  b.endingForCanvas = true;
  static const char kDestroyed[] = "Kestravon Notification: The canvas window was destroyed by another program.\n";
  static const char kHidden[] = "Kestravon Notification: The canvas window was hidden by another program.\n";
  ssize_t ignored = b.canvasDestroyed ? write(STDERR_FILENO, kDestroyed, sizeof kDestroyed - 1)
                                      : write(STDERR_FILENO, kHidden, sizeof kHidden - 1);
  (void)ignored;
  giveDesktopBackWithoutCanvas();
  std::exit(kDisplayLostStatus);  // the exit handlers finish the record
#endif
}

}  // namespace sdl2
}  // namespace platform
}  // namespace Kestravon
