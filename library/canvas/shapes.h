// Point, Rectangle and Color: the small values everything on the canvas is
// placed and coloured with. Coordinates are canvas pixels, origin top-left,
// y downwards; a Rectangle's corners are inclusive pixel positions.
#pragma once

namespace Kestravon {

class Color {
 public:
  Color();  // transparent black
  explicit Color(double gray);
  Color(double r, double g, double b);
  Color(double r, double g, double b, double a);
  // Integers are taken as they are, not scaled from 0..255: 1 or more is full.
  Color(int r, int g, int b, int a);

  void set(double r, double g, double b, double a);
  void set(double r, double g, double b);

  static const double gammaRed;
  static const double gammaGreen;
  static const double gammaBlue;

  static const Color white;
  static const Color black;
  static const Color gray;
  static const Color red;
  static const Color green;
  static const Color blue;
  static const Color cyan;
  static const Color magenta;
  static const Color yellow;

  double r;
  double g;
  double b;
  double a;
};

class Point {
 public:
  Point() : x(0), y(0) {}
  Point& set(double x, double y);

  double x;
  double y;
};

class Rectangle {
 public:
  Rectangle();
  Rectangle(double l, double t, double r, double b);

  // Corners, normalised so that left <= right and top <= bottom.
  Rectangle& set(double l, double t, double r, double b);
  // A size at the origin: (0, 0) to (width - 1, height - 1), not normalised.
  Rectangle& set(double width, double height);
  Rectangle& shift(double dx, double dy);
  Rectangle& centering(double x, double y);
  Rectangle& centering(const Point& p);

  double getWidth() const;
  double getHeight() const;
  double getCenterX() const;

  double left;
  double top;
  double right;
  double bottom;
  Color color;
};

}  // namespace Kestravon
