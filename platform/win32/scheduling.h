// The Win32 backend's scheduling helpers that other files of the backend use.
#pragma once

namespace Kestravon {
namespace platform {
namespace win32 {

// A 1 ms system timer for as long as it is held (timeBeginPeriod), so that
// Sleep ends within a millisecond of when it should: held at real-time
// priority and while the backend paces swaps itself. Given back at exit.
void holdFineTimer();
void releaseFineTimer();

}  // namespace win32
}  // namespace platform
}  // namespace Kestravon
