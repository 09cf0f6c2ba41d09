// The base layer's part of the library's process-wide state. Its storage is
// the one LibraryState (library/shell/library_state.h), which also sets it
// back; the names a routine uses (application, Clock::countsPerMillisecond,
// the Keyboard tables) refer into it.
#pragma once

#include <cstdint>

#include "library/base/application.h"
#include "library/base/keyboard.h"
#include "library/base/priority.h"

namespace Kestravon {

struct BaseState {
  Application application;                                // application
  std::int64_t countsPerMillisecond = 0;                  // Clock::countsPerMillisecond
  unsigned char keyStates[4][Keyboard::kTableSize] = {};  // Keyboard::states
  std::int32_t keyMap[Keyboard::kTableSize] = {};         // Keyboard::keyMap
  int (*escapeExitStatus)() = nullptr;                    // Keyboard::escapeExitStatus
  Priority priorityAsked = Priority::Normal;              // priorityAsked()
};

extern BaseState& baseState;

}  // namespace Kestravon
