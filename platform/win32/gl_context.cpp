// OpenGL: the pixel format (chosen again with draw-to-window where the
// answer to draw-to-bitmap is not double-buffered), the WGL context,
// make-current (which asks for one retrace per swap), delete, and the
// swap: checked to wait for the display when the canvas shows, and paced
// to the refresh period where it does not. WGL has no standard report of
// when a swap completed.
#include <GL/gl.h>
#include <windows.h>

#include <cstring>

#include "platform/pacing/pacing.h"
#include "platform/platform.h"
#include "platform/win32/backend.h"

namespace Kestravon {
namespace platform {

namespace {

PIXELFORMATDESCRIPTOR toPfd(const PixelFormatDescriptor& d) {
  PIXELFORMATDESCRIPTOR pfd;
  std::memset(&pfd, 0, sizeof pfd);
  pfd.nSize = d.size;
  pfd.nVersion = d.version;
  pfd.dwFlags = d.flags;
  pfd.iPixelType = d.pixelType;
  pfd.cColorBits = d.colorBits;
  pfd.cDepthBits = d.depthBits;
  pfd.cAuxBuffers = d.auxBuffers;
  pfd.iLayerType = d.layerType;
  return pfd;
}

// Asks the driver for one retrace per swap, where it offers the control.
void askSwapInterval(HGLRC context) {
  win32::Backend::Swaps& swaps = win32::backend().swaps;
  if (context == nullptr || swaps.asked == context) return;
  swaps.asked = context;
  using SwapIntervalProc = BOOL(WINAPI*)(int);
  const auto proc =
      reinterpret_cast<SwapIntervalProc>(reinterpret_cast<void*>(wglGetProcAddress("wglSwapIntervalEXT")));
  swaps.check.intervalAsked = proc != nullptr;
  swaps.check.intervalAccepted = proc != nullptr && proc(1) != FALSE;
}

// Holds a swap to its moment on the schedule: sleeps until shortly before
// it, then watches the counter.
void paceSwap() {
  win32::Backend::Swaps& swaps = win32::backend().swaps;
  const double target = pacing::nextSwapTime(swaps.schedule, win32::counterNow(), false);
  const double spin = 0.002 * swaps.countsPerSecond;  // a Sleep may end up to a tick late
  pacing::waitUntil(target, spin, win32::counterNow, [](double counts) {
    Sleep(static_cast<DWORD>(counts * 1000.0 / win32::backend().swaps.countsPerSecond));
  });
}

bool isDoubleBuffered(HDC dc, int format) {
  PIXELFORMATDESCRIPTOR chosen;
  std::memset(&chosen, 0, sizeof chosen);
  if (DescribePixelFormat(dc, format, sizeof chosen, &chosen) == 0) return false;
  return (chosen.dwFlags & PFD_DOUBLEBUFFER) != 0;
}

}  // namespace

namespace win32 {

void checkSwaps(HWND window) {
  Backend::Swaps& swaps = backend().swaps;
  if (swaps.checked) return;
  const HDC dc = wglGetCurrentDC();
  if (wglGetCurrentContext() == nullptr || dc == nullptr || WindowFromDC(dc) != window) return;
  swaps.checked = true;
  const double frequency = counterFrequency();
  swaps.countsPerSecond = frequency;
  const double period =
      pacing::pacingPeriod(swaps.requestedHz, currentModeHz(), frequency, pacing::switchedOffByEnvironment());
  if (period <= 0.0) return;  // no rate to hold to
  glClearColor(0.0F, 0.0F, 0.0F, 1.0F);
  const double mean = pacing::timeTestSwaps(
      [] {
        glClear(GL_COLOR_BUFFER_BIT);
        SwapBuffers(wglGetCurrentDC());
        glFinish();  // the swap is done, not merely queued
      },
      counterNow);
  swaps.check.testSwaps = pacing::kTestSwaps;
  swaps.check.testSwapMs = mean * 1000.0 / frequency;
  if (!pacing::swapsWait(mean, period)) {
    swaps.paced = true;
    swaps.schedule.periodCounts = period;
    swaps.schedule.deadline = 0.0;
    holdFineTimer();  // Sleep to the millisecond
  }
}

}  // namespace win32

int choosePixelFormat(DeviceContext dc, const PixelFormatDescriptor& descriptor) {
  PIXELFORMATDESCRIPTOR pfd = toPfd(descriptor);
  int format = ChoosePixelFormat(win32::toHdc(dc), &pfd);
  // Some implementations (Wine among them) answer draw-to-bitmap with a
  // single-buffered format, which tears and leaves the front buffer
  // undefined: ask again for a window surface.
  if (format != 0 && (pfd.dwFlags & PFD_DOUBLEBUFFER) != 0 && !isDoubleBuffered(win32::toHdc(dc), format)) {
    pfd.dwFlags = (pfd.dwFlags & ~static_cast<DWORD>(PFD_DRAW_TO_BITMAP)) | PFD_DRAW_TO_WINDOW;
    const int windowFormat = ChoosePixelFormat(win32::toHdc(dc), &pfd);
    if (windowFormat != 0 && isDoubleBuffered(win32::toHdc(dc), windowFormat)) format = windowFormat;
  }
  return format;
}

bool setPixelFormat(DeviceContext dc, int format, const PixelFormatDescriptor& descriptor) {
  PIXELFORMATDESCRIPTOR pfd = toPfd(descriptor);
  return SetPixelFormat(win32::toHdc(dc), format, &pfd) != FALSE;
}

GLContext createGLContext(DeviceContext dc) { return reinterpret_cast<GLContext>(wglCreateContext(win32::toHdc(dc))); }
bool makeCurrent(DeviceContext dc, GLContext context) {
  if (wglMakeCurrent(win32::toHdc(dc), win32::toHglrc(context)) == FALSE) return false;
  askSwapInterval(win32::toHglrc(context));
  return true;
}
void deleteGLContext(GLContext context) { wglDeleteContext(win32::toHglrc(context)); }
bool swapBuffers(DeviceContext dc) {
  win32::Backend::Swaps& swaps = win32::backend().swaps;
  if (swaps.paced) paceSwap();
  const bool swapped = SwapBuffers(win32::toHdc(dc)) != FALSE;
  if (swaps.paced) pacing::swapReturned(swaps.schedule, win32::counterNow());
  return swapped;
}

// WGL has no standard report of when a swap completed (nor has Wine): the
// library takes the time the swap returned, and says it is an upper bound.
const char* swapCompletionSource(DeviceContext /*dc*/) { return nullptr; }
bool swapCompletedAt(DeviceContext /*dc*/, double& /*milliseconds*/) { return false; }

}  // namespace platform
}  // namespace Kestravon
