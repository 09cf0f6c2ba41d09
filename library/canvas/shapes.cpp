#include "library/canvas/shapes.h"

#include <cmath>
#include <utility>

namespace Kestravon {

namespace {

// Not-a-number fails the first test and so becomes 0 as well.
double clampUnit(double v) {
  if (!(v >= 0.0)) return 0.0;
  return v > 1.0 ? 1.0 : v;
}

}  // namespace

const double Color::gammaRed = 1.0;
const double Color::gammaGreen = 1.0;
const double Color::gammaBlue = 1.0;

const Color Color::white(1.0, 1.0, 1.0);
const Color Color::black(0.0, 0.0, 0.0);
const Color Color::gray(0.5, 0.5, 0.5);
const Color Color::red(1.0, 0.0, 0.0);
const Color Color::green(0.0, 1.0, 0.0);
const Color Color::blue(0.0, 0.0, 1.0);
const Color Color::cyan(0.0, 1.0, 1.0);
const Color Color::magenta(1.0, 0.0, 1.0);
const Color Color::yellow(1.0, 1.0, 0.0);

Color::Color() { set(0.0, 0.0, 0.0, 0.0); }
Color::Color(double gray) { set(gray, gray, gray, 1.0); }
Color::Color(double r, double g, double b) { set(r, g, b, 1.0); }
Color::Color(double r, double g, double b, double a) { set(r, g, b, a); }
Color::Color(int r, int g, int b, int a) {
  set(static_cast<double>(r), static_cast<double>(g), static_cast<double>(b), static_cast<double>(a));
}

void Color::set(double red, double green, double blue, double alpha) {
  red = clampUnit(red);
  green = clampUnit(green);
  blue = clampUnit(blue);
  alpha = clampUnit(alpha);
  // With the exponents at 1.0 this is the identity; skip the pow calls that
  // the per-frame colour updates would otherwise pay for.
  r = gammaRed == 1.0 ? red : std::pow(red, gammaRed);
  g = gammaGreen == 1.0 ? green : std::pow(green, gammaGreen);
  b = gammaBlue == 1.0 ? blue : std::pow(blue, gammaBlue);
  a = alpha;
}

void Color::set(double red, double green, double blue) { set(red, green, blue, 1.0); }

Point& Point::set(double px, double py) {
  x = px;
  y = py;
  return *this;
}

Rectangle::Rectangle() : left(0), top(0), right(0), bottom(0) {}

Rectangle::Rectangle(double l, double t, double r, double b) { set(l, t, r, b); }

Rectangle& Rectangle::set(double l, double t, double r, double b) {
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  left = l;
  top = t;
  right = r;
  bottom = b;
  return *this;
}

Rectangle& Rectangle::set(double width, double height) {
  left = 0;
  top = 0;
  right = width - 1;
  bottom = height - 1;
  return *this;
}

Rectangle& Rectangle::shift(double dx, double dy) { return set(left + dx, top + dy, right + dx, bottom + dy); }

Rectangle& Rectangle::centering(double x, double y) {
  const double w = getWidth();
  const double h = getHeight();
  left = x - w * 0.5;
  top = y - h * 0.5;
  right = x + w * 0.5;
  bottom = y + h * 0.5;
  return *this;
}

Rectangle& Rectangle::centering(const Point& p) { return centering(p.x, p.y); }

double Rectangle::getWidth() const { return std::fabs(right - left); }
double Rectangle::getHeight() const { return std::fabs(bottom - top); }
double Rectangle::getCenterX() const { return (right + left) * 0.5; }

}  // namespace Kestravon
