// Start-up: the backend's state, SDL's video start (on a real display
// only), message boxes (with standard error as the
// fallback), and the heap settings that keep frames from faulting pages in.
#include <SDL.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/sdl2/backend.h"

namespace Kestravon {
namespace platform {
namespace sdl2 {

namespace {

Backend state;

// The GL and X libraries free and take again buffers of a frame's size
// (megabytes) every frame or two. With glibc's defaults such buffers are
// mapped and unmapped, or the top of the heap is given back to the kernel
// and taken again, so frames spend their time faulting in fresh pages
// (measured under Xvfb: half a million faults a thousand frames, and the
// frame rate halved). Kept in the heap instead, they are reused at no cost;
// the process holds on to its peak heap, a few tens of megabytes. These
// settings hold for the whole host process: docs/api.md says so.
void keepFreedMemoryMapped() {
#ifdef __GLIBC__
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);  // the largest glibc allows (64-bit)
  mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
#endif
}

}  // namespace

Backend& backend() { return state; }

bool startVideo() {
  Backend& b = backend();
  if (b.videoUp) {
    return true;
  }
  SdlSection section;
  // The backend installs its own handlers (restore first); SDL's would
  // turn Ctrl-C into a quit event the library ignores.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // One close request should be one close message, not close plus quit.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // A stimulus keeps its screen when a notification takes the focus.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // Real mode switches, which SDL undoes when its fullscreen window goes.
  SDL_SetHint(SDL_HINT_VIDEO_X11_XRANDR, "1");
#ifdef __linux__
  // The canvas needs X11 (Xwayland included). With no Wayland display
  // named, SDL's Wayland probe would add a line of its own (about
  // XDG_RUNTIME_DIR) to the program's "no display" failure. SDL_VIDEODRIVER
  // in the environment still decides.
  if (std::getenv("WAYLAND_DISPLAY") == nullptr) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
#endif
  keepFreedMemoryMapped();
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    return false;
  }
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
      SDL_GetNumVideoDisplays() < 1) {
    SDL_Quit();  // no display: an invisible run would look like success
    return false;
  }
  b.videoUp = true;
  b.modesEmulated = displayEmulatesModes(driver);
  endWhenDisplayLost();
  SDL_StopTextInput();
  SDL_EventState(SDL_TEXTINPUT, SDL_IGNORE);
  SDL_EventState(SDL_TEXTEDITING, SDL_IGNORE);
  return true;
}

}  // namespace sdl2

int messageBox(const char* text, const char* caption) {
  const sdl2::Backend& b = sdl2::backend();
  const char* safeText = text != nullptr ? text : "";
  const char* safeCaption = caption != nullptr ? caption : "";
  // A canvas still up (a failure after it opened) is fullscreen and on top:
  // made the box's parent, window managers stack the box above it.
  SDL_Window* parent = b.videoUp && b.canvas != nullptr ? b.canvas->sdlWindow : nullptr;
  // A termination signal taken while the box waits for its click ends the
  // process, restored, as soon as the box returns (or from the fallback alarm).
  sdl2::SdlSection section;
  // Works without SDL_Init; fails with no display or no fonts, and the
  // text must never be lost.
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, safeCaption, safeText, parent) != 0) {
    std::fprintf(stderr, "%s: %s\n", safeCaption, safeText);
    std::fflush(stderr);
  }
  return 1;  // IDOK
}

}  // namespace platform
}  // namespace Kestravon
