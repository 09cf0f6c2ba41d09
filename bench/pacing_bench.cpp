// Pacing precision of the SDL2 backend where the driver cannot sync swaps
// (run it under Xvfb :N -screen 0 1024x768x24): the real stimulus program,
// console on, paced to 60 Hz by the backend; the moment each swap is
// issued is taken on the monotonic clock and the swap-to-swap intervals
// are summarised. A pushed Escape ends the program (status 128).
//
//   pacing_bench [--frames N]      (N intervals, default 600)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <vector>

#include "bench/bench_support.h"
#include "bench/sdl2_swap_hook.h"
#include "library/shell/startup.h"
#include "platform/platform.h"
#include "stimulus/stimulus.h"

using namespace Kestravon;

namespace {

constexpr int kOpeningSwaps = 2;
// Frames left to settle (window mapping, first atlas builds) before timing.
constexpr int kSettleFrames = 60;
// The canvas's intervalLimit at 60 Hz: one period plus one millisecond.
constexpr double kLimitMs = 1000.0 / 60.0 + 1.0;

int frames = 600;
std::vector<double> issued;    // entering SDL_GL_SwapWindow
std::vector<double> returned;  // the real swap has returned
std::vector<double> flushed;   // the frame's drawing flushed, before its swap
double lastFlush = 0;

void summarise(const char* tag, const std::vector<double>& times) {
  std::vector<double> intervals;
  for (std::size_t i = 1; i < times.size(); ++i) intervals.push_back((times[i] - times[i - 1]) * 1000.0);
  const double n = static_cast<double>(intervals.size());
  const double mean = std::accumulate(intervals.begin(), intervals.end(), 0.0) / n;
  double squares = 0;
  int late = 0;
  for (double v : intervals) {
    squares += (v - mean) * (v - mean);
    if (v > kLimitMs) ++late;
  }
  const double sd = std::sqrt(squares / (n - 1));
  std::vector<double> sorted = intervals;
  std::sort(sorted.begin(), sorted.end());
  const auto at = [&](double q) { return sorted[static_cast<std::size_t>(std::lround(q * (n - 1)))]; };
  std::printf(
      "%s intervals=%d mean_ms=%.4f sd_ms=%.4f min_ms=%.3f p01_ms=%.3f median_ms=%.3f p99_ms=%.3f "
      "max_ms=%.3f late=%d limit_ms=%.3f\n",
      tag, static_cast<int>(intervals.size()), mean, sd, sorted.front(), at(0.01), at(0.5), at(0.99), sorted.back(),
      late, kLimitMs);
}

// One line per interval above the limit, with where its time went: the
// previous swap itself, drawing the frame (from that swap's return to the
// flush) and the pacing wait (from the flush to this swap).
void printLateIntervals() {
  for (std::size_t i = 1; i < issued.size(); ++i) {
    const double interval = (issued[i] - issued[i - 1]) * 1000.0;
    if (interval <= kLimitMs) continue;
    std::printf("# late interval %zu: %.3f ms = previous swap %.3f + drawing %.3f + waiting %.3f\n", i, interval,
                (returned[i - 1] - issued[i - 1]) * 1000.0, (flushed[i] - returned[i - 1]) * 1000.0,
                (issued[i] - flushed[i]) * 1000.0);
  }
}

}  // namespace

// glFlush, interposed like the swap: the canvas flushes a frame's drawing
// just before it swaps, so from here to the swap is the backend's pacing wait.
extern "C" void glFlush() {
  using Flush = void (*)();
  static const auto real = reinterpret_cast<Flush>(bench::realFunction("glFlush"));
  real();
  lastFlush = bench::monotonicSeconds();
}

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc && std::atoi(argv[i + 1]) >= 2) {
      frames = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: pacing_bench [--frames N (>= 2)]\n");
      return 2;
    }
  }
  unsetenv("KESTRAVON_UNPACED");
  issued.reserve(static_cast<std::size_t>(frames) + 1);
  returned.reserve(static_cast<std::size_t>(frames) + 1);
  flushed.reserve(static_cast<std::size_t>(frames) + 1);
  bench::setSwapHook([](int swap, bool done) {
    const int frame = swap - kOpeningSwaps - kSettleFrames;
    if (frame < 0) return;
    (done ? returned : issued).push_back(bench::monotonicSeconds());
    if (!done) flushed.push_back(lastFlush);
    if (frame == frames && done) {
      std::printf("# pacing_bench sdl2: stimulus_main, console on, paced to 60 Hz, %d intervals\n", frames);
      summarise("PACING", issued);
      summarise("# swap returned:", returned);
      printLateIntervals();
      std::fflush(stdout);
      bench::pushKeyPress(platform::kVkEscape, false);
    }
  });
  return startUp(nullptr, nullptr, "", 1, stimulus_main);
}
