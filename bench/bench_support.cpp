#include "bench/bench_support.h"

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>

#include "platform/platform.h"

namespace Kestravon {
namespace bench {

namespace {

bool readInt(const char* text, int& out) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != 0 || value < -100000000 || value > 100000000) return false;
  out = static_cast<int>(value);
  return true;
}

double clockSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

bool parseOptions(int argc, char** argv, const char* program, bool allowSave, Options& options) {
  bool ok = true;
  for (int i = 1; i < argc && ok; ++i) {
    const char* arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(arg, "--frames") == 0 && hasValue) {
      ok = readInt(argv[++i], options.frames) && options.frames >= 1;
    } else if (std::strcmp(arg, "--w") == 0 && hasValue) {
      ok = readInt(argv[++i], options.barWidth) && options.barWidth >= 3 && options.barWidth <= 10;
    } else if (std::strcmp(arg, "--soa") == 0 && hasValue) {
      ok = readInt(argv[++i], options.soa) && options.soa >= 1 && options.soa <= 10;
    } else if (allowSave && std::strcmp(arg, "--save") == 0 && i + 2 < argc) {
      ok = readInt(argv[++i], options.saveFrame) && options.saveFrame >= 1;
      options.savePath = argv[++i];
    } else {
      ok = false;
    }
  }
  if (!ok) {
    std::fprintf(stderr, "usage: %s [--frames N (>= 1)] [--w 3..10] [--soa 1..10]%s\n", program,
                 allowSave ? " [--save FRAME PATH.png]" : "");
  }
  return ok;
}

std::vector<int> consoleKeys(const Options& options) {
  std::vector<int> keys;
  keys.push_back(platform::kVkDown);  // Bar Width
  for (int w = 6; w < options.barWidth; ++w) keys.push_back(platform::kVkRight);
  for (int w = 6; w > options.barWidth; --w) keys.push_back(platform::kVkLeft);
  keys.push_back(platform::kVkDown);  // SOA
  for (int s = 2; s < options.soa; ++s) keys.push_back(platform::kVkRight);
  for (int s = 2; s > options.soa; --s) keys.push_back(platform::kVkLeft);
  return keys;
}

int firstMeasuredFrame(const Options& options) {
  return static_cast<int>(consoleKeys(options).size()) * kFramesPerKey + kSettleFrames;
}

double monotonicSeconds() { return clockSeconds(CLOCK_MONOTONIC); }
double processCpuSeconds() { return clockSeconds(CLOCK_PROCESS_CPUTIME_ID); }

FrameTimer::FrameTimer(int frames) { ends_.reserve(static_cast<std::size_t>(frames)); }

void FrameTimer::start() {
  ends_.clear();
  cpuStart_ = processCpuSeconds();
  start_ = monotonicSeconds();
}

void FrameTimer::mark() {
  ends_.push_back(monotonicSeconds());
  cpuEnd_ = processCpuSeconds();
}

std::vector<double> FrameTimer::intervalsMs() const {
  std::vector<double> intervals;
  intervals.reserve(ends_.size());
  double previous = start_;
  for (double end : ends_) {
    intervals.push_back((end - previous) * 1000.0);
    previous = end;
  }
  return intervals;
}

void FrameTimer::printResult() const {
  std::vector<double> intervals = intervalsMs();
  if (intervals.empty()) {
    std::printf("RESULT fps=0 mean_ms=0 median_ms=0 seconds=0 cpu_s=0\n");
    return;
  }
  const double seconds = ends_.back() - start_;
  const double mean = std::accumulate(intervals.begin(), intervals.end(), 0.0) / static_cast<double>(intervals.size());
  std::sort(intervals.begin(), intervals.end());
  const std::size_t n = intervals.size();
  const double median = n % 2 == 1 ? intervals[n / 2] : 0.5 * (intervals[n / 2 - 1] + intervals[n / 2]);
  std::printf("RESULT fps=%.2f mean_ms=%.4f median_ms=%.4f seconds=%.3f cpu_s=%.3f\n", static_cast<double>(n) / seconds,
              mean, median, seconds, cpuEnd_ - cpuStart_);
  std::fflush(stdout);
}

}  // namespace bench
}  // namespace Kestravon
