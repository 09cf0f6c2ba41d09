// The values platform.h's operations take and give: opaque handles,
// message identifiers, key codes and result codes with their Win32 values,
// display modes and devices, priorities. Installed with the headers that
// name them (the headless backend's control surface, priority.h); the
// operations themselves (platform.h) are the library's own and are not.
#pragma once

#include <cstdint>

namespace Kestravon {
namespace platform {

struct InstanceObject;
struct WindowObject;
struct DeviceContextObject;
struct GLContextObject;
using Instance = InstanceObject*;
using Window = WindowObject*;
using DeviceContext = DeviceContextObject*;
using GLContext = GLContextObject*;

// Window message identifiers (Win32 values).
enum : std::uint32_t {
  kMsgDestroy = 0x0002,
  kMsgPaint = 0x000F,
  kMsgClose = 0x0010,
  kMsgQuit = 0x0012,
  kMsgKeyDown = 0x0100,
  kMsgKeyUp = 0x0101,
  kMsgChar = 0x0102,
  kMsgSysKeyDown = 0x0104,
  kMsgSysKeyUp = 0x0105,
  kMsgMouseMove = 0x0200,
  kMsgLButtonDown = 0x0201,
  kMsgLButtonUp = 0x0202,
  kMsgRButtonDown = 0x0204,
  kMsgRButtonUp = 0x0205,
  kMsgMButtonDown = 0x0207,
  kMsgMButtonUp = 0x0208,
  kMsgXButtonDown = 0x020B,
  kMsgXButtonUp = 0x020C,
};

// Virtual-key codes (Win32 values): every key the library's key map names,
// the mouse buttons and the modifiers the backends track. Digits and
// letters are their ASCII codes ('0' to '9', 'A' to 'Z').
enum : int {
  kVkLButton = 0x01,
  kVkRButton = 0x02,
  kVkMButton = 0x04,
  kVkXButton1 = 0x05,
  kVkXButton2 = 0x06,
  kVkReturn = 0x0D,
  kVkShift = 0x10,
  kVkControl = 0x11,
  kVkMenu = 0x12,  // Alt
  kVkEscape = 0x1B,
  kVkSpace = 0x20,
  kVkLeft = 0x25,
  kVkUp = 0x26,
  kVkRight = 0x27,
  kVkDown = 0x28,
  kVkNumpad0 = 0x60,  // to kVkNumpad0 + 9
  kVkMultiply = 0x6A,
  kVkAdd = 0x6B,
  kVkSubtract = 0x6D,
  kVkDivide = 0x6F,
  kVkF10 = 0x79,
  kVkOem1 = 0xBA,  // ;: on a US keyboard
  kVkOemComma = 0xBC,
  kVkOemMinus = 0xBD,
  kVkOemPeriod = 0xBE,
  kVkOem2 = 0xBF,  // /?
  kVkOem3 = 0xC0,  // `~
  kVkOem4 = 0xDB,  // [{
  kVkOem5 = 0xDC,  // \|
  kVkOem6 = 0xDD,  // ]}
  kVkOem7 = 0xDE,  // '"
  kVkLShift = 0xA0,
  kVkRShift = 0xA1,
  kVkLControl = 0xA2,
  kVkRControl = 0xA3,
  kVkLMenu = 0xA4,
  kVkRMenu = 0xA5,
};

struct Message {
  Window window = nullptr;
  std::uint32_t id = 0;
  std::uintptr_t wParam = 0;  // the virtual-key code of key messages
  std::intptr_t lParam = 0;
};

// The scheduling a process asks for (platform.h's setPriority).
enum class Priority { Normal, High, Realtime };
// "normal", "high", "realtime".
inline const char* priorityName(Priority priority) {
  switch (priority) {
    case Priority::High: return "high";
    case Priority::Realtime: return "realtime";
    case Priority::Normal: break;
  }
  return "normal";
}

// ChangeDisplaySettingsA result codes.
enum : long {
  kDispChangeSuccessful = 0,
  kDispChangeRestart = 1,
  kDispChangeFailed = -1,
  kDispChangeBadMode = -2,
  kDispChangeNotUpdated = -3,
  kDispChangeBadFlags = -4,
  kDispChangeBadParam = -5,
};

struct DisplayMode {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  int frequency = 0;  // Hz
};

struct DisplayDevice {
  char name[64] = {};  // the device (Win32) or output (X11) name
  int width = 0;       // its current mode
  int height = 0;
  // What tells it from a display of the same name and size: where it lies
  // on the desktop ("at 1280,0") and, on X, on which X screen ("X screen 1
  // at 0,0"); empty when the backend cannot say.
  char where[64] = {};
};

}  // namespace platform
}  // namespace Kestravon
