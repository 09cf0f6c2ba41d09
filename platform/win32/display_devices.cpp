// Which display the canvas takes, and its look-up table. Display N is the
// Nth display attached to the desktop, the primary first; the primary is
// left to the calls that name no device (as before any choice), another
// display is switched with ChangeDisplaySettingsExA on its device name
// and the canvas placed at its position (display_mode.cpp, windows.cpp).
// The table is SetDeviceGammaRamp's 3 x 256 entries, retried, since
// drivers refuse a call now and then; the display's own table is kept at
// the first set and given back through a device context of the display
// itself, by restoreDeviceGammaRamp and by every exit handler
// (desktop_safety.cpp).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/win32/backend.h"

namespace Kestravon {
namespace platform {

namespace {

// Display `index` among those attached to the desktop, the primary first.
bool attachedDisplay(int index, DISPLAY_DEVICEA& found) {
  int seen = 0;
  for (int pass = 0; pass < 2; ++pass) {
    DISPLAY_DEVICEA device;
    for (DWORD i = 0;; ++i) {
      std::memset(&device, 0, sizeof device);
      device.cb = sizeof device;
      if (!EnumDisplayDevicesA(nullptr, i, &device, 0)) break;
      const bool primary = (device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) != 0;
      if ((device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) == 0 || primary != (pass == 0)) continue;
      if (seen++ == index) {
        found = device;
        return true;
      }
    }
  }
  return false;
}

// Drivers refuse a call on the look-up table now and then and take it when
// asked again: a few tries, a little apart.
constexpr int kGammaTries = 5;
constexpr DWORD kGammaRetryMs = 20;

bool retried(BOOL(WINAPI* call)(HDC, LPVOID), HDC dc, win32::GammaRamp& ramp) {
  for (int attempt = 0; attempt < kGammaTries; ++attempt) {
    if (attempt > 0) Sleep(kGammaRetryMs);
    if (call(dc, ramp)) return true;
  }
  return false;
}

bool getRamp(HDC dc, win32::GammaRamp& ramp) { return retried(GetDeviceGammaRamp, dc, ramp); }

}  // namespace

namespace win32 {

bool setGammaRamp(HDC dc, GammaRamp& ramp) { return retried(SetDeviceGammaRamp, dc, ramp); }

const char* selectedDevice() {
  const char* device = backend().chosenDevice;
  return device[0] != '\0' ? device : nullptr;
}

bool currentSettings(DEVMODEA& dm) {
  std::memset(&dm, 0, sizeof dm);
  dm.dmSize = sizeof dm;
  return EnumDisplaySettingsA(selectedDevice(), ENUM_CURRENT_SETTINGS, &dm) != FALSE;
}

}  // namespace win32

bool enumDisplayDevice(int index, DisplayDevice& device) {
  device = DisplayDevice();
  DISPLAY_DEVICEA found;
  if (index < 0 || !attachedDisplay(index, found)) return false;
  std::memcpy(device.name, found.DeviceName, sizeof found.DeviceName);  // both NUL-terminated, 32 < 64
  DEVMODEA dm;
  std::memset(&dm, 0, sizeof dm);
  dm.dmSize = sizeof dm;
  if (EnumDisplaySettingsA(found.DeviceName, ENUM_CURRENT_SETTINGS, &dm)) {
    device.width = static_cast<int>(dm.dmPelsWidth);
    device.height = static_cast<int>(dm.dmPelsHeight);
    if ((dm.dmFields & DM_POSITION) != 0) {
      std::snprintf(device.where, sizeof device.where, "at %ld,%ld", static_cast<long>(dm.dmPosition.x),
                    static_cast<long>(dm.dmPosition.y));
    }
  }
  return true;
}

void selectDisplay(int index) {
  win32::Backend& b = win32::backend();
  DISPLAY_DEVICEA found;
  b.chosenDevice[0] = '\0';
  // The primary stays with the calls that name no device, as before any choice.
  if (index <= 0 || !attachedDisplay(index, found)) return;
  std::memcpy(b.chosenDevice, found.DeviceName, sizeof b.chosenDevice);
}

int gammaRampSize(DeviceContext dc) {
  win32::GammaRamp ramp;
  return getRamp(win32::toHdc(dc), ramp) ? win32::kGammaEntries : 0;
}

bool getDeviceGammaRamp(DeviceContext dc, std::uint16_t* ramp) {
  win32::GammaRamp table;
  if (!getRamp(win32::toHdc(dc), table)) return false;
  std::memcpy(ramp, table, sizeof table);
  return true;
}

bool setDeviceGammaRamp(DeviceContext dc, const std::uint16_t* ramp) {
  if (!win32::ownGammaRampKept()) {
    win32::GammaRamp own;
    if (!getRamp(win32::toHdc(dc), own)) return false;
    win32::keepOwnGammaRamp(own);
  }
  win32::GammaRamp table;
  std::memcpy(table, ramp, sizeof table);
  return win32::setGammaRamp(win32::toHdc(dc), table);
}

void restoreDeviceGammaRamp() { win32::giveGammaRampBack(); }

}  // namespace platform
}  // namespace Kestravon
