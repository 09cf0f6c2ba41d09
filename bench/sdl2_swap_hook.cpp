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

void pushKey(SDL_Scancode scancode, bool down) {
  SDL_Event event{};
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.scancode = scancode;
  event.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
  event.key.windowID = 0;  // the backend gives windowless key input to the canvas
  SDL_PushEvent(&event);
}

}  // namespace

void setSwapHook(std::function<void(int, bool)> h) { hook() = std::move(h); }

void* realFunction(const char* name) {
  void* real = dlsym(RTLD_NEXT, name);
  if (real == nullptr) {
    std::fprintf(stderr, "sdl2_swap_hook: the real %s was not found\n", name);
    std::abort();
  }
  return real;
}

void pushKeyPress(int virtualKey, bool releaseToo) {
  static const struct {
    int virtualKey;
    SDL_Scancode scancode;
  } keys[] = {
      {platform::kVkEscape, SDL_SCANCODE_ESCAPE}, {platform::kVkLeft, SDL_SCANCODE_LEFT},
      {platform::kVkUp, SDL_SCANCODE_UP},         {platform::kVkRight, SDL_SCANCODE_RIGHT},
      {platform::kVkDown, SDL_SCANCODE_DOWN},
  };
  for (const auto& key : keys) {
    if (key.virtualKey == virtualKey) {
      pushKey(key.scancode, true);
      if (releaseToo) pushKey(key.scancode, false);
      return;
    }
  }
}

}  // namespace bench
}  // namespace Kestravon

// The interposed swap.
extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
  using Swap = void (*)(SDL_Window*);
  static const auto real = reinterpret_cast<Swap>(Kestravon::bench::realFunction("SDL_GL_SwapWindow"));
  const int number = ++Kestravon::bench::swaps;
  const std::function<void(int, bool)>& h = Kestravon::bench::hook();
  if (h) h(number, false);
  real(window);
  if (h) h(number, true);
}
