// Start-up: the backend's state, and message boxes (MessageBoxA, with no
// owner).
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/backend.h"

namespace Kestravon {
namespace platform {
namespace win32 {

namespace {

Backend state;

}  // namespace

Backend& backend() { return state; }

}  // namespace win32

int messageBox(const char* text, const char* caption) { return MessageBoxA(nullptr, text, caption, MB_OK); }

}  // namespace platform
}  // namespace Kestravon
