#include "platform/sdl2/key_translation.h"

namespace Kestravon {
namespace platform {
namespace sdl2 {

int virtualKeyFromScancode(SDL_Scancode scancode) {
  // SDL numbers letters, digits (1..9 then 0), keypad digits (1..9 then 0)
  // and F-keys in runs; Win32 has 0 before 1 in both digit runs.
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) {
    return 0x41 + (scancode - SDL_SCANCODE_A);
  }
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) {
    return 0x31 + (scancode - SDL_SCANCODE_1);
  }
  if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9) {
    return 0x61 + (scancode - SDL_SCANCODE_KP_1);
  }
  if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12) {
    return 0x70 + (scancode - SDL_SCANCODE_F1);
  }
  if (scancode >= SDL_SCANCODE_F13 && scancode <= SDL_SCANCODE_F24) {
    return 0x7C + (scancode - SDL_SCANCODE_F13);
  }
  switch (scancode) {
    case SDL_SCANCODE_0: return 0x30;
    case SDL_SCANCODE_KP_0: return 0x60;
    case SDL_SCANCODE_KP_MULTIPLY: return 0x6A;
    case SDL_SCANCODE_KP_PLUS: return 0x6B;
    case SDL_SCANCODE_KP_MINUS: return 0x6D;
    case SDL_SCANCODE_KP_PERIOD: return 0x6E;
    case SDL_SCANCODE_KP_DIVIDE: return 0x6F;
    // Win32 gives both Enter keys the same code (only an lParam flag differs).
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return 0x0D;
    case SDL_SCANCODE_BACKSPACE: return 0x08;
    case SDL_SCANCODE_TAB: return 0x09;
    case SDL_SCANCODE_PAUSE: return 0x13;
    case SDL_SCANCODE_CAPSLOCK: return 0x14;
    case SDL_SCANCODE_ESCAPE: return 0x1B;
    case SDL_SCANCODE_SPACE: return 0x20;
    case SDL_SCANCODE_PAGEUP: return 0x21;
    case SDL_SCANCODE_PAGEDOWN: return 0x22;
    case SDL_SCANCODE_END: return 0x23;
    case SDL_SCANCODE_HOME: return 0x24;
    case SDL_SCANCODE_LEFT: return 0x25;
    case SDL_SCANCODE_UP: return 0x26;
    case SDL_SCANCODE_RIGHT: return 0x27;
    case SDL_SCANCODE_DOWN: return 0x28;
    case SDL_SCANCODE_PRINTSCREEN: return 0x2C;
    case SDL_SCANCODE_INSERT: return 0x2D;
    case SDL_SCANCODE_DELETE: return 0x2E;
    case SDL_SCANCODE_LGUI: return 0x5B;
    case SDL_SCANCODE_RGUI: return 0x5C;
    case SDL_SCANCODE_APPLICATION: return 0x5D;
    case SDL_SCANCODE_NUMLOCKCLEAR: return 0x90;
    case SDL_SCANCODE_SCROLLLOCK: return 0x91;
    // Key messages carry the side-neutral modifier codes, as Win32's do.
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return 0x10;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return 0x11;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return 0x12;
    case SDL_SCANCODE_SEMICOLON: return 0xBA;
    case SDL_SCANCODE_EQUALS: return 0xBB;
    case SDL_SCANCODE_COMMA: return 0xBC;
    case SDL_SCANCODE_MINUS: return 0xBD;
    case SDL_SCANCODE_PERIOD: return 0xBE;
    case SDL_SCANCODE_SLASH: return 0xBF;
    case SDL_SCANCODE_GRAVE: return 0xC0;
    case SDL_SCANCODE_LEFTBRACKET: return 0xDB;
    case SDL_SCANCODE_BACKSLASH:
    case SDL_SCANCODE_NONUSHASH: return 0xDC;  // where ISO keyboards put the US backslash key
    case SDL_SCANCODE_RIGHTBRACKET: return 0xDD;
    case SDL_SCANCODE_APOSTROPHE: return 0xDE;
    case SDL_SCANCODE_NONUSBACKSLASH: return 0xE2;
    default: return 0;
  }
}

namespace {

// The keys whose Win32 code follows the layout's character: letters and the
// punctuation keys around them (the OEM codes), as their US positions say.
// Digits, keypad and control keys stay put on every Win32 layout.
bool isCharacterKey(SDL_Scancode scancode) {
  const int usKey = virtualKeyFromScancode(scancode);
  return (usKey >= 'A' && usKey <= 'Z') || (usKey >= 0xBA && usKey <= 0xC0) || (usKey >= 0xDB && usKey <= 0xDE);
}

int virtualKeyFromCharacter(SDL_Keycode keycode) {
  if (keycode >= SDLK_a && keycode <= SDLK_z) {
    return 0x41 + (keycode - SDLK_a);
  }
  switch (keycode) {
    case SDLK_SEMICOLON: return 0xBA;
    case SDLK_EQUALS: return 0xBB;
    case SDLK_COMMA: return 0xBC;
    case SDLK_MINUS: return 0xBD;
    case SDLK_PERIOD: return 0xBE;
    case SDLK_SLASH: return 0xBF;
    case SDLK_BACKQUOTE: return 0xC0;
    case SDLK_LEFTBRACKET: return 0xDB;
    case SDLK_BACKSLASH: return 0xDC;
    case SDLK_RIGHTBRACKET: return 0xDD;
    case SDLK_QUOTE: return 0xDE;
    default: return 0;
  }
}

}  // namespace

int virtualKeyFromKey(SDL_Scancode scancode, SDL_Keycode keycode) {
  if (isCharacterKey(scancode)) {
    const int fromLayout = virtualKeyFromCharacter(keycode);
    if (fromLayout != 0) {
      return fromLayout;
    }
  }
  return virtualKeyFromScancode(scancode);
}

}  // namespace sdl2
}  // namespace platform
}  // namespace Kestravon
