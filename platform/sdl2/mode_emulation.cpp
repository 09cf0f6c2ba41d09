// Displays that only emulate display modes. A Wayland compositor never lets
// a client set its output's mode: SDL's wayland driver, and Xwayland for
// X clients, list the usual modes and report one as set, but the output
// stays in its own mode and the client's picture is scaled to it (or, under
// some compositors, the window simply stays the output's size). For a
// stimulus that is not the asked mode, so changeDisplayMode reports the
// switch as failed there unless the asked size is the output's own.
// Xwayland is recognised by its XWAYLAND extension (Xwayland 23.1 on) or
// by the names of its RandR outputs ("XWAYLAND0", ...), on a connection of
// its own, opened and closed once at start-up.
#include <SDL.h>

#include <cstring>

#include "platform/sdl2/backend.h"
#include "platform/sdl2/randr_outputs.h"

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
bool isXwayland() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    return false;
  }
  int opcode = 0;
  int firstEvent = 0;
  int firstError = 0;
  bool xwayland = XQueryExtension(display, "XWAYLAND", &opcode, &firstEvent, &firstError) != 0;
#ifdef KESTRAVON_HAVE_XRANDR
  if (!xwayland && XRRQueryExtension(display, &firstEvent, &firstError) != 0) {
    RandrOutputs outputs(display, DefaultRootWindow(display));
    while (!xwayland && outputs.next()) {
      const XRROutputInfo* output = outputs.info();
      xwayland = output != nullptr && output->name != nullptr && std::strncmp(output->name, "XWAYLAND", 8) == 0;
    }
  }
#endif
  XCloseDisplay(display);
  return xwayland;
}
#endif

}  // namespace

bool displayEmulatesModes(const char* driver) {
  if (driver == nullptr) {
    return false;
  }
  if (std::strcmp(driver, "wayland") == 0) {
    return true;
  }
#ifdef KESTRAVON_HAVE_X11
  if (std::strcmp(driver, "x11") == 0) {
    return isXwayland();
  }
#endif
  return false;
}

}  // namespace sdl2
}  // namespace platform
}  // namespace Kestravon
