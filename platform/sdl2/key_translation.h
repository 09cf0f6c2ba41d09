// SDL key identities to Win32 virtual-key codes, so that the library's key
// tables and key map, written once in Win32 terms, work unchanged on SDL.
// Pure functions: usable without a display or SDL_Init (the unit tests rely
// on that).
#pragma once

#include <SDL_keycode.h>
#include <SDL_scancode.h>

namespace Kestravon {
namespace platform {
namespace sdl2 {

// The Win32 virtual-key code of the key at this position of a US keyboard,
// 0 when Win32 has no code for it. Always below 256, so it can index the
// 256-entry key-state table directly.
int virtualKeyFromScancode(SDL_Scancode scancode);

// As Win32 does, letter and punctuation keys follow the active layout (the key
// labelled A on an AZERTY keyboard is 'A'); digits, keypad and control keys
// are taken by position. Falls back to virtualKeyFromScancode when the layout
// gives no ASCII character for the key (a Cyrillic layout, say).
int virtualKeyFromKey(SDL_Scancode scancode, SDL_Keycode keycode);

}  // namespace sdl2
}  // namespace platform
}  // namespace Kestravon
