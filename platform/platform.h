// The operations the library needs of the system beneath it, one per Win32
// call they stand for (window system, display, GL context, counter) or C
// runtime call (the run's files, standard streams). Every backend (win32,
// sdl2, headless) implements all of them; the library makes no system call
// of its own. No OS, SDL or EGL type appears here: handles are opaque
// pointers, message identifiers, key codes and result codes carry their
// Win32 values (platform/types.h) so that the library behaves the same on
// every backend. The library's own: not installed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/types.h"

namespace Kestravon {
namespace platform {

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
bool setPriority(Priority priority, std::string& refused);
// What the process runs at now, as the system reports it, in words.
std::string describeScheduling();

// MessageBoxA(no owner, text, caption, MB_OK); returns when the box is closed.
int messageBox(const char* text, const char* caption);

// ---- display mode and windows ---------------------------------------------

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

// ---- the run's files, the standard streams, the process (no Win32 call of its own) ----
//
// The C runtime's calls on every system (open, write, ...). Errors are
// errno values (<cerrno>), as the runtime gives them everywhere.

// A file the library writes (the record, the timing file, an adjustment
// session's results): the runtime's descriptor; -1 is none.
using File = int;

// open(path, O_WRONLY | O_CREAT | O_EXCL): a new file, never an existing
// one; -1, with `error` set, when it cannot be made.
File createNewFile(const char* path, int& error);
// write: the bytes written (fewer than `size` when the disk fills up), or
// -1 with `error` set; an interrupted write is tried again.
// Async-signal-safe.
long writeFile(File file, const char* data, std::size_t size, int& error);
// ftruncate: the file cut back to its first `size` bytes.
void truncateFile(File file, long long size);
void closeFile(File file);
// unlink. Async-signal-safe.
void removeFile(const char* path);
// Both paths name one existing file.
bool sameFile(const char* a, const char* b);
// The path's last name is a device's, not a file's (Windows: CON, NUL,
// COM1, ... in every folder and with any extension; nothing elsewhere).
bool namesDevice(const char* path);
// A write past the process's file-size limit fails (EFBIG) instead of
// raising the signal that would end the process (SIGXFSZ); a handler the
// program set is left alone.
void writeFailuresInsteadOfSignal();

// write(2, ...): no stdio buffer in between. Async-signal-safe.
void writeToStandardError(const char* text, std::size_t size);
// Standard input, output or error closed when the process started reads
// from and writes to the null device instead: otherwise the next file the
// process opens would become one of them.
void keepStandardStreamsOpen();
// Whether standard error reaches anyone: false for a Windows program
// started from the desktop, which has no console.
bool hasStandardError();
// The program's path as it was started (argv[0]); empty when unknown.
std::string programPath();

// ---- the process entry -------------------------------------------------------

// What the process was started with: WinMain's arguments, or main's.
struct ProgramStart {
  Instance instance = nullptr;
  Instance previousInstance = nullptr;
  const char* commandLine = nullptr;  // Windows: one string; null where the arguments come apart
  int argumentCount = 0;              // main's argc and argv otherwise
  char** arguments = nullptr;
  int showCommand = 1;  // SW_SHOWNORMAL: what a program started from a desktop receives
};
// The backend's entry function (main, or WinMain on Windows) calls it and
// returns its status. Defined above the platform, by the library's entry
// archive (library/shell/entry.cpp), which a program links.
int programEntry(const ProgramStart& start);

// ---- an abrupt end (no Win32 call of its own) -------------------------------

// Called once when the process ends by a signal or a lost display (where exit
// handlers do not run), before the desktop is given back.
// The callback must be async-signal-safe. Backends without such ends keep it
// and never call it.
void setAbruptEndCallback(void (*callback)());

}  // namespace platform
}  // namespace Kestravon
