#include "bench/sdl2_swap_hook.h"

#include <SDL.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/platform.h"

namespace Kestravon {
namespace bench {

namespace {

std::function<void(int, bool)>& hook() {
  static std::function<void(int, bool)> instance;
  return instance;
}

int swaps = 0;

void pushKey(SDL_Scancode scancode, SDL_Keycode sym, bool down) {
  SDL_Event event{};
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.scancode = scancode;
  event.key.keysym.sym = sym;
  event.key.windowID = 0;  // the backend gives windowless key input to the canvas
  SDL_PushEvent(&event);
}

}  // namespace

void setSwapHook(std::function<void(int, bool)> h) { hook() = std::move(h); }

void pushKeyPress(int virtualKey, bool releaseToo) {
  SDL_Scancode scancode = SDL_SCANCODE_UNKNOWN;
  SDL_Keycode sym = SDLK_UNKNOWN;
  switch (virtualKey) {
    case platform::kVkEscape:
      scancode = SDL_SCANCODE_ESCAPE;
      sym = SDLK_ESCAPE;
      break;
    case platform::kVkLeft:
      scancode = SDL_SCANCODE_LEFT;
      sym = SDLK_LEFT;
      break;
    case platform::kVkUp:
      scancode = SDL_SCANCODE_UP;
      sym = SDLK_UP;
      break;
    case platform::kVkRight:
      scancode = SDL_SCANCODE_RIGHT;
      sym = SDLK_RIGHT;
      break;
    case platform::kVkDown:
      scancode = SDL_SCANCODE_DOWN;
      sym = SDLK_DOWN;
      break;
    default:
      return;
  }
  pushKey(scancode, sym, true);
  if (releaseToo) pushKey(scancode, sym, false);
}

}  // namespace bench
}  // namespace Kestravon

// The interposed swap.
extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
  using Swap = void (*)(SDL_Window*);
  static const Swap real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
  if (real == nullptr) {
    std::fputs("sdl2_swap_hook: the real SDL_GL_SwapWindow was not found\n", stderr);
    std::abort();
  }
  const int number = ++Kestravon::bench::swaps;
  const std::function<void(int, bool)>& h = Kestravon::bench::hook();
  if (h) h(number, false);
  real(window);
  if (h) h(number, true);
}
