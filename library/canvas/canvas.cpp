#include "library/canvas/canvas.h"

#include <climits>
#include <cstdlib>

#include "library/base/application.h"
#include "library/base/missed_periods.h"
#include "library/canvas/canvas_platform.h"
#include "library/canvas/canvas_state.h"
#include "library/canvas/display_lists.h"
#include "library/canvas/gl.h"
#include "library/canvas/overlay.h"
#include "library/canvas/subject_display.h"

namespace Kestravon {

namespace {

constexpr std::uint32_t kPixelFormatFlags = platform::kPfdDoubleBuffer | platform::kPfdDrawToBitmap |
                                            platform::kPfdSupportOpenGL | platform::kPfdSwapCopy |
                                            platform::kPfdGenericAccelerated;
static_assert(kPixelFormatFlags == 0x1429, "the canvas asks for draw-to-bitmap, double-buffered OpenGL");

// n + add, stopping at the largest int: a long run must not overflow.
std::int32_t saturatingAdd(std::int32_t n, double add) {
  const double sum = static_cast<double>(n) + add;
  if (!(sum < static_cast<double>(INT_MAX))) return INT_MAX;
  return static_cast<std::int32_t>(sum);
}

// Hardware tables may keep fewer bits than they are given: an entry reads
// back right when it is within 8 bits of what was loaded.
constexpr int kRampReadBackTolerance = 256;
// How often a running canvas reads its table back: a round trip to the
// display once a second, after a swap.
constexpr double kGammaRampCheckMs = 1000.0;
// A changed table is loaded again up to this many times, this far apart,
// before the run ends for it.
constexpr int kGammaRampReloadAttempts = 5;
constexpr double kGammaRampRetryMs = 100.0;

// A failure text built at run time, thrown as the library's plain string:
// kept in the canvas's state until the next one (start-up shows it first).
const char* failureText(const std::string& text) {
  canvasState.failureText = text;
  return canvasState.failureText.c_str();
}

}  // namespace

// ---- platform half ---------------------------------------------------------

APICanvasProperties::APICanvasProperties() : opened(false) {}

APICanvasProperties::~APICanvasProperties() { close(); }

void APICanvasProperties::open(int width, int height, int colorDepth, double refreshRate) {
  platform::DisplayMode mode;
  mode.width = width;
  mode.height = height;
  mode.bitsPerPixel = colorDepth;
  mode.frequency = static_cast<int>(refreshRate);
  if (platform::changeDisplayMode(mode) != platform::kDispChangeSuccessful) {
    throw "API Error (Failed to switch display mode)";
  }

  hwnd = nullptr;
  hdc = nullptr;
  hglrc = nullptr;
  try {
    platform::showCursor(false);
    const int screenWidth = platform::screenWidth();
    const int screenHeight = platform::screenHeight();
    hwnd = platform::createCanvasWindow(application.className, kCanvasTitle, 0, 0, screenWidth, screenHeight,
                                        application.instance);
    if (hwnd == nullptr) throw "Failed to create the canvas.";
    createContext(hwnd, &hdc, &hglrc, colorDepth);
    if (const DisplayResponse* response = SubjectDisplay::response()) {
      loadGammaRamp([response](int entries) { return inverseRamp(*response, entries); });
    }
  } catch (const char*) {
    // Give the desktop back before the failure is shown: the program ends
    // after it, and a switched mode or hidden cursor would outlive it.
    giveGammaRampBack();
    if (hglrc != nullptr) platform::deleteGLContext(hglrc);
    if (hdc != nullptr) platform::releaseDeviceContext(hwnd, hdc);
    if (hwnd != nullptr) platform::destroyWindow(hwnd);
    platform::restoreDisplayMode();
    platform::showCursor(true);
    hwnd = nullptr;
    hdc = nullptr;
    hglrc = nullptr;
    throw;
  }
  opened = true;
  platform::bringWindowToTop(hwnd);
  platform::showWindow(hwnd, application.showCommand);
}

void APICanvasProperties::createContext(platform::Window window, platform::DeviceContext* dc,
                                        platform::GLContext* context, int colorDepth) {
  *dc = platform::getDeviceContext(window);

  platform::PixelFormatDescriptor descriptor;
  descriptor.size = 40;
  descriptor.version = 1;
  descriptor.flags = kPixelFormatFlags;
  descriptor.pixelType = 0;
  descriptor.colorBits = static_cast<std::uint8_t>(colorDepth & 0xFF);
  descriptor.depthBits = 0;
  descriptor.auxBuffers = 1;
  descriptor.layerType = 0;
  const int format = platform::choosePixelFormat(*dc, descriptor);
  if (!platform::setPixelFormat(*dc, format, descriptor)) {
    throw "API Error (Failed to set pixel format).";
  }

  *context = platform::createGLContext(*dc);
  if (*context == nullptr) throw "API Error (Failed to set OpenGL context).";
  if (!platform::makeCurrent(*dc, *context)) throw "API Error (Failed to set OpenGL context).";
}

void APICanvasProperties::loadGammaRamp(const std::function<std::vector<std::uint16_t>(int entries)>& build) {
  const int entries = platform::gammaRampSize(hdc);
  if (entries < 2) throw "Failed to load the display's gamma table (the display has no look-up table).";
  // Owed from the first attempt on: a refused one may have changed part of it.
  gammaRampLoaded = build(entries);
  gammaRampReadBack.resize(gammaRampLoaded.size());
  gammaRampChecked.update();
  gammaRampReloadFailures = 0;
  if (!platform::setDeviceGammaRamp(hdc, gammaRampLoaded.data())) {
    throw "Failed to load the display's gamma table (the display refused it).";
  }
  if (!gammaRampHolds()) throw "Failed to load the display's gamma table (it did not read back as loaded).";
}

bool APICanvasProperties::gammaRampHolds() {
  std::vector<std::uint16_t>& readBack = gammaRampReadBack;
  readBack.resize(gammaRampLoaded.size());
  bool same = platform::getDeviceGammaRamp(hdc, readBack.data());
  for (std::size_t i = 0; same && i < readBack.size(); ++i) {
    same = std::abs(static_cast<int>(gammaRampLoaded[i]) - static_cast<int>(readBack[i])) < kRampReadBackTolerance;
  }
  return same;
}

bool APICanvasProperties::keepGammaRamp(bool& reloaded) {
  reloaded = false;
  if (gammaRampLoaded.empty()) return true;
  Clock now;
  // After a failed attempt the next comes sooner: a display busy with the
  // other program's change (Wine's, say) may refuse one attempt.
  const double wait = gammaRampReloadFailures > 0 ? kGammaRampRetryMs : kGammaRampCheckMs;
  if ((now - gammaRampChecked).milliseconds() < wait) return true;
  gammaRampChecked = now;
  if (gammaRampReloadFailures == 0 && gammaRampHolds()) return true;
  if (platform::setDeviceGammaRamp(hdc, gammaRampLoaded.data()) && gammaRampHolds()) {
    gammaRampReloadFailures = 0;
    reloaded = true;
    return true;
  }
  return ++gammaRampReloadFailures < kGammaRampReloadAttempts;
}

void APICanvasProperties::giveGammaRampBack() {
  if (gammaRampLoaded.empty()) return;
  platform::restoreDeviceGammaRamp();
  gammaRampLoaded.clear();
}

void APICanvasProperties::close() {
  if (opened) {
    // While the device context still stands: the table belongs to its display.
    giveGammaRampBack();
    releaseContext(hwnd, hdc, hglrc);
    platform::destroyWindow(hwnd);
    platform::restoreDisplayMode();
    platform::showCursor(true);
  }
  opened = false;
}

void APICanvasProperties::releaseContext(platform::Window window, platform::DeviceContext dc,
                                         platform::GLContext context) {
  platform::makeCurrent(nullptr, nullptr);
  platform::deleteGLContext(context);
  platform::releaseDeviceContext(window, dc);
}

void APICanvasProperties::swapBuffers() { platform::swapBuffers(hdc); }

// ---- canvas ----------------------------------------------------------------

Canvas::Canvas(int width, int height, int colorDepth, double refreshRate)
    : opened(false),
      colorDepth(0),
      width(0),
      height(0),
      refreshRate(0),
      lastFlip(),
      frameAccounting(false),
      infoOverlay(false),
      lastInterval(0),
      intervalLimit(0),
      intervalOffset(0.1),
      flipCount(0),
      droppedFrames(0),
      api(nullptr),
      flashMarked(false) {
  set(width, height, colorDepth, refreshRate);
}

Canvas::~Canvas() { release(); }

void setDrawingState(double width, double height) {
  glMatrixMode(GL_PROJECTION);
  glDrawBuffer(GL_BACK);
  glReadBuffer(GL_BACK);
  glLoadIdentity();
  glOrtho(0, width, height, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslated(0.375, 0.375, 0);
  glPushMatrix();
  glShadeModel(GL_FLAT);
  glEnable(GL_ALPHA_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_DITHER);
  glDisable(GL_FOG);
  glDisable(GL_LIGHTING);
  glDisable(GL_LOGIC_OP);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_TEXTURE_1D);
  glDisable(GL_TEXTURE_2D);
  glPixelTransferi(GL_MAP_COLOR, 0);
  glPixelTransferi(GL_RED_SCALE, 1);
  glPixelTransferi(GL_RED_BIAS, 0);
  glPixelTransferi(GL_ALPHA_SCALE, 1);
  glPixelTransferi(GL_ALPHA_BIAS, 0);
  glClearColor(0, 0, 0, 1);
}

void Canvas::set(int w, int h, int depth, double rate) {
  if (opened) throw AlreadyOpened;

  opened = false;
  lastInterval = 0;
  intervalLimit = 0;
  intervalOffset = 0.1;
  flipCount = 0;
  droppedFrames = 0;
  flashMarked = false;
  lastFlip.update();
  frameAccounting = false;
  infoOverlay = false;

  width = static_cast<double>(w);
  height = static_cast<double>(h);
  colorDepth = depth;
  refreshRate = rate;
  intervalLimit = 1000.0 / refreshRate + 1.0;

  // Before the display is touched: a refused --set, or a display that is
  // not there, throws RefusedOption here (start-up returns status 2).
  if (canvasHooks.opening != nullptr) canvasHooks.opening();
  SubjectDisplay::select();
  api = new APICanvasProperties();
  try {
    api->open(w, h, depth, rate);
  } catch (...) {
    delete api;
    api = nullptr;
    throw;
  }
  opened = true;
  if (canvasHooks.opened != nullptr) canvasHooks.opened(*this);

  if (currentCanvas == nullptr) {
    currentCanvas = this;
    buildDisplayLists();
  }

  setDrawingState(width, height);

  clear(Color::black);
  flip();
  clear(Color::black);
  flip();
  // Some drivers and desktop tools put their own table back within a few
  // frames: caught here, before the routine's first frame.
  if (!api->gammaRampLoaded.empty() && !api->gammaRampHolds()) {
    release();
    throw "Failed to load the display's gamma table (it did not stay loaded).";
  }
}

void Canvas::release() {
  if (opened) {
    api->close();
    delete api;
    api = nullptr;
  }
  opened = false;
  // Its context, and the display lists in it, are gone: a canvas opened
  // later becomes current and builds them anew.
  if (currentCanvas == this) currentCanvas = nullptr;
}

void Canvas::clear(Color color) {
  glClearColor(static_cast<GLfloat>(color.r), static_cast<GLfloat>(color.g), static_cast<GLfloat>(color.b),
               static_cast<GLfloat>(color.a));
  glClear(GL_COLOR_BUFFER_BIT);
}

void Canvas::markFlash() { flashMarked = true; }

namespace {

// --photodiode: a 50-pixel square in a corner, white on a flash frame and
// black on every other, drawn last so that nothing covers it.
void drawPhotodiodePatch(const Canvas& canvas, PhotodiodeCorner corner) {
  constexpr double kSide = 50;
  const bool right = corner == PhotodiodeCorner::TopRight || corner == PhotodiodeCorner::BottomRight;
  const bool bottom = corner == PhotodiodeCorner::BottomLeft || corner == PhotodiodeCorner::BottomRight;
  const double left = right ? canvas.width - kSide : 0;
  const double top = bottom ? canvas.height - kSide : 0;
  const Color& color = canvas.flashMarked ? Color::white : Color::black;
  glColor4f(static_cast<GLfloat>(color.r), static_cast<GLfloat>(color.g), static_cast<GLfloat>(color.b), 1.0F);
  glRectd(left, top, left + kSide, top + kSide);
}

}  // namespace

void Canvas::flip() {
  if (infoOverlay) drawCanvasInfoOverlay(*this);
  if (canvasHooks.drawing != nullptr) canvasHooks.drawing();
  if (application.options.photodiode != PhotodiodeCorner::Off) {
    drawPhotodiodePatch(*this, application.options.photodiode);
  }
  glFlush();
  api->swapBuffers();
  if (canvasHooks.presented != nullptr) canvasHooks.presented(*this);
  // Another program (xrandr --gamma, a desktop's night light) may put its
  // own table in while the stimulus runs: checked once a second, after the
  // swap, and loaded again; a table that cannot be kept ends the run.
  bool reloaded = false;
  if (!api->keepGammaRamp(reloaded)) {
    release();
    throw "Failed to keep the display's gamma table (another program changed it, and it could not be loaded again).";
  }
  if (reloaded && canvasHooks.lookupTableReloaded != nullptr) canvasHooks.lookupTableReloaded(*this);
  flashMarked = false;
  if (frameAccounting) {
    Clock now;
    lastInterval = (now - lastFlip).milliseconds();
    flipCount = saturatingAdd(flipCount, 1.0);
    const double missed = missedPeriods(lastInterval, intervalLimit, intervalOffset);
    if (missed >= 1.0) droppedFrames = saturatingAdd(droppedFrames, missed);
    lastFlip = now;
  }
}

void Canvas::loadLookupTable(const ChannelCurves& curves) {
  std::string error;
  if (!checkCurves(curves, error)) throw failureText("Refused the look-up table: " + error + ".");
  if (!opened) throw "Failed to load the display's gamma table (the canvas is not open).";
  api->loadGammaRamp([&curves](int entries) { return resampleCurves(curves, entries); });
}

void Canvas::fillRect(const Rectangle& rect, const Color& color) {
  glColor4f(static_cast<GLfloat>(color.r), static_cast<GLfloat>(color.g), static_cast<GLfloat>(color.b),
            static_cast<GLfloat>(color.a));
  glRectd(rect.left, rect.top, rect.right + 1, rect.bottom + 1);
}

}  // namespace Kestravon
