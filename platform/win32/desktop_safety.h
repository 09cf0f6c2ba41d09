// The Win32 backend's half of the desktop promise: once the display mode
// has been switched or the cursor hidden, every exit the process can see
// gives them back first, exactly once. The backend reports what it changed;
// the first change installs the exit handlers.
#pragma once

namespace Kestravon {
namespace platform {
namespace win32 {

// ChangeDisplaySettingsA switched the mode / put the desktop's mode back.
void modeSwitched();
void modeRestored();
// ShowCursor returned this display count (below zero: hidden).
void cursorCounted(int count);
// SetDeviceGammaRamp is about to change a display's look-up table.
void gammaRampOwed();
// Puts the display's own look-up table back if it is still owed (the
// backend keeps it: win32_platform.cpp). Any thread, no allocation.
void giveGammaRampBack();

// What every exit handler runs: restores the mode and the look-up table
// and shows the cursor if they are still owed, then owes nothing. No
// allocation, any thread.
void giveDesktopBack();

}  // namespace win32
}  // namespace platform
}  // namespace Kestravon
