// The full-screen canvas: display mode, window, rendering context, frame
// presentation and drawing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "../base/clock.h"
#include "gamma_table.h"
#include "shapes.h"

namespace Kestravon {

// The platform half of an open canvas (its window, context and display
// table): library/canvas/canvas_platform.h, not installed.
class APICanvasProperties;

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
