// Win32 backend: every platform operation is the Win32 or WGL call it is
// named after, with the arguments the library gives. It runs only on
// Windows (natively, or under Wine for the tests). What Windows does not
// do by itself is added here: the library's window procedure is reached
// through a trampoline, and a pixel format that is not double-buffered is
// chosen again with draw-to-window in place of draw-to-bitmap; and a
// switched mode or hidden cursor is given back on every exit the process
// can see (desktop_safety.cpp); and swaps are checked to wait for the
// display, and paced to the refresh period where they do not (a driver
// with vertical sync forced off, or Wine on a display without it).
#include <GL/gl.h>
#include <windows.h>

#include <cstring>

#include "platform/pacing/pacing.h"
#include "platform/platform.h"
#include "platform/win32/desktop_safety.h"
#include "platform/win32/display_devices.h"
#include "platform/win32/scheduling.h"

namespace Kestravon {
namespace platform {

namespace {

WindowProcedure classProcedure = nullptr;

HWND toHwnd(Window w) { return reinterpret_cast<HWND>(w); }
Window fromHwnd(HWND h) { return reinterpret_cast<Window>(h); }
HDC toHdc(DeviceContext dc) { return reinterpret_cast<HDC>(dc); }
HGLRC toHglrc(GLContext c) { return reinterpret_cast<HGLRC>(c); }

LRESULT CALLBACK trampoline(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (classProcedure == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
  return static_cast<LRESULT>(classProcedure(fromHwnd(hwnd), message, wParam, lParam));
}

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

// What is known of the canvas's swaps: asked, checked, and, where they do
// not wait for the display, the schedule they are held to.
struct Swaps {
  int requestedHz = 0;    // the rate the last mode change asked for
  HGLRC asked = nullptr;  // the context a swap interval was last asked for
  SwapCheck check;
  bool checked = false;
  bool paced = false;
  pacing::PacingSchedule schedule;
  double countsPerSecond = 0.0;  // the counter's frequency, read when the swaps are checked
};
Swaps swaps;

double counterFrequency() {
  LARGE_INTEGER f;
  return QueryPerformanceFrequency(&f) ? static_cast<double>(f.QuadPart) : 0.0;
}

double counterNow() {
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart);
}

// The selected display's rate; 0 when unknown (0 and 1 stand for the
// hardware's default rate).
int currentModeHz() {
  DEVMODEA dm;
  if (!win32::currentSettings(dm)) return 0;
  return dm.dmDisplayFrequency > 1 ? static_cast<int>(dm.dmDisplayFrequency) : 0;
}

// Asks the driver for one retrace per swap, where it offers the control.
void askSwapInterval(HGLRC context) {
  if (context == nullptr || swaps.asked == context) return;
  swaps.asked = context;
  using SwapIntervalProc = BOOL(WINAPI*)(int);
  const auto proc =
      reinterpret_cast<SwapIntervalProc>(reinterpret_cast<void*>(wglGetProcAddress("wglSwapIntervalEXT")));
  swaps.check.intervalAsked = proc != nullptr;
  swaps.check.intervalAccepted = proc != nullptr && proc(1) != FALSE;
}

// Swaps a few blank frames on the canvas just shown and times them; where
// they do not wait for the display, the swaps from here on are paced.
void checkSwaps(HWND window) {
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
    win32::holdFineTimer();  // Sleep to the millisecond
  }
}

// Holds a swap to its moment on the schedule: sleeps until shortly before
// it, then watches the counter.
void paceSwap() {
  const double target = pacing::nextSwapTime(swaps.schedule, counterNow(), false);
  const double spin = 0.002 * swaps.countsPerSecond;  // a Sleep may end up to a tick late
  pacing::waitUntil(target, spin, counterNow,
                    [](double counts) { Sleep(static_cast<DWORD>(counts * 1000.0 / swaps.countsPerSecond)); });
}

bool isDoubleBuffered(HDC dc, int format) {
  PIXELFORMATDESCRIPTOR chosen;
  std::memset(&chosen, 0, sizeof chosen);
  if (DescribePixelFormat(dc, format, sizeof chosen, &chosen) == 0) return false;
  return (chosen.dwFlags & PFD_DOUBLEBUFFER) != 0;
}

}  // namespace

std::uint16_t registerWindowClass(const WindowClass& windowClass) {
  classProcedure = windowClass.procedure;
  WNDCLASSEXA wc;
  std::memset(&wc, 0, sizeof wc);
  wc.cbSize = sizeof wc;
  wc.style = 0;
  wc.lpfnWndProc = trampoline;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = 0;
  wc.hInstance = reinterpret_cast<HINSTANCE>(windowClass.instance);
  wc.hIcon = nullptr;
  wc.hIconSm = nullptr;
  wc.hCursor = nullptr;
  wc.hbrBackground = nullptr;
  wc.lpszMenuName = windowClass.menuName;
  wc.lpszClassName = windowClass.className;
  return RegisterClassExA(&wc);
}

Window createMessageWindow(const char* className, const char* title, Instance instance) {
  return fromHwnd(CreateWindowExA(0, className, title, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  reinterpret_cast<HINSTANCE>(instance), nullptr));
}

int messageBox(const char* text, const char* caption) { return MessageBoxA(nullptr, text, caption, MB_OK); }

long changeDisplayMode(const DisplayMode& mode) {
  DEVMODEA dm;
  std::memset(&dm, 0, sizeof dm);
  dm.dmSize = sizeof dm;
  dm.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
  dm.dmPelsWidth = static_cast<DWORD>(mode.width);
  dm.dmPelsHeight = static_cast<DWORD>(mode.height);
  dm.dmBitsPerPel = static_cast<DWORD>(mode.bitsPerPixel);
  dm.dmDisplayFrequency = static_cast<DWORD>(mode.frequency);
  const long result = win32::selectedDevice() != nullptr
                          ? ChangeDisplaySettingsExA(win32::selectedDevice(), &dm, nullptr, CDS_FULLSCREEN, nullptr)
                          : ChangeDisplaySettingsA(&dm, CDS_FULLSCREEN);
  if (result == DISP_CHANGE_SUCCESSFUL) {
    win32::modeSwitched();
    swaps.requestedHz = mode.frequency;
  }
  return result;
}

void restoreDisplayMode() {
  win32::modeRestored();
  if (win32::selectedDevice() != nullptr) {
    ChangeDisplaySettingsExA(win32::selectedDevice(), nullptr, nullptr, 0, nullptr);
  } else {
    ChangeDisplaySettingsA(nullptr, 0);
  }
}

int showCursor(bool show) {
  const int count = ShowCursor(show ? TRUE : FALSE);
  win32::cursorCounted(count);
  return count;
}

// The selected display's size after the switch (the primary's as GetSystemMetrics gives it).
int screenWidth() {
  DEVMODEA dm;
  if (win32::selectedDevice() != nullptr) return win32::currentSettings(dm) ? static_cast<int>(dm.dmPelsWidth) : 0;
  return GetSystemMetrics(SM_CXSCREEN);
}
int screenHeight() {
  DEVMODEA dm;
  if (win32::selectedDevice() != nullptr) return win32::currentSettings(dm) ? static_cast<int>(dm.dmPelsHeight) : 0;
  return GetSystemMetrics(SM_CYSCREEN);
}

Window createCanvasWindow(const char* className, const char* title, int x, int y, int width, int height,
                          Instance instance) {
  // On another display than the primary, the window covers that one.
  DEVMODEA dm;
  if (win32::selectedDevice() != nullptr && win32::currentSettings(dm)) {
    x += dm.dmPosition.x;
    y += dm.dmPosition.y;
  }
  return fromHwnd(CreateWindowExA(WS_EX_APPWINDOW | WS_EX_TOPMOST, className, title, WS_POPUP, x, y, width, height,
                                  nullptr, nullptr, reinterpret_cast<HINSTANCE>(instance), nullptr));
}

void bringWindowToTop(Window window) { BringWindowToTop(toHwnd(window)); }
void showWindow(Window window, int showCommand) {
  ShowWindow(toHwnd(window), showCommand);
  if (showCommand != SW_HIDE) checkSwaps(toHwnd(window));
}
void destroyWindow(Window window) { DestroyWindow(toHwnd(window)); }

DeviceContext getDeviceContext(Window window) { return reinterpret_cast<DeviceContext>(GetDC(toHwnd(window))); }
void releaseDeviceContext(Window window, DeviceContext dc) { ReleaseDC(toHwnd(window), toHdc(dc)); }

int choosePixelFormat(DeviceContext dc, const PixelFormatDescriptor& descriptor) {
  PIXELFORMATDESCRIPTOR pfd = toPfd(descriptor);
  int format = ChoosePixelFormat(toHdc(dc), &pfd);
  // Some implementations (Wine among them) answer draw-to-bitmap with a
  // single-buffered format, which tears and leaves the front buffer
  // undefined: ask again for a window surface.
  if (format != 0 && (pfd.dwFlags & PFD_DOUBLEBUFFER) != 0 && !isDoubleBuffered(toHdc(dc), format)) {
    pfd.dwFlags = (pfd.dwFlags & ~static_cast<DWORD>(PFD_DRAW_TO_BITMAP)) | PFD_DRAW_TO_WINDOW;
    const int windowFormat = ChoosePixelFormat(toHdc(dc), &pfd);
    if (windowFormat != 0 && isDoubleBuffered(toHdc(dc), windowFormat)) format = windowFormat;
  }
  return format;
}

bool setPixelFormat(DeviceContext dc, int format, const PixelFormatDescriptor& descriptor) {
  PIXELFORMATDESCRIPTOR pfd = toPfd(descriptor);
  return SetPixelFormat(toHdc(dc), format, &pfd) != FALSE;
}

GLContext createGLContext(DeviceContext dc) { return reinterpret_cast<GLContext>(wglCreateContext(toHdc(dc))); }
bool makeCurrent(DeviceContext dc, GLContext context) {
  if (wglMakeCurrent(toHdc(dc), toHglrc(context)) == FALSE) return false;
  askSwapInterval(toHglrc(context));
  return true;
}
void deleteGLContext(GLContext context) { wglDeleteContext(toHglrc(context)); }
bool swapBuffers(DeviceContext dc) {
  if (swaps.paced) paceSwap();
  const bool swapped = SwapBuffers(toHdc(dc)) != FALSE;
  if (swaps.paced) pacing::swapReturned(swaps.schedule, counterNow());
  return swapped;
}

bool peekMessage(Message& message) {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  message.window = fromHwnd(msg.hwnd);
  message.id = msg.message;
  message.wParam = msg.wParam;
  message.lParam = msg.lParam;
  return true;
}

namespace {

MSG toMsg(const Message& message) {
  MSG msg;
  std::memset(&msg, 0, sizeof msg);
  msg.hwnd = toHwnd(message.window);
  msg.message = message.id;
  msg.wParam = message.wParam;
  msg.lParam = message.lParam;
  msg.time = GetMessageTime();
  return msg;
}

}  // namespace

void translateMessage(const Message& message) {
  const MSG msg = toMsg(message);
  TranslateMessage(&msg);
}

std::intptr_t dispatchMessage(const Message& message) {
  const MSG msg = toMsg(message);
  return static_cast<std::intptr_t>(DispatchMessageA(&msg));
}

void postQuitMessage(int exitCode) { PostQuitMessage(exitCode); }

std::intptr_t defaultWindowProcedure(Window window, std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam) {
  return static_cast<std::intptr_t>(DefWindowProcA(toHwnd(window), message, wParam, lParam));
}

void getKeyboardState(unsigned char state[256]) { GetKeyboardState(state); }

SwapSync describeDisplay(DisplayMode& current) {
  current = DisplayMode{};
  DEVMODEA dm;
  if (win32::currentSettings(dm)) {
    current.width = static_cast<int>(dm.dmPelsWidth);
    current.height = static_cast<int>(dm.dmPelsHeight);
    current.bitsPerPixel = static_cast<int>(dm.dmBitsPerPel);
    current.frequency = currentModeHz();
  }
  if (swaps.paced) return SwapSync::ByBackend;
  // Checked when the canvas was shown: the test swaps waited for the display.
  return swaps.check.testSwaps > 0 ? SwapSync::ByDriver : SwapSync::Unsynchronised;
}

SwapCheck describeSwapCheck() { return swaps.check; }

bool queryPerformanceFrequency(std::int64_t& frequency) {
  LARGE_INTEGER f;
  if (!QueryPerformanceFrequency(&f)) {
    frequency = 0;
    return false;
  }
  frequency = f.QuadPart;
  return frequency != 0;
}

void queryPerformanceCounter(std::int64_t& count) {
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  count = c.QuadPart;
}

// What ends a Windows process from outside (TerminateProcess; under Wine,
// signals) runs no code of the program's.
void setAbruptEndCallback(void (* /*callback*/)()) {}

// WGL has no standard report of when a swap completed (nor has Wine): the
// library takes the time the swap returned, and says it is an upper bound.
const char* swapCompletionSource(DeviceContext /*dc*/) { return nullptr; }
bool swapCompletedAt(DeviceContext /*dc*/, double& /*milliseconds*/) { return false; }

}  // namespace platform
}  // namespace Kestravon
