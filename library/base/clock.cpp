#include "library/base/clock.h"

#include "library/base/exception.h"
#include "platform/platform.h"

namespace Kestravon {

Clock::Clock() : count(0) { update(); }

void Clock::update() { platform::queryPerformanceCounter(count); }

// Whole milliseconds: the divisor is whole ticks a millisecond and the
// quotient is truncated, as the clock is defined.
double Clock::milliseconds() const {
  return static_cast<double>(count / countsPerMillisecond);  // NOLINT(bugprone-integer-division)
}

void Clock::initialize() {
  std::int64_t frequency = 0;
  platform::queryPerformanceFrequency(frequency);
  // A counter slower than 1 kHz would make the divisor 0 (and every interval
  // a division by zero), so it is refused like a missing counter.
  if (frequency < 1000) {
    throw Exception(typeid(Clock), "HARDWARE NOT SUPPORTED",
                    "This computer does not support high-resolution performance counter.");
  }
  countsPerMillisecond = frequency / 1000;
}

Clock operator-(const Clock& a, const Clock& b) {
  // Two's-complement wrap, without the undefined behaviour of signed overflow.
  return Clock(static_cast<std::int64_t>(static_cast<std::uint64_t>(a.count) - static_cast<std::uint64_t>(b.count)));
}

}  // namespace Kestravon
