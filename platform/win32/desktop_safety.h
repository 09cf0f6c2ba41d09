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

// What every exit handler runs: restores the mode and shows the cursor if
// they are still owed, then owes nothing. No allocation, any thread.
void giveDesktopBack();

}  // namespace win32
}  // namespace platform
}  // namespace Kestravon
