#include "library/frame/keyboard.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace Kestravon {

unsigned char Keyboard::states[4][Keyboard::kTableSize];
std::int32_t Keyboard::keyMap[Keyboard::kTableSize];

namespace {

enum Table { kCurrent = 0, kPrevious = 1, kPushed = 2, kReleased = 3 };

constexpr unsigned char kDownBit = 0x80;
constexpr std::uintptr_t kVkEscape = 0x1B;

}  // namespace

void Keyboard::reset() {
  std::memset(states, 0, sizeof states);
  std::memset(keyMap, 0, sizeof keyMap);
  for (int i = 0; i < 9; ++i) keyMap[Key::Digit1 + i] = '1' + i;
  keyMap[Key::Digit0] = '0';
  for (int i = 0; i < 26; ++i) keyMap[Key::A + i] = 'A' + i;
  keyMap[Key::Comma] = 0xBC;
  keyMap[Key::Period] = 0xBE;
  keyMap[Key::Oem2] = 0xBF;
  for (int i = 0; i < 10; ++i) keyMap[Key::Numpad0 + i] = 0x60 + i;
  keyMap[Key::Return] = 0x0D;
  keyMap[Key::Space] = 0x20;
  keyMap[Key::Escape] = 0x1B;
  keyMap[Key::Up] = 0x26;
  keyMap[Key::Down] = 0x28;
  keyMap[Key::Left] = 0x25;
  keyMap[Key::Right] = 0x27;
  keyMap[Key::Shift] = 0x10;
  keyMap[Key::Control] = 0x11;
  keyMap[Key::Minus] = 0xBD;
  keyMap[Key::Oem5] = 0xDC;
  keyMap[Key::LeftButton] = 0x01;
  // Codes 62 and 67 are the two remaining OEM keys: grave accent and quote.
  keyMap[Key::Oem3] = 0xC0;
  keyMap[Key::Oem1] = 0xBA;
  keyMap[Key::Oem1Alias] = 0xBA;
  keyMap[Key::Oem4] = 0xDB;
  keyMap[Key::Oem6] = 0xDD;
  keyMap[Key::Oem7] = 0xDE;
  keyMap[Key::Add] = 0x6B;
  keyMap[Key::Subtract] = 0x6D;
  keyMap[Key::Multiply] = 0x6A;
  keyMap[Key::Divide] = 0x6F;
}

void Keyboard::update() {
  unsigned char* current = states[kCurrent];
  unsigned char* before = states[kPrevious];
  std::memcpy(before, current, kTableSize);
  platform::getKeyboardState(current);
  for (int i = 0; i < kTableSize; ++i) {
    const unsigned char changed = current[i] ^ before[i];
    states[kPushed][i] |= current[i] & changed;
    states[kReleased][i] |= before[i] & changed;
  }
}

bool Keyboard::query(KeyCode key, KeyQuery mode) {
  pumpMessages();
  if (key < 0 || key >= kTableSize) return false;
  const std::int32_t vk = keyMap[key];
  // Every map entry is a virtual-key code below 256; the check keeps a
  // corrupted entry from reading outside the tables.
  if (vk < 0 || vk >= kTableSize) return false;
  switch (mode) {
    case pressed:
      return (states[kCurrent][vk] & kDownBit) != 0;
    case previous:
    case pushed:
    case released: {
      unsigned char& entry = states[mode][vk];
      const bool down = (entry & kDownBit) != 0;
      entry = 0;
      return down;
    }
  }
  return false;
}

void pumpMessages() {
  platform::Message message;
  if (platform::peekMessage(message)) {
    if (message.id == platform::kMsgKeyDown) {
      if (message.wParam == kVkEscape) std::exit(kEscapeExitStatus);
    } else if (message.id != platform::kMsgKeyUp) {
      platform::translateMessage(message);
      platform::dispatchMessage(message);
    }
  }
  Keyboard::update();
}

}  // namespace Kestravon
