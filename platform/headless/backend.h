// Headless backend: platform.h without a display, for tests, tools and
// benchmarks.
//
// What it implements: Win32's queue, key table, classes and window liveness
// through the shared model (platform/win32_model/), fed from a script the
// caller writes (headless.h); time from a counter the caller sets; every
// call logged with its arguments; display, cursor and window state
// recorded; failures injectable; real OpenGL (Mesa through EGL's
// surfaceless platform) into a canvas-sized pbuffer, a swap copying it
// into the front image, which is what a display would show.
//
// Where it differs from Win32: there is one pixel format; message boxes
// close at once (answering OK); keyboard input goes to the newest open
// canvas; the desktop is a recorded 1280x1024x32 at 60 Hz.
//
// What it cannot do: show anything, pace swaps to a refresh rate, or switch
// a real display mode. Not thread-safe: one thread drives it.
//
// The files: controls.cpp (the script, faults, log and state; the one
// Backend record), egl_frames.cpp (EGL, surfaces, reading frames back),
// operations.cpp (platform.h), files.cpp (the run's files, on
// platform/posix/, with their faults).
#pragma once

#include <EGL/egl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/win32_model/win32_model.h"

namespace Kestravon {
namespace platform {

// A window lives until reset() even after it is destroyed (the model's
// window table owns it), so that handles tests hold stay comparable and
// lastCanvasWindow() can return it.
struct WindowObject {
  std::string className;
  std::string title;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool canvas = false;
  int showCommand = 0;
  int pixelFormat = 0;  // as on Win32, belongs to the window and is set once
  EGLSurface surface = EGL_NO_SURFACE;
};

struct DeviceContextObject {
  Window window = nullptr;
  bool held = true;
};

struct GLContextObject {
  EGLContext context = EGL_NO_CONTEXT;
  bool madeCurrent = false;
};

namespace headless {

constexpr std::int64_t kDefaultFrequency = 10000000;
constexpr int kOnlyPixelFormat = 1;

// Everything the backend holds; reset() replaces it whole.
struct Backend {
  State state;
  Faults faults;
  win32_model::Model model;
  std::int64_t frequency = kDefaultFrequency;
  std::int64_t count = 0;
  std::int64_t ticksPerSwap = 0;
  std::vector<std::unique_ptr<DeviceContextObject>> deviceContexts;
  std::vector<std::unique_ptr<GLContextObject>> contexts;
  Window lastCanvas = nullptr;
  Window listener = nullptr;
  Image front;
  bool recordFrames = false;
  bool presentImages = true;
  std::vector<Image> frames;
  std::function<void(int)> swapHook;
};

Backend& backend();

// ---- controls.cpp: lookups and the call log --------------------------------
void logCall(std::string entry);
std::string text(const char* s);  // "(null)" for null
std::string hex(std::uint32_t value);
// Only handles this backend made and has not freed are dereferenced.
WindowObject* findWindow(Window window);
WindowObject* findLiveWindow(Window window);
DeviceContextObject* findHeldDeviceContext(DeviceContext dc);  // null unless made here and not released
// The live window of a held device context, as every GL operation needs it; null otherwise.
WindowObject* windowOfHeldDeviceContext(DeviceContext dc);
std::size_t findContextIndex(GLContext context);  // contexts.size() when unknown

// ---- egl_frames.cpp -----------------------------------------------------------
EGLDisplay eglDisplay();
EGLConfig eglConfig();
bool eglReady();
// Starts EGL once; a failed start is not retried.
bool startEgl();
void reportEglFailure(const char* what);
bool ensureSurface(WindowObject& window);
void destroySurface(WindowObject& window);
void releaseCurrent();
// The current read surface, top row first (empty without a context).
Image readFramebuffer();
// Every context and surface, before the backend is replaced.
void destroyAllGL();

}  // namespace headless
}  // namespace platform
}  // namespace Kestravon
