// Windows: the message-only listener (no SDL window), the canvas (a
// borderless fullscreen SDL window that performs the chosen mode switch as
// it shows), raise, show/hide, destroy, and the device context each window
// owns. Classes and window liveness (WM_DESTROY while still valid) are the
// shared Win32 model's.
#include <SDL.h>

#include <memory>

#include "platform/platform.h"
#include "platform/sdl2/backend.h"

namespace Kestravon {
namespace platform {
namespace sdl2 {

bool isLive(const WindowObject* window) { return backend().model.windows.isLive(const_cast<WindowObject*>(window)); }

SDL_Window* sdlWindowOf(DeviceContext dc) {
  if (dc == nullptr || !isLive(dc->window)) {
    return nullptr;
  }
  return dc->window->sdlWindow;
}

}  // namespace sdl2

std::uint16_t registerWindowClass(const WindowClass& windowClass) {
  sdl2::Backend& b = sdl2::backend();
  // A class Win32 would refuse starts nothing.
  if (!b.model.classes.accepts(windowClass) || !sdl2::startVideo()) {
    return 0;
  }
  return b.model.classes.add(windowClass);
}

Window createMessageWindow(const char* className, const char* /*title*/, Instance /*instance*/) {
  sdl2::Backend& b = sdl2::backend();
  const win32_model::WindowClassEntry* entry = b.model.classes.find(className);
  if (entry == nullptr) {
    return nullptr;
  }
  WindowObject* window = b.model.windows.add(std::make_unique<WindowObject>(), entry->procedure,
                                             win32_model::WindowTable::Kind::MessageOnly);
  window->deviceContext.window = window;
  if (b.listener == nullptr) {
    b.listener = window;
  }
  return window;
}

Window createCanvasWindow(const char* className, const char* title, int x, int y, int width, int height,
                          Instance /*instance*/) {
  sdl2::Backend& b = sdl2::backend();
  const win32_model::WindowClassEntry* entry = b.model.classes.find(className);
  if (!b.videoUp || entry == nullptr) {
    return nullptr;
  }
  sdl2::SdlSection section;
  // The visual, and so the pixel format, is fixed when the window is made.
  sdl2::setGLAttributes();

  sdl2::noteDesktopFocus();  // before SDL's window can take it
  const char* windowTitle = title != nullptr ? title : "";
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP;
  int expectedWidth = width;
  int expectedHeight = height;
  SDL_Window* sdlWindow = nullptr;
  if (b.modeChosen) {
    SDL_DisplayMode desktop{};
    const bool isDesktopMode =
        SDL_GetDesktopDisplayMode(b.display, &desktop) == 0 && sdl2::sameMode(desktop, b.chosenMode);
    // Already the desktop's mode: cover the screen without touching the mode at all.
    flags |= isDesktopMode ? SDL_WINDOW_FULLSCREEN_DESKTOP : SDL_WINDOW_FULLSCREEN;
    expectedWidth = b.chosenMode.w;
    expectedHeight = b.chosenMode.h;
    // At the display's corner: without a window manager nobody else moves
    // a fullscreen window there, and a centred one would miss the screen.
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(b.display, &bounds) != 0) {
      return nullptr;
    }
    // Hidden first, so the mode is set before showing performs the switch.
    sdlWindow =
        SDL_CreateWindow(windowTitle, bounds.x, bounds.y, b.chosenMode.w, b.chosenMode.h, flags | SDL_WINDOW_HIDDEN);
    if (sdlWindow == nullptr) {
      return nullptr;
    }
    if (SDL_SetWindowDisplayMode(sdlWindow, &b.chosenMode) != 0) {
      SDL_DestroyWindow(sdlWindow);
      return nullptr;
    }
    SDL_ShowWindow(sdlWindow);
  } else {
    sdlWindow = SDL_CreateWindow(windowTitle, x, y, width, height, flags);
    if (sdlWindow == nullptr) {
      return nullptr;
    }
  }

  // Never run at another size than the one the stimulus was designed for.
  int drawableWidth = 0;
  int drawableHeight = 0;
  SDL_GL_GetDrawableSize(sdlWindow, &drawableWidth, &drawableHeight);
  bool sizeRight = drawableWidth == expectedWidth && drawableHeight == expectedHeight;
  if (b.modeChosen) {
    SDL_DisplayMode current{};
    sizeRight =
        sizeRight && SDL_GetCurrentDisplayMode(b.display, &current) == 0 && sdl2::sameSize(current, b.chosenMode);
  }
  if (!sizeRight) {
    SDL_DestroyWindow(sdlWindow);
    sdl2::ensureDesktopMode();
    return nullptr;
  }

  sdl2::installDesktopSafety();
  // A cursor hidden before the window existed must be hidden over it too.
  // SDL_ShowCursor does nothing when its state does not change, and SDL
  // would apply it to the new window only at the pointer's first event, so
  // the cursor showed over the canvas until then; SDL_SetCursor(NULL)
  // applies the state to every window now.
  SDL_ShowCursor(b.model.cursor.shows() ? SDL_ENABLE : SDL_DISABLE);
  SDL_SetCursor(nullptr);
  WindowObject* window =
      b.model.windows.add(std::make_unique<WindowObject>(), entry->procedure, win32_model::WindowTable::Kind::TopLevel);
  window->sdlWindow = sdlWindow;
  window->deviceContext.window = window;
  b.canvas = window;  // the newest top-level window: the focus
  b.pacing.deadline = 0.0;
  sdl2::watchCanvasWindow(sdlWindow);
  sdl2::takeKeyboardFocus(sdlWindow);
  return window;
}

void bringWindowToTop(Window window) {
  if (sdl2::isLive(window) && window->sdlWindow != nullptr) {
    sdl2::SdlSection section;
    SDL_RaiseWindow(window->sdlWindow);
    if (window == sdl2::backend().canvas) sdl2::takeKeyboardFocus(window->sdlWindow);  // SDL's reverts to None
  }
}

void showWindow(Window window, int showCommand) {
  if (!sdl2::isLive(window) || window->sdlWindow == nullptr) {
    return;
  }
  sdl2::SdlSection section;
  // SW_HIDE hides; every other command shows the canvas as it is (it is
  // already the size of the screen, so there is nothing to maximise or restore).
  if (showCommand == 0) {
    SDL_HideWindow(window->sdlWindow);
  } else {
    SDL_ShowWindow(window->sdlWindow);
    if (window == sdl2::backend().canvas) {
      sdl2::takeKeyboardFocus(window->sdlWindow);
      sdl2::checkSwapsWait(window->sdlWindow);
    }
  }
}

void destroyWindow(Window window) {
  sdl2::Backend& b = sdl2::backend();
  // WM_DESTROY reaches the procedure while the window is still valid; a
  // window that is not (or no longer) there is left alone, as on Win32.
  if (!b.model.destroy(window)) {
    return;
  }
  if (window->sdlWindow != nullptr) {
    sdl2::SdlSection section;
    SDL_DestroyWindow(window->sdlWindow);  // leaves fullscreen: SDL puts the desktop mode back
    window->sdlWindow = nullptr;
  }
  if (window == b.listener) {
    b.listener = nullptr;
  }
  if (window == b.canvas) {
    b.canvas = b.model.windows.focus();
    b.pacing.deadline = 0.0;
  }
}

DeviceContext getDeviceContext(Window window) { return sdl2::isLive(window) ? &window->deviceContext : nullptr; }

void releaseDeviceContext(Window /*window*/, DeviceContext /*dc*/) {
  // The context belongs to its window and goes with it; nothing to release.
}

}  // namespace platform
}  // namespace Kestravon
