// Once the SDL2 backend is up, memory of a frame's size that is freed stays
// in the process: taken again, it costs no page faults. (The GL and X
// libraries free and take such buffers every frame or two; faulting them in
// afresh each time halved the frame rate under Xvfb.)
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace Kestravon {
namespace {

void* volatile keep;  // so that the compiler cannot drop the allocations

long minorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// Takes, writes to every page of, and frees a block of `bytes`.
void useBlock(std::size_t bytes) {
  keep = std::malloc(bytes);
  ASSERT_NE(keep, nullptr);
  std::memset(keep, 1, bytes);
  std::free(keep);
}

// Needs a display (the ctest entry runs it under Xvfb).
TEST(Sdl2HeapTest, FreedFrameSizedBlocksAreReusedWithoutPageFaults) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer brings its own allocator";
#endif
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
  platform::WindowClass windowClass;
  windowClass.className = "KestravonHeapTest";
  windowClass.procedure = [](platform::Window, std::uint32_t, std::uintptr_t, std::intptr_t) -> std::intptr_t {
    return 0;
  };
  ASSERT_NE(platform::registerWindowClass(windowClass), 0);

  // Sizes from a frame's colour buffer (1024 x 768 x 4) to a few of them.
  const std::size_t sizes[] = {3u << 20, 6u << 20, 12u << 20, 24u << 20};
  for (std::size_t bytes : sizes) {
    useBlock(bytes);  // the first use may grow the heap
  }
  const long before = minorFaults();
  for (int round = 0; round < 5; ++round) {
    for (std::size_t bytes : sizes) {
      useBlock(bytes);
    }
  }
  const long faults = minorFaults() - before;
  const long pagesOfOneBlock = static_cast<long>((3u << 20) / 4096);
  EXPECT_LT(faults, pagesOfOneBlock / 4) << "freed blocks went back to the kernel and were faulted in again";
}

}  // namespace
}  // namespace Kestravon
