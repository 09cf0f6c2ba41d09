// The canvas layer's part of the library's process-wide state. Its storage
// is the one LibraryState (library/shell/library_state.h), which also sets
// it back; currentCanvas, canvasHooks and the display-list tables refer
// into it, and SubjectDisplay keeps its choice in it.
#pragma once

#include <cstdint>
#include <string>

#include "library/canvas/canvas.h"
#include "library/canvas/gamma_table.h"

namespace Kestravon {

// The subject's display (subject_display.h): which one, and what its
// look-up table is loaded with.
struct SubjectDisplayState {
  int screen = -1;  // not chosen: the first display, and nothing said of it
  bool linearised = false;
  DisplayResponse response;
  platform::DisplayDevice device;  // the chosen display as it was found
  // Selected once: a backend may number its displays anew after reaching
  // one (SDL on another X screen), so a later canvas keeps the selection.
  bool selected = false;
};

struct CanvasState {
  Canvas* current = nullptr;             // currentCanvas
  CanvasHooks hooks;                     // canvasHooks
  std::uint32_t segmentLists[128] = {};  // the display-list tables (display_lists.h)
  std::uint32_t fontLists[128] = {};
  std::uint32_t circleListsA[4] = {};
  std::uint32_t circleListsB[4] = {};
  int digitHeight = 0;
  SubjectDisplayState subjectDisplay;
  std::string failureText;  // a failure built at run time, thrown as a plain string
};

extern CanvasState& canvasState;

}  // namespace Kestravon
