// The moving-bar stimulus: two rows of red/green bars flash every `soa`
// frames around a fixation mark, each flash one bar width further along
// their path, the upper row one way and the lower row the other.
#include "stimulus/stimulus.h"

#include "library/base/keyboard.h"
#include "library/canvas/canvas.h"
#include "library/parameters/range.h"
#include "library/parameters/variable_registry.h"

using namespace Kestravon;

const int kDisplayWidth = 1024;
const int kDisplayHeight = 768;
const char* const kPathRatioLabel = "Path-length Ratio";
const char* const kBarWidthLabel = "Bar Width";
const char* const kSoaLabel = "SOA";
const char* const kEccentricityLabel = "Eccentricity";
const char* const kMotionDirectionLabel = "Motion Direction";
const char* const kGreenLevelLabel = "Green luminance";
const double kRefreshRate = 60.0;

namespace {

constexpr int kMaxBars = 512;

// Builds one bar of a row afresh and wraps it onto the path once if needed.
void placeBar(Rectangle& bar, int w, int barHeight, double x0, double y, double d) {
  bar.set(w, barHeight);
  bar.centering(x0, y);
  bar.shift(d, 0);
}

void wrapBar(Rectangle& bar, bool movesRight, int xLeft, int xRight, int L) {
  const double c = bar.getCenterX();
  if (movesRight) {
    if (c >= xRight) bar.shift(-L, 0);
  } else {
    if (c <= xLeft) bar.shift(L, 0);
  }
}

}  // namespace

void stimulus_main() {
  Range range;

  double pathRatio = 1.0;
  int barWidth = 6;
  int soa = 2;
  int eccentricity = 80;
  int motionDirection = 1;
  double greenLevel = 1.0;

  1.0 <= range <= 6.0;
  VariableRegistrar::add(pathRatio).label(kPathRatioLabel).range(range).step(2).step(0.5);
  3 <= range <= 10;
  VariableRegistrar::add(barWidth).label(kBarWidthLabel).range(range).step(1).step(1);
  1 <= range <= 10;
  VariableRegistrar::add(soa).label(kSoaLabel).range(range).step(1).step(1);
  10 <= range <= 140;
  VariableRegistrar::add(eccentricity).label(kEccentricityLabel).range(range).step(10).step(20);
  -1 <= range <= 1;
  VariableRegistrar::add(motionDirection).label(kMotionDirectionLabel).range(range).step(1).step(2);
  0.0 <= range <= 1.0;
  VariableRegistrar::add(greenLevel).label(kGreenLevelLabel).range(range).step(0.05).step(0.05);

  const int barHeight = 40;
  const double redLevel = 1.0;
  const int fieldWidth = 600;

  Color colorA;
  Color colorB;
  Rectangle fixationMark;
  Rectangle upperBars[kMaxBars];
  Rectangle lowerBars[kMaxBars];

  Point center;
  center.set(kDisplayWidth * 0.5, kDisplayHeight * 0.5);
  fixationMark.set(5, 5).centering(center);

  Canvas canvas(kDisplayWidth, kDisplayHeight, 32, kRefreshRate);
  int frameCounter = 0;

  while (!Keyboard::query(Key::Escape, pushed)) {
    colorA.set(redLevel, 0, 0);
    colorB.set(0, greenLevel, 0);

    const int k = static_cast<int>(pathRatio + 1.0);
    const int w = barWidth;
    const int L = fieldWidth - (fieldWidth % (2 * w * k));
    const int cycle = (L / w) * soa;
    const int N = L / (w * k);
    const int xLeft = kDisplayWidth / 2 - L / 2;
    const int xRight = kDisplayWidth / 2 + L / 2;

    frameCounter = (frameCounter + 1) % cycle;
    const int phase = frameCounter / soa;

    const int centreY = kDisplayHeight / 2;  // whole pixels: the display's height is even
    const double upperY = centreY - eccentricity;
    const double lowerY = centreY + eccentricity;
    const bool upperMovesRight = motionDirection == 1;
    for (int i = 0; i < N; ++i) {
      const int travelled = phase * w;
      const int offset = k * w * i;
      if (upperMovesRight) {
        placeBar(upperBars[i], w, barHeight, xLeft + travelled, upperY, offset);
        placeBar(lowerBars[i], w, barHeight, xRight - travelled, lowerY, -offset);
      } else {
        placeBar(upperBars[i], w, barHeight, xRight - travelled, upperY, -offset);
        placeBar(lowerBars[i], w, barHeight, xLeft + travelled, lowerY, offset);
      }
      wrapBar(upperBars[i], upperMovesRight, xLeft, xRight, L);
      wrapBar(lowerBars[i], !upperMovesRight, xLeft, xRight, L);
    }

    canvas.clear(Color::black);
    canvas.fillRect(fixationMark, Color::white);
    if (frameCounter % soa == 0) {
      canvas.markFlash();  // for the timing file's flash column and --photodiode
      for (int i = 0; i < N; ++i) {
        const Color& color = ((phase % 2 == 0) == (i % 2 == 0)) ? colorA : colorB;
        canvas.fillRect(upperBars[i], color);
        canvas.fillRect(lowerBars[i], color);
      }
    }
    canvas.flip();
  }
}
