// Win32 backend: every platform operation is the Win32 or WGL call it is
// named after, with the arguments the library gives. It runs only on
// Windows (natively, or under Wine for the tests). What Windows does not
// do by itself is added here: the library's window procedure is reached
// through a trampoline, and a pixel format that is not double-buffered is
// chosen again with draw-to-window in place of draw-to-bitmap; and a
// switched mode or hidden cursor is given back on every exit the process
// can see (desktop_safety.cpp).
#include <windows.h>

#include <cstring>

#include "platform/platform.h"
#include "platform/win32/desktop_safety.h"
#include "platform/win32/display_devices.h"

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

void setNormalPriority() { SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS); }

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
  if (result == DISP_CHANGE_SUCCESSFUL) win32::modeSwitched();
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
void showWindow(Window window, int showCommand) { ShowWindow(toHwnd(window), showCommand); }
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
bool makeCurrent(DeviceContext dc, GLContext context) { return wglMakeCurrent(toHdc(dc), toHglrc(context)) != FALSE; }
void deleteGLContext(GLContext context) { wglDeleteContext(toHglrc(context)); }
bool swapBuffers(DeviceContext dc) { return SwapBuffers(toHdc(dc)) != FALSE; }

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
    // 0 and 1 stand for the hardware's default rate.
    current.frequency = dm.dmDisplayFrequency > 1 ? static_cast<int>(dm.dmDisplayFrequency) : 0;
  }
  // SwapBuffers waits for the retrace as the driver is set up to (on by default).
  return SwapSync::ByDriver;
}

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

}  // namespace platform
}  // namespace Kestravon
