#include "library/parameters/range.h"

namespace Kestravon {

Range::Range() : lower{Finite, Open, 2.0}, upper{Finite, Open, 3.0} {}

Range::~Range() = default;

bool Range::includes(double x) const {
  if (lower.kind != MinusInfinity) {
    if (lower.closure == Open && lower.value >= x) return false;
    if (lower.closure == Closed && lower.value > x) return false;
  }
  if (upper.kind != PlusInfinity) {
    if (upper.closure == Open && upper.value <= x) return false;
    if (upper.closure == Closed && upper.value < x) return false;
  }
  return true;
}

Range_acc::Range_acc(Range& target) : Range(target), target(target) {}

Range_acc::~Range_acc() = default;

Range& Range_acc::operator<=(double hi) {
  target.upper = Bound{Finite, Closed, hi};
  return target;
}

Range_acc operator<=(double lo, Range& range) {
  range.lower = Bound{Finite, Closed, lo};
  range.upper = Bound{PlusInfinity, Closed, 0.0};
  return Range_acc(range);
}

}  // namespace Kestravon
