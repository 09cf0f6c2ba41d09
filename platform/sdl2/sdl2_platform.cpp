// SDL2 backend of platform.h, for Linux (X11) and other POSIX systems.
//
// Implements every operation with the effect of the Win32 call it stands
// for: one borderless OpenGL window that covers display 0 in the chosen
// mode, one event taken per PeekMessage, Win32 virtual-key codes and a
// key-state table of its own, the counter, and message boxes that fall
// back to standard error.
//
// What it cannot do:
// - Switch the mode on its own: SDL switches when a fullscreen window is
//   shown, so changeDisplayMode only chooses the mode and the switch happens
//   in createCanvasWindow (screenWidth/screenHeight report it in between).
// - Choose a pixel format after the window exists: the GL attributes are
//   fixed when the window is created, so choose/setPixelFormat only check.
// - Survive SIGKILL or a lost X connection with the desktop mode intact;
//   every other exit (return, exit, abort, terminate, fatal and termination
//   signals) puts the desktop mode back and shows the cursor. Children the
//   process forks (SDL's X11 message box) restore nothing and are killed
//   when it ends.
// - Sync to the display where the driver cannot (Xvfb): there swaps are
//   paced to the requested refresh period against the counter instead.

#include "platform/platform.h"

#include <SDL.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <pthread.h>
#include <signal.h>
#include <strings.h>
#include <sys/resource.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/sdl2/key_translation.h"

namespace Kestravon {
namespace platform {

struct WindowObject;

struct DeviceContextObject {
  WindowObject* window = nullptr;
};

struct WindowObject {
  WindowProcedure procedure = nullptr;
  SDL_Window* sdlWindow = nullptr;  // null for the message-only listener
  bool alive = true;
  DeviceContextObject deviceContext;  // one per window, like a class DC
};

struct GLContextObject {
  SDL_GLContext handle = nullptr;
};

namespace {

struct WindowClassEntry {
  std::string name;
  WindowProcedure procedure = nullptr;
};

// Win32 hands out class atoms from 0xC000 upwards.
constexpr std::uint16_t kFirstClassAtom = 0xC000;

bool videoUp = false;
std::vector<WindowClassEntry> windowClasses;
// Destroyed windows stay here marked dead, so that a message still naming
// one is recognised as stale instead of reaching freed memory.
std::vector<std::unique_ptr<WindowObject>> windows;
std::vector<GLContextObject*> liveContexts;
WindowObject* listener = nullptr;
WindowObject* canvas = nullptr;

bool modeChosen = false;
SDL_DisplayMode chosenMode{};
int cursorCount = 0;  // Win32 starts at 0 when a mouse is present

// Win32 keeps one pending quit, not a queue of them.
bool quitPending = false;
int quitExitCode = 0;

unsigned char keyState[256] = {};

// Pacing, in counter units; periodCounts 0 means "do not pace".
double periodCounts = 0.0;
double deadline = 0.0;
// Whether the driver accepted swap interval 1; when it refused, nothing
// syncs and every swap is held to the schedule.
bool driverSyncs = false;

// ---- memory ---------------------------------------------------------------

// The GL and X libraries free and take again buffers of a frame's size
// (megabytes) every frame or two. With glibc's defaults such buffers are
// mapped and unmapped, or the top of the heap is given back to the kernel
// and taken again, so frames spend their time faulting in fresh pages
// (measured under Xvfb: half a million faults a thousand frames, and the
// frame rate halved). Kept in the heap instead, they are reused at no cost;
// the process holds on to its peak heap, a few tens of megabytes.
void keepFreedMemoryMapped() {
#ifdef __GLIBC__
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);  // the largest glibc allows (64-bit)
  mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
#endif
}

// ---- desktop safety -------------------------------------------------------

volatile sig_atomic_t finalRestoreDone = 0;
// A termination request (SIGINT, SIGTERM, ...) is acted on at the next entry
// to or exit from backend code, which every frame passes through: there no
// Xlib or driver lock can be held, whereas the handler may have interrupted
// SDL or the GL driver mid-call. sdlDepth tells whether we are inside.
volatile sig_atomic_t sdlDepth = 0;
volatile sig_atomic_t pendingSignal = 0;
// A program that does not reach backend code soon is restored from SIGALRM.
constexpr unsigned kPendingGraceSeconds = 1;
bool safetyInstalled = false;
// The process whose desktop the handlers give back. SDL shows X11 message
// boxes from a forked child, which inherits the handlers and the parent's
// X connection: requests sent from the child would corrupt the parent's
// connection (its own restore then dies with an X I/O error, status 1), so
// in a child the handlers restore nothing.
pid_t safetyOwner = 0;

bool inForkedChild() { return safetyOwner != 0 && getpid() != safetyOwner; }

constexpr int kAsyncSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kFaultSignals[] = {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL};
struct sigaction previousActions[NSIG];

bool sameSize(const SDL_DisplayMode& a, const SDL_DisplayMode& b) { return a.w == b.w && a.h == b.h; }

bool sameMode(const SDL_DisplayMode& a, const SDL_DisplayMode& b) {
  return sameSize(a, b) && a.format == b.format && a.refresh_rate == b.refresh_rate;
}

bool anyFullscreenWindow() {
  for (const auto& window : windows) {
    if (window->alive && window->sdlWindow != nullptr &&
        (SDL_GetWindowFlags(window->sdlWindow) & SDL_WINDOW_FULLSCREEN) != 0) {
      return true;
    }
  }
  return false;
}

// SDL puts the desktop mode back when its fullscreen window is hidden or
// destroyed. Should its record still show another mode with no fullscreen
// window left, a momentary desktop-fullscreen window makes it restore.
void ensureDesktopMode() {
  SDL_DisplayMode current{};
  SDL_DisplayMode desktop{};
  if (SDL_GetCurrentDisplayMode(0, &current) != 0 || SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
    return;
  }
  if (sameMode(current, desktop) || anyFullscreenWindow()) {
    return;
  }
  SDL_Window* restorer = SDL_CreateWindow("", 0, 0, desktop.w, desktop.h,
                                          SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
  if (restorer != nullptr) {
    SDL_DestroyWindow(restorer);
  }
}

// The last restore before the process ends. Runs once, from the exit
// handler or a signal handler, whichever comes first.
void finalRestore(bool fromSignal) {
  if (finalRestoreDone != 0 || inForkedChild()) {
    return;
  }
  finalRestoreDone = 1;
  if (!videoUp) {
    return;
  }
  // Contexts are left to the process's end: the driver may have run its own
  // exit handlers already, or, after a fault, be what failed.
  if (!fromSignal) {
    SDL_GL_MakeCurrent(nullptr, nullptr);
  }
  // The window procedure is not called: the process is ending and nothing
  // that would read a posted quit will run again.
  for (const auto& window : windows) {
    if (window->alive && window->sdlWindow != nullptr) {
      SDL_DestroyWindow(window->sdlWindow);
      window->sdlWindow = nullptr;
    }
    window->alive = false;
  }
  canvas = nullptr;
  ensureDesktopMode();
  SDL_ShowCursor(SDL_ENABLE);
  cursorCount = 0;
  modeChosen = false;
  SDL_Quit();
  videoUp = false;
}

void restoreAtExit() { finalRestore(false); }

// Restore, then let the signal take its previous course (the default one
// unless someone else had a handler) so the exit status stays conventional.
void finishBySignal(int signalNumber, bool inHandler) {
  // A restore that hangs (a crash inside Xlib can leave its lock held) must
  // not keep the process alive: the default SIGALRM action ends it.
  signal(SIGALRM, SIG_DFL);
  alarm(3);
  finalRestore(inHandler);
  alarm(0);
  sigaction(signalNumber, &previousActions[signalNumber], nullptr);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, signalNumber);
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  raise(signalNumber);
}

void onAlarmWhilePending(int /*signalNumber*/) { finishBySignal(pendingSignal, true); }

void onAsyncSignal(int signalNumber) {
  if (pendingSignal != 0 || inForkedChild()) {
    finishBySignal(signalNumber, true);  // asked a second time: restore now
    return;
  }
  pendingSignal = signalNumber;
  struct sigaction fallback {};
  fallback.sa_handler = onAlarmWhilePending;
  sigemptyset(&fallback.sa_mask);
  fallback.sa_flags = SA_RESETHAND | SA_NODEFER;  // its own hang guard must be able to fire
  sigaction(SIGALRM, &fallback, nullptr);
  alarm(kPendingGraceSeconds);
}

void onFaultSignal(int signalNumber) { finishBySignal(signalNumber, true); }

void finishPendingSignal() {
  if (pendingSignal != 0 && sdlDepth == 0) {
    alarm(0);
    finishBySignal(pendingSignal, false);
  }
}

class SdlSection {
 public:
  SdlSection() {
    finishPendingSignal();
    sdlDepth = sdlDepth + 1;
  }
  ~SdlSection() {
    sdlDepth = sdlDepth - 1;
    finishPendingSignal();
  }
  SdlSection(const SdlSection&) = delete;
  SdlSection& operator=(const SdlSection&) = delete;
};

void installHandler(int signalNumber, void (*handler)(int), int flags) {
  struct sigaction previous {};
  if (sigaction(signalNumber, nullptr, &previous) != 0) {
    return;
  }
  // A signal the caller chose to ignore (nohup, a background job) stays ignored.
  if ((previous.sa_flags & SA_SIGINFO) == 0 && previous.sa_handler == SIG_IGN) {
    return;
  }
  previousActions[signalNumber] = previous;
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = flags;
  sigaction(signalNumber, &action, nullptr);
}

// A forked child (a message box) must not outlive the program: a box left
// on the screen by a program that was terminated would wait there for a
// click nobody expects.
void endWithParent() {
#ifdef __linux__
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != safetyOwner) {
    _exit(1);  // the parent ended before the request took effect
  }
#endif
}

// From the first mode choice or window on, every way out must give the
// desktop back.
void installDesktopSafety() {
  if (safetyInstalled) {
    return;
  }
  safetyInstalled = true;
  safetyOwner = getpid();
  pthread_atfork(nullptr, nullptr, endWithParent);
  std::atexit(restoreAtExit);
  for (int signalNumber : kAsyncSignals) {
    installHandler(signalNumber, onAsyncSignal, SA_RESTART);
  }
  // A second fault while restoring must end the process, not loop.
  for (int signalNumber : kFaultSignals) {
    installHandler(signalNumber, onFaultSignal, SA_RESETHAND | SA_NODEFER);
  }
}

// ---- helpers --------------------------------------------------------------

const WindowClassEntry* findClass(const char* className) {
  if (className == nullptr) {
    return nullptr;
  }
  for (const WindowClassEntry& entry : windowClasses) {
    if (strcasecmp(entry.name.c_str(), className) == 0) {  // Win32 class names ignore case
      return &entry;
    }
  }
  return nullptr;
}

bool isLive(const WindowObject* window) {
  if (window == nullptr) {
    return false;
  }
  for (const auto& owned : windows) {
    if (owned.get() == window) {
      return owned->alive;
    }
  }
  return false;
}

SDL_Window* sdlWindowOf(DeviceContext dc) {
  if (dc == nullptr || !isLive(dc->window)) {
    return nullptr;
  }
  return dc->window->sdlWindow;
}

WindowObject* windowFromId(Uint32 windowId) {
  SDL_Window* sdlWindow = SDL_GetWindowFromID(windowId);
  if (sdlWindow != nullptr) {
    for (const auto& window : windows) {
      if (window->alive && window->sdlWindow == sdlWindow) {
        return window.get();
      }
    }
  }
  return canvas;
}

WindowObject* closeTarget(Uint32 windowId) {
  WindowObject* window = windowFromId(windowId);
  return window != nullptr ? window : listener;
}

void pickNewCanvas() {
  canvas = nullptr;
  for (const auto& window : windows) {
    if (window->alive && window->sdlWindow != nullptr) {
      canvas = window.get();
    }
  }
}

std::intptr_t pointLParam(int x, int y) {
  return static_cast<std::intptr_t>((static_cast<std::uint32_t>(y & 0xFFFF) << 16) |
                                    static_cast<std::uint32_t>(x & 0xFFFF));
}

// ---- key-state table ------------------------------------------------------

void setKey(int virtualKey, bool down) {
  if (virtualKey <= 0 || virtualKey > 255) {
    return;
  }
  unsigned char& entry = keyState[virtualKey];
  if (down) {
    // Bit 0 flips on each press, not on auto-repeat, as GetKeyboardState reports it.
    if ((entry & 0x80) == 0) {
      entry = static_cast<unsigned char>(entry ^ 0x01);
    }
    entry = static_cast<unsigned char>(entry | 0x80);
  } else {
    entry = static_cast<unsigned char>(entry & ~0x80);
  }
}

// Win32 also keeps the left and right modifier codes; the neutral one is
// down while either side is.
int sidedModifier(SDL_Scancode scancode) {
  switch (scancode) {
    case SDL_SCANCODE_LSHIFT: return 0xA0;
    case SDL_SCANCODE_RSHIFT: return 0xA1;
    case SDL_SCANCODE_LCTRL: return 0xA2;
    case SDL_SCANCODE_RCTRL: return 0xA3;
    case SDL_SCANCODE_LALT: return 0xA4;
    case SDL_SCANCODE_RALT: return 0xA5;
    default: return 0;
  }
}

void updateKeyState(SDL_Scancode scancode, int virtualKey, bool down) {
  const int sided = sidedModifier(scancode);
  if (sided == 0) {
    setKey(virtualKey, down);
    return;
  }
  setKey(sided, down);
  const int left = sided - (sided - 0xA0) % 2;
  const bool eitherDown = ((keyState[left] | keyState[left + 1]) & 0x80) != 0;
  setKey(virtualKey, eitherDown);
}

int mouseButtonVirtualKey(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT: return 0x01;
    case SDL_BUTTON_RIGHT: return 0x02;
    case SDL_BUTTON_MIDDLE: return 0x04;
    case SDL_BUTTON_X1: return 0x05;
    case SDL_BUTTON_X2: return 0x06;
    default: return 0;
  }
}

Message translateEvent(const SDL_Event& event) {
  Message message;
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const bool down = event.type == SDL_KEYDOWN;
      const int virtualKey = sdl2::virtualKeyFromKey(event.key.keysym.scancode, event.key.keysym.sym);
      updateKeyState(event.key.keysym.scancode, virtualKey, down);
      message.window = windowFromId(event.key.windowID);
      message.id = down ? kMsgKeyDown : kMsgKeyUp;
      message.wParam = static_cast<std::uintptr_t>(virtualKey);
      // Repeat count 1; bit 30 = key was down before, bit 31 = being released.
      std::uint32_t flags = 1;
      if (!down || event.key.repeat != 0) {
        flags |= 1U << 30;
      }
      if (!down) {
        flags |= 1U << 31;
      }
      message.lParam = static_cast<std::intptr_t>(flags);
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const bool down = event.type == SDL_MOUSEBUTTONDOWN;
      const int virtualKey = mouseButtonVirtualKey(event.button.button);
      setKey(virtualKey, down);
      message.window = windowFromId(event.button.windowID);
      if (virtualKey == 0x01) {
        message.id = down ? kMsgLButtonDown : kMsgLButtonUp;
        message.wParam = 0x01;
      }
      message.lParam = pointLParam(event.button.x, event.button.y);
      break;
    }
    case SDL_MOUSEMOTION:
      message.window = windowFromId(event.motion.windowID);
      message.id = kMsgMouseMove;
      message.lParam = pointLParam(event.motion.x, event.motion.y);
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
        message.window = closeTarget(event.window.windowID);
        message.id = kMsgClose;
      } else {
        message.window = windowFromId(event.window.windowID);
        message.id = event.window.event == SDL_WINDOWEVENT_EXPOSED ? std::uint32_t{kMsgPaint} : 0U;
      }
      break;
    case SDL_QUIT:
      message.window = closeTarget(0);
      message.id = kMsgClose;
      break;
    default:
      // Not addressed to a window: dispatching it does nothing, like a thread message.
      break;
  }
  return message;
}

// ---- pacing ---------------------------------------------------------------

// With a driver that syncs, a swap within this much of the deadline counts
// as on time and the schedule follows the swap itself, so a display a hair
// faster or slower than requested is never held back (which would drop a
// frame now and then). Without sync, a swap before the deadline always
// waits for it: the schedule alone sets the rate.
constexpr double kOnTimeFraction = 1.0 / 16.0;
// A sleep may end late by up to a scheduler tick, so it ends this long
// before the deadline and the counter is watched for the rest.
constexpr double kSpinSeconds = 0.0015;

void waitUntil(double target) {
  const double frequency = static_cast<double>(SDL_GetPerformanceFrequency());
  const double wakeAt = target - kSpinSeconds * frequency;
  for (;;) {
    const double now = static_cast<double>(SDL_GetPerformanceCounter());
    if (now >= target) {
      return;
    }
    if (now < wakeAt) {
      std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>((wakeAt - now) / frequency * 1e6)));
    }
  }
}

void paceSwap() {
  if (periodCounts <= 0.0) {
    return;
  }
  const double now = static_cast<double>(SDL_GetPerformanceCounter());
  if (deadline == 0.0) {
    deadline = now + periodCounts;
    return;
  }
  const double early = deadline - now;
  const double onTime = driverSyncs ? periodCounts * kOnTimeFraction : 0.0;
  if (early > onTime) {
    waitUntil(deadline);
    deadline += periodCounts;
  } else if (early >= -onTime) {
    deadline = now + periodCounts;
  } else if (-early <= periodCounts) {
    deadline += periodCounts;  // a little late: keep the schedule so the average rate holds
  } else {
    deadline = now + periodCounts;  // a stall: start afresh rather than rush to catch up
  }
}

// KESTRAVON_UNPACED=1 in the environment switches pacing off, so that a
// benchmark sees what a frame costs rather than the refresh period; a
// driver that syncs still syncs.
bool unpaced() {
  const char* value = std::getenv("KESTRAVON_UNPACED");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

void setPacingPeriod(int requestedHz, int modeHz) {
  const int hz = requestedHz > 1 ? requestedHz : modeHz;
  periodCounts = hz > 0 && !unpaced() ? static_cast<double>(SDL_GetPerformanceFrequency()) / hz : 0.0;
  deadline = 0.0;
}

bool depthMatches(int requested, int reported) {
  if (requested <= 0) {
    return true;
  }
  // SDL reports 32-bit RGB888 as 24 bits.
  if (requested == 32) {
    return reported == 24 || reported == 32;
  }
  return requested == reported;
}

// The mode the screen has, as GetSystemMetrics reports it: the chosen one
// from the mode change on (SDL switches when the canvas shows), else the
// desktop's; 0 x 0 without a display.
SDL_DisplayMode screenMode() {
  if (modeChosen) {
    return chosenMode;
  }
  SDL_DisplayMode desktop{};
  if (!videoUp || SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
    return SDL_DisplayMode{};
  }
  return desktop;
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

}  // namespace

// ---- start-up -------------------------------------------------------------

std::uint16_t registerWindowClass(const WindowClass& windowClass) {
  if (windowClass.className == nullptr || findClass(windowClass.className) != nullptr) {
    return 0;  // as RegisterClassExA: no name, or already registered
  }
  if (!videoUp) {
    SdlSection section;
    // The backend installs its own handlers (restore first); SDL's would
    // turn Ctrl-C into a quit event the library ignores.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // One close request should be one close message, not close plus quit.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // A stimulus keeps its screen when a notification takes the focus.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // Real mode switches, which SDL undoes when its fullscreen window goes.
    SDL_SetHint(SDL_HINT_VIDEO_X11_XRANDR, "1");
    keepFreedMemoryMapped();
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
      return 0;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
        SDL_GetNumVideoDisplays() < 1) {
      SDL_Quit();  // no display: an invisible run would look like success
      return 0;
    }
    videoUp = true;
    SDL_StopTextInput();
    SDL_EventState(SDL_TEXTINPUT, SDL_IGNORE);
    SDL_EventState(SDL_TEXTEDITING, SDL_IGNORE);
  }
  windowClasses.push_back({windowClass.className, windowClass.procedure});
  return static_cast<std::uint16_t>(kFirstClassAtom + windowClasses.size() - 1);
}

Window createMessageWindow(const char* className, const char* /*title*/, Instance /*instance*/) {
  const WindowClassEntry* entry = findClass(className);
  if (entry == nullptr) {
    return nullptr;
  }
  windows.push_back(std::make_unique<WindowObject>());
  WindowObject* window = windows.back().get();
  window->procedure = entry->procedure;
  window->deviceContext.window = window;
  if (listener == nullptr) {
    listener = window;
  }
  return window;
}

void setNormalPriority() {
  // NORMAL_PRIORITY_CLASS is nice 0; raising priority back needs privilege,
  // so a failure just leaves the process where it was, as the caller accepts.
  setpriority(PRIO_PROCESS, 0, 0);
}

int messageBox(const char* text, const char* caption) {
  const char* safeText = text != nullptr ? text : "";
  const char* safeCaption = caption != nullptr ? caption : "";
  // A canvas still up (a failure after it opened) is fullscreen and on top:
  // made the box's parent, window managers stack the box above it.
  SDL_Window* parent = videoUp && canvas != nullptr ? canvas->sdlWindow : nullptr;
  // A termination signal taken while the box waits for its click ends the
  // process, restored, as soon as the box returns (or from the fallback alarm).
  SdlSection section;
  // Works without SDL_Init; fails with no display or no fonts, and the
  // text must never be lost.
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, safeCaption, safeText, parent) != 0) {
    std::fprintf(stderr, "%s: %s\n", safeCaption, safeText);
    std::fflush(stderr);
  }
  return 1;  // IDOK
}

// ---- display mode and windows ---------------------------------------------

long changeDisplayMode(const DisplayMode& mode) {
  if (!videoUp) {
    return kDispChangeFailed;
  }
  SdlSection section;
  const int count = SDL_GetNumDisplayModes(0);
  if (count < 1) {
    return kDispChangeFailed;
  }
  bool found = false;
  SDL_DisplayMode match{};
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode candidate{};
    if (SDL_GetDisplayMode(0, i, &candidate) != 0 || candidate.w != mode.width || candidate.h != mode.height ||
        !depthMatches(mode.bitsPerPixel, static_cast<int>(SDL_BITSPERPIXEL(candidate.format)))) {
      continue;
    }
    if (mode.frequency <= 1 || candidate.refresh_rate == mode.frequency) {
      match = candidate;
      found = true;
      break;
    }
    // An unknown rate may be the asked one; keep looking for a known match.
    if (candidate.refresh_rate == 0 && !found) {
      match = candidate;
      found = true;
    }
  }
  if (!found) {
    return kDispChangeBadMode;  // never run silently at another size
  }
  installDesktopSafety();
  chosenMode = match;
  modeChosen = true;
  setPacingPeriod(mode.frequency, match.refresh_rate);
  if (canvas != nullptr) {
    // A window already up takes the new mode at once.
    if (SDL_SetWindowDisplayMode(canvas->sdlWindow, &chosenMode) != 0 ||
        SDL_SetWindowFullscreen(canvas->sdlWindow, SDL_WINDOW_FULLSCREEN) != 0) {
      return kDispChangeFailed;
    }
  }
  return kDispChangeSuccessful;
}

void restoreDisplayMode() {
  modeChosen = false;
  deadline = 0.0;
  if (!videoUp) {
    return;
  }
  SdlSection section;
  if (canvas != nullptr && (SDL_GetWindowFlags(canvas->sdlWindow) & SDL_WINDOW_FULLSCREEN) != 0) {
    SDL_SetWindowFullscreen(canvas->sdlWindow, 0);
  }
  ensureDesktopMode();
}

int showCursor(bool show) {
  cursorCount += show ? 1 : -1;
  if (videoUp) {
    SdlSection section;
    SDL_ShowCursor(cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
  }
  return cursorCount;
}

int screenWidth() { return screenMode().w; }
int screenHeight() { return screenMode().h; }

Window createCanvasWindow(const char* className, const char* title, int x, int y, int width, int height,
                          Instance /*instance*/) {
  const WindowClassEntry* entry = findClass(className);
  if (!videoUp || entry == nullptr) {
    return nullptr;
  }
  SdlSection section;
  // The visual, and so the pixel format, is fixed when the window is made.
  setGLAttributes();

  const char* windowTitle = title != nullptr ? title : "";
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP;
  int expectedWidth = width;
  int expectedHeight = height;
  SDL_Window* sdlWindow = nullptr;
  if (modeChosen) {
    SDL_DisplayMode desktop{};
    const bool isDesktopMode = SDL_GetDesktopDisplayMode(0, &desktop) == 0 && sameMode(desktop, chosenMode);
    // Already the desktop's mode: cover the screen without touching the mode at all.
    flags |= isDesktopMode ? SDL_WINDOW_FULLSCREEN_DESKTOP : SDL_WINDOW_FULLSCREEN;
    expectedWidth = chosenMode.w;
    expectedHeight = chosenMode.h;
    // At the display's corner: without a window manager nobody else moves
    // a fullscreen window there, and a centred one would miss the screen.
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(0, &bounds) != 0) {
      return nullptr;
    }
    // Hidden first, so the mode is set before showing performs the switch.
    sdlWindow = SDL_CreateWindow(windowTitle, bounds.x, bounds.y, chosenMode.w, chosenMode.h, flags | SDL_WINDOW_HIDDEN);
    if (sdlWindow == nullptr) {
      return nullptr;
    }
    if (SDL_SetWindowDisplayMode(sdlWindow, &chosenMode) != 0) {
      SDL_DestroyWindow(sdlWindow);
      return nullptr;
    }
    SDL_ShowWindow(sdlWindow);
  } else {
    sdlWindow = SDL_CreateWindow(windowTitle, x, y, width, height, flags);
    if (sdlWindow == nullptr) {
      return nullptr;
    }
  }

  // Never run at another size than the one the stimulus was designed for.
  int drawableWidth = 0;
  int drawableHeight = 0;
  SDL_GL_GetDrawableSize(sdlWindow, &drawableWidth, &drawableHeight);
  bool sizeRight = drawableWidth == expectedWidth && drawableHeight == expectedHeight;
  if (modeChosen) {
    SDL_DisplayMode current{};
    sizeRight = sizeRight && SDL_GetCurrentDisplayMode(0, &current) == 0 && sameSize(current, chosenMode);
  }
  if (!sizeRight) {
    SDL_DestroyWindow(sdlWindow);
    ensureDesktopMode();
    return nullptr;
  }

  installDesktopSafety();
  // A cursor hidden before the window existed must be hidden over it too.
  // SDL_ShowCursor does nothing when its state does not change, and SDL
  // would apply it to the new window only at the pointer's first event, so
  // the cursor showed over the canvas until then; SDL_SetCursor(NULL)
  // applies the state to every window now.
  SDL_ShowCursor(cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
  SDL_SetCursor(nullptr);
  windows.push_back(std::make_unique<WindowObject>());
  WindowObject* window = windows.back().get();
  window->procedure = entry->procedure;
  window->sdlWindow = sdlWindow;
  window->deviceContext.window = window;
  canvas = window;
  deadline = 0.0;
  return window;
}

void bringWindowToTop(Window window) {
  if (isLive(window) && window->sdlWindow != nullptr) {
    SdlSection section;
    SDL_RaiseWindow(window->sdlWindow);
  }
}

void showWindow(Window window, int showCommand) {
  if (!isLive(window) || window->sdlWindow == nullptr) {
    return;
  }
  SdlSection section;
  // SW_HIDE hides; every other command shows the canvas as it is (it is
  // already the size of the screen, so there is nothing to maximise or restore).
  if (showCommand == 0) {
    SDL_HideWindow(window->sdlWindow);
  } else {
    SDL_ShowWindow(window->sdlWindow);
  }
}

void destroyWindow(Window window) {
  if (!isLive(window)) {
    return;
  }
  // Marked dead first so that a procedure destroying it again does nothing.
  window->alive = false;
  if (window->procedure != nullptr) {
    window->procedure(window, kMsgDestroy, 0, 0);  // synchronously, as DestroyWindow sends WM_DESTROY
  }
  if (window->sdlWindow != nullptr) {
    SdlSection section;
    SDL_DestroyWindow(window->sdlWindow);  // leaves fullscreen: SDL puts the desktop mode back
    window->sdlWindow = nullptr;
  }
  if (window == listener) {
    listener = nullptr;
  }
  if (window == canvas) {
    pickNewCanvas();
    deadline = 0.0;
  }
}

// ---- pixel format and rendering context -----------------------------------

DeviceContext getDeviceContext(Window window) {
  return isLive(window) ? &window->deviceContext : nullptr;
}

void releaseDeviceContext(Window /*window*/, DeviceContext /*dc*/) {
  // The context belongs to its window and goes with it; nothing to release.
}

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
  SDL_Window* sdlWindow = sdlWindowOf(dc);
  if (sdlWindow == nullptr) {
    return nullptr;
  }
  SdlSection section;
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
  driverSyncs = SDL_GL_SetSwapInterval(1) == 0;
  SDL_GL_MakeCurrent(previousWindow, previousContext);
  auto* context = new GLContextObject;
  context->handle = handle;
  liveContexts.push_back(context);
  return context;
}

bool makeCurrent(DeviceContext dc, GLContext context) {
  if (!videoUp) {
    return false;
  }
  SdlSection section;
  if (context == nullptr) {
    return SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
  }
  SDL_Window* sdlWindow = sdlWindowOf(dc);
  if (sdlWindow == nullptr) {
    return false;
  }
  return SDL_GL_MakeCurrent(sdlWindow, context->handle) == 0;
}

void deleteGLContext(GLContext context) {
  if (context == nullptr) {
    return;
  }
  for (auto it = liveContexts.begin(); it != liveContexts.end(); ++it) {
    if (*it == context) {
      liveContexts.erase(it);
      if (videoUp) {
        SdlSection section;
        SDL_GL_DeleteContext(context->handle);
      }
      delete context;
      return;
    }
  }
}

bool swapBuffers(DeviceContext dc) {
  SDL_Window* sdlWindow = sdlWindowOf(dc);
  if (sdlWindow == nullptr) {
    return false;
  }
  SdlSection section;
  // Without a driver that syncs, the finished frame waits for its moment
  // and is then swapped, as at a retrace: the swaps follow the schedule,
  // however long each frame took to draw. With one, the swap itself waits
  // and pacing only holds back swaps that came back early.
  if (!driverSyncs) {
    paceSwap();
  }
  SDL_GL_SwapWindow(sdlWindow);
  if (driverSyncs) {
    paceSwap();
  }
  return true;
}

// ---- messages and keyboard ------------------------------------------------

bool peekMessage(Message& message) {
  if (quitPending) {
    quitPending = false;
    message = Message{};
    message.id = kMsgQuit;
    message.wParam = static_cast<std::uintptr_t>(quitExitCode);
    return true;
  }
  if (!videoUp) {
    return false;
  }
  SdlSection section;
  // Exactly one event per call, so that the key table moves with the
  // messages taken and not with what SDL has already read from the server.
  SDL_Event event;
  if (SDL_PollEvent(&event) == 0) {
    return false;
  }
  message = translateEvent(event);
  return true;
}

void translateMessage(const Message& /*message*/) {
  // Character messages are never used by the library, and text input is
  // switched off; there is nothing to translate.
}

std::intptr_t dispatchMessage(const Message& message) {
  // Quit and other windowless messages reach no procedure, as on Win32.
  if (!isLive(message.window) || message.window->procedure == nullptr) {
    return 0;
  }
  return message.window->procedure(message.window, message.id, message.wParam, message.lParam);
}

void postQuitMessage(int exitCode) {
  quitPending = true;
  quitExitCode = exitCode;
}

std::intptr_t defaultWindowProcedure(Window /*window*/, std::uint32_t /*message*/, std::uintptr_t /*wParam*/,
                                     std::intptr_t /*lParam*/) {
  return 0;
}

void getKeyboardState(unsigned char state[256]) { std::memcpy(state, keyState, sizeof keyState); }

// ---- performance counter --------------------------------------------------

bool queryPerformanceFrequency(std::int64_t& frequency) {
  frequency = static_cast<std::int64_t>(SDL_GetPerformanceFrequency());
  return frequency > 0;
}

void queryPerformanceCounter(std::int64_t& count) { count = static_cast<std::int64_t>(SDL_GetPerformanceCounter()); }

}  // namespace platform
}  // namespace Kestravon
