// An interval of the real line, written as the chain `lo <= range <= hi`.
#pragma once

#include <cstdint>

namespace Kestravon {

enum BoundKind : std::int32_t { Finite = 1, MinusInfinity = 2, PlusInfinity = 3 };
enum Closure : std::int32_t { Closed = 2, Open = 3 };

struct Bound {
  BoundKind kind;
  Closure closure;
  double value;
};

class Range {
 public:
  // Both ends finite and open, at 2.0 and 3.0: a range nobody has written yet.
  Range();
  Range(const Range&) = default;
  Range& operator=(const Range&) = default;
  virtual ~Range();

  bool includes(double x) const;

  Bound lower;
  Bound upper;
};

// The middle of `lo <= range <= hi`: keeps its own copy of the ends as the
// first comparison left them and writes the upper end of its target.
class Range_acc : public Range {
 public:
  explicit Range_acc(Range& target);
  ~Range_acc() override;

  Range& operator<=(double hi);

  Range& target;
};

Range_acc operator<=(double lo, Range& range);

}  // namespace Kestravon
