// EGL on Mesa's surfaceless platform: the display, pbuffer surfaces for
// canvas windows, and reading the framebuffer back as the display would
// show it.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "platform/headless/backend.h"

namespace Kestravon {
namespace platform {
namespace headless {
namespace {

struct Egl {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLConfig config = nullptr;
  bool tried = false;  // a failed start is not retried on every call
  bool ready = false;
};

// The display outlives reset(): initialising Mesa is slow and tests run
// many cases in one process. Mesa terminates it at exit.
Egl& egl() {
  static Egl instance;
  return instance;
}

}  // namespace

EGLDisplay eglDisplay() { return egl().display; }
EGLConfig eglConfig() { return egl().config; }
bool eglReady() { return egl().ready; }

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
    b.model.windows.forEach([](WindowObject* window) { destroySurface(*window); });
  }
  b.contexts.clear();
}

std::uint32_t Image::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) throw std::out_of_range("headless::Image pixel outside the image");
  const std::size_t index =
      (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
  if (index + 4 > rgba.size()) throw std::out_of_range("headless::Image has fewer bytes than its size");
  const std::uint8_t* p = rgba.data() + index;
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::uint32_t Image::rgb(int x, int y) const { return pixel(x, y) >> 8; }

}  // namespace headless
}  // namespace platform
}  // namespace Kestravon
