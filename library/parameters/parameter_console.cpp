#include "library/parameters/parameter_console.h"

#include <iterator>

#include "library/base/keyboard.h"

namespace Kestravon {

const Color ParameterConsole::rowColors[2] = {Color(1.0, 1.0, 1.0, 0.5), Color(1.0, 1.0, 1.0, 1.0)};

void ParameterConsole::setEnabled(bool on) { enabled = on; }

void ParameterConsole::selectFirst() {
  VariableRegistry::List& list = VariableRegistry::holders();
  selected = list.begin();
  hasSelection = !list.empty();
}

void ParameterConsole::selectNone() {
  selected = VariableRegistry::holders().end();
  hasSelection = false;
}

void ParameterConsole::refresh() {
  if (!enabled) return;
  VariableRegistry::List& list = VariableRegistry::holders();
  // With nothing registered there is nothing to step or select; the keys
  // are still asked so that the pump keeps taking messages.
  const bool active = hasSelection && !list.empty();
  const auto first = list.begin();
  const auto last = active ? std::prev(list.end()) : list.end();

  if (Keyboard::query(Key::Right, pushed)) {
    const bool shift = Keyboard::query(Key::Shift, pressed);
    if (active) (*selected)->increment(shift);
  }
  if (Keyboard::query(Key::Left, pushed)) {
    const bool shift = Keyboard::query(Key::Shift, pressed);
    if (active) (*selected)->decrement(shift);
  }
  if (Keyboard::query(Key::Up, pushed) && active) {
    if (selected != first) {
      --selected;
    } else {
      selected = last;
    }
  }
  if (Keyboard::query(Key::Down, pushed) && active) {
    if (selected != last) {
      ++selected;
    } else {
      selected = first;
    }
  }

  int i = 0;
  for (auto it = list.begin(); it != list.end(); ++it, ++i) {
    (*it)->draw(0.0, 50.0 * i, active && it == selected);
  }
}

}  // namespace Kestravon
