// The exits of a Windows program that the stimulus never takes by itself,
// for wine_exit_test.sh. Like a canvas opened twice, it switches the display
// to 1024x768 and hides the cursor, gives both back, takes them again,
// loads a square-root look-up table (as a canvas with --gamma 2.0 does), says
// "switched" on standard output, and leaves as its argument says (two
// seconds later, for the test to look at the screen first):
//   crash   an access violation nobody handles
//   throw   an exception nobody catches (std::terminate, then abort)
//   abort   std::abort
//   wait    waits (up to a minute) to be ended from outside, e.g. by Ctrl-C
// Status 2 when the display cannot be switched or refuses the table.
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "platform/platform.h"

namespace platform = Kestravon::platform;

int main(int argc, char** argv) {
  const char* way = argc > 1 ? argv[1] : "";
  platform::DisplayMode mode;
  mode.width = 1024;
  mode.height = 768;
  mode.bitsPerPixel = 32;
  mode.frequency = 60;
  for (int i = 0; i < 2; ++i) {
    if (i > 0) {
      platform::restoreDisplayMode();
      platform::showCursor(true);
    }
    if (platform::changeDisplayMode(mode) != platform::kDispChangeSuccessful) return 2;
    platform::showCursor(false);
  }
  const auto screen = reinterpret_cast<platform::DeviceContext>(GetDC(nullptr));
  const int entries = platform::gammaRampSize(screen);
  if (entries != 256) return 2;
  std::uint16_t ramp[3 * 256];
  for (int i = 0; i < 3 * 256; ++i) {
    ramp[i] = static_cast<std::uint16_t>(std::lround(65535.0 * std::sqrt((i % 256) / 255.0)));
  }
  if (!platform::setDeviceGammaRamp(screen, ramp)) return 2;
  std::puts("switched");
  std::fflush(stdout);
  Sleep(2000);

  if (std::strcmp(way, "crash") == 0) {
    int* volatile nowhere = nullptr;
    *nowhere = 1;
  }
  if (std::strcmp(way, "throw") == 0) throw std::runtime_error("nobody catches this");
  if (std::strcmp(way, "abort") == 0) std::abort();
  Sleep(60000);
  return 0;
}
