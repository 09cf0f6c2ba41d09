// The moving-bar geometry, written for the tests from its description in
// stimulus/stimulus.h and independently of the routine: bars k bar widths
// apart, rows moving one bar width per flash around a path of length L
// centred on x = 512, positions taken modulo L.
#pragma once

namespace Kestravon {
namespace testing {

struct BarGeometry {
  int k, w, L, N, xLeft, xRight, cycle;

  BarGeometry(double pathRatio, int barWidth, int soa)
      : k(static_cast<int>(pathRatio + 1.0)),
        w(barWidth),
        L(600 - 600 % (2 * w * k)),
        N(L / (w * k)),
        xLeft(512 - L / 2),
        xRight(512 + L / 2),
        cycle((L / w) * soa) {}

  // How far bar i has gone along the path at this phase.
  int travelled(int phase, int i) const { return (phase * w + k * w * i) % L; }
  // Centre of bar i of the row that moves right / left.
  int rightwardCentre(int phase, int i) const { return xLeft + travelled(phase, i); }
  int leftwardCentre(int phase, int i) const { return xRight - travelled(phase, i); }
};

}  // namespace testing
}  // namespace Kestravon
