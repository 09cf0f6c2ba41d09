// The desktop's keyboard focus. On an X server with no window manager (as
// many lab computers run), nobody but the program sets the focus: SDL
// gives its canvas the focus to revert to None, so once the canvas goes
// (on any end, kill -9 too) no window takes a key again. So the desktop's
// focus is noted before the canvas is shown, the canvas takes the focus to
// revert to PointerRoot (what a server with no window manager starts with:
// the X server itself reverts to it when the canvas goes, whatever ended
// the program), and on every end the backend sees the focus is set back as
// it was found, over a fresh connection when the program's own is gone.
#include <SDL.h>
#include <SDL_syswm.h>

#include "platform/sdl2/backend.h"

#ifdef KESTRAVON_HAVE_X11
#include <X11/Xlib.h>
#endif

namespace Kestravon {
namespace platform {
namespace sdl2 {

namespace {

#ifdef KESTRAVON_HAVE_X11
// The desktop's focus and how it reverts, as found before the first
// canvas, and SDL's connection once the canvas took the focus through it,
// are the Backend's (desktopFocus...).
static_assert(PointerRoot == 1 && RevertToPointerRoot == 1, "the Backend's defaults");

// Sets the focus back as it was found; an error (the window it was on is
// gone) is left to the handler in force.
void setDesktopFocus(Display* display) {
  const Backend& b = backend();
  if (!b.desktopFocusNoted) return;
  XSetInputFocus(display, b.desktopFocus, b.desktopFocusRevert, CurrentTime);
  XSync(display, False);
}
#endif

}  // namespace

void noteDesktopFocus() {
#ifdef KESTRAVON_HAVE_X11
  Backend& b = backend();
  if (b.desktopFocusNoted) return;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || SDL_strcmp(driver, "x11") != 0) return;
  // SDL's connection is not to be had before it has a window: a short one of our own.
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return;
  ::Window focus = PointerRoot;
  XGetInputFocus(display, &focus, &b.desktopFocusRevert);
  b.desktopFocus = focus;
  b.desktopFocusNoted = true;
  XCloseDisplay(display);
#endif
}

void takeKeyboardFocus(SDL_Window* window) {
#ifdef KESTRAVON_HAVE_X11
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!backend().desktopFocusNoted || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE ||
      info.subsystem != SDL_SYSWM_X11) {
    return;
  }
  Display* display = info.info.x11.display;
  XSync(display, False);
  XWindowAttributes attributes{};
  // Only a viewable window can take the focus (otherwise: BadMatch).
  if (XGetWindowAttributes(display, info.info.x11.window, &attributes) == 0 || attributes.map_state != IsViewable) {
    return;
  }
  XSetInputFocus(display, info.info.x11.window, RevertToPointerRoot, CurrentTime);
  XSync(display, False);
  backend().focusDisplay = display;
#else
  (void)window;
#endif
}

void giveKeyboardFocusBack() {
#ifdef KESTRAVON_HAVE_X11
  Backend& b = backend();
  if (b.focusDisplay != nullptr) {
    setDesktopFocus(static_cast<Display*>(b.focusDisplay));
    b.focusDisplay = nullptr;  // SDL closes it next
    return;
  }
  // No canvas was shown (its opening failed), but the failure's box may
  // have had the focus: a short connection of our own.
  if (!b.desktopFocusNoted) return;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return;
  setDesktopFocus(display);
  XCloseDisplay(display);
#endif
}

void giveKeyboardFocusBackOn(void* display) {
#ifdef KESTRAVON_HAVE_X11
  setDesktopFocus(static_cast<Display*>(display));
#else
  (void)display;
#endif
}

}  // namespace sdl2
}  // namespace platform
}  // namespace Kestravon
