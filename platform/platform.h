// The window-system operations the library needs, one per Win32 call they
// stand for. Every backend (win32, sdl2, headless) implements all of them.
// No OS, SDL or EGL type appears here: handles are opaque pointers, message
// identifiers, key codes and result codes carry their Win32 values so that
// the library behaves the same on every backend.
#pragma once

#include <cstdint>
#include <string>

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

using WindowProcedure = std::intptr_t (*)(Window window, std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam);

// ---- start-up -------------------------------------------------------------

struct WindowClass {
  const char* className = nullptr;
  const char* menuName = nullptr;
  WindowProcedure procedure = nullptr;
  Instance instance = nullptr;
};

// RegisterClassExA: the class atom, 0 on failure.
std::uint16_t registerWindowClass(const WindowClass& windowClass);
// CreateWindowExA with HWND_MESSAGE as parent: null on failure.
Window createMessageWindow(const char* className, const char* title, Instance instance);
// SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS).
void setNormalPriority();

// Scheduling for the frames to come (beyond the one SetPriorityClass call
// start-up makes). Normal: as setNormalPriority. High: a raised priority
// (Windows HIGH_PRIORITY_CLASS; POSIX nice -10). Realtime: Windows
// HIGH_PRIORITY_CLASS with THREAD_PRIORITY_TIME_CRITICAL for the calling
// thread and a 1 ms timer; Linux SCHED_FIFO at a moderate priority for the
// calling thread (threads it starts later inherit it), all memory locked,
// now and as it is mapped, and the smallest timer slack. True when all of
// it was granted; otherwise false, `refused` saying what the system refused
// and how to allow it, and the process keeps what it got.
enum class Priority { Normal, High, Realtime };
bool setPriority(Priority priority, std::string& refused);
// "normal", "high", "realtime".
inline const char* priorityName(Priority priority) {
  switch (priority) {
    case Priority::High: return "high";
    case Priority::Realtime: return "realtime";
    case Priority::Normal: break;
  }
  return "normal";
}
// What the process runs at now, as the system reports it, in words.
std::string describeScheduling();

// MessageBoxA(no owner, text, caption, MB_OK); returns when the box is closed.
int messageBox(const char* text, const char* caption);

// ---- display mode and windows ---------------------------------------------

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

// ChangeDisplaySettingsA(mode, CDS_FULLSCREEN).
long changeDisplayMode(const DisplayMode& mode);
// ChangeDisplaySettingsA(NULL, 0): back to the desktop's own mode.
void restoreDisplayMode();
// ShowCursor: the new display count.
int showCursor(bool show);
// GetSystemMetrics(SM_CXSCREEN / SM_CYSCREEN).
int screenWidth();
int screenHeight();

// CreateWindowExA(WS_EX_APPWINDOW | WS_EX_TOPMOST, className, title, WS_POPUP, ...): null on failure.
Window createCanvasWindow(const char* className, const char* title, int x, int y, int width, int height,
                          Instance instance);
void bringWindowToTop(Window window);
void showWindow(Window window, int showCommand);
// DestroyWindow: the class's window procedure receives kMsgDestroy before it returns.
void destroyWindow(Window window);

// ---- the subject's display and its look-up table ---------------------------

struct DisplayDevice {
  char name[64] = {};  // the device (Win32) or output (X11) name
  int width = 0;       // its current mode
  int height = 0;
  // What tells it from a display of the same name and size: where it lies
  // on the desktop ("at 1280,0") and, on X, on which X screen ("X screen 1
  // at 0,0"); empty when the backend cannot say.
  char where[64] = {};
};

// EnumDisplayDevicesA(NULL, index) of an attached display, with its
// current size (EnumDisplaySettingsA): false when there is no such display.
bool enumDisplayDevice(int index, DisplayDevice& device);
// The display that changeDisplayMode, restoreDisplayMode, screenWidth,
// screenHeight and createCanvasWindow concern from now on (0 until chosen);
// every other display is left alone. Call it before the mode change.
void selectDisplay(int index);

// The hardware look-up table of the display a device context draws on:
// its entries per channel (0 when it has none that can be set).
int gammaRampSize(DeviceContext dc);
// GetDeviceGammaRamp: 3 * gammaRampSize entries, red, then green, then blue.
bool getDeviceGammaRamp(DeviceContext dc, std::uint16_t* ramp);
// SetDeviceGammaRamp, the same layout. The first one keeps the display's own
// table, which the backend puts back on every exit that gives the display
// mode back.
bool setDeviceGammaRamp(DeviceContext dc, const std::uint16_t* ramp);
// Puts the display's own table back (nothing when none was set).
void restoreDeviceGammaRamp();

// ---- pixel format and rendering context -----------------------------------

// PIXELFORMATDESCRIPTOR members the library sets; all others are zero.
struct PixelFormatDescriptor {
  std::uint16_t size = 40;
  std::uint16_t version = 1;
  std::uint32_t flags = 0;
  std::uint8_t pixelType = 0;  // 0 = PFD_TYPE_RGBA
  std::uint8_t colorBits = 0;
  std::uint8_t depthBits = 0;
  std::uint8_t auxBuffers = 0;
  std::uint8_t layerType = 0;  // 0 = PFD_MAIN_PLANE
};

enum : std::uint32_t {
  kPfdDoubleBuffer = 0x0001,
  kPfdDrawToWindow = 0x0004,
  kPfdDrawToBitmap = 0x0008,
  kPfdSupportOpenGL = 0x0020,
  kPfdGenericAccelerated = 0x1000,
  kPfdSwapCopy = 0x0400,
};

DeviceContext getDeviceContext(Window window);
void releaseDeviceContext(Window window, DeviceContext dc);
// ChoosePixelFormat: a format index, 0 when none fits.
int choosePixelFormat(DeviceContext dc, const PixelFormatDescriptor& descriptor);
bool setPixelFormat(DeviceContext dc, int format, const PixelFormatDescriptor& descriptor);
GLContext createGLContext(DeviceContext dc);
// wglMakeCurrent; (nullptr, nullptr) detaches the current context.
bool makeCurrent(DeviceContext dc, GLContext context);
void deleteGLContext(GLContext context);
bool swapBuffers(DeviceContext dc);

// ---- messages and keyboard ------------------------------------------------

// PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE): true when a message was taken.
bool peekMessage(Message& message);
void translateMessage(const Message& message);
std::intptr_t dispatchMessage(const Message& message);
void postQuitMessage(int exitCode);
std::intptr_t defaultWindowProcedure(Window window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
// GetKeyboardState: 256 bytes indexed by virtual-key code, bit 7 = down.
void getKeyboardState(unsigned char state[256]);

// ---- what the display runs at (for the session record; no Win32 call of its own) ----

enum class SwapSync {
  ByDriver,        // the driver holds each swap to the display's refresh
  ByBackend,       // the backend holds each swap to the requested period (no driver sync)
  Unsynchronised,  // nothing holds swaps back (offscreen, or pacing switched off)
};

// The display's current mode (EnumDisplaySettings with ENUM_CURRENT_SETTINGS;
// frequency 0 when unknown), and how swaps are synchronised.
SwapSync describeDisplay(DisplayMode& current);

// How that was found out. A driver that accepts a swap interval of 1 may
// still not wait for the display, so where one claims to, the backend swaps
// a few blank frames when the canvas is shown and times them; where they
// do not wait, it paces the swaps itself (SwapSync::ByBackend).
struct SwapCheck {
  bool intervalAsked = false;     // a swap interval of 1 was asked of the driver
  bool intervalAccepted = false;  // and the driver accepted it
  int testSwaps = 0;              // blank frames swapped and timed (0: none)
  double testSwapMs = 0.0;        // their mean interval, in milliseconds
};
SwapCheck describeSwapCheck();

// When a swap's frame went up, where the driver reports it: on Linux with
// GLX, the OML sync-control extension's counters. The name of what
// reports it ("GLX_OML_sync_control"), or null where nothing does (the
// caller then takes the time the swap returned, an upper bound).
const char* swapCompletionSource(DeviceContext dc);
// After swapBuffers: when that swap completed, in milliseconds on the
// driver's own clock (only differences mean anything); false when it
// cannot be had.
bool swapCompletedAt(DeviceContext dc, double& milliseconds);

// ---- performance counter --------------------------------------------------

// QueryPerformanceFrequency: false (and 0) when there is no counter.
bool queryPerformanceFrequency(std::int64_t& frequency);
void queryPerformanceCounter(std::int64_t& count);

// ---- an abrupt end (no Win32 call of its own) -------------------------------

// Called once when the process ends by a signal or a lost display (where exit
// handlers do not run), before the desktop is given back.
// The callback must be async-signal-safe. Backends without such ends keep it
// and never call it.
void setAbruptEndCallback(void (*callback)());

}  // namespace platform
}  // namespace Kestravon
