// The real program (start-up, stimulus_main, the SDL2 backend) with one
// fault provoked from outside, for the end-to-end tests of the ways out
// that a healthy display never takes. The executable is linked with
// --wrap for the five calls below, so the library and the backend are the
// shipped code, unchanged; only this test program sees the wrappers.
//
//   fault_program context-refused [--pause]   SDL_GL_CreateContext fails: a failure after the mode switch
//   fault_program no-font-names [--pause]     glGenLists returns 0: the font abort
//   fault_program throw-mid-run [--pause]     the 30th buffer swap throws std::bad_alloc: an uncaught exception
//   fault_program crash-mid-run [--pause]     the 30th buffer swap writes to a page it may not: a real SIGSEGV
//   fault_program vsync-claimed               SDL_GL_SetSwapInterval answers success and nothing waits (a
//                                             driver with vertical sync forced off)
//   fault_program swap-timestamps             GLX offers GLX_OML_sync_control (SDL_GL_GetProcAddress hands
//                                             out a glXQueryExtensionsString that says so and a
//                                             glXWaitForSbcOML whose swaps complete exactly 20 ms apart,
//                                             a 50 Hz display, 4 ms after each swap returned)
//
// Any further arguments are the program's options (--gamma 2.0, say).
//
// At the fault it writes "fault: display WxH, cursor shown|hidden" (what
// SDL has set) on standard error; with --pause it then stops itself
// (SIGSTOP) so that the test can look at the screen, and goes on at SIGCONT.
#include <GL/gl.h>
#include <SDL.h>
#include <SDL_syswm.h>
#include <sys/mman.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "library/base/command_line.h"
#include "library/shell/startup.h"
#include "stimulus/stimulus.h"

namespace {

enum class Fault { Off, ContextRefused, NoFontNames, ThrowMidRun, CrashMidRun, VsyncClaimed, SwapTimestamps };

Fault fault = Fault::Off;
bool pauseAtFault = false;
bool faultReported = false;

// Says what the screen is like at the fault, and waits there if asked.
void atFault(SDL_Window* window) {
  if (faultReported) return;
  faultReported = true;
  SDL_DisplayMode mode{};
  SDL_GetCurrentDisplayMode(0, &mode);
  const bool shown = SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE;
  std::fprintf(stderr, "fault: display %dx%d, cursor %s\n", mode.w, mode.h, shown ? "shown" : "hidden");
  std::fflush(stderr);
  if (!pauseAtFault) return;
  // Everything SDL asked of the server must have reached it before the stop.
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window != nullptr && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
    XSync(info.info.x11.display, False);
  }
  std::raise(SIGSTOP);
}

// The driver's report of swap completion, as GLX_OML_sync_control gives
// it: UST in microseconds, the swap count; swap n completed at n * 20 ms.
long long swapsDone = 0;
const char* queryExtensionsString(Display* /*display*/, int /*screen*/) {
  return "GLX_ARB_create_context GLX_OML_sync_control GLX_SGI_swap_control";
}
Bool waitForSbc(Display* /*display*/, XID /*drawable*/, std::int64_t /*target*/, std::int64_t* ust, std::int64_t* msc,
                std::int64_t* sbc) {
  *sbc = swapsDone;
  *msc = swapsDone;
  *ust = 1000000 + swapsDone * 20000;
  return True;
}

}  // namespace

// The linker's --wrap fixes these names.
// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" {

SDL_GLContext __real_SDL_GL_CreateContext(SDL_Window* window);
SDL_GLContext __wrap_SDL_GL_CreateContext(SDL_Window* window) {
  if (fault != Fault::ContextRefused) return __real_SDL_GL_CreateContext(window);
  atFault(window);
  SDL_SetError("refused by fault_program");
  return nullptr;
}

GLuint __real_glGenLists(GLsizei range);
GLuint __wrap_glGenLists(GLsizei range) {
  if (fault != Fault::NoFontNames) return __real_glGenLists(range);
  atFault(SDL_GL_GetCurrentWindow());
  return 0;
}

int __real_SDL_GL_SetSwapInterval(int interval);
int __wrap_SDL_GL_SetSwapInterval(int interval) {
  if (fault != Fault::VsyncClaimed) return __real_SDL_GL_SetSwapInterval(interval);
  return 0;
}

void* __real_SDL_GL_GetProcAddress(const char* proc);
void* __wrap_SDL_GL_GetProcAddress(const char* proc) {
  if (fault == Fault::SwapTimestamps && std::strcmp(proc, "glXQueryExtensionsString") == 0) {
    return reinterpret_cast<void*>(queryExtensionsString);
  }
  if (fault == Fault::SwapTimestamps && std::strcmp(proc, "glXWaitForSbcOML") == 0) {
    return reinterpret_cast<void*>(waitForSbc);
  }
  return __real_SDL_GL_GetProcAddress(proc);
}

void __real_SDL_GL_SwapWindow(SDL_Window* window);
void __wrap_SDL_GL_SwapWindow(SDL_Window* window) {
  __real_SDL_GL_SwapWindow(window);
  ++swapsDone;
  static int swaps = 0;
  if ((fault == Fault::ThrowMidRun || fault == Fault::CrashMidRun) && ++swaps == 30) {
    atFault(window);
    if (fault == Fault::ThrowMidRun) throw std::bad_alloc();
    // A store to a page that allows no access: the processor faults, with
    // no undefined behaviour for the compiler or a sanitizer to act on first.
    void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    *static_cast<volatile int*>(page) = 1;
  }
}

}  // extern "C"
// NOLINTEND(bugprone-reserved-identifier)

int main(int argc, char** argv) {
  const char* name = argc > 1 ? argv[1] : "";
  if (std::strcmp(name, "context-refused") == 0) fault = Fault::ContextRefused;
  if (std::strcmp(name, "no-font-names") == 0) fault = Fault::NoFontNames;
  if (std::strcmp(name, "throw-mid-run") == 0) fault = Fault::ThrowMidRun;
  if (std::strcmp(name, "crash-mid-run") == 0) fault = Fault::CrashMidRun;
  if (std::strcmp(name, "vsync-claimed") == 0) fault = Fault::VsyncClaimed;
  if (std::strcmp(name, "swap-timestamps") == 0) fault = Fault::SwapTimestamps;
  pauseAtFault = argc > 2 && std::strcmp(argv[2], "--pause") == 0;
  if (fault == Fault::Off) {
    std::fprintf(stderr,
                 "usage: fault_program context-refused|no-font-names|throw-mid-run|crash-mid-run|vsync-claimed|"
                 "swap-timestamps "
                 "[--pause] [options]\n");
    return 2;
  }
  static const std::string options =
      Kestravon::joinCommandLine(std::vector<std::string>(argv + (pauseAtFault ? 3 : 2), argv + argc));
  return Kestravon::startUp(nullptr, nullptr, options.c_str(), 1, stimulus_main);
}
