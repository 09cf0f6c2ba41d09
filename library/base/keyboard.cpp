#include "library/base/keyboard.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace Kestravon {

namespace {

enum Table { kCurrent = 0, kPrevious = 1, kPushed = 2, kReleased = 3 };

constexpr unsigned char kDownBit = 0x80;

}  // namespace

void Keyboard::reset() {
  std::memset(states, 0, sizeof states);
  std::memset(keyMap, 0, sizeof keyMap);
  for (int i = 0; i < 9; ++i) keyMap[Key::Digit1 + i] = '1' + i;
  keyMap[Key::Digit0] = '0';
  for (int i = 0; i < 26; ++i) keyMap[Key::A + i] = 'A' + i;
  keyMap[Key::Comma] = platform::kVkOemComma;
  keyMap[Key::Period] = platform::kVkOemPeriod;
  keyMap[Key::Oem2] = platform::kVkOem2;
  for (int i = 0; i < 10; ++i) keyMap[Key::Numpad0 + i] = platform::kVkNumpad0 + i;
  keyMap[Key::Return] = platform::kVkReturn;
  keyMap[Key::Space] = platform::kVkSpace;
  keyMap[Key::Escape] = platform::kVkEscape;
  keyMap[Key::Up] = platform::kVkUp;
  keyMap[Key::Down] = platform::kVkDown;
  keyMap[Key::Left] = platform::kVkLeft;
  keyMap[Key::Right] = platform::kVkRight;
  keyMap[Key::Shift] = platform::kVkShift;
  keyMap[Key::Control] = platform::kVkControl;
  keyMap[Key::Minus] = platform::kVkOemMinus;
  keyMap[Key::Oem5] = platform::kVkOem5;
  keyMap[Key::LeftButton] = platform::kVkLButton;
  // Codes 62 and 67 are the two remaining OEM keys: grave accent and quote.
  keyMap[Key::Oem3] = platform::kVkOem3;
  keyMap[Key::Oem1] = platform::kVkOem1;
  keyMap[Key::Oem1Alias] = platform::kVkOem1;
  keyMap[Key::Oem4] = platform::kVkOem4;
  keyMap[Key::Oem6] = platform::kVkOem6;
  keyMap[Key::Oem7] = platform::kVkOem7;
  keyMap[Key::Add] = platform::kVkAdd;
  keyMap[Key::Subtract] = platform::kVkSubtract;
  keyMap[Key::Multiply] = platform::kVkMultiply;
  keyMap[Key::Divide] = platform::kVkDivide;
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
    case pressed: return (states[kCurrent][vk] & kDownBit) != 0;
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

void Keyboard::latchPushed(KeyCode key) {
  if (key < 0 || key >= kTableSize) return;
  const std::int32_t vk = keyMap[key];
  if (vk >= 0 && vk < kTableSize) states[kPushed][vk] |= kDownBit;
}

void pumpMessages() {
  platform::Message message;
  if (platform::peekMessage(message)) {
    if (message.id == platform::kMsgKeyDown) {
      if (message.wParam == platform::kVkEscape) {
        std::exit(Keyboard::escapeExitStatus != nullptr ? Keyboard::escapeExitStatus() : kEscapeExitStatus);
      }
    } else if (message.id != platform::kMsgKeyUp) {
      platform::translateMessage(message);
      platform::dispatchMessage(message);
    }
  }
  Keyboard::update();
}

}  // namespace Kestravon
