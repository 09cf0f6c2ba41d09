// Shared by the benchmarks: command-line options, the key presses that set
// the bar width and SOA through the console, frame timing, and the RESULT
// line every benchmark prints.
#pragma once

#include <vector>

namespace Kestravon {
namespace bench {

struct Options {
  int frames = 3000;
  int barWidth = 6;
  int soa = 2;
  int saveFrame = 0;  // headless only: write this measured frame as a PNG
  const char* savePath = nullptr;
};

// Parses --frames N --w W --soa S (and --save F PATH where supported).
// Prints usage and returns false on anything else.
bool parseOptions(int argc, char** argv, const char* program, bool allowSave, Options& options);

// The console keys a user presses, one after another, to go from the
// program's start (Path-length Ratio selected, bar width 6, SOA 2) to the
// chosen bar width and SOA, ending with the SOA row selected. Win32
// virtual-key codes.
std::vector<int> consoleKeys(const Options& options);

// One key press (down and up) every kFramesPerKey frames from frame 1, then
// kSettleFrames frames before the measured frames start.
constexpr int kFramesPerKey = 3;
constexpr int kSettleFrames = 30;
int firstMeasuredFrame(const Options& options);

double monotonicSeconds();
double processCpuSeconds();

// Frame boundaries: mark() at the same point of every frame (the swap).
class FrameTimer {
 public:
  explicit FrameTimer(int frames);
  void start();  // the boundary before the first measured frame
  void mark();   // the end of one measured frame
  int marked() const { return static_cast<int>(ends_.size()); }
  // Prints `RESULT fps=... mean_ms=... median_ms=... seconds=... cpu_s=...`.
  void printResult() const;
  // The frame-to-frame intervals in milliseconds.
  std::vector<double> intervalsMs() const;

 private:
  double start_ = 0;
  double cpuStart_ = 0;
  double cpuEnd_ = 0;
  std::vector<double> ends_;
};

}  // namespace bench
}  // namespace Kestravon
