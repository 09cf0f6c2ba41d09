// The floor for the frame benchmark: the same OpenGL work as a frame of the
// stimulus with its console (clear, the fixation mark and bar rectangles,
// the console's labels and values through the same display lists, flush,
// swap), issued directly, without the library's frame loop, keyboard,
// console, or state saving. Window, context and swap come from the same
// backend the library would use (headless or SDL2), set up once; the
// display lists are built by the library's own builder, once.
//
//   floor_bench_headless | floor_bench_sdl2 [--frames N] [--w W] [--soa S]
//   (headless also [--save F PATH.png])
//
// Runs the same number of unmeasured frames before the measured ones as
// the frame benchmark does, and, with w 6 and SOA 2 (where the library's
// frame counter is not disturbed by key presses), draws every frame pixel
// for pixel as the library does.
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/bench_support.h"
#include "library/base/application.h"
#include "library/canvas/canvas.h"
#include "library/canvas/canvas_platform.h"
#include "library/canvas/display_lists.h"
#include "platform/platform.h"
#include "stimulus/stimulus.h"
#ifdef KESTRAVON_FLOOR_HEADLESS
#include "platform/headless/headless.h"
#endif

using namespace Kestravon;
namespace pf = Kestravon::platform;

namespace {

constexpr int kRows = 6;
constexpr int kSelectedRow = 2;  // SOA, where the console keys leave the selection

// The canvas's window, display mode and context, opened as the library
// opens them (none of it is in the frame loop); the destructor gives the
// desktop back. False, with the reason on standard error, when it fails.
bool openCanvas(APICanvasProperties& canvas) {
  static const char kClassName[] = "KestravonFloor";
  pf::WindowClass windowClass;
  windowClass.className = kClassName;
  windowClass.procedure = pf::defaultWindowProcedure;
  if (pf::registerWindowClass(windowClass) == 0) return false;
  application.className = kClassName;
  application.showCommand = 1;
  try {
    canvas.open(kDisplayWidth, kDisplayHeight, 32, 60);
  } catch (const char* text) {
    std::fprintf(stderr, "%s\n", text);
    return false;
  }
  return true;
}

// The canvas's drawing state, as the library sets it when the canvas opens.
void setUpState() {
  setDrawingState(kDisplayWidth, kDisplayHeight);
  // Text goes through glCallLists on the font's lists.
  glListBase(fontLists[0]);
}

// A bar w wide and 40 high centred on (x0 + d, y), wrapped onto the path
// once, filled as the library fills a rectangle (inclusive corners).
void bar(int w, double x0, double y, double d, bool movesRight, int xLeft, int xRight, int L) {
  const double half = (w - 1) * 0.5;
  double left = x0 - half + d;
  double right = x0 + half + d;
  const double c = (left + right) * 0.5;
  if (movesRight && c >= xRight) {
    left -= L;
    right -= L;
  } else if (!movesRight && c <= xLeft) {
    left += L;
    right += L;
  }
  glRectd(left, y - 19.5, right + 1, y + 19.5 + 1);
}

struct Row {
  const char* label;
  char value[16];
  int labelLength;
  int valueLength;
};

}  // namespace

int main(int argc, char** argv) {
  bench::Options options;
#ifdef KESTRAVON_FLOOR_HEADLESS
  const char* name = "floor_bench_headless";
  if (!bench::parseOptions(argc, argv, name, true, options)) return 2;
  pf::headless::reset();
#else
  const char* name = "floor_bench_sdl2";
  if (!bench::parseOptions(argc, argv, name, false, options)) return 2;
  setenv("KESTRAVON_UNPACED", "1", 1);
#endif
  APICanvasProperties canvas;
  if (!openCanvas(canvas)) {
    std::fprintf(stderr, "%s: cannot open a %dx%d canvas\n", name, kDisplayWidth, kDisplayHeight);
    return 1;
  }
  buildDisplayLists();
  setUpState();
  // Both buffers blanked, as the canvas does when it opens; on headless
  // these two frames are read back, as the library's are (Mesa's later
  // frames on a pbuffer cost less after a read-back).
  for (int i = 0; i < 2; ++i) {
    glClear(GL_COLOR_BUFFER_BIT);
    glFlush();
    pf::swapBuffers(canvas.hdc);
  }
#ifdef KESTRAVON_FLOOR_HEADLESS
  pf::headless::setPresentImages(false);
#endif

  const int w = options.barWidth;
  const int soa = options.soa;
  Row rows[kRows] = {
      {kPathRatioLabel, "1", 0, 0},     {kBarWidthLabel, "", 0, 0},         {kSoaLabel, "", 0, 0},
      {kEccentricityLabel, "80", 0, 0}, {kMotionDirectionLabel, "1", 0, 0}, {kGreenLevelLabel, "1", 0, 0},
  };
  std::snprintf(rows[1].value, sizeof rows[1].value, "%d", w);
  std::snprintf(rows[2].value, sizeof rows[2].value, "%d", soa);
  for (Row& row : rows) {
    row.labelLength = static_cast<int>(std::strlen(row.label));
    row.valueLength = static_cast<int>(std::strlen(row.value));
  }

  const int k = 2;  // path-length ratio 1
  const int L = 600 - 600 % (2 * w * k);
  const int cycle = (L / w) * soa;
  const int N = L / (w * k);
  const int xLeft = 512 - L / 2;
  const int xRight = 512 + L / 2;
  const double upperY = 384 - 80;
  const double lowerY = 384 + 80;

  const int first = bench::firstMeasuredFrame(options);
  const int last = first + options.frames;
#ifdef KESTRAVON_FLOOR_HEADLESS
  const int saveAt = options.saveFrame > 0 ? first + options.saveFrame : -1;
#endif
  bench::FrameTimer timer(options.frames);
  int frameCounter = 0;
  for (int frame = 1; frame <= last; ++frame) {
    frameCounter = (frameCounter + 1) % cycle;
    const int phase = frameCounter / soa;

    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1, 1, 1, 1);
    glRectd(510, 382, 515, 387);
    if (frameCounter % soa == 0) {
      const int travelled = phase * w;
      for (int i = 0; i < N; ++i) {
        if ((phase % 2 == 0) == (i % 2 == 0)) {
          glColor4f(1, 0, 0, 1);
        } else {
          glColor4f(0, 1, 0, 1);
        }
        const int offset = k * w * i;
        bar(w, xLeft + travelled, upperY, offset, true, xLeft, xRight, L);
        bar(w, xRight - travelled, lowerY, -offset, false, xLeft, xRight, L);
      }
    }
    for (int i = 0; i < kRows; ++i) {
      const Row& row = rows[i];
      glColor4f(1, 1, 1, i == kSelectedRow ? 1.0f : 0.5f);
      const double y = 50.0 * i + 30;
      glRasterPos2d(30, y);
      glCallLists(row.labelLength, GL_UNSIGNED_BYTE, row.label);
      glPushMatrix();
      glTranslatef(190, static_cast<GLfloat>(y), 0);
      for (int c = row.valueLength - 1; c >= 0; --c) {
        glTranslatef(-12, 0, 0);
        glCallList(segmentLists[static_cast<unsigned char>(row.value[c])]);
      }
      glPopMatrix();
    }
    glFlush();
#ifdef KESTRAVON_FLOOR_HEADLESS
    if (frame == saveAt) pf::headless::setPresentImages(true);
#endif
    pf::swapBuffers(canvas.hdc);
#ifndef KESTRAVON_FLOOR_HEADLESS
    // The library's key queries take the window system's events every
    // frame; so does the floor, all of them at once.
    pf::Message message;
    while (pf::peekMessage(message)) {
    }
#endif
    if (frame == first) {
      timer.start();
    } else if (frame > first) {
      timer.mark();
    }
#ifdef KESTRAVON_FLOOR_HEADLESS
    if (frame == saveAt) {
      if (!pf::headless::writePng(pf::headless::frontImage(), options.savePath)) {
        std::fprintf(stderr, "%s: cannot write %s\n", name, options.savePath);
        return 1;
      }
      pf::headless::setPresentImages(false);
    }
#endif
  }
  std::printf("# floor_bench %s: direct OpenGL, w=%d soa=%d, %d frames\n",
#ifdef KESTRAVON_FLOOR_HEADLESS
              "headless",
#else
              "sdl2",
#endif
              w, soa, options.frames);
  timer.printResult();
  return 0;
}
