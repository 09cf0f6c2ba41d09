// No heap allocation in the frame loop: the real stimulus, console and
// timing overlay on (and then the session record and timing files too), runs on the headless backend while this
// executable's own global operator new counts every allocation made on the routine's thread between the swap of frame
// 10 and the swap of frame 1010. Keys are pressed in that window, so stepping, selecting and drawing new values (ints
// and doubles) are all covered. The backend's swaps read no frames back (present-images off), so only the library and
// the routine can allocate there.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "library/canvas/canvas.h"
#include "library/shell/session_record.h"
#include "platform/headless/headless.h"
#include "tests/support/allocation_counter.h"
#include "tools/stimulus_driver.h"

namespace Kestravon {
namespace {

namespace hl = platform::headless;
using testing::allocationsCounted;
using testing::countingAllocations;

constexpr int kFirstCounted = 10;
constexpr int kLastCounted = 1010;

// Kept out of the optimiser's reach, so the allocation below really happens.
void* volatile sink = nullptr;

TEST(AllocationTest, TheCounterSeesAllocationsOnThisThread) {
  allocationsCounted = 0;
  countingAllocations = true;
  sink = ::operator new(24);
  std::string* text = new std::string(64, 'x');
  countingAllocations = false;
  delete text;
  ::operator delete(sink);
  EXPECT_EQ(allocationsCounted, 3) << "operator new, the string object and its characters";
}

// Runs the stimulus with these options and checks that no counted frame allocates.
void expectNoFrameAllocates(const std::string& commandLine) {
  // Key presses during the counted frames, one every few frames, each taken
  // within the frame after it is queued. Path-length Ratio starts selected.
  struct Press {
    int frame;
    int key;
  };
  const Press presses[] = {
      {100, platform::kVkRight},                             // Path-length Ratio 1.5: a double with a fraction
      {150, platform::kVkDown},  {200, platform::kVkLeft},   // Bar Width 5
      {250, platform::kVkDown},  {300, platform::kVkRight},  // SOA 3
      {350, platform::kVkUp},    {400, platform::kVkUp},    {450, platform::kVkUp},    // wraps to Green luminance
      {500, platform::kVkLeft},  {550, platform::kVkLeft},  {600, platform::kVkLeft},  // 0.85
      {650, platform::kVkDown},  {700, platform::kVkRight},                            // Path-length Ratio 2
  };

  long startUpAllocations = -1;
  long frameAllocations = -1;
  int flipCount = 0;
  double ratio = 0, width = 0, soa = 0, green = 0;
  const std::function<void(int)> onFrame = [&](int frame) {
    if (frame == 0) {
      countingAllocations = false;
      startUpAllocations = allocationsCounted;
      // The timing overlay's numbers are drawn (and counted) too.
      currentCanvas->infoOverlay = true;
      currentCanvas->frameAccounting = true;
      hl::setTicksPerSwap(170000);  // 17 ms a frame: the overlay's counters move
      hl::setPresentImages(false);
      // The backend logs every swap; room for all of them is made now.
      hl::state().log.reserve(hl::state().log.size() + 2 * static_cast<std::size_t>(kLastCounted));
    }
    const bool wasCounting = countingAllocations;
    countingAllocations = false;  // the test's own queueing is not the library's
    for (const Press& press : presses) {
      if (press.frame == frame) {
        hl::pushKeyDown(press.key);
        hl::pushKeyUp(press.key);
      }
    }
    countingAllocations = wasCounting;
    if (frame == kFirstCounted) {
      allocationsCounted = 0;
      countingAllocations = true;
    } else if (frame == kLastCounted) {
      countingAllocations = false;
      frameAllocations = allocationsCounted;
      flipCount = currentCanvas->flipCount;
      // Read while the routine (which owns the variables) still runs.
      ratio = driver::variableValue("Path-length Ratio");
      width = driver::variableValue("Bar Width");
      soa = driver::variableValue("SOA");
      green = driver::variableValue("Green luminance");
    }
  };
  allocationsCounted = 0;
  countingAllocations = true;  // start-up: among others, registration makes the holders
  const int status = driver::runStimulus(kLastCounted, onFrame, commandLine.c_str());
  countingAllocations = false;

  EXPECT_EQ(status, 0);
  EXPECT_GT(startUpAllocations, 0) << "start-up allocates (the six holders, for one): the counter must see it";
  EXPECT_EQ(frameAllocations, 0) << "allocations in frames " << kFirstCounted + 1 << " to " << kLastCounted;
  // The presses all arrived: the frames counted drew every kind of value.
  EXPECT_EQ(ratio, 2.0);
  EXPECT_EQ(width, 5);
  EXPECT_EQ(soa, 3);
  EXPECT_NEAR(green, 0.85, 1e-9);
  EXPECT_GE(flipCount, kLastCounted) << "the overlay's counters were drawn as they changed";
}

TEST(AllocationTest, StartUpAllocatesButNoFrameWithConsoleAndOverlayDoes) { expectNoFrameAllocates(""); }

TEST(AllocationTest, NorWithTheSessionRecordAndTimingOn) {
  char folder[] = "/tmp/kestravon-allocation-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string record = std::string(folder) + "/record.csv";
  const std::string timing = std::string(folder) + "/timing.csv";
  expectNoFrameAllocates("--record " + record + " --timing " + timing);
  SessionRecord::finish();  // flushed and closed, as at exit
  std::ifstream records(record);
  std::ifstream timings(timing);
  std::string line;
  int changes = 0;
  int frames = 0;
  while (std::getline(records, line)) changes += line.rfind("0,", 0) != 0 && line[0] != '#' && line[0] != 'f';
  while (std::getline(timings, line)) frames += line[0] != '#' && line[0] != 'f';
  EXPECT_EQ(changes, 7) << "every press that changed a value was written (Up and Down change none)";
  EXPECT_EQ(frames, kLastCounted + 2) << "a row for every presented frame";
  if (HasFailure()) return;
  std::remove(record.c_str());
  std::remove(timing.c_str());
  rmdir(folder);
}

}  // namespace
}  // namespace Kestravon
