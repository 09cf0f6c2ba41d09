// Headless backend: platform.h without a display, for tests, tools and
// benchmarks. Input comes from a scripted queue, time from a counter the
// caller sets, and every call is logged with its arguments. Rendering is real
// OpenGL (Mesa through EGL's surfaceless platform) into a canvas-sized pbuffer;
// a swap copies that buffer into the front image, which is what a display
// would show. It cannot show anything, pace swaps to a refresh rate, or
// switch a real display mode. Not thread-safe: one thread drives it.
#include "platform/headless/headless.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <stdexcept>
#include <utility>

namespace Kestravon {
namespace platform {

// A window lives until reset() even after it is destroyed, so that handles
// tests hold stay comparable and lastCanvasWindow() can return it.
struct WindowObject {
  std::string className;
  std::string title;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool canvas = false;
  bool alive = true;
  bool destroying = false;  // a procedure that destroys its window again must not recurse
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
namespace {

constexpr std::int64_t kDefaultFrequency = 10000000;
constexpr std::uint32_t kVkLButton = 0x01;
constexpr int kOnlyPixelFormat = 1;

struct QueuedMessage {
  Message message;
  bool toFocus = false;  // key input goes to whichever canvas has focus when it is taken
};

struct Egl {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLConfig config = nullptr;
  bool tried = false;  // a failed start is not retried on every call
  bool ready = false;
};

struct Backend {
  State state;
  Faults faults;
  std::deque<QueuedMessage> queue;
  unsigned char keys[256] = {};
  std::int64_t frequency = kDefaultFrequency;
  std::int64_t count = 0;
  std::int64_t ticksPerSwap = 0;
  std::map<std::string, WindowProcedure> classes;
  std::vector<std::unique_ptr<WindowObject>> windows;
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

Backend& backend() {
  static Backend instance;
  return instance;
}

// The display outlives reset(): initialising Mesa is slow and tests run
// many cases in one process. Mesa terminates it at exit.
Egl& egl() {
  static Egl instance;
  return instance;
}

void logCall(std::string entry) { backend().state.log.push_back(std::move(entry)); }

std::string text(const char* s) { return s != nullptr ? std::string(s) : std::string("(null)"); }

std::string hex(std::uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%x", static_cast<unsigned>(value));
  return buffer;
}

void reportEglFailure(const char* what) {
  std::fprintf(stderr, "headless: %s failed (EGL error 0x%x)\n", what, static_cast<unsigned>(eglGetError()));
}

bool startEgl() {
  Egl& e = egl();
  if (e.tried) return e.ready;
  e.tried = true;

  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr) {
    reportEglFailure("eglGetPlatformDisplayEXT lookup");
    return false;
  }
  e.display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (e.display == EGL_NO_DISPLAY) {
    reportEglFailure("eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA)");
    return false;
  }
  EGLint major = 0;
  EGLint minor = 0;
  if (eglInitialize(e.display, &major, &minor) != EGL_TRUE) {
    reportEglFailure("eglInitialize");
    e.display = EGL_NO_DISPLAY;
    return false;
  }
  if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
    reportEglFailure("eglBindAPI(EGL_OPENGL_API)");
    return false;
  }

  // Exactly RGBA8 with no depth, stencil or multisampling: what the canvas
  // asks for, and multisampling would blur the exact pixels tests compare.
  // clang-format off
  const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                           EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
                           EGL_NONE};
  // clang-format on
  EGLint available = 0;
  if (eglChooseConfig(e.display, wanted, nullptr, 0, &available) != EGL_TRUE || available <= 0) {
    reportEglFailure("eglChooseConfig (RGBA8 pbuffer)");
    return false;
  }
  std::vector<EGLConfig> configs(static_cast<std::size_t>(available));
  eglChooseConfig(e.display, wanted, configs.data(), available, &available);
  for (EGLint i = 0; i < available; ++i) {
    EGLint red = 0, green = 0, blue = 0, alpha = 0, depth = 0, stencil = 0, samples = 0;
    eglGetConfigAttrib(e.display, configs[i], EGL_RED_SIZE, &red);
    eglGetConfigAttrib(e.display, configs[i], EGL_GREEN_SIZE, &green);
    eglGetConfigAttrib(e.display, configs[i], EGL_BLUE_SIZE, &blue);
    eglGetConfigAttrib(e.display, configs[i], EGL_ALPHA_SIZE, &alpha);
    eglGetConfigAttrib(e.display, configs[i], EGL_DEPTH_SIZE, &depth);
    eglGetConfigAttrib(e.display, configs[i], EGL_STENCIL_SIZE, &stencil);
    eglGetConfigAttrib(e.display, configs[i], EGL_SAMPLES, &samples);
    if (red == 8 && green == 8 && blue == 8 && alpha == 8 && depth == 0 && stencil == 0 && samples == 0) {
      e.config = configs[i];
      break;
    }
  }
  if (e.config == nullptr) {
    std::fprintf(stderr, "headless: no RGBA8 pbuffer config without depth, stencil and multisampling\n");
    return false;
  }
  e.ready = true;
  return true;
}

// Only handles this backend made and has not freed are dereferenced.
WindowObject* findWindow(Window window) {
  if (window == nullptr) return nullptr;
  for (const auto& w : backend().windows) {
    if (w.get() == window) return w.get();
  }
  return nullptr;
}

WindowObject* findLiveWindow(Window window) {
  WindowObject* w = findWindow(window);
  return w != nullptr && w->alive ? w : nullptr;
}

DeviceContextObject* findDeviceContext(DeviceContext dc) {
  if (dc == nullptr) return nullptr;
  for (const auto& d : backend().deviceContexts) {
    if (d.get() == dc) return d.get();
  }
  return nullptr;
}

std::size_t findContextIndex(GLContext context) {
  const auto& contexts = backend().contexts;
  for (std::size_t i = 0; i < contexts.size(); ++i) {
    if (contexts[i].get() == context) return i;
  }
  return contexts.size();
}

WindowProcedure procedureOf(const WindowObject& window) {
  const auto& classes = backend().classes;
  const auto found = classes.find(window.className);
  return found != classes.end() ? found->second : nullptr;
}

// The canvas that would have the keyboard focus: the newest one still open.
Window focusWindow() {
  const auto& windows = backend().windows;
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    if ((*it)->canvas && (*it)->alive) return it->get();
  }
  return nullptr;
}

// Bit 7 is "down"; bit 0 toggles on each press, as Win32 keeps it.
void setKey(std::uintptr_t virtualKey, bool down) {
  if (virtualKey > 255) return;  // no virtual-key code is that large
  unsigned char& entry = backend().keys[virtualKey];
  if (down) {
    entry = static_cast<unsigned char>((entry ^ 0x01) | 0x80);
  } else {
    entry = static_cast<unsigned char>(entry & 0x7F);
  }
}

void applyKeyState(const Message& message) {
  switch (message.id) {
    case kMsgKeyDown:
    case kMsgSysKeyDown:
      setKey(message.wParam, true);
      break;
    case kMsgKeyUp:
    case kMsgSysKeyUp:
      setKey(message.wParam, false);
      break;
    case kMsgLButtonDown:
      setKey(kVkLButton, true);
      break;
    case kMsgLButtonUp:
      setKey(kVkLButton, false);
      break;
    default:
      break;
  }
}

bool ensureSurface(WindowObject& window) {
  if (window.surface != EGL_NO_SURFACE) return true;
  const EGLint size[] = {EGL_WIDTH, std::max(1, window.width), EGL_HEIGHT, std::max(1, window.height), EGL_NONE};
  window.surface = eglCreatePbufferSurface(egl().display, egl().config, size);
  if (window.surface == EGL_NO_SURFACE) {
    reportEglFailure("eglCreatePbufferSurface");
    return false;
  }
  return true;
}

void destroySurface(WindowObject& window) {
  // EGL defers the destruction of a current surface until it is released.
  if (window.surface != EGL_NO_SURFACE) eglDestroySurface(egl().display, window.surface);
  window.surface = EGL_NO_SURFACE;
}

void releaseCurrent() {
  if (egl().ready) eglMakeCurrent(egl().display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  backend().state.contextCurrent = false;
}

// Reads the current read surface, top row first. Every pack and transfer
// setting touched is put back, so the library's GL state is as it left it.
Image readFramebuffer() {
  Image image;
  if (!egl().ready || eglGetCurrentContext() == EGL_NO_CONTEXT) return image;
  const EGLSurface surface = eglGetCurrentSurface(EGL_READ);
  if (surface == EGL_NO_SURFACE) return image;
  EGLint width = 0;
  EGLint height = 0;
  eglQuerySurface(egl().display, surface, EGL_WIDTH, &width);
  eglQuerySurface(egl().display, surface, EGL_HEIGHT, &height);
  if (width <= 0 || height <= 0) return image;

  GLint readBuffer = GL_BACK;
  GLint alignment = 4, rowLength = 0, skipRows = 0, skipPixels = 0;
  GLboolean swapBytes = GL_FALSE, lsbFirst = GL_FALSE, mapColor = GL_FALSE;
  glGetIntegerv(GL_READ_BUFFER, &readBuffer);
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glGetIntegerv(GL_PACK_ROW_LENGTH, &rowLength);
  glGetIntegerv(GL_PACK_SKIP_ROWS, &skipRows);
  glGetIntegerv(GL_PACK_SKIP_PIXELS, &skipPixels);
  glGetBooleanv(GL_PACK_SWAP_BYTES, &swapBytes);
  glGetBooleanv(GL_PACK_LSB_FIRST, &lsbFirst);
  glGetBooleanv(GL_MAP_COLOR, &mapColor);
  // Scale and bias would alter the copy, not what the display shows.
  const GLenum transfer[] = {GL_RED_SCALE, GL_GREEN_SCALE, GL_BLUE_SCALE, GL_ALPHA_SCALE,
                             GL_RED_BIAS,  GL_GREEN_BIAS,  GL_BLUE_BIAS,  GL_ALPHA_BIAS};
  GLfloat transferValues[8];
  for (int i = 0; i < 8; ++i) glGetFloatv(transfer[i], &transferValues[i]);

  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_PACK_SWAP_BYTES, GL_FALSE);
  glPixelStorei(GL_PACK_LSB_FIRST, GL_FALSE);
  glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
  for (int i = 0; i < 8; ++i) glPixelTransferf(transfer[i], i < 4 ? 1.0f : 0.0f);

  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  std::vector<std::uint8_t> bottomUp(rowBytes * static_cast<std::size_t>(height));
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());

  for (int i = 0; i < 8; ++i) glPixelTransferf(transfer[i], transferValues[i]);
  glPixelTransferi(GL_MAP_COLOR, mapColor);
  glPixelStorei(GL_PACK_LSB_FIRST, lsbFirst);
  glPixelStorei(GL_PACK_SWAP_BYTES, swapBytes);
  glPixelStorei(GL_PACK_SKIP_PIXELS, skipPixels);
  glPixelStorei(GL_PACK_SKIP_ROWS, skipRows);
  glPixelStorei(GL_PACK_ROW_LENGTH, rowLength);
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  glReadBuffer(static_cast<GLenum>(readBuffer));

  // GL's row 0 is the bottom of the screen.
  image.width = width;
  image.height = height;
  image.rgba.resize(bottomUp.size());
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* from = bottomUp.data() + static_cast<std::size_t>(height - 1 - row) * rowBytes;
    std::copy(from, from + rowBytes, image.rgba.begin() + static_cast<std::ptrdiff_t>(row * rowBytes));
  }
  return image;
}

void destroyAllGL() {
  Backend& b = backend();
  if (egl().ready) {
    releaseCurrent();
    for (auto& context : b.contexts) eglDestroyContext(egl().display, context->context);
    for (auto& window : b.windows) destroySurface(*window);
  }
  b.contexts.clear();
}

}  // namespace

// ---- control API -----------------------------------------------------------

std::uint32_t Image::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) throw std::out_of_range("headless::Image pixel outside the image");
  const std::size_t index =
      (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
  if (index + 4 > rgba.size()) throw std::out_of_range("headless::Image has fewer bytes than its size");
  const std::uint8_t* p = rgba.data() + index;
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::uint32_t Image::rgb(int x, int y) const { return pixel(x, y) >> 8; }

void reset() {
  destroyAllGL();
  backend() = Backend();
}

State& state() { return backend().state; }
Faults& faults() { return backend().faults; }

void pushMessage(const Message& message) { backend().queue.push_back({message, false}); }

void pushKeyDown(int virtualKey) {
  Message message;
  message.id = kMsgKeyDown;
  message.wParam = static_cast<std::uintptr_t>(virtualKey);
  message.lParam = 1;  // repeat count 1
  backend().queue.push_back({message, true});
}

void pushKeyUp(int virtualKey) {
  Message message;
  message.id = kMsgKeyUp;
  message.wParam = static_cast<std::uintptr_t>(virtualKey);
  message.lParam = static_cast<std::intptr_t>(0xC0000001u);  // repeat 1, was down, released
  backend().queue.push_back({message, true});
}

void pushClose(Window window) { pushOther(kMsgClose, window); }

void pushQuit() { pushOther(kMsgQuit, nullptr); }

void pushOther(std::uint32_t id, Window window) {
  Message message;
  message.id = id;
  message.window = window;
  backend().queue.push_back({message, false});
}

std::size_t pendingMessages() { return backend().queue.size(); }

void setKeyDown(int virtualKey, bool down) {
  if (virtualKey < 0) return;
  setKey(static_cast<std::uintptr_t>(virtualKey), down);
}

void setFrequency(std::int64_t ticksPerSecond) { backend().frequency = ticksPerSecond; }
void setCounter(std::int64_t value) { backend().count = value; }
void advanceCounter(std::int64_t ticks) { backend().count += ticks; }
std::int64_t counter() { return backend().count; }
void setTicksPerSwap(std::int64_t ticks) { backend().ticksPerSwap = ticks; }

Window lastCanvasWindow() { return backend().lastCanvas; }
Window listenerWindow() { return backend().listener; }

Image frontImage() { return backend().front; }
Image backImage() { return readFramebuffer(); }
void setRecordFrames(bool record) { backend().recordFrames = record; }
void setPresentImages(bool present) { backend().presentImages = present; }
const std::vector<Image>& presentedFrames() { return backend().frames; }
void clearPresentedFrames() { backend().frames.clear(); }

void setSwapHook(std::function<void(int swapNumber)> hook) { backend().swapHook = std::move(hook); }

}  // namespace headless

// ---- platform.h --------------------------------------------------------------

using headless::backend;
using headless::logCall;
using headless::text;

std::uint16_t registerWindowClass(const WindowClass& windowClass) {
  logCall("registerWindowClass " + text(windowClass.className) + " " + text(windowClass.menuName));
  auto& b = backend();
  if (b.faults.registerWindowClass || windowClass.className == nullptr) return 0;
  // Win32 refuses a second class of the same name.
  if (!b.classes.emplace(windowClass.className, windowClass.procedure).second) return 0;
  return static_cast<std::uint16_t>(0xC000 + b.classes.size());
}

namespace {

Window createWindow(const char* className, const char* title, int x, int y, int width, int height, bool canvas) {
  auto& b = backend();
  // Win32 cannot create a window of a class nobody registered.
  if (className == nullptr || b.classes.count(className) == 0) return nullptr;
  auto window = std::make_unique<WindowObject>();
  window->className = className;
  window->title = text(title);
  window->x = x;
  window->y = y;
  window->width = width;
  window->height = height;
  window->canvas = canvas;
  Window handle = window.get();
  b.windows.push_back(std::move(window));
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

void setNormalPriority() { logCall("setNormalPriority"); }

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

int showCursor(bool show) {
  logCall(show ? "showCursor 1" : "showCursor 0");
  auto& s = backend().state;
  s.cursorCount += show ? 1 : -1;
  return s.cursorCount;
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
  WindowObject* w = headless::findLiveWindow(window);
  if (w == nullptr || w->destroying) return;  // Win32 fails without sending anything
  w->destroying = true;
  // The procedure runs while the window still exists, as under DestroyWindow.
  if (WindowProcedure procedure = headless::procedureOf(*w)) procedure(window, kMsgDestroy, 0, 0);
  w = headless::findLiveWindow(window);  // the procedure may have reset the backend
  if (w == nullptr) return;
  w->alive = false;
  headless::destroySurface(*w);
  auto& s = backend().state;
  --s.windowsAlive;
  if (w->canvas) --s.canvasWindowsAlive;
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
  DeviceContextObject* d = headless::findDeviceContext(dc);
  if (d == nullptr || !d->held) return;
  d->held = false;
  --backend().state.deviceContextsHeld;
}

int choosePixelFormat(DeviceContext dc, const PixelFormatDescriptor& descriptor) {
  logCall("choosePixelFormat " + headless::hex(descriptor.flags) + " " + std::to_string(descriptor.colorBits) + " " +
          std::to_string(descriptor.depthBits) + " " + std::to_string(descriptor.auxBuffers));
  if (backend().faults.choosePixelFormat) return 0;
  DeviceContextObject* d = headless::findDeviceContext(dc);
  if (d == nullptr || !d->held) return 0;
  return headless::kOnlyPixelFormat;
}

bool setPixelFormat(DeviceContext dc, int format, const PixelFormatDescriptor&) {
  logCall("setPixelFormat " + std::to_string(format));
  if (backend().faults.setPixelFormat || format != headless::kOnlyPixelFormat) return false;
  DeviceContextObject* d = headless::findDeviceContext(dc);
  if (d == nullptr || !d->held) return false;
  WindowObject* w = headless::findLiveWindow(d->window);
  if (w == nullptr) return false;
  // A window's pixel format can be set only once.
  if (w->pixelFormat != 0 && w->pixelFormat != format) return false;
  w->pixelFormat = format;
  return true;
}

GLContext createGLContext(DeviceContext dc) {
  logCall("createGLContext");
  if (backend().faults.createGLContext) return nullptr;
  DeviceContextObject* d = headless::findDeviceContext(dc);
  if (d == nullptr || !d->held) return nullptr;
  WindowObject* w = headless::findLiveWindow(d->window);
  // As wglCreateContext, a context needs a window with a pixel format.
  if (w == nullptr || w->pixelFormat == 0) return nullptr;
  if (!headless::startEgl() || !headless::ensureSurface(*w)) return nullptr;
  // The bound API is per thread; without this another thread would get OpenGL ES.
  eglBindAPI(EGL_OPENGL_API);

  // The library draws with OpenGL 1.1 immediate mode and display lists.
  const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  EGLContext context = eglCreateContext(headless::egl().display, headless::egl().config, EGL_NO_CONTEXT, attributes);
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
  DeviceContextObject* d = headless::findDeviceContext(dc);
  if (index == b.contexts.size() || d == nullptr || !d->held) return fail();
  WindowObject* w = headless::findLiveWindow(d->window);
  if (w == nullptr || w->pixelFormat == 0 || !headless::ensureSurface(*w)) return fail();
  if (eglMakeCurrent(headless::egl().display, w->surface, w->surface, context->context) != EGL_TRUE) {
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
  eglDestroyContext(headless::egl().display, context->context);
  b.contexts.erase(b.contexts.begin() + static_cast<std::ptrdiff_t>(index));
  --b.state.contextsAlive;
}

bool swapBuffers(DeviceContext dc) {
  logCall("swapBuffers");
  auto& b = backend();
  DeviceContextObject* d = headless::findDeviceContext(dc);
  if (d == nullptr || !d->held) return false;
  WindowObject* w = headless::findLiveWindow(d->window);
  // Only the window the current context draws into can be read back.
  if (w == nullptr || w->surface == EGL_NO_SURFACE || !headless::egl().ready ||
      eglGetCurrentContext() == EGL_NO_CONTEXT || eglGetCurrentSurface(EGL_DRAW) != w->surface) {
    return false;
  }
  glFinish();
  if (b.presentImages) {
    b.front = headless::readFramebuffer();
    if (b.recordFrames) b.frames.push_back(b.front);
  }
  const int number = ++b.state.swapCount;
  b.count += b.ticksPerSwap;
  // A copy, so a hook that replaces itself or resets the backend stays valid.
  const std::function<void(int)> hook = b.swapHook;
  if (hook) hook(number);
  return true;
}

bool peekMessage(Message& message) {
  auto& b = backend();
  if (b.queue.empty()) return false;
  headless::QueuedMessage taken = b.queue.front();
  b.queue.pop_front();
  if (taken.toFocus) taken.message.window = headless::focusWindow();
  // Win32 updates the key-state table as each input message is taken.
  headless::applyKeyState(taken.message);
  message = taken.message;
  return true;
}

void translateMessage(const Message&) { ++backend().state.translatedCount; }

std::intptr_t dispatchMessage(const Message& message) {
  ++backend().state.dispatchedCount;
  WindowObject* w = headless::findLiveWindow(message.window);
  if (w == nullptr) return 0;
  WindowProcedure procedure = headless::procedureOf(*w);
  if (procedure == nullptr) return 0;
  return procedure(message.window, message.id, message.wParam, message.lParam);
}

void postQuitMessage(int exitCode) {
  logCall("postQuitMessage " + std::to_string(exitCode));
  auto& b = backend();
  Message message;
  message.id = kMsgQuit;
  message.wParam = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(exitCode));
  b.queue.push_back({message, false});
  b.state.quitPosted = true;
  ++b.state.quitCount;
}

std::intptr_t defaultWindowProcedure(Window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  logCall("defaultWindowProcedure " + headless::hex(message) + " " + std::to_string(wParam) + " " +
          std::to_string(lParam));
  return 0;
}

void getKeyboardState(unsigned char state[256]) { std::copy(backend().keys, backend().keys + 256, state); }

bool queryPerformanceFrequency(std::int64_t& frequency) {
  logCall("queryPerformanceFrequency");
  const std::int64_t ticks = backend().frequency;
  frequency = ticks > 0 ? ticks : 0;
  return ticks > 0;
}

void queryPerformanceCounter(std::int64_t& count) { count = backend().count; }

}  // namespace platform
}  // namespace Kestravon
