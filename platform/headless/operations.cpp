// The headless backend's platform.h: each operation recorded in the call
// log, its failure injectable, its effect kept in the Backend record; the
// queue, key table, classes and window liveness are the shared Win32 model.
#include <EGL/egl.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/headless/backend.h"

namespace Kestravon {
namespace platform {

using headless::backend;
using headless::logCall;
using headless::text;

std::uint16_t registerWindowClass(const WindowClass& windowClass) {
  logCall("registerWindowClass " + text(windowClass.className) + " " + text(windowClass.menuName));
  if (backend().faults.registerWindowClass) return 0;
  return backend().model.classes.add(windowClass);
}

namespace {

Window createWindow(const char* className, const char* title, int x, int y, int width, int height, bool canvas) {
  auto& b = backend();
  // Win32 cannot create a window of a class nobody registered.
  const win32_model::WindowClassEntry* windowClass = b.model.classes.find(className);
  if (windowClass == nullptr) return nullptr;
  auto window = std::make_unique<WindowObject>();
  window->className = windowClass->name;
  window->title = text(title);
  window->x = x;
  window->y = y;
  window->width = width;
  window->height = height;
  window->canvas = canvas;
  using Kind = win32_model::WindowTable::Kind;
  Window handle =
      b.model.windows.add(std::move(window), windowClass->procedure, canvas ? Kind::TopLevel : Kind::MessageOnly);
  ++b.state.windowsAlive;
  if (canvas) {
    ++b.state.canvasWindowsAlive;
    b.lastCanvas = handle;
  } else {
    b.listener = handle;
  }
  return handle;
}

}  // namespace

Window createMessageWindow(const char* className, const char* title, Instance) {
  logCall("createMessageWindow " + text(className) + " " + text(title));
  if (backend().faults.createMessageWindow) return nullptr;
  return createWindow(className, title, 0, 0, 0, 0, false);
}

void setNormalPriority() {
  logCall("setNormalPriority");
  backend().state.priority = Priority::Normal;
}

bool setPriority(Priority priority, std::string& refused) {
  logCall(std::string("setPriority ") + priorityName(priority));
  auto& b = backend();
  refused.clear();
  if (priority != Priority::Normal && b.faults.priorityRefused) {
    refused = std::string(priorityName(priority)) + " priority refused (scripted)";
    return false;
  }
  b.state.priority = priority;
  return true;
}

std::string describeScheduling() { return std::string(priorityName(backend().state.priority)) + " (offscreen)"; }

int messageBox(const char* text, const char* caption) {
  logCall("messageBox " + headless::text(caption) + "|" + headless::text(text));
  backend().state.messageBoxes.push_back({headless::text(text), headless::text(caption)});
  return 1;  // IDOK: the box is "closed" at once
}

long changeDisplayMode(const DisplayMode& mode) {
  logCall("changeDisplayMode " + std::to_string(mode.width) + " " + std::to_string(mode.height) + " " +
          std::to_string(mode.bitsPerPixel) + " " + std::to_string(mode.frequency));
  auto& b = backend();
  const long result = b.faults.displayChangeResult;
  if (result == kDispChangeSuccessful) {
    b.state.currentMode = mode;
    b.state.displayModeChanged = true;
  }
  return result;
}

void restoreDisplayMode() {
  logCall("restoreDisplayMode");
  auto& s = backend().state;
  s.currentMode = s.desktopMode;
  s.displayModeChanged = false;
}

bool enumDisplayDevice(int index, DisplayDevice& device) {
  logCall("enumDisplayDevice " + std::to_string(index));
  const headless::State& s = backend().state;
  if (index == 0) {
    device = DisplayDevice();
    std::snprintf(device.name, sizeof device.name, "HEADLESS0");
    device.width = s.desktopMode.width;
    device.height = s.desktopMode.height;
    std::snprintf(device.where, sizeof device.where, "at 0,0");
    return true;
  }
  if (index < 0 || static_cast<std::size_t>(index) > s.moreDisplays.size()) return false;
  device = s.moreDisplays[static_cast<std::size_t>(index - 1)];
  // Side by side, left to right, as a desktop of several displays lies.
  int x = s.desktopMode.width;
  for (int i = 1; i < index; ++i) x += s.moreDisplays[static_cast<std::size_t>(i - 1)].width;
  std::snprintf(device.where, sizeof device.where, "at %d,0", x);
  return true;
}

void selectDisplay(int index) {
  logCall("selectDisplay " + std::to_string(index));
  backend().state.selectedDisplay = index;
}

int gammaRampSize(DeviceContext dc) {
  logCall("gammaRampSize");
  return headless::findHeldDeviceContext(dc) != nullptr ? backend().state.gammaRampSize : 0;
}

bool getDeviceGammaRamp(DeviceContext dc, std::uint16_t* ramp) {
  logCall("getDeviceGammaRamp");
  if (headless::findHeldDeviceContext(dc) == nullptr || backend().state.gammaRampSize == 0) return false;
  const std::vector<std::uint16_t> table = headless::gammaRamp();
  std::copy(table.begin(), table.end(), ramp);
  return true;
}

bool setDeviceGammaRamp(DeviceContext dc, const std::uint16_t* ramp) {
  logCall("setDeviceGammaRamp");
  auto& b = backend();
  const int size = b.state.gammaRampSize;
  if (headless::findHeldDeviceContext(dc) == nullptr || size == 0 || b.faults.setDeviceGammaRamp) return false;
  if (b.faults.gammaRampIgnored) return true;
  b.state.gammaRamp.assign(ramp, ramp + static_cast<std::ptrdiff_t>(size) * 3);
  b.state.gammaRampOwed = true;
  return true;
}

void restoreDeviceGammaRamp() {
  logCall("restoreDeviceGammaRamp");
  auto& s = backend().state;
  if (!s.gammaRampOwed) return;
  s.gammaRamp.clear();
  s.gammaRampOwed = false;
}

int showCursor(bool show) {
  logCall(show ? "showCursor 1" : "showCursor 0");
  auto& b = backend();
  b.state.cursorCount = b.model.cursor.show(show);  // recorded for the tests
  return b.state.cursorCount;
}

int screenWidth() {
  logCall("screenWidth");
  return backend().state.currentMode.width;
}

int screenHeight() {
  logCall("screenHeight");
  return backend().state.currentMode.height;
}

Window createCanvasWindow(const char* className, const char* title, int x, int y, int width, int height, Instance) {
  logCall("createCanvasWindow " + text(className) + " " + text(title) + " " + std::to_string(x) + " " +
          std::to_string(y) + " " + std::to_string(width) + " " + std::to_string(height));
  if (backend().faults.createCanvasWindow) return nullptr;
  return createWindow(className, title, x, y, width, height, true);
}

void bringWindowToTop(Window) { logCall("bringWindowToTop"); }

void showWindow(Window window, int showCommand) {
  logCall("showWindow " + std::to_string(showCommand));
  if (WindowObject* w = headless::findLiveWindow(window)) w->showCommand = showCommand;
}

void destroyWindow(Window window) {
  logCall("destroyWindow");
  auto& b = backend();
  // Win32 fails without sending anything for a window that is not (or no
  // longer) there; WM_DESTROY reaches the procedure while it still is.
  // A procedure that reset the backend leaves nothing to free.
  if (!b.model.destroy(window)) return;
  headless::destroySurface(*window);
  --b.state.windowsAlive;
  if (window->canvas) --b.state.canvasWindowsAlive;
}

DeviceContext getDeviceContext(Window window) {
  logCall("getDeviceContext");
  if (headless::findLiveWindow(window) == nullptr) return nullptr;
  auto dc = std::make_unique<DeviceContextObject>();
  dc->window = window;
  DeviceContext handle = dc.get();
  auto& b = backend();
  b.deviceContexts.push_back(std::move(dc));
  ++b.state.deviceContextsHeld;
  return handle;
}

void releaseDeviceContext(Window, DeviceContext dc) {
  logCall("releaseDeviceContext");
  DeviceContextObject* d = headless::findHeldDeviceContext(dc);
  if (d == nullptr) return;
  d->held = false;
  --backend().state.deviceContextsHeld;
}

int choosePixelFormat(DeviceContext dc, const PixelFormatDescriptor& descriptor) {
  logCall("choosePixelFormat " + headless::hex(descriptor.flags) + " " + std::to_string(descriptor.colorBits) + " " +
          std::to_string(descriptor.depthBits) + " " + std::to_string(descriptor.auxBuffers));
  if (backend().faults.choosePixelFormat) return 0;
  return headless::findHeldDeviceContext(dc) != nullptr ? headless::kOnlyPixelFormat : 0;
}

bool setPixelFormat(DeviceContext dc, int format, const PixelFormatDescriptor&) {
  logCall("setPixelFormat " + std::to_string(format));
  if (backend().faults.setPixelFormat || format != headless::kOnlyPixelFormat) return false;
  WindowObject* w = headless::windowOfHeldDeviceContext(dc);
  if (w == nullptr) return false;
  // A window's pixel format can be set only once.
  if (w->pixelFormat != 0 && w->pixelFormat != format) return false;
  w->pixelFormat = format;
  return true;
}

GLContext createGLContext(DeviceContext dc) {
  logCall("createGLContext");
  if (backend().faults.createGLContext) return nullptr;
  WindowObject* w = headless::windowOfHeldDeviceContext(dc);
  // As wglCreateContext, a context needs a window with a pixel format.
  if (w == nullptr || w->pixelFormat == 0) return nullptr;
  if (!headless::startEgl() || !headless::ensureSurface(*w)) return nullptr;
  // The bound API is per thread; without this another thread would get OpenGL ES.
  eglBindAPI(EGL_OPENGL_API);

  // The library draws with OpenGL 1.1 immediate mode and display lists.
  const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  EGLContext context = eglCreateContext(headless::eglDisplay(), headless::eglConfig(), EGL_NO_CONTEXT, attributes);
  if (context == EGL_NO_CONTEXT) {
    headless::reportEglFailure("eglCreateContext");
    return nullptr;
  }
  auto object = std::make_unique<GLContextObject>();
  object->context = context;
  GLContext handle = object.get();
  auto& b = backend();
  b.contexts.push_back(std::move(object));
  ++b.state.contextsAlive;
  return handle;
}

bool makeCurrent(DeviceContext dc, GLContext context) {
  logCall(context != nullptr ? "makeCurrent 1" : "makeCurrent 0");
  if (context == nullptr) {
    headless::releaseCurrent();
    return true;
  }
  auto& b = backend();
  // A failed wglMakeCurrent leaves no context current.
  const auto fail = [] {
    headless::releaseCurrent();
    return false;
  };
  if (b.faults.makeCurrent) return fail();
  if (b.faults.contextNotCurrent) {
    headless::releaseCurrent();
    return true;
  }
  const std::size_t index = headless::findContextIndex(context);
  if (index == b.contexts.size()) return fail();
  WindowObject* w = headless::windowOfHeldDeviceContext(dc);
  if (w == nullptr || w->pixelFormat == 0 || !headless::ensureSurface(*w)) return fail();
  if (eglMakeCurrent(headless::eglDisplay(), w->surface, w->surface, context->context) != EGL_TRUE) {
    headless::reportEglFailure("eglMakeCurrent");
    return fail();
  }
  if (!context->madeCurrent) {
    // Mesa starts a pbuffer context reading GL_FRONT; a double-buffered WGL
    // context starts reading GL_BACK, which is what the library expects.
    glReadBuffer(GL_BACK);
    context->madeCurrent = true;
  }
  b.state.contextCurrent = true;
  return true;
}

void deleteGLContext(GLContext context) {
  logCall("deleteGLContext");
  auto& b = backend();
  const std::size_t index = headless::findContextIndex(context);
  if (context == nullptr || index == b.contexts.size()) return;
  // wglDeleteContext first detaches a context that is current.
  if (eglGetCurrentContext() == context->context) headless::releaseCurrent();
  eglDestroyContext(headless::eglDisplay(), context->context);
  b.contexts.erase(b.contexts.begin() + static_cast<std::ptrdiff_t>(index));
  --b.state.contextsAlive;
}

bool swapBuffers(DeviceContext dc) {
  logCall("swapBuffers");
  auto& b = backend();
  WindowObject* w = headless::windowOfHeldDeviceContext(dc);
  // Only the window the current context draws into can be read back.
  if (w == nullptr || w->surface == EGL_NO_SURFACE || !headless::eglReady() ||
      eglGetCurrentContext() == EGL_NO_CONTEXT || eglGetCurrentSurface(EGL_DRAW) != w->surface) {
    return false;
  }
  glFinish();
  if (b.presentImages) {
    b.front = headless::readFramebuffer();
    if (b.recordFrames) b.frames.push_back(b.front);
  }
  if (b.faults.gammaRampRevertsAtSwap) b.state.gammaRamp.clear();
  const int number = ++b.state.swapCount;
  b.count += b.ticksPerSwap;
  b.state.lastSwapCompletedMs =
      static_cast<double>(b.count) * 1000.0 / static_cast<double>(b.frequency) + b.state.swapCompletionLatencyMs;
  // A copy, so a hook that replaces itself or resets the backend stays valid.
  const std::function<void(int)> hook = b.swapHook;
  if (hook) hook(number);
  return true;
}

bool peekMessage(Message& message) {
  // Keyboard input goes to the window that has the focus when it is taken.
  return backend().model.peek(message);
}

void translateMessage(const Message&) { ++backend().state.translatedCount; }

std::intptr_t dispatchMessage(const Message& message) {
  ++backend().state.dispatchedCount;
  return backend().model.windows.dispatch(message);
}

void postQuitMessage(int exitCode) {
  logCall("postQuitMessage " + std::to_string(exitCode));
  auto& b = backend();
  b.model.queue.postQuit(exitCode);
  b.state.quitPosted = true;
  ++b.state.quitCount;
}

std::intptr_t defaultWindowProcedure(Window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  logCall("defaultWindowProcedure " + headless::hex(message) + " " + std::to_string(wParam) + " " +
          std::to_string(lParam));
  return 0;
}

void getKeyboardState(unsigned char state[256]) { backend().model.queue.keys().copyTo(state); }

SwapSync describeDisplay(DisplayMode& current) {
  current = backend().state.currentMode;
  return SwapSync::Unsynchronised;  // offscreen: swaps return at once
}

SwapCheck describeSwapCheck() { return SwapCheck{}; }  // nothing asked of a driver

bool queryPerformanceFrequency(std::int64_t& frequency) {
  logCall("queryPerformanceFrequency");
  const std::int64_t ticks = backend().frequency;
  frequency = ticks > 0 ? ticks : 0;
  return ticks > 0;
}

void queryPerformanceCounter(std::int64_t& count) { count = backend().count; }

// No signal or lost display ends a headless run.
void setAbruptEndCallback(void (* /*callback*/)()) {}

const char* swapCompletionSource(DeviceContext dc) {
  logCall("swapCompletionSource");
  const bool reports = headless::findHeldDeviceContext(dc) != nullptr && backend().state.reportsSwapCompletion;
  return reports ? "the headless backend's swap timestamps" : nullptr;
}

bool swapCompletedAt(DeviceContext dc, double& milliseconds) {
  const headless::State& s = backend().state;
  if (headless::findHeldDeviceContext(dc) == nullptr || !s.reportsSwapCompletion) return false;
  milliseconds = s.lastSwapCompletedMs;
  return true;
}

}  // namespace platform
}  // namespace Kestravon
