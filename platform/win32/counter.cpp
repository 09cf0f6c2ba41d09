// The performance counter: QueryPerformanceFrequency and
// QueryPerformanceCounter, as they are.
#include <windows.h>

#include <cstdint>

#include "platform/platform.h"
#include "platform/win32/backend.h"

namespace Kestravon {
namespace platform {

bool queryPerformanceFrequency(std::int64_t& frequency) {
  LARGE_INTEGER f;
  if (!QueryPerformanceFrequency(&f)) {
    frequency = 0;
    return false;
  }
  frequency = f.QuadPart;
  return frequency != 0;
}

void queryPerformanceCounter(std::int64_t& count) {
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  count = c.QuadPart;
}

namespace win32 {

double counterFrequency() {
  std::int64_t frequency = 0;
  return queryPerformanceFrequency(frequency) ? static_cast<double>(frequency) : 0.0;
}

double counterNow() {
  std::int64_t count = 0;
  queryPerformanceCounter(count);
  return static_cast<double>(count);
}

}  // namespace win32

}  // namespace platform
}  // namespace Kestravon
