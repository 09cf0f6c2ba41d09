// Displays, modes and the cursor: which display the canvas takes, choosing
// the mode (SDL switches to it when the canvas shows, see windows.cpp),
// giving the desktop mode back, the screen size as GetSystemMetrics
// reports it, and ShowCursor's count.
#include <SDL.h>

#include "platform/platform.h"
#include "platform/sdl2/backend.h"

namespace Kestravon {
namespace platform {
namespace sdl2 {

namespace {

bool depthMatches(int requested, int reported) {
  if (requested <= 0) {
    return true;
  }
  // SDL reports 32-bit RGB888 as 24 bits.
  if (requested == 32) {
    return reported == 24 || reported == 32;
  }
  return requested == reported;
}

// The mode the screen has, as GetSystemMetrics reports it: the chosen one
// from the mode change on (SDL switches when the canvas shows), else the
// desktop's; 0 x 0 without a display.
SDL_DisplayMode screenMode() {
  const Backend& b = backend();
  if (b.modeChosen) {
    return b.chosenMode;
  }
  SDL_DisplayMode desktop{};
  if (!b.videoUp || SDL_GetDesktopDisplayMode(b.display, &desktop) != 0) {
    return SDL_DisplayMode{};
  }
  return desktop;
}

bool anyFullscreenWindow() {
  bool any = false;
  backend().model.windows.forEach([&](const WindowObject* window) {
    any = any || (window->sdlWindow != nullptr && (SDL_GetWindowFlags(window->sdlWindow) & SDL_WINDOW_FULLSCREEN) != 0);
  });
  return any;
}

}  // namespace

bool sameSize(const SDL_DisplayMode& a, const SDL_DisplayMode& b) { return a.w == b.w && a.h == b.h; }

bool sameMode(const SDL_DisplayMode& a, const SDL_DisplayMode& b) {
  return sameSize(a, b) && a.format == b.format && a.refresh_rate == b.refresh_rate;
}

// SDL puts the desktop mode back when its fullscreen window is hidden or
// destroyed. Should its record still show another mode with no fullscreen
// window left, a momentary desktop-fullscreen window makes it restore.
void ensureDesktopMode() {
  const int display = backend().display;
  SDL_DisplayMode current{};
  SDL_DisplayMode desktop{};
  SDL_Rect bounds{};
  if (SDL_GetCurrentDisplayMode(display, &current) != 0 || SDL_GetDesktopDisplayMode(display, &desktop) != 0 ||
      SDL_GetDisplayBounds(display, &bounds) != 0) {
    return;
  }
  if (sameMode(current, desktop) || anyFullscreenWindow()) {
    return;
  }
  SDL_Window* restorer = SDL_CreateWindow("", bounds.x, bounds.y, desktop.w, desktop.h,
                                          SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
  if (restorer != nullptr) {
    SDL_DestroyWindow(restorer);
  }
}

}  // namespace sdl2

long changeDisplayMode(const DisplayMode& mode) {
  sdl2::Backend& b = sdl2::backend();
  if (!b.videoUp) {
    return kDispChangeFailed;
  }
  sdl2::SdlSection section;
  const int count = SDL_GetNumDisplayModes(b.display);
  if (count < 1) {
    return kDispChangeFailed;
  }
  bool found = false;
  SDL_DisplayMode match{};
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode candidate{};
    if (SDL_GetDisplayMode(b.display, i, &candidate) != 0 || candidate.w != mode.width || candidate.h != mode.height ||
        !sdl2::depthMatches(mode.bitsPerPixel, static_cast<int>(SDL_BITSPERPIXEL(candidate.format)))) {
      continue;
    }
    if (mode.frequency <= 1 || candidate.refresh_rate == mode.frequency) {
      match = candidate;
      found = true;
      break;
    }
    // An unknown rate may be the asked one; keep looking for a known match.
    if (candidate.refresh_rate == 0 && !found) {
      match = candidate;
      found = true;
    }
  }
  if (!found) {
    return kDispChangeBadMode;  // never run silently at another size
  }
  // Listed, but the output would stay in its own mode: the switch fails,
  // and nothing has been touched.
  SDL_DisplayMode desktop{};
  if (b.modesEmulated && (SDL_GetDesktopDisplayMode(b.display, &desktop) != 0 || !sdl2::sameSize(desktop, match))) {
    return kDispChangeFailed;
  }
  sdl2::installDesktopSafety();
  b.chosenMode = match;
  b.modeChosen = true;
  sdl2::setPacingPeriod(mode.frequency, match.refresh_rate);
  if (b.canvas != nullptr) {
    // A window already up takes the new mode at once.
    if (SDL_SetWindowDisplayMode(b.canvas->sdlWindow, &b.chosenMode) != 0 ||
        SDL_SetWindowFullscreen(b.canvas->sdlWindow, SDL_WINDOW_FULLSCREEN) != 0) {
      return kDispChangeFailed;
    }
  }
  return kDispChangeSuccessful;
}

void restoreDisplayMode() {
  sdl2::Backend& b = sdl2::backend();
  b.modeChosen = false;
  b.pacing.deadline = 0.0;
  if (!b.videoUp) {
    return;
  }
  sdl2::SdlSection section;
  if (b.canvas != nullptr && (SDL_GetWindowFlags(b.canvas->sdlWindow) & SDL_WINDOW_FULLSCREEN) != 0) {
    SDL_SetWindowFullscreen(b.canvas->sdlWindow, 0);
  }
  sdl2::ensureDesktopMode();
}

int showCursor(bool show) {
  sdl2::Backend& b = sdl2::backend();
  const int count = b.model.cursor.show(show);
  if (b.videoUp) {
    sdl2::SdlSection section;
    SDL_ShowCursor(b.model.cursor.shows() ? SDL_ENABLE : SDL_DISABLE);
  }
  return count;
}

bool enumDisplayDevice(int index, DisplayDevice& device) {
  device = DisplayDevice();
  if (!sdl2::backend().videoUp || index < 0) {
    return false;
  }
  sdl2::SdlSection section;
  SDL_DisplayMode mode{};
  if (index >= SDL_GetNumVideoDisplays() || SDL_GetCurrentDisplayMode(index, &mode) != 0) {
    return false;
  }
  const char* name = SDL_GetDisplayName(index);
  SDL_strlcpy(device.name, name != nullptr ? name : "", sizeof device.name);
  device.width = mode.w;
  device.height = mode.h;
  // Each X screen has coordinates of its own: its number tells displays apart.
  SDL_Rect bounds{};
  const bool placed = SDL_GetDisplayBounds(index, &bounds) == 0;
  const int screen = sdl2::xScreenOf(index);
  if (screen >= 0 && placed) {
    SDL_snprintf(device.where, sizeof device.where, "X screen %d at %d,%d", screen, bounds.x, bounds.y);
  } else if (placed) {
    SDL_snprintf(device.where, sizeof device.where, "at %d,%d", bounds.x, bounds.y);
  }
  return true;
}

void selectDisplay(int index) {
  sdl2::Backend& b = sdl2::backend();
  if (!b.videoUp || index < 0 || index >= SDL_GetNumVideoDisplays()) {
    return;
  }
  sdl2::SdlSection section;
  // Before the canvas SDL has no window (the listener is not one of SDL's).
  const int reached = b.canvas == nullptr && !b.modeChosen ? sdl2::reachDisplay(index) : index;
  if (reached >= 0) {
    b.display = reached;
  }
}

int screenWidth() { return sdl2::screenMode().w; }
int screenHeight() { return sdl2::screenMode().h; }

SwapSync describeDisplay(DisplayMode& current) {
  sdl2::Backend& b = sdl2::backend();
  current = DisplayMode{};
  SDL_DisplayMode mode{};
  if (b.videoUp && SDL_GetCurrentDisplayMode(b.display, &mode) == 0) {
    current.width = mode.w;
    current.height = mode.h;
    // Bits as stored (RGB888 is 32), as Windows counts them.
    current.bitsPerPixel = static_cast<int>(SDL_BYTESPERPIXEL(mode.format)) * 8;
    current.frequency = mode.refresh_rate;
  }
  if (b.driverSyncs) return SwapSync::ByDriver;
  return b.pacing.periodCounts > 0.0 ? SwapSync::ByBackend : SwapSync::Unsynchronised;
}

SwapCheck describeSwapCheck() { return sdl2::backend().swapCheck; }

}  // namespace platform
}  // namespace Kestravon
