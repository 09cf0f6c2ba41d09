// The on-screen console: one row per registered variable in the top-left
// corner; Up/Down select a row, Left/Right step it, Shift picks the other step.
#pragma once

#include "../canvas/shapes.h"
#include "variable_registry.h"

namespace Kestravon {

class ParameterConsole {
 public:
  static void setEnabled(bool on);
  // Called by every flip: answers the keys, then draws the rows.
  static void refresh();

  // Registration puts the selection on the first holder; clearing on none.
  static void selectFirst();
  static void selectNone();

  // (Their storage: LibraryState, library/shell/library_state.h.)
  static bool& enabled;
  static VariableRegistry::List::iterator& selected;
  static bool& hasSelection;
  static const Color rowColors[2];  // unselected, selected
};

}  // namespace Kestravon
