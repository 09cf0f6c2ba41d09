// A lost display ends the program. When the X server goes away (killed,
// crashed, a remote connection dropped), Xlib's default I/O error handler
// calls exit(1), and the exit handlers, the desktop restore among them,
// then wait on a connection that no longer answers: SDL loops in XIfEvent
// for ever. Instead the backend's own handler, process-wide in Xlib, says
// so on standard error (no box can be shown without the display) and ends
// at once, with the status of a reported failure, making no further X
// call: there is no desktop left to give back through that connection.
#include <SDL.h>
#include <unistd.h>

#include <cstring>

#include "platform/sdl2/backend.h"

#ifdef KESTRAVON_HAVE_X11
#include <X11/Xlib.h>
#endif

namespace Kestravon {
namespace platform {
namespace sdl2 {

namespace {

#ifdef KESTRAVON_HAVE_X11
// The process that reports it. A message box's forked child, whose own
// connection breaks at the same moment, ends quietly: its parent tells.
pid_t reporter = 0;

int onDisplayLost(Display* /*display*/) {
  if (getpid() == reporter) {
    static const char kText[] = "Kestravon Notification: Lost the connection to the display.\n";
    ssize_t ignored = write(STDERR_FILENO, kText, sizeof kText - 1);
    (void)ignored;
    endingAbruptly();
  }
  _exit(kDisplayLostStatus);
}
#endif

}  // namespace

void endWhenDisplayLost() {
#ifdef KESTRAVON_HAVE_X11
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver != nullptr && std::strcmp(driver, "x11") == 0) {
    reporter = getpid();
    XSetIOErrorHandler(onDisplayLost);
  }
#endif
}

}  // namespace sdl2
}  // namespace platform
}  // namespace Kestravon
