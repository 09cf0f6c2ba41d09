// A measuring point at every swap of the SDL2 backend, without touching
// the backend: this file defines SDL_GL_SwapWindow in the benchmark
// executable, which the dynamic linker prefers to libSDL2's, calls the hook
// and then the real function. Linux (ELF) only.
#pragma once

#include <functional>

namespace Kestravon {
namespace bench {

// Called on entering every SDL_GL_SwapWindow, before the swap, with the
// 1-based swap number and `returned` false, and again with true when the
// real swap has returned. On the SDL2 backend swaps 1 and 2 blank the
// buffers as the canvas opens, and swap f + 2 presents loop frame f.
void setSwapHook(std::function<void(int swapNumber, bool returned)> hook);

// The definition of `name` that the executable's own one hides (the
// library's); aborts when there is none.
void* realFunction(const char* name);

// Win32 virtual-key code (arrows, Escape) to an SDL key press pushed on
// SDL's event queue, as the X server would deliver it.
void pushKeyPress(int virtualKey, bool releaseToo);

}  // namespace bench
}  // namespace Kestravon
