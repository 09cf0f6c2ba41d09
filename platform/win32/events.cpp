// Messages and the keyboard: PeekMessageA, TranslateMessage,
// DispatchMessageA, PostQuitMessage, DefWindowProcA and GetKeyboardState,
// the message carried between Win32's MSG and the library's Message.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "platform/platform.h"
#include "platform/win32/backend.h"

namespace Kestravon {
namespace platform {

namespace {

MSG toMsg(const Message& message) {
  MSG msg;
  std::memset(&msg, 0, sizeof msg);
  msg.hwnd = win32::toHwnd(message.window);
  msg.message = message.id;
  msg.wParam = message.wParam;
  msg.lParam = message.lParam;
  msg.time = GetMessageTime();
  return msg;
}

}  // namespace

bool peekMessage(Message& message) {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  message.window = win32::fromHwnd(msg.hwnd);
  message.id = msg.message;
  message.wParam = msg.wParam;
  message.lParam = msg.lParam;
  return true;
}

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
  return static_cast<std::intptr_t>(DefWindowProcA(win32::toHwnd(window), message, wParam, lParam));
}

void getKeyboardState(unsigned char state[256]) { GetKeyboardState(state); }

}  // namespace platform
}  // namespace Kestravon
