// OpenGL: the pixel format (fixed with the window's visual, so only
// checked here), the context (SDL makes it current; put back as
// wglCreateContext leaves it), make-current, delete, and the swap, paced
// to the requested refresh period where the driver does not sync; and,
// where GLX has the OML sync-control extension, when each swap completed.
#include <SDL.h>
#include <SDL_syswm.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>

#ifdef KESTRAVON_HAVE_X11
#include <X11/Xlib.h>
#endif

#include "platform/pacing/pacing.h"
#include "platform/platform.h"
#include "platform/sdl2/backend.h"

namespace Kestravon {
namespace platform {
namespace sdl2 {

namespace {

// A sleep may end late by up to a scheduler tick, so it ends this long
// before the deadline and the counter is watched for the rest. At real-time
// priority a sleep ends within microseconds (the timer slack is 1 ns), and
// the watch is kept short: on one core, a real-time thread that spins holds
// off everything else, the X server included.
constexpr double kSpinSeconds = 0.0015;
constexpr double kRealtimeSpinSeconds = 0.0002;

double counterNow() { return static_cast<double>(SDL_GetPerformanceCounter()); }

void sleepCounts(double counts) {
  const double frequency = static_cast<double>(SDL_GetPerformanceFrequency());
  std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(counts / frequency * 1e6)));
}

void waitUntil(double target) {
  const double frequency = static_cast<double>(SDL_GetPerformanceFrequency());
  const double spin = backend().priority == Priority::Realtime ? kRealtimeSpinSeconds : kSpinSeconds;
  pacing::waitUntil(target, spin * frequency, counterNow, sleepCounts);
}

void paceSwap() {
  Backend& b = backend();
  const double now = static_cast<double>(SDL_GetPerformanceCounter());
  const double target = pacing::nextSwapTime(b.pacing, now, b.driverSyncs);
  if (target > now) {
    waitUntil(target);
  }
}

void swapBlankFrame() {
  constexpr unsigned kColorBufferBit = 0x4000;  // GL_COLOR_BUFFER_BIT
  const Backend::BlankFrame& blank = backend().blank;
  blank.clear(kColorBufferBit);
  SDL_GL_SwapWindow(blank.window);
}

}  // namespace

void setPacingPeriod(int requestedHz, int modeHz) {
  pacing::PacingSchedule& schedule = backend().pacing;
  schedule.periodCounts = pacing::pacingPeriod(requestedHz, modeHz, static_cast<double>(SDL_GetPerformanceFrequency()),
                                               pacing::switchedOffByEnvironment());
  schedule.deadline = 0.0;
}

void checkSwapsWait(SDL_Window* window) {
  Backend& b = backend();
  if (!b.driverSyncs || b.swapCheck.testSwaps > 0 || b.pacing.periodCounts <= 0.0 ||
      SDL_GL_GetCurrentWindow() != window) {
    return;
  }
  Backend::BlankFrame& blank = b.blank;
  blank.clearColor = reinterpret_cast<decltype(blank.clearColor)>(SDL_GL_GetProcAddress("glClearColor"));
  blank.clear = reinterpret_cast<decltype(blank.clear)>(SDL_GL_GetProcAddress("glClear"));
  blank.window = window;
  if (blank.clearColor == nullptr || blank.clear == nullptr) {
    return;
  }
  blank.clearColor(0.0F, 0.0F, 0.0F, 1.0F);
  const double mean = pacing::timeTestSwaps(swapBlankFrame, counterNow);
  b.swapCheck.testSwaps = pacing::kTestSwaps;
  b.swapCheck.testSwapMs = mean * 1000.0 / static_cast<double>(SDL_GetPerformanceFrequency());
  b.driverSyncs = pacing::swapsWait(mean, b.pacing.periodCounts);
  b.pacing.deadline = 0.0;  // the schedule starts at the library's first swap
}

void setGLAttributes() {
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  // No destination alpha, as the library's descriptor asks; an alpha visual
  // could also make a compositor show the canvas translucent.
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

}  // namespace sdl2

int choosePixelFormat(DeviceContext dc, const PixelFormatDescriptor& descriptor) {
  // The window's visual already is double-buffered RGB (createCanvasWindow).
  // Draw-to-bitmap is not refused: it is what the library asks for, and on
  // a window it can only mean the window.
  if (dc == nullptr || descriptor.pixelType != 0 || (descriptor.flags & kPfdSupportOpenGL) == 0) {
    return 0;
  }
  return 1;
}

bool setPixelFormat(DeviceContext dc, int format, const PixelFormatDescriptor& /*descriptor*/) {
  return dc != nullptr && format > 0;
}

GLContext createGLContext(DeviceContext dc) {
  SDL_Window* sdlWindow = sdl2::sdlWindowOf(dc);
  if (sdlWindow == nullptr) {
    return nullptr;
  }
  sdl2::SdlSection section;
  // SDL makes the new context current; wglCreateContext does not, so the
  // previous binding is put back afterwards.
  SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
  SDL_GLContext handle = SDL_GL_CreateContext(sdlWindow);
  if (handle == nullptr) {
    return nullptr;
  }
  // A single-buffered canvas would tear and could not keep both buffers black.
  int doubleBuffered = 0;
  if (SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &doubleBuffered) != 0 || doubleBuffered == 0) {
    SDL_GL_DeleteContext(handle);
    SDL_GL_MakeCurrent(previousWindow, previousContext);
    return nullptr;
  }
  // Where this is refused (Xvfb) or does not really sync, swapBuffers paces.
  sdl2::Backend& b = sdl2::backend();
  b.driverSyncs = SDL_GL_SetSwapInterval(1) == 0;
  b.swapCheck = SwapCheck{};
  b.swapCheck.intervalAsked = true;
  b.swapCheck.intervalAccepted = b.driverSyncs;
  SDL_GL_MakeCurrent(previousWindow, previousContext);
  auto* context = new GLContextObject;
  context->handle = handle;
  sdl2::backend().liveContexts.push_back(context);
  return context;
}

bool makeCurrent(DeviceContext dc, GLContext context) {
  if (!sdl2::backend().videoUp) {
    return false;
  }
  sdl2::SdlSection section;
  if (context == nullptr) {
    return SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
  }
  SDL_Window* sdlWindow = sdl2::sdlWindowOf(dc);
  if (sdlWindow == nullptr) {
    return false;
  }
  return SDL_GL_MakeCurrent(sdlWindow, context->handle) == 0;
}

void deleteGLContext(GLContext context) {
  if (context == nullptr) {
    return;
  }
  sdl2::Backend& b = sdl2::backend();
  for (auto it = b.liveContexts.begin(); it != b.liveContexts.end(); ++it) {
    if (*it == context) {
      b.liveContexts.erase(it);
      if (b.videoUp) {
        sdl2::SdlSection section;
        SDL_GL_DeleteContext(context->handle);
      }
      delete context;
      return;
    }
  }
}

bool swapBuffers(DeviceContext dc) {
  SDL_Window* sdlWindow = sdl2::sdlWindowOf(dc);
  if (sdlWindow == nullptr) {
    return false;
  }
  sdl2::SdlSection section;
  const bool driverSyncs = sdl2::backend().driverSyncs;
  // Without a driver that syncs, the finished frame waits for its moment
  // and is then swapped, as at a retrace: the swaps follow the schedule,
  // however long each frame took to draw. With one, the swap itself waits
  // and pacing only holds back swaps that came back early.
  if (!driverSyncs) {
    sdl2::paceSwap();
  }
  SDL_GL_SwapWindow(sdlWindow);
  if (driverSyncs) {
    sdl2::paceSwap();
  } else {
    pacing::swapReturned(sdl2::backend().pacing, sdl2::counterNow());
  }
  return true;
}

#ifdef KESTRAVON_HAVE_X11
namespace {
using QueryExtensionsString = const char* (*)(Display*, int);
using WaitForSbc = Bool (*)(Display*, XID, std::int64_t, std::int64_t*, std::int64_t*, std::int64_t*);
}  // namespace
#endif

const char* swapCompletionSource(DeviceContext dc) {
  sdl2::Backend& b = sdl2::backend();
  b.waitForSbc = nullptr;
#ifdef KESTRAVON_HAVE_X11
  SDL_Window* window = sdl2::sdlWindowOf(dc);
  if (window == nullptr || !b.videoUp) return nullptr;
  sdl2::SdlSection section;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return nullptr;
  // GLX's own extensions: SDL_GL_ExtensionSupported asks only the GL ones,
  // and glXGetProcAddress answers for any name, so the list is read.
  const auto query = reinterpret_cast<QueryExtensionsString>(SDL_GL_GetProcAddress("glXQueryExtensionsString"));
  void* wait = SDL_GL_GetProcAddress("glXWaitForSbcOML");
  XWindowAttributes attributes{};
  if (query == nullptr || wait == nullptr ||
      XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes) == 0) {
    return nullptr;
  }
  const char* extensions = query(info.info.x11.display, XScreenNumberOfScreen(attributes.screen));
  if (extensions == nullptr || std::strstr(extensions, "GLX_OML_sync_control") == nullptr) return nullptr;
  b.waitForSbc = wait;
  b.swapDisplay = info.info.x11.display;
  b.swapDrawable = info.info.x11.window;
  return "GLX_OML_sync_control";
#else
  (void)dc;
  return nullptr;
#endif
}

bool swapCompletedAt(DeviceContext /*dc*/, double& milliseconds) {
#ifdef KESTRAVON_HAVE_X11
  sdl2::Backend& b = sdl2::backend();
  if (b.waitForSbc == nullptr || !b.videoUp) return false;
  sdl2::SdlSection section;
  std::int64_t ust = 0;
  std::int64_t msc = 0;
  std::int64_t sbc = 0;
  // Target 0: the swaps asked for so far have completed; UST in microseconds.
  const auto wait = reinterpret_cast<WaitForSbc>(b.waitForSbc);
  if (!wait(static_cast<Display*>(b.swapDisplay), b.swapDrawable, 0, &ust, &msc, &sbc) || ust == 0) return false;
  milliseconds = static_cast<double>(ust) / 1000.0;
  return true;
#else
  (void)milliseconds;
  return false;
#endif
}

}  // namespace platform
}  // namespace Kestravon
