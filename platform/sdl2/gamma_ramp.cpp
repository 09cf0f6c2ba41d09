// The display's look-up table: on X11, the gamma ramp of the RandR CRTC
// that drives the canvas's output (a real driver keeps one table per
// CRTC; XF86VidMode's per-screen ramp is not used), sized as the CRTC
// reports it. The CRTC's own ramp is kept at the first set and put back by
// restoreDeviceGammaRamp and on every exit that gives the mode back
// (desktop_safety.cpp); after a lost X connection, over a fresh one.
// Without X11 and RandR (Wayland, say) the display has no table the
// program can set: its size is 0. Nor has Xwayland: it keeps a CRTC ramp
// that reaches no output (the compositor owns the output's table).
#include <SDL.h>
#include <SDL_syswm.h>
#include <signal.h>

#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl2/backend.h"
#include "platform/sdl2/randr_outputs.h"

#ifdef KESTRAVON_HAVE_X11
#include <X11/Xlib.h>
#endif
#ifdef KESTRAVON_HAVE_XRANDR
#include <X11/extensions/Xrandr.h>
#endif

namespace Kestravon {
namespace platform {
namespace sdl2 {

namespace {

#ifdef KESTRAVON_HAVE_XRANDR
struct Crtc {
  Display* display = nullptr;
  RRCrtc crtc = 0;
  int size = 0;
};

// The CRTC of the selected display's output, on the X screen of the
// canvas window (several X screens may each have an output of that name).
// A screen with one lit output gives that one whatever its name.
Crtc findCrtc(DeviceContext dc) {
  Crtc found;
  SDL_Window* window = sdlWindowOf(dc);
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
    return found;
  }
  Display* display = info.info.x11.display;
  int eventBase = 0;
  int errorBase = 0;
  XWindowAttributes attributes{};
  if (XRRQueryExtension(display, &eventBase, &errorBase) == 0 ||
      XGetWindowAttributes(display, info.info.x11.window, &attributes) == 0) {
    return found;
  }
  const char* name = SDL_GetDisplayName(backend().display);
  RRCrtc named = 0;
  RRCrtc only = 0;
  int lit = 0;
  {
    RandrOutputs outputs(display, attributes.root);
    if (!outputs.valid()) {
      return found;
    }
    while (outputs.next()) {
      const XRROutputInfo* output = outputs.info();
      if (output == nullptr || output->crtc == 0) {
        continue;
      }
      ++lit;
      only = output->crtc;
      if (name != nullptr && std::strcmp(output->name, name) == 0) {
        named = output->crtc;
      }
    }
  }
  found.crtc = named != 0 ? named : lit == 1 ? only : 0;
  if (found.crtc != 0) {
    found.display = display;
    found.size = XRRGetCrtcGammaSize(display, found.crtc);
  }
  return found;
}

bool readRamp(const Crtc& crtc, std::uint16_t* ramp) {
  XRRCrtcGamma* gamma = XRRGetCrtcGamma(crtc.display, crtc.crtc);
  if (gamma == nullptr || gamma->size != crtc.size) {
    if (gamma != nullptr) XRRFreeGamma(gamma);
    return false;
  }
  const std::size_t n = static_cast<std::size_t>(crtc.size);
  std::memcpy(ramp, gamma->red, n * sizeof *ramp);
  std::memcpy(ramp + n, gamma->green, n * sizeof *ramp);
  std::memcpy(ramp + 2 * n, gamma->blue, n * sizeof *ramp);
  XRRFreeGamma(gamma);
  return true;
}

bool writeRamp(Display* display, RRCrtc crtc, int size, const std::uint16_t* ramp) {
  XRRCrtcGamma* gamma = XRRAllocGamma(size);
  if (gamma == nullptr) {
    return false;
  }
  const std::size_t n = static_cast<std::size_t>(size);
  std::memcpy(gamma->red, ramp, n * sizeof *ramp);
  std::memcpy(gamma->green, ramp + n, n * sizeof *ramp);
  std::memcpy(gamma->blue, ramp + 2 * n, n * sizeof *ramp);
  XRRSetCrtcGamma(display, crtc, gamma);
  XRRFreeGamma(gamma);
  // Done before anyone reads it back, or the process ends.
  XSync(display, False);
  return true;
}

// The CRTC's own ramp, kept at the first set. Written before `owed` is
// set, and read by the handlers only once it is.
struct Saved {
  Display* display = nullptr;
  RRCrtc crtc = 0;
  int size = 0;
  std::vector<std::uint16_t> ramp;
};
Saved saved;
#endif

volatile sig_atomic_t owed = 0;

}  // namespace

void restoreGammaRamp() {
  if (owed == 0) {
    return;
  }
  owed = 0;
#ifdef KESTRAVON_HAVE_XRANDR
  writeRamp(saved.display, saved.crtc, saved.size, saved.ramp.data());
#endif
}

void restoreGammaRampOn(void* display) {
  if (owed == 0) {
    return;
  }
  owed = 0;
#ifdef KESTRAVON_HAVE_XRANDR
  // A CRTC is the server's, not the connection's: the same number names it here.
  writeRamp(static_cast<Display*>(display), saved.crtc, saved.size, saved.ramp.data());
#else
  (void)display;
#endif
}

}  // namespace sdl2

int gammaRampSize(DeviceContext dc) {
  if (!sdl2::backend().videoUp || sdl2::backend().modesEmulated) {
    return 0;
  }
  sdl2::SdlSection section;
#ifdef KESTRAVON_HAVE_XRANDR
  return sdl2::findCrtc(dc).size;
#else
  (void)dc;
  return 0;
#endif
}

bool getDeviceGammaRamp(DeviceContext dc, std::uint16_t* ramp) {
  if (!sdl2::backend().videoUp) {
    return false;
  }
  sdl2::SdlSection section;
#ifdef KESTRAVON_HAVE_XRANDR
  const sdl2::Crtc crtc = sdl2::findCrtc(dc);
  return crtc.size > 0 && sdl2::readRamp(crtc, ramp);
#else
  (void)dc;
  (void)ramp;
  return false;
#endif
}

bool setDeviceGammaRamp(DeviceContext dc, const std::uint16_t* ramp) {
  if (!sdl2::backend().videoUp || sdl2::backend().modesEmulated) {
    return false;
  }
  sdl2::SdlSection section;
#ifdef KESTRAVON_HAVE_XRANDR
  const sdl2::Crtc crtc = sdl2::findCrtc(dc);
  if (crtc.size <= 0) {
    return false;
  }
  if (sdl2::owed == 0 || sdl2::saved.crtc != crtc.crtc) {
    sdl2::restoreGammaRamp();  // another CRTC's, should the canvas have moved
    std::vector<std::uint16_t> own(static_cast<std::size_t>(crtc.size) * 3);
    if (!sdl2::readRamp(crtc, own.data())) {
      return false;
    }
    sdl2::installDesktopSafety();
    sdl2::saved.display = crtc.display;
    sdl2::saved.crtc = crtc.crtc;
    sdl2::saved.size = crtc.size;
    sdl2::saved.ramp = own;
    sdl2::owed = 1;
  }
  return sdl2::writeRamp(crtc.display, crtc.crtc, crtc.size, ramp);
#else
  (void)dc;
  (void)ramp;
  return false;
#endif
}

void restoreDeviceGammaRamp() {
  if (!sdl2::backend().videoUp) {
    return;
  }
  sdl2::SdlSection section;
  sdl2::restoreGammaRamp();
}

}  // namespace platform
}  // namespace Kestravon
