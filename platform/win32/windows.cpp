// Windows: the window class, whose procedure is a trampoline to the
// library's (Win32 calls it with its own handles), the message-only
// listener, the canvas (on another display than the primary, placed at
// that display's position), raise, show (the first showing of the canvas
// checks its swaps, gl_context.cpp), destroy, and device contexts.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "platform/platform.h"
#include "platform/win32/backend.h"

namespace Kestravon {
namespace platform {

namespace {

LRESULT CALLBACK trampoline(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const WindowProcedure procedure = win32::backend().classProcedure;
  if (procedure == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
  return static_cast<LRESULT>(procedure(win32::fromHwnd(hwnd), message, wParam, lParam));
}

}  // namespace

std::uint16_t registerWindowClass(const WindowClass& windowClass) {
  win32::backend().classProcedure = windowClass.procedure;
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
  return win32::fromHwnd(CreateWindowExA(0, className, title, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         reinterpret_cast<HINSTANCE>(instance), nullptr));
}

Window createCanvasWindow(const char* className, const char* title, int x, int y, int width, int height,
                          Instance instance) {
  // On another display than the primary, the window covers that one.
  DEVMODEA dm;
  if (win32::selectedDevice() != nullptr && win32::currentSettings(dm)) {
    x += dm.dmPosition.x;
    y += dm.dmPosition.y;
  }
  return win32::fromHwnd(CreateWindowExA(WS_EX_APPWINDOW | WS_EX_TOPMOST, className, title, WS_POPUP, x, y, width,
                                         height, nullptr, nullptr, reinterpret_cast<HINSTANCE>(instance), nullptr));
}

void bringWindowToTop(Window window) { BringWindowToTop(win32::toHwnd(window)); }
void showWindow(Window window, int showCommand) {
  ShowWindow(win32::toHwnd(window), showCommand);
  if (showCommand != SW_HIDE) win32::checkSwaps(win32::toHwnd(window));
}
void destroyWindow(Window window) { DestroyWindow(win32::toHwnd(window)); }

DeviceContext getDeviceContext(Window window) { return reinterpret_cast<DeviceContext>(GetDC(win32::toHwnd(window))); }
void releaseDeviceContext(Window window, DeviceContext dc) { ReleaseDC(win32::toHwnd(window), win32::toHdc(dc)); }

}  // namespace platform
}  // namespace Kestravon
