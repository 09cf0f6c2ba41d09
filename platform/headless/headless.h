// Control surface of the headless backend, for tests, tools and benchmarks.
// The backend implements platform.h without a display: a scripted message
// queue, a key-state table that changes when a key message is taken (as on
// Win32), a counter the caller sets, recorded display/cursor/window state,
// captured message boxes, injectable failures, an ordered call log, and a
// real OpenGL context (Mesa, EGL surfaceless) whose swaps copy the back
// buffer into a readable front image.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "../types.h"

namespace Kestravon {
namespace platform {
namespace headless {

// Pixels as the display would show them: row 0 is the top row of the screen.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;  // width * height * 4 bytes, top row first

  std::uint32_t pixel(int x, int y) const;  // 0xRRGGBBAA
  std::uint32_t rgb(int x, int y) const;    // 0xRRGGBB
};

// Failures the next calls will produce (each stays in force until reset()).
struct Faults {
  bool registerWindowClass = false;  // atom 0
  bool createMessageWindow = false;  // null listener
  long displayChangeResult = kDispChangeSuccessful;
  bool setDeviceGammaRamp = false;  // refused
  // setDeviceGammaRamp answers true but the table stays as it was (a
  // driver that reverts it), so it does not read back.
  bool gammaRampIgnored = false;
  // Every swap puts the display's own table back (a driver or desktop
  // tool that reverts it after a few frames).
  bool gammaRampRevertsAtSwap = false;
  bool createCanvasWindow = false;  // null window
  bool choosePixelFormat = false;   // format 0
  bool setPixelFormat = false;      // refused
  bool createGLContext = false;     // null context
  bool makeCurrent = false;         // refused (only for a non-null context)
  // makeCurrent of a non-null context answers true but binds nothing, so
  // the GL calls that follow act on no context (glGenLists returns 0).
  bool contextNotCurrent = false;
  // setPriority refuses anything above Normal (as a system without the
  // privilege does) and leaves the priority where it was.
  bool priorityRefused = false;
  // The run's files (the record, the timing file, results; real files):
  // the disk is full once this many bytes have been written to them in
  // all (a write takes what fits, the next fails with ENOSPC); -1: never.
  long long diskFullAfterBytes = -1;
  // No file grows past this many bytes: the write that would fails with
  // EFBIG, as under a file-size limit; -1: no limit.
  long long fileSizeLimitBytes = -1;
  // Every write takes at most half of what it is given (at least a byte).
  bool shortWrites = false;
};

struct MessageBoxRecord {
  std::string text;
  std::string caption;
};

// Everything the backend has recorded.
struct State {
  DisplayMode desktopMode{1280, 1024, 32, 60};
  DisplayMode currentMode{1280, 1024, 32, 60};
  bool displayModeChanged = false;
  // Display 0 is the desktop above ("HEADLESS0"); addDisplay adds more.
  std::vector<DisplayDevice> moreDisplays;
  int selectedDisplay = 0;
  // The look-up table of the display: entries per channel (0: it has
  // none), and what it holds (red, green, blue; empty means the identity,
  // the display's own table); whether a set table is owed back.
  int gammaRampSize = 256;
  std::vector<std::uint16_t> gammaRamp;
  bool gammaRampOwed = false;
  int cursorCount = 0;   // ShowCursor display count; 0 = shown, -1 = hidden once
  int windowsAlive = 0;  // canvas and listener windows not yet destroyed
  int canvasWindowsAlive = 0;
  int deviceContextsHeld = 0;
  int contextsAlive = 0;
  bool contextCurrent = false;
  bool quitPosted = false;
  int quitCount = 0;
  int swapCount = 0;
  int dispatchedCount = 0;
  int translatedCount = 0;
  Priority priority = Priority::Normal;  // what setPriority obtained (the process's own is never changed)
  std::vector<MessageBoxRecord> messageBoxes;
  // A driver that reports when each swap completed: the counter at the
  // swap, plus this latency, in milliseconds (off: it reports nothing).
  bool reportsSwapCompletion = false;
  double swapCompletionLatencyMs = 0.0;
  double lastSwapCompletedMs = 0.0;
  // Standard error reaches no one (a Windows program started from the
  // desktop): a refused command line is shown in a message box too.
  bool noStandardError = false;
  long long bytesWritten = 0;    // to the run's files, for diskFullAfterBytes
  std::vector<std::string> log;  // "operation arg arg ..." in call order
};

// Back to a fresh process: empty queue, all keys up, counter 0 at
// 10,000,000 ticks per second, desktop 1280x1024x32 at 60 Hz, no faults,
// empty log, frames not recorded, no swap hook. Any GL context is destroyed.
void reset();

State& state();
Faults& faults();

// One more display after those there are, enumDisplayDevice reports it.
void addDisplay(const char* name, int width, int height);
// What the display's look-up table holds now (3 * gammaRampSize entries;
// the identity until a table is set).
std::vector<std::uint16_t> gammaRamp();

// Message queue, taken in order by peekMessage.
void pushMessage(const Message& message);
void pushKeyDown(int virtualKey);
void pushKeyUp(int virtualKey);
void pushClose(Window window);  // WM_CLOSE to a window
void pushQuit();                // WM_QUIT (no window)
void pushOther(std::uint32_t id, Window window = nullptr);
std::size_t pendingMessages();

// Changes a key's state without any message (as if it changed while no
// message reached the program); the next getKeyboardState shows it.
void setKeyDown(int virtualKey, bool down);

// Performance counter.
void setFrequency(std::int64_t ticksPerSecond);
void setCounter(std::int64_t value);
void advanceCounter(std::int64_t ticks);
std::int64_t counter();
// Ticks the counter moves at every swap (0 by default).
void setTicksPerSwap(std::int64_t ticks);

// Windows the backend has created, in creation order (destroyed ones included).
Window lastCanvasWindow();
Window listenerWindow();

// Frames. The front image is what the last swap presented; the back image
// is read from the current framebuffer now.
Image frontImage();
Image backImage();
void setRecordFrames(bool record);
// Whether a swap reads the frame back into the front image (on after
// reset()). Runs that never look at pixels switch it off: the read-back is
// most of what a swap costs. Off, the front image keeps the last frame read.
void setPresentImages(bool present);
const std::vector<Image>& presentedFrames();
void clearPresentedFrames();

// Writes an image as an 8-bit RGB PNG file; false when it cannot.
bool writePng(const Image& image, const std::string& path);

// Called at the end of every swapBuffers with the 1-based swap number;
// tests use it to look at frames and push input between frames.
void setSwapHook(std::function<void(int swapNumber)> hook);

}  // namespace headless
}  // namespace platform
}  // namespace Kestravon
