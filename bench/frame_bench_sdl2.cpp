// Frame cost of the real stimulus program on the SDL2 backend (run it under
// Xvfb :N -screen 0 1024x768x24): stimulus_main with its console on, swaps
// unpaced (KESTRAVON_UNPACED=1, set here), the bar width and SOA set with
// arrow keys pushed on SDL's event queue, frames timed at the swap, and a
// pushed Escape that ends the program as a user's would (status 128).
//
//   frame_bench_sdl2 [--frames N] [--w W] [--soa S]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_support.h"
#include "bench/sdl2_swap_hook.h"
#include "library/parameters/variable_registry.h"
#include "library/shell/startup.h"
#include "platform/platform.h"
#include "stimulus/stimulus.h"

using namespace Kestravon;

namespace {

// The openings swaps that blank both buffers come before loop frame 1.
constexpr int kOpeningSwaps = 2;

int intVariable(const std::string& label) {
  for (VariableMonitor_Holder* holder : VariableRegistry::holders()) {
    auto* h = dynamic_cast<VariableMonitor_Holder_Instance<int>*>(holder);
    if (h != nullptr && h->label == label) return *h->variable;
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  static bench::Options options;
  if (!bench::parseOptions(argc, argv, "frame_bench_sdl2", false, options)) return 2;
  setenv("KESTRAVON_UNPACED", "1", 1);
  static const std::vector<int> keys = bench::consoleKeys(options);
  static const int first = bench::firstMeasuredFrame(options);
  static const int last = first + options.frames;
  static bench::FrameTimer timer(options.frames);

  bench::setSwapHook([](int swap, bool returned) {
    if (returned) return;
    const int frame = swap - kOpeningSwaps;
    if (frame < 0) return;
    if (frame % bench::kFramesPerKey == 0 && frame / bench::kFramesPerKey < static_cast<int>(keys.size())) {
      bench::pushKeyPress(keys[static_cast<std::size_t>(frame / bench::kFramesPerKey)], true);
    }
    if (frame == first) {
      if (intVariable(kBarWidthLabel) != options.barWidth || intVariable(kSoaLabel) != options.soa) {
        std::fprintf(stderr, "frame_bench_sdl2: the console keys did not reach w=%d soa=%d (got %d, %d)\n",
                     options.barWidth, options.soa, intVariable(kBarWidthLabel), intVariable(kSoaLabel));
        std::exit(1);
      }
      timer.start();
    } else if (frame > first) {
      timer.mark();
    }
    if (frame == last) {
      std::printf("# frame_bench sdl2: stimulus_main, console on, unpaced, w=%d soa=%d, %d frames\n", options.barWidth,
                  options.soa, options.frames);
      timer.printResult();
      bench::pushKeyPress(platform::kVkEscape, false);
    }
  });
  // As the program's own entry does.
  return startUp(nullptr, nullptr, "", 1, stimulus_main);
}
