// Displays on several X screens. SDL lists the outputs of every screen of
// the X server, but places a window by position, and each screen has
// coordinates of its own: a display on another screen than $DISPLAY's
// cannot be reached (its window lands on the default screen). So when the
// chosen display is on another screen, SDL's video restarts on that screen
// (DISPLAY=host:n.screen) before anything of it is used: the same display
// is then on the default screen, where windows go. Which screen SDL's
// display i is on is worked out from RandR in SDL's own order (the
// default screen's primary output first, then every screen's lit outputs
// in turn), and trusted only when it gives SDL's number of displays and
// names.
#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sdl2/backend.h"
#include "platform/sdl2/randr_outputs.h"

#ifdef KESTRAVON_HAVE_XRANDR
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#endif

namespace Kestravon {
namespace platform {
namespace sdl2 {

namespace {

#ifdef KESTRAVON_HAVE_XRANDR
struct Output {
  int screen = 0;
  std::string name;
};

// The displays SDL lists, in its order, with their X screens.
std::vector<Output> listOutputs(Display* display) {
  std::vector<Output> outputs;
  int eventBase = 0;
  int errorBase = 0;
  if (XRRQueryExtension(display, &eventBase, &errorBase) == 0) return outputs;
  const int defaultScreen = DefaultScreen(display);
  for (int primaryPass = 1; primaryPass >= 0; --primaryPass) {
    for (int screen = 0; screen < ScreenCount(display); ++screen) {
      if (primaryPass == 1 && screen != defaultScreen) continue;
      const ::Window root = RootWindow(display, screen);
      RandrOutputs screenOutputs(display, root);
      if (!screenOutputs.valid()) continue;
      const RROutput primary = XRRGetOutputPrimary(display, root);
      while (screenOutputs.next()) {
        const bool isPrimary = screenOutputs.output() == primary;
        if ((primaryPass == 1 && !isPrimary) || (primaryPass == 0 && screen == defaultScreen && isPrimary)) continue;
        const XRROutputInfo* info = screenOutputs.info();
        if (info == nullptr) continue;
        if (info->connection != RR_Disconnected && info->crtc != 0) outputs.push_back({screen, info->name});
      }
    }
  }
  return outputs;
}

// The list, if it is SDL's; empty otherwise.
std::vector<Output> sdlOutputs(Display* display) {
  std::vector<Output> outputs = listOutputs(display);
  bool same = static_cast<int>(outputs.size()) == SDL_GetNumVideoDisplays();
  for (std::size_t i = 0; same && i < outputs.size(); ++i) {
    const char* name = SDL_GetDisplayName(static_cast<int>(i));
    same = name != nullptr && outputs[i].name == name;
  }
  if (!same) outputs.clear();
  return outputs;
}
#endif

}  // namespace

int xScreenOf(int index) {
#ifdef KESTRAVON_HAVE_XRANDR
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || std::strcmp(driver, "x11") != 0 || index < 0) return -1;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return -1;
  const std::vector<Output> outputs = sdlOutputs(display);
  XCloseDisplay(display);
  return static_cast<std::size_t>(index) < outputs.size() ? outputs[static_cast<std::size_t>(index)].screen : -1;
#else
  (void)index;
  return -1;
#endif
}

int reachDisplay(int index) {
#ifdef KESTRAVON_HAVE_XRANDR
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || std::strcmp(driver, "x11") != 0) return index;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return index;
  const std::vector<Output> before = sdlOutputs(display);
  const int defaultScreen = DefaultScreen(display);
  std::string name = DisplayString(display);
  XCloseDisplay(display);
  if (index < 0 || static_cast<std::size_t>(index) >= before.size()) return index;
  const Output& wanted = before[static_cast<std::size_t>(index)];
  if (wanted.screen == defaultScreen) return index;
  // host:number.screen, on the chosen screen.
  const std::size_t colon = name.rfind(':');
  const std::size_t dot = name.find('.', colon == std::string::npos ? 0 : colon);
  if (colon == std::string::npos) return index;
  name = name.substr(0, dot) + "." + std::to_string(wanted.screen);
  setenv("DISPLAY", name.c_str(), 1);
  SDL_Quit();
  backend().videoUp = false;
  if (!startVideo()) return -1;
  display = XOpenDisplay(nullptr);
  if (display == nullptr) return -1;
  const std::vector<Output> after = sdlOutputs(display);
  XCloseDisplay(display);
  for (std::size_t i = 0; i < after.size(); ++i) {
    if (after[i].screen == wanted.screen && after[i].name == wanted.name) return static_cast<int>(i);
  }
  return -1;
#else
  return index;
#endif
}

}  // namespace sdl2
}  // namespace platform
}  // namespace Kestravon
