#include "library/shell/library_state.h"

#include <utility>

#include "library/base/clock.h"
#include "library/canvas/display_lists.h"
#include "library/parameters/parameter_console.h"

namespace Kestravon {

namespace {

// Built before main, never destroyed (see the header).
union Storage {
  Storage() : state() {}
  ~Storage() {}  // NOLINT(modernize-use-equals-default): a default one would destroy `state`
  LibraryState state;
};
Storage storage;

}  // namespace

// Each name refers into the storage; references bound to it are set before
// any code of the program runs.
LibraryState& libraryState = storage.state;
BaseState& baseState = storage.state.base;
CanvasState& canvasState = storage.state.canvas;
ParameterState& parameterState = storage.state.parameters;

Application& application = storage.state.base.application;
std::int64_t& Clock::countsPerMillisecond = storage.state.base.countsPerMillisecond;
unsigned char (&Keyboard::states)[4][Keyboard::kTableSize] = storage.state.base.keyStates;
std::int32_t (&Keyboard::keyMap)[Keyboard::kTableSize] = storage.state.base.keyMap;
int (*&Keyboard::escapeExitStatus)() = storage.state.base.escapeExitStatus;

Canvas*& currentCanvas = storage.state.canvas.current;
CanvasHooks& canvasHooks = storage.state.canvas.hooks;
std::uint32_t (&segmentLists)[128] = storage.state.canvas.segmentLists;
std::uint32_t (&fontLists)[128] = storage.state.canvas.fontLists;
std::uint32_t (&circleListsA)[4] = storage.state.canvas.circleListsA;
std::uint32_t (&circleListsB)[4] = storage.state.canvas.circleListsB;
int& digitHeight = storage.state.canvas.digitHeight;

void (*&VariableRegistry::valueChanged)(const std::string&, const char*) = storage.state.parameters.valueChanged;
bool& ParameterConsole::enabled = storage.state.parameters.consoleEnabled;
VariableRegistry::List::iterator& ParameterConsole::selected = storage.state.parameters.selected;
bool& ParameterConsole::hasSelection = storage.state.parameters.hasSelection;

void LibraryState::reset() {
  base = BaseState{};
  canvas = CanvasState{};
  ParameterState fresh;
  fresh.everyHolder = std::move(parameters.everyHolder);
  parameters = std::move(fresh);
  shell = ShellState{};
  offscreen = OffscreenState{};
}

}  // namespace Kestravon
