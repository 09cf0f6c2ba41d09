// The performance counter: SDL's, which is the monotonic clock on POSIX.
#include <SDL.h>

#include "platform/platform.h"

namespace Kestravon {
namespace platform {

bool queryPerformanceFrequency(std::int64_t& frequency) {
  frequency = static_cast<std::int64_t>(SDL_GetPerformanceFrequency());
  return frequency > 0;
}

void queryPerformanceCounter(std::int64_t& count) { count = static_cast<std::int64_t>(SDL_GetPerformanceCounter()); }

}  // namespace platform
}  // namespace Kestravon
