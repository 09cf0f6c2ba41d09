// Counts the heap allocations a thread makes: linked into a test
// executable, it replaces the global operator new (every form) with one
// that counts on the thread where counting is on. Mesa's rasteriser
// threads, and the C libraries' malloc, are not counted.
#pragma once

namespace Kestravon {
namespace testing {

extern thread_local bool countingAllocations;
extern thread_local long allocationsCounted;

}  // namespace testing
}  // namespace Kestravon
