// Display modes and the cursor: ChangeDisplaySettingsA (Ex, by device
// name, on a chosen display other than the primary), giving the desktop
// its mode back, ShowCursor's count, the screen size as GetSystemMetrics
// gives it, and what the display runs at. Each switch and hidden cursor
// is reported to desktop_safety.cpp, which gives it back on every exit.
#include <windows.h>

#include <cstring>

#include "platform/platform.h"
#include "platform/win32/backend.h"

namespace Kestravon {
namespace platform {

namespace win32 {

int currentModeHz() {
  DEVMODEA dm;
  if (!currentSettings(dm)) return 0;
  return dm.dmDisplayFrequency > 1 ? static_cast<int>(dm.dmDisplayFrequency) : 0;
}

}  // namespace win32

long changeDisplayMode(const DisplayMode& mode) {
  DEVMODEA dm;
  std::memset(&dm, 0, sizeof dm);
  dm.dmSize = sizeof dm;
  dm.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
  dm.dmPelsWidth = static_cast<DWORD>(mode.width);
  dm.dmPelsHeight = static_cast<DWORD>(mode.height);
  dm.dmBitsPerPel = static_cast<DWORD>(mode.bitsPerPixel);
  dm.dmDisplayFrequency = static_cast<DWORD>(mode.frequency);
  const long result = win32::selectedDevice() != nullptr
                          ? ChangeDisplaySettingsExA(win32::selectedDevice(), &dm, nullptr, CDS_FULLSCREEN, nullptr)
                          : ChangeDisplaySettingsA(&dm, CDS_FULLSCREEN);
  if (result == DISP_CHANGE_SUCCESSFUL) {
    win32::modeSwitched();
    win32::backend().swaps.requestedHz = mode.frequency;
  }
  return result;
}

void restoreDisplayMode() {
  win32::modeRestored();
  if (win32::selectedDevice() != nullptr) {
    ChangeDisplaySettingsExA(win32::selectedDevice(), nullptr, nullptr, 0, nullptr);
  } else {
    ChangeDisplaySettingsA(nullptr, 0);
  }
}

int showCursor(bool show) {
  const int count = ShowCursor(show ? TRUE : FALSE);
  win32::cursorCounted(count);
  return count;
}

// The selected display's size after the switch (the primary's as GetSystemMetrics gives it).
int screenWidth() {
  DEVMODEA dm;
  if (win32::selectedDevice() != nullptr) return win32::currentSettings(dm) ? static_cast<int>(dm.dmPelsWidth) : 0;
  return GetSystemMetrics(SM_CXSCREEN);
}
int screenHeight() {
  DEVMODEA dm;
  if (win32::selectedDevice() != nullptr) return win32::currentSettings(dm) ? static_cast<int>(dm.dmPelsHeight) : 0;
  return GetSystemMetrics(SM_CYSCREEN);
}

SwapSync describeDisplay(DisplayMode& current) {
  current = DisplayMode{};
  DEVMODEA dm;
  if (win32::currentSettings(dm)) {
    current.width = static_cast<int>(dm.dmPelsWidth);
    current.height = static_cast<int>(dm.dmPelsHeight);
    current.bitsPerPixel = static_cast<int>(dm.dmBitsPerPel);
    current.frequency = win32::currentModeHz();
  }
  const win32::Backend::Swaps& swaps = win32::backend().swaps;
  if (swaps.paced) return SwapSync::ByBackend;
  // Checked when the canvas was shown: the test swaps waited for the display.
  return swaps.check.testSwaps > 0 ? SwapSync::ByDriver : SwapSync::Unsynchronised;
}

SwapCheck describeSwapCheck() { return win32::backend().swaps.check; }

}  // namespace platform
}  // namespace Kestravon
