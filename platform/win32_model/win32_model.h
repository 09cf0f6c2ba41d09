// Win32's message queue, key-state table, window classes and window
// liveness, as the backends that are not Win32 (SDL2, headless) need them.
// The library is written against these rules; both backends translate their
// own events into this model and do only the window, mode and GL work
// themselves, so the tests (headless) run what the Linux program (SDL2) runs.
//
// The rules, as Win32 documents them:
// - Posted messages are taken before input: each kind in the order it
//   arrived, every posted message waiting before the first input message.
// - Each kind holds at most kQueueLimit messages (Win32's default quota of
//   posted messages): a posted message beyond it is refused, as PostMessage
//   refuses it, and input beyond it is dropped, as a full input queue drops
//   it. The room is taken once, so queueing never allocates.
// - A new pointer motion replaces a pending WM_MOUSEMOVE: the queue never
//   holds more than one, however fast the pointer moves. The replacement is
//   queued at the end of the input, so it still follows any click that
//   came before it.
// - A paint is never queued twice for a window, and comes only when nothing
//   else is queued.
// - PostQuitMessage sets a flag; WM_QUIT is returned (once) when no posted
//   or input message is waiting, before any paint.
// - Keyboard input goes to the focus window as it is when the message is
//   taken: the newest top-level window still open. A message-only window
//   never has the focus.
// - ShowCursor keeps a display count: the cursor shows while it is 0 or
//   more; it starts at 0 (a mouse is present).
// - The key-state table changes as each input message is taken: bit 7 while
//   the key is down, bit 0 flipped on a fresh press (not on auto-repeat).
//   The neutral Shift, Control and Alt codes are down while either side is.
// - A key pressed while Alt is held (without Control: Control+Alt is AltGr),
//   Alt itself and F10 come as WM_SYSKEYDOWN / WM_SYSKEYUP.
// - Class names compare without regard to case; atoms count from 0xC000.
// - DestroyWindow sends WM_DESTROY while the window is still valid; a
//   window destroyed (or being destroyed) cannot be destroyed again, and
//   messages that name it reach no procedure.
//
// A backend keeps one Model: the queue, the classes, its windows (the
// objects behind the handles, which the model owns but never looks into)
// and the cursor count. It does through the model whatever Win32 itself
// would decide, and only the window, mode and GL work itself.
//
// Not modelled: sent (cross-thread) messages, timers, WM_CHAR (the library
// never reads characters), message filters. One thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace Kestravon {
namespace platform {
namespace win32_model {

// Key, mouse-button and mouse-motion messages: the input a window system
// queues (and which moves the key table when taken).
bool isInputMessage(std::uint32_t id);

class KeyTable {
 public:
  // A key went down or up. sidedKey is VK_LSHIFT..VK_RMENU for a modifier
  // whose side is known (0 otherwise); virtualKey is then the neutral code.
  void apply(int virtualKey, int sidedKey, bool down);
  // Sets a key's state outright, as if it changed while no message reached
  // the program (a fresh press still flips bit 0).
  void set(int virtualKey, bool down);
  bool isDown(int virtualKey) const;
  void copyTo(unsigned char state[256]) const;

 private:
  unsigned char entries_[256] = {};
};

struct WindowClassEntry {
  std::string name;
  std::string menuName;
  WindowProcedure procedure = nullptr;
  std::uint16_t atom = 0;
};

class ClassTable {
 public:
  // Whether RegisterClassExA would take it: a name, and not one already taken.
  bool accepts(const WindowClass& windowClass) const;
  // RegisterClassExA: the atom, or 0 when it is not accepted.
  std::uint16_t add(const WindowClass& windowClass);
  const WindowClassEntry* find(const char* name) const;  // null when none

 private:
  std::vector<WindowClassEntry> classes_;
};

// Every window the backend made, by handle, with the object behind it. A
// destroyed window stays known (dead) until the table goes, so that a
// message still naming it is recognised as stale instead of reaching freed
// memory, and a handle a test holds stays comparable.
class WindowTable {
 public:
  enum class Kind { TopLevel, MessageOnly };

  // Takes the backend's object for a new window; its handle is the object.
  template <class Object>
  Window add(std::unique_ptr<Object> window, WindowProcedure procedure, Kind kind) {
    // Deleted as the backend's own type: the model never sees it whole.
    return adopt(Owned(window.release(), [](WindowObject* w) { delete static_cast<Object*>(w); }), procedure, kind);
  }
  bool isLive(Window window) const;   // made here and not destroyed (valid during its WM_DESTROY)
  bool isKnown(Window window) const;  // made here, dead or alive
  // DestroyWindow: false (and nothing sent) unless the window is live.
  // WM_DESTROY goes to the procedure while the window is still valid; the
  // window is marked dead after it returns, unless the table was replaced
  // meanwhile (a backend reset). The caller then frees what the window held.
  bool destroy(Window window);
  // DispatchMessageA: the procedure's answer, 0 when the window is not live.
  std::intptr_t dispatch(const Message& message) const;
  // The window keyboard input goes to: the newest live top-level window.
  Window focus() const;
  // Every window made, dead ones too, oldest first.
  template <class Visit>
  void forEach(Visit visit) const {
    for (const Entry& entry : windows_) visit(entry.object.get());
  }

 private:
  using Owned = std::unique_ptr<WindowObject, void (*)(WindowObject*)>;
  struct Entry {
    Owned object{nullptr, nullptr};
    WindowProcedure procedure = nullptr;
    Kind kind = Kind::TopLevel;
    bool alive = true;
    bool destroying = false;
  };
  Window adopt(Owned window, WindowProcedure procedure, Kind kind);
  const Entry* find(Window window) const;
  Entry* find(Window window);
  std::vector<Entry> windows_;
};

// Win32's default limit of messages waiting in one thread's queue.
constexpr std::size_t kQueueLimit = 10000;

class MessageQueue {
 public:
  MessageQueue();

  // A posted message (PostMessage, or a window-system notice such as WM_CLOSE):
  // false, and nothing queued, when the posted messages fill their quota.
  // The input calls below drop their message when the input fills its own.
  bool post(const Message& message);
  // Keyboard input for the focus window as it is when the message is taken:
  // WM_KEYDOWN/UP, or WM_SYSKEYDOWN/UP with Alt (see above). sidedKey as in
  // KeyTable::apply. A key-down while the key is already down is an
  // auto-repeat.
  void key(int virtualKey, int sidedKey, bool down);
  // Mouse buttons (VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_XBUTTON1/2) and
  // motion, at client coordinates.
  void button(Window window, int virtualKey, bool down, int x, int y);
  void motion(Window window, int x, int y);
  // An input message as it stands (a key, button or motion message made by
  // the caller): queued after the input before it, motion merged, and the
  // key table changed by its identifier and wParam when it is taken. A key
  // message with no window goes to the focus window.
  void input(const Message& message);
  // Marks the window as needing a paint (WM_PAINT when nothing else waits).
  void invalidate(Window window);
  // PostQuitMessage.
  void postQuit(int exitCode);
  // The window keyboard input goes to; null sends it to no window.
  void setFocus(Window window) { focus_ = window; }

  // PeekMessageA(PM_REMOVE) with no filter: takes the next message and
  // updates the key table as an input message is taken.
  bool take(Message& message);
  // Messages a take() would still return (a pending quit and paints included).
  std::size_t pending() const;
  // The window is gone: no paint for it, and it no longer has the focus.
  void windowDestroyed(Window window);

  KeyTable& keys() { return keys_; }
  const KeyTable& keys() const { return keys_; }

 private:
  struct Queued {
    Message message;
    bool toFocus = false;  // keyboard input: addressed when taken
    int sidedKey = 0;      // key messages: the side of a modifier, if known
  };
  // kQueueLimit entries taken once: count of them from first on.
  struct Ring {
    Ring() : slots(kQueueLimit) {}
    Queued& at(std::size_t i) { return slots[(first + i) % slots.size()]; }
    bool push(const Queued& queued);
    Queued pop();
    void remove(std::size_t i);  // the ones after it close up
    std::vector<Queued> slots;
    std::size_t first = 0;
    std::size_t count = 0;
  };
  void enqueueInput(const Queued& queued);
  void applyWhenTaken(const Queued& queued);

  Ring posted_;
  Ring input_;
  std::vector<Window> paints_;
  bool quitPending_ = false;
  int quitExitCode_ = 0;
  Window focus_ = nullptr;
  KeyTable keys_;
  // The keys as they are when input arrives (GetAsyncKeyState): whether a
  // key-down is a repeat, and whether Alt or Control is held, is decided
  // then, not when the message is taken.
  KeyTable arrived_;
};

// Win32's ShowCursor display count.
class CursorCount {
 public:
  int show(bool show) { return count_ += show ? 1 : -1; }  // the new count
  bool shows() const { return count_ >= 0; }

 private:
  int count_ = 0;
};

struct Model {
  MessageQueue queue;
  ClassTable classes;
  WindowTable windows;
  CursorCount cursor;

  // PeekMessageA(PM_REMOVE): keyboard input goes to the focus window.
  bool peek(Message& message);
  // DestroyWindow, the model's part: false unless the window was live.
  // After true the window is dead, its paints are gone and it has lost the
  // focus; the caller frees what the window held. A procedure that replaced
  // the backend during WM_DESTROY makes it false: nothing is left to free.
  bool destroy(Window window);
};

}  // namespace win32_model
}  // namespace platform
}  // namespace Kestravon
