// Keyboard state: four 256-byte tables indexed by virtual-key code, kept up
// to date by the message pump that runs at every query.
#pragma once

#include <cstdint>

namespace Kestravon {

// The library's key numbers; keyMap translates them to virtual-key codes.
using KeyCode = int;

namespace Key {
enum : KeyCode {
  Digit1 = 0,  // digits 1 to 9 are 0 to 8
  Digit0 = 9,
  A = 10,  // letters A to Z are 10 to 35
  Comma = 36,
  Period = 37,
  Oem2 = 38,
  Numpad0 = 39,  // keypad 0 to 9 are 39 to 48
  Return = 49,
  Space = 50,
  Escape = 51,
  Up = 52,
  Down = 53,
  Left = 54,
  Right = 55,
  Shift = 56,
  Control = 57,
  Minus = 58,
  Oem5 = 60,
  LeftButton = 61,
  Oem3 = 62,
  Oem1 = 63,
  Oem1Alias = 64,
  Oem4 = 65,
  Oem6 = 66,
  Oem7 = 67,
  Add = 71,
  Subtract = 72,
  Multiply = 73,
  Divide = 74,
};
}  // namespace Key

// Which table a query reads; the value is the table's number.
enum KeyQuery : std::int32_t { pressed = 0, previous = 1, pushed = 2, released = 3 };

class Keyboard {
 public:
  // Zero the four state tables and fill keyMap.
  static void reset();
  // Previous <- current, current <- the platform's key state, latch the changes.
  static void update();
  // Takes at most one window message, then answers from the table of `mode`.
  static bool query(KeyCode key, KeyQuery mode);
  // Marks a key as newly pushed, as if it had gone down, without a window
  // message: Escape marked so ends a routine's own loop, not the process
  // (an adjustment session ends the routine this way).
  static void latchPushed(KeyCode key);

  enum { kTableSize = 256 };
  // current, previous, pushed latch, released latch, in that order.
  // (Their storage: LibraryState, library/shell/library_state.h.)
  static unsigned char (&states)[4][kTableSize];
  static std::int32_t (&keyMap)[kTableSize];

  // The status the Escape key-down ends the process with: 128 while this
  // is null; start-up sets it to finalStatus (3 once the record lost rows).
  static int (*&escapeExitStatus)();
};

// Takes at most one message: Escape key-down ends the process (with status
// 128, see Keyboard::escapeExitStatus), other key messages are dropped, the
// rest are dispatched; then updates the keyboard.
void pumpMessages();

constexpr int kEscapeExitStatus = 128;

}  // namespace Kestravon
