// Runs the real stimulus on the headless backend for a long time (a day of
// a lab's work is about 5 million frames) and reports the process's
// resident size at frame 1,000, after a warm-up and at the end: memory that
// grows with the frames would show as a difference.
//
//   long_run [--frames N] [--warmup W] [--seed S] [--max-growth-kib K]
//
// A person sits at the keyboard: every few frames a random key of the
// console (and now and then another key) is tapped, never Escape. Frame
// accounting is on; the counter moves one refresh period per frame, with a
// late frame now and then. The warm-up (default 100,000 frames) lets the
// GL driver's caches reach their size: Mesa takes pages as new states come
// up, a few hundred KiB in the first tens of thousands of frames. Exit
// status 0 when the resident size grew by at most K KiB (default 256) from
// frame W to the end and the variables stayed in their ranges; 1
// otherwise; 2 for a bad argument.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#ifdef __GLIBC__  // defined by the C library's headers included above
#include <malloc.h>
#endif

#include "library/canvas/canvas.h"
#include "platform/headless/headless.h"
#include "stimulus/stimulus.h"
#include "tools/stimulus_driver.h"

using namespace Kestravon;
namespace hl = platform::headless;

namespace {

// VmRSS from /proc/self/status, in KiB; -1 when it cannot be read.
long residentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 6, "VmRSS:") == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// Bytes malloc has handed out and not had back, in KiB; -1 where unknown.
long heapInUseKiB() {
#ifdef __GLIBC__
  const auto info = mallinfo2();
  return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
#else
  return -1;
#endif
}

bool readCount(const char* text, long long& out) {
  char* end = nullptr;
  const long long value = std::strtoll(text, &end, 10);
  if (end == text || *end != 0 || value < 0) return false;
  out = value;
  return true;
}

struct Limits {
  const char* label;
  double lo;
  double hi;
};

const Limits kLimits[] = {{kPathRatioLabel, 1.0, 6.0},   {kBarWidthLabel, 3, 10},        {kSoaLabel, 1, 10},
                          {kEccentricityLabel, 10, 140}, {kMotionDirectionLabel, -1, 1}, {kGreenLevelLabel, 0.0, 1.0}};

}  // namespace

int main(int argc, char** argv) {
  long long frames = 1000000;
  long long warmup = 100000;
  long long seed = 1;
  long long maxGrowth = 256;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    long long* target = nullptr;
    if (std::strcmp(argv[i], "--frames") == 0) target = &frames;
    if (std::strcmp(argv[i], "--warmup") == 0) target = &warmup;
    if (std::strcmp(argv[i], "--seed") == 0) target = &seed;
    if (std::strcmp(argv[i], "--max-growth-kib") == 0) target = &maxGrowth;
    if (target == nullptr || !hasValue || !readCount(argv[++i], *target)) {
      std::fprintf(stderr, "usage: long_run [--frames N] [--warmup N] [--seed S] [--max-growth-kib K]\n");
      return 2;
    }
  }
  // The driver counts frames in an int.
  if (frames > 2000000000 || warmup < 1 || warmup >= frames) {
    std::fprintf(stderr, "long_run: need 1 <= warmup < frames <= 2000000000\n");
    return 2;
  }

  std::mt19937 rng(static_cast<std::uint32_t>(seed));
  const int keys[] = {platform::kVkLeft,
                      platform::kVkUp,
                      platform::kVkRight,
                      platform::kVkDown,
                      platform::kVkShift,
                      0x20,
                      'A',
                      0x0D};                  // and Space, A, Return
  const std::int64_t period = 10000000 / 60;  // the backend's counter runs at 10 MHz
  constexpr int kStartFrame = 1000;
  long startKiB = -1;
  long warmKiB = -1;
  long endKiB = -1;
  long warmHeapKiB = -1;
  long endHeapKiB = -1;
  int flips = 0;
  int missed = 0;
  int outOfRange = 0;
  int heldKey = 0;

  const int status = driver::runStimulus(static_cast<int>(frames), [&](int frame) {
    // The backend's call log is the test's record, not the program's
    // memory: emptied every frame so that it does not grow with the run.
    hl::state().log.clear();
    if (frame == 0) {
      hl::setPresentImages(false);
      currentCanvas->frameAccounting = true;
      return;
    }
    hl::advanceCounter(rng() % 50 == 0 ? period * (2 + rng() % 3) : period);
    if (heldKey != 0) {
      hl::pushKeyUp(heldKey);
      heldKey = 0;
    } else if (rng() % 4 == 0) {
      heldKey = keys[rng() % (sizeof keys / sizeof keys[0])];
      hl::pushKeyDown(heldKey);
    }
    if (frame % 1000 == 0) {
      for (const Limits& l : kLimits) {
        const double v = driver::variableValue(l.label);
        if (!(v >= l.lo && v <= l.hi)) ++outOfRange;
      }
    }
    if (frame == kStartFrame) startKiB = residentKiB();
    if (frame == warmup) {
      warmKiB = residentKiB();
      warmHeapKiB = heapInUseKiB();
    }
    if (frame % 100000 == 0) {
      std::printf("frame %d: resident %ld KiB, flips counted %d, missed periods %d\n", frame, residentKiB(),
                  currentCanvas->flipCount, currentCanvas->droppedFrames);
      std::fflush(stdout);
    }
    if (frame == frames) {
      endKiB = residentKiB();
      endHeapKiB = heapInUseKiB();
      flips = currentCanvas->flipCount;
      missed = currentCanvas->droppedFrames;
    }
  });

  std::printf("frames %lld, seed %lld: flips counted %d, missed periods %d\n", frames, seed, flips, missed);
  std::printf("resident: %ld KiB at frame %d, %ld KiB at frame %lld, %ld KiB at the end (%+ld KiB since frame %lld)\n",
              startKiB, kStartFrame, warmKiB, warmup, endKiB, endKiB - warmKiB, warmup);
  std::printf("heap in use: %ld KiB at frame %lld, %ld KiB at the end\n", warmHeapKiB, warmup, endHeapKiB);
  if (status != 0) {
    std::fprintf(stderr, "long_run: the stimulus ended with status %d\n", status);
    return 1;
  }
  if (outOfRange != 0) {
    std::fprintf(stderr, "long_run: %d variable readings outside their ranges\n", outOfRange);
    return 1;
  }
  if (warmKiB < 0 || endKiB < 0 || endKiB - warmKiB > maxGrowth) {
    std::fprintf(stderr, "long_run: resident size grew by more than %lld KiB\n", maxGrowth);
    return 1;
  }
  return 0;
}
