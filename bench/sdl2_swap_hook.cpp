#include "bench/sdl2_swap_hook.h"

#include <SDL.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "bench/bench_support.h"

#include "platform/platform.h"

namespace Kestravon {
namespace bench {

namespace {

std::function<void(int, bool)>& hook() {
  static std::function<void(int, bool)> instance;
  return instance;
}

int swaps = 0;
double lastFlush = 0;

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

double lastFlushSeconds() { return lastFlush; }

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

namespace {

template <typename Function>
Function realFunction(const char* name) {
  Function real = reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
  if (real == nullptr) {
    std::fprintf(stderr, "sdl2_swap_hook: the real %s was not found\n", name);
    std::abort();
  }
  return real;
}

}  // namespace

// The interposed swap.
extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
  static const auto real = realFunction<void (*)(SDL_Window*)>("SDL_GL_SwapWindow");
  const int number = ++Kestravon::bench::swaps;
  const std::function<void(int, bool)>& h = Kestravon::bench::hook();
  if (h) h(number, false);
  real(window);
  if (h) h(number, true);
}

// The interposed flush.
extern "C" void glFlush() {
  static const auto real = realFunction<void (*)()>("glFlush");
  real();
  Kestravon::bench::lastFlush = Kestravon::bench::monotonicSeconds();
}
