// The display selectDisplay chose, for the calls of win32_platform.cpp that
// concern it (display_devices.cpp).
#pragma once

#include <windows.h>

namespace Kestravon {
namespace platform {
namespace win32 {

// Its device name; null for the primary display, which the calls that name
// no device concern.
const char* selectedDevice();
// EnumDisplaySettingsA(selectedDevice(), ENUM_CURRENT_SETTINGS).
bool currentSettings(DEVMODEA& dm);

}  // namespace win32
}  // namespace platform
}  // namespace Kestravon
