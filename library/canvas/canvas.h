// The full-screen canvas: display mode, window, rendering context, frame
// presentation and drawing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "../../platform/platform.h"
#include "../base/clock.h"
#include "gamma_table.h"
#include "shapes.h"

namespace Kestravon {

// The platform half of an open canvas: every window-system call goes through here.
class APICanvasProperties {
 public:
  APICanvasProperties();
  ~APICanvasProperties();
  APICanvasProperties(const APICanvasProperties&) = delete;
  APICanvasProperties& operator=(const APICanvasProperties&) = delete;

  // Switches the display mode and creates the window and the context. A
  // failure throws its text after undoing the steps already taken.
  void open(int width, int height, int colorDepth, double refreshRate);
  void createContext(platform::Window window, platform::DeviceContext* dc, platform::GLContext* context,
                     int colorDepth);
  void close();
  void releaseContext(platform::Window window, platform::DeviceContext dc, platform::GLContext context);
  void swapBuffers();
  // Loads the table `build` makes for the display's number of entries into
  // its look-up table and reads it back; throws the failure text. The
  // display's own table comes back in close().
  void loadGammaRamp(const std::function<std::vector<std::uint16_t>(int entries)>& build);
  // Whether the display's table still reads back as loaded.
  bool gammaRampHolds();
  // The display's own table back, if one was loaded.
  void giveGammaRampBack();

  platform::DeviceContext hdc = nullptr;
  platform::Window hwnd = nullptr;
  platform::GLContext hglrc = nullptr;
  bool opened = false;
  // Once a second, after a swap: whether the loaded table still holds. One
  // that another program changed is loaded again (`reloaded`), with up to
  // five attempts 100 ms apart; false when none of them holds.
  bool keepGammaRamp(bool& reloaded);

  // The table loaded into the display (red, green, blue), owed back from
  // the first attempt to load it; empty while its own table is in force.
  std::vector<std::uint16_t> gammaRampLoaded;
  std::vector<std::uint16_t> gammaRampReadBack;  // sized with it: a check allocates nothing
  Clock gammaRampChecked;
  int gammaRampReloadFailures = 0;  // attempts in a row that did not load it again
};

class Canvas {
 public:
  enum Error { AlreadyOpened = 1 };

  Canvas(int width, int height, int colorDepth, double refreshRate);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  void set(int width, int height, int colorDepth, double refreshRate);
  void release();

  void clear(Color color);
  void flip();
  // The frame being drawn carries the stimulus's flash (its brief onset):
  // the timing file's flash column says so, and --photodiode's patch is
  // white on it. Holds until the next flip.
  void markFlash();
  void fillRect(const Rectangle& rect, const Color& color);
  // Loads a look-up table of the routine's own into the display's hardware
  // table (interpolated to its number of entries) and reads it back. A
  // table that checkCurves refuses, a display without a table, one that
  // refuses it or does not read it back as loaded: throws the text (the
  // program ends with status 15, the desktop given back). The display's
  // own table comes back when the canvas closes, and on every exit.
  void loadLookupTable(const ChannelCurves& curves);

  void drawText(const char* text, double x, double y, Color color);
  void drawText(const std::string& text, double x, double y, Color color);
  template <typename T>
  void drawNumber(T value, double x, double y, Color color, bool leftAligned);

  bool opened;
  std::int32_t colorDepth;
  double width;
  double height;
  double refreshRate;
  Clock lastFlip;
  bool frameAccounting;
  bool infoOverlay;
  double lastInterval;
  double intervalLimit;
  double intervalOffset;
  // Both counters stop at the largest int rather than overflow.
  std::int32_t flipCount;
  std::int32_t droppedFrames;
  APICanvasProperties* api;
  bool flashMarked;  // markFlash, for the frame being drawn
};

extern template void Canvas::drawNumber<int>(int, double, double, Color, bool);
extern template void Canvas::drawNumber<double>(double, double, double, Color, bool);

// The drawing state a canvas of width x height sets when it opens, in its
// context: pixel coordinates with (0, 0) at the top left, blending on, and
// all else that could change a pixel off. The benchmarks set it the same way.
void setDrawingState(double width, double height);

// The first canvas that opened; text and the parameter console draw through it.
// (Its storage, and canvasHooks': LibraryState, library/shell/library_state.h.)
extern Canvas*& currentCanvas;

// What the layers above the canvas do at its moments. The canvas knows
// nothing above it: start-up connects these (initializeLibrary) to the
// starting values, the parameter console and the session record. Each may
// be null; plain function pointers, so a flip allocates nothing.
struct CanvasHooks {
  // Canvas::set, before the display is touched (may throw, see
  // RefusedOption: nothing is opened then).
  void (*opening)() = nullptr;
  // Canvas::set, once the display is open, before the two opening frames.
  void (*opened)(const Canvas& canvas) = nullptr;
  // Canvas::flip, after the information overlay and before glFlush.
  void (*drawing)() = nullptr;
  // Canvas::flip, after the swap and before the frame accounting.
  void (*presented)(const Canvas& canvas) = nullptr;
  // Canvas::flip, after `presented`: the display's look-up table had been
  // changed by another program and was loaded again.
  void (*lookupTableReloaded)(const Canvas& canvas) = nullptr;
};
extern CanvasHooks& canvasHooks;

// Draws on currentCanvas; a canvas must be open.
void drawText(const std::string& text, double x, double y, Color color);

constexpr const char* kCanvasTitle = "Kestravon Main Window";

}  // namespace Kestravon
