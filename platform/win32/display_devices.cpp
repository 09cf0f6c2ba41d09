// Which display the canvas takes, and its look-up table. Display N is the
// Nth display attached to the desktop, the primary first; the primary is
// left to the calls that name no device (as before any choice), another
// display is switched with ChangeDisplaySettingsExA on its device name
// and the canvas placed at its position (win32_platform.cpp). The table is
// SetDeviceGammaRamp's 3 x 256 entries, retried, since drivers refuse a
// call now and then; the display's own table is kept at the first set and
// given back through a device context of the display itself, by
// restoreDeviceGammaRamp and by every exit handler (desktop_safety.cpp).
#include "platform/win32/display_devices.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/win32/desktop_safety.h"

namespace Kestravon {
namespace platform {

namespace {

HDC toHdc(DeviceContext dc) { return reinterpret_cast<HDC>(dc); }

// The display selectDisplay chose: its device name, or empty for the
// primary display.
char chosenDevice[32] = {};  // DISPLAY_DEVICEA::DeviceName

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

// The look-up table: Windows' 3 x 256 entries. Drivers refuse a call now
// and then and take it when asked again; a few tries, a little apart.
constexpr int kGammaEntries = 256;
constexpr int kGammaTries = 5;
constexpr DWORD kGammaRetryMs = 20;
WORD ownRamp[3][kGammaEntries];
char ownRampDevice[sizeof chosenDevice] = {};
volatile LONG rampOwed = 0;

bool getRamp(HDC dc, WORD (&ramp)[3][kGammaEntries]) {
  for (int attempt = 0; attempt < kGammaTries; ++attempt) {
    if (attempt > 0) Sleep(kGammaRetryMs);
    if (GetDeviceGammaRamp(dc, ramp)) return true;
  }
  return false;
}

bool setRamp(HDC dc, WORD (&ramp)[3][kGammaEntries]) {
  for (int attempt = 0; attempt < kGammaTries; ++attempt) {
    if (attempt > 0) Sleep(kGammaRetryMs);
    if (SetDeviceGammaRamp(dc, ramp)) return true;
  }
  return false;
}

}  // namespace

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
  DISPLAY_DEVICEA found;
  chosenDevice[0] = '\0';
  // The primary stays with the calls that name no device, as before any choice.
  if (index <= 0 || !attachedDisplay(index, found)) return;
  std::memcpy(chosenDevice, found.DeviceName, sizeof chosenDevice);
}

int gammaRampSize(DeviceContext dc) {
  WORD ramp[3][kGammaEntries];
  return getRamp(toHdc(dc), ramp) ? kGammaEntries : 0;
}

bool getDeviceGammaRamp(DeviceContext dc, std::uint16_t* ramp) {
  WORD table[3][kGammaEntries];
  if (!getRamp(toHdc(dc), table)) return false;
  std::memcpy(ramp, table, sizeof table);
  return true;
}

bool setDeviceGammaRamp(DeviceContext dc, const std::uint16_t* ramp) {
  if (rampOwed == 0) {
    if (!getRamp(toHdc(dc), ownRamp)) return false;
    std::memcpy(ownRampDevice, chosenDevice, sizeof ownRampDevice);
    win32::gammaRampOwed();
    InterlockedExchange(&rampOwed, 1);
  }
  WORD table[3][kGammaEntries];
  std::memcpy(table, ramp, sizeof table);
  return setRamp(toHdc(dc), table);
}

void restoreDeviceGammaRamp() { win32::giveGammaRampBack(); }

namespace win32 {

const char* selectedDevice() { return chosenDevice[0] != '\0' ? chosenDevice : nullptr; }

bool currentSettings(DEVMODEA& dm) {
  std::memset(&dm, 0, sizeof dm);
  dm.dmSize = sizeof dm;
  return EnumDisplaySettingsA(selectedDevice(), ENUM_CURRENT_SETTINGS, &dm) != FALSE;
}

// Through a device context of the display itself: the canvas window, and
// its context, may be gone by now.
void giveGammaRampBack() {
  if (InterlockedExchange(&rampOwed, 0) == 0) return;
  HDC dc = ownRampDevice[0] != '\0' ? CreateDCA(ownRampDevice, nullptr, nullptr, nullptr) : GetDC(nullptr);
  if (dc == nullptr) return;
  setRamp(dc, ownRamp);
  if (ownRampDevice[0] != '\0') {
    DeleteDC(dc);
  } else {
    ReleaseDC(nullptr, dc);
  }
}

}  // namespace win32

}  // namespace platform
}  // namespace Kestravon
