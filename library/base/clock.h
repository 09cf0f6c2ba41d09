// A raw performance-counter reading, intervals of readings, and their
// conversion to whole milliseconds.
#pragma once

#include <cstdint>

namespace Kestravon {

class Clock {
 public:
  Clock();  // the counter now
  explicit Clock(std::int64_t count) : count(count) {}

  void update();
  double milliseconds() const;

  // Ticks per millisecond; set once at start-up by initialize().
  static std::int64_t& countsPerMillisecond;
  // Reads the counter frequency; throws Exception when there is no usable counter.
  static void initialize();

  std::int64_t count;
};

Clock operator-(const Clock& a, const Clock& b);

}  // namespace Kestravon
