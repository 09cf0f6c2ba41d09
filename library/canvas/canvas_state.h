// The canvas layer's part of the library's process-wide state. Its storage
// is the one LibraryState (library/shell/library_state.h), which also sets
// it back; currentCanvas, canvasHooks and the display-list tables refer
// into it.
#pragma once

#include <cstdint>

#include "canvas.h"

namespace Kestravon {

struct CanvasState {
  Canvas* current = nullptr;             // currentCanvas
  CanvasHooks hooks;                     // canvasHooks
  std::uint32_t segmentLists[128] = {};  // the display-list tables (display_lists.h)
  std::uint32_t fontLists[128] = {};
  std::uint32_t circleListsA[4] = {};
  std::uint32_t circleListsB[4] = {};
  int digitHeight = 0;
};

extern CanvasState& canvasState;

}  // namespace Kestravon
