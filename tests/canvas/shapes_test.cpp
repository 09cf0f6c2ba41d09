#include "library/canvas/shapes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace Kestravon {
namespace {

void expectColor(const Color& c, double r, double g, double b, double a) {
  EXPECT_EQ(c.r, r);
  EXPECT_EQ(c.g, g);
  EXPECT_EQ(c.b, b);
  EXPECT_EQ(c.a, a);
}

void expectRect(const Rectangle& rect, double l, double t, double r, double b) {
  EXPECT_EQ(rect.left, l);
  EXPECT_EQ(rect.top, t);
  EXPECT_EQ(rect.right, r);
  EXPECT_EQ(rect.bottom, b);
}

TEST(ColorTest, ComponentsClampAndNotANumberBecomesZero) {
  Color c;
  expectColor(c, 0, 0, 0, 0);
  c.set(-0.2, 1.7, 0.5, 2);
  expectColor(c, 0, 1, 0.5, 1);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  c.set(nan, nan, nan, nan);
  expectColor(c, 0, 0, 0, 0);
  c.set(0.25, 0.75, 1.0);
  expectColor(c, 0.25, 0.75, 1.0, 1.0);
  expectColor(Color(0.3), 0.3, 0.3, 0.3, 1.0);
}

TEST(ColorTest, IntegerConstructorDoesNotRescale) {
  expectColor(Color(0, 0, 0, 127), 0, 0, 0, 1);
  expectColor(Color(255, 1, 0, 0), 1, 1, 0, 0);
  expectColor(Color(-5, 2, 0, 1), 0, 1, 0, 1);
}

TEST(RectangleTest, CornersNormaliseSizesDoNot) {
  Rectangle r(10, 20, 4, 8);
  expectRect(r, 4, 8, 10, 20);
  expectColor(r.color, 0, 0, 0, 0);
  r.set(5, 5);
  expectRect(r, 0, 0, 4, 4);
  EXPECT_EQ(r.getWidth(), 4);
  EXPECT_EQ(r.getHeight(), 4);
  EXPECT_EQ(r.getCenterX(), 2);
  r.set(0, 0);
  expectRect(r, 0, 0, -1, -1);
  r.shift(0, 0);
  expectRect(r, -1, -1, 0, 0);
}

TEST(RectangleTest, CenteringKeepsTheExtent) {
  Rectangle r;
  Point p;
  p.set(512, 384);
  r.set(5, 5).centering(p);
  expectRect(r, 510, 382, 514, 386);
  r.set(6, 40).centering(100, 304);  // odd extent: corners on half pixels
  expectRect(r, 97.5, 284.5, 102.5, 323.5);
  r.shift(12, -4);
  expectRect(r, 109.5, 280.5, 114.5, 319.5);
  EXPECT_EQ(r.getCenterX(), 112);
}

}  // namespace
}  // namespace Kestravon
