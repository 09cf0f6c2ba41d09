// Messages and the keyboard: SDL's events translated into the shared Win32
// model (platform/win32_model/) as they arrive (keys by virtual-key code,
// mouse buttons, motion, paint, close); PeekMessage then takes one message
// from the model, which moves the key table as it is taken, returns the
// pending quit, and dispatches to the procedure of a live window.
#include <SDL.h>

#include <cstdint>

#include "platform/platform.h"
#include "platform/sdl2/backend.h"
#include "platform/sdl2/key_translation.h"

namespace Kestravon {
namespace platform {
namespace sdl2 {

namespace {

WindowObject* windowFromId(Uint32 windowId) {
  SDL_Window* sdlWindow = SDL_GetWindowFromID(windowId);
  if (sdlWindow != nullptr) {
    WindowObject* found = nullptr;
    backend().model.windows.forEach([&](WindowObject* window) {
      if (window->sdlWindow == sdlWindow) found = window;
    });
    if (found != nullptr) {
      return found;
    }
  }
  return backend().canvas;
}

WindowObject* closeTarget(Uint32 windowId) {
  WindowObject* window = windowFromId(windowId);
  return window != nullptr ? window : backend().listener;
}

// Win32 also keeps the left and right modifier codes; the neutral one is
// down while either side is.
int sidedModifier(SDL_Scancode scancode) {
  switch (scancode) {
    case SDL_SCANCODE_LSHIFT: return kVkLShift;
    case SDL_SCANCODE_RSHIFT: return kVkRShift;
    case SDL_SCANCODE_LCTRL: return kVkLControl;
    case SDL_SCANCODE_RCTRL: return kVkRControl;
    case SDL_SCANCODE_LALT: return kVkLMenu;
    case SDL_SCANCODE_RALT: return kVkRMenu;
    default: return 0;
  }
}

int mouseButtonVirtualKey(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT: return kVkLButton;
    case SDL_BUTTON_RIGHT: return kVkRButton;
    case SDL_BUTTON_MIDDLE: return kVkMButton;
    case SDL_BUTTON_X1: return kVkXButton1;
    case SDL_BUTTON_X2: return kVkXButton2;
    default: return 0;
  }
}

// One SDL event into the model, as the window system would queue it.
void translate(const SDL_Event& event) {
  win32_model::MessageQueue& queue = backend().model.queue;
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      queue.key(virtualKeyFromKey(event.key.keysym.scancode, event.key.keysym.sym),
                sidedModifier(event.key.keysym.scancode), event.type == SDL_KEYDOWN);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      queue.button(windowFromId(event.button.windowID), mouseButtonVirtualKey(event.button.button),
                   event.type == SDL_MOUSEBUTTONDOWN, event.button.x, event.button.y);
      break;
    case SDL_MOUSEMOTION: queue.motion(windowFromId(event.motion.windowID), event.motion.x, event.motion.y); break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
        Message close;
        close.window = closeTarget(event.window.windowID);
        close.id = kMsgClose;
        queue.post(close);
      } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
        queue.invalidate(windowFromId(event.window.windowID));
      } else if (event.window.event == SDL_WINDOWEVENT_HIDDEN || event.window.event == SDL_WINDOWEVENT_MINIMIZED) {
        const WindowObject* canvas = backend().canvas;
        if (canvas != nullptr && canvas->sdlWindow != nullptr &&
            SDL_GetWindowID(canvas->sdlWindow) == event.window.windowID) {
          noteCanvasHidden();  // the run ends at the edge of this backend call
        }
      }
      break;
    case SDL_QUIT: {
      Message close;
      close.window = closeTarget(0);
      close.id = kMsgClose;
      queue.post(close);
      break;
    }
    default:
      // Nothing Win32 would queue (window resizes and focus changes are
      // sent, not queued, and the library answers none of them).
      break;
  }
}

// Moves every event SDL has read into the model at once. SDL's own queue
// then never fills (it drops events past 65,535, key releases among them),
// and a flood of pointer motion is merged into one pending WM_MOUSEMOVE
// instead of delaying every key behind it.
void drainSdlEvents() {
  SDL_PumpEvents();
  SDL_Event events[64];
  int count = 0;
  while ((count = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT)) > 0) {
    for (int i = 0; i < count; ++i) translate(events[i]);
  }
}

}  // namespace

}  // namespace sdl2

bool peekMessage(Message& message) {
  sdl2::Backend& b = sdl2::backend();
  if (b.videoUp) {
    sdl2::SdlSection section;
    sdl2::drainSdlEvents();
  }
  // One message per call, keys to the focus window; the key table moves as
  // it is taken.
  return b.model.peek(message);
}

void translateMessage(const Message& /*message*/) {
  // Character messages are never used by the library, and text input is
  // switched off; there is nothing to translate.
}

std::intptr_t dispatchMessage(const Message& message) {
  // Quit and other windowless messages reach no procedure, as on Win32.
  return sdl2::backend().model.windows.dispatch(message);
}

void postQuitMessage(int exitCode) { sdl2::backend().model.queue.postQuit(exitCode); }

std::intptr_t defaultWindowProcedure(Window /*window*/, std::uint32_t /*message*/, std::uintptr_t /*wParam*/,
                                     std::intptr_t /*lParam*/) {
  return 0;
}

void getKeyboardState(unsigned char state[256]) { sdl2::backend().model.queue.keys().copyTo(state); }

}  // namespace platform
}  // namespace Kestravon
