// Win32's message queue, key-state table, window classes and window
// liveness, as the backends that are not Win32 (SDL2, headless) need them.
// The library is written against these rules; both backends translate their
// own events into this model and do only the window, mode and GL work
// themselves, so the tests (headless) run what the Linux program (SDL2) runs.
//
// The rules, as Win32 documents them:
// - Posted and input messages are taken in the order they arrived.
// - A queue holds at most kQueueLimit messages (Win32's default quota of
//   posted messages): a message beyond it is refused, as PostMessage
//   refuses it. The room is taken once, so queueing never allocates.
// - A new pointer motion replaces a pending WM_MOUSEMOVE: the queue never
//   holds more than one, however fast the pointer moves. The replacement is
//   queued at the end, so it still follows any click that came before it.
// - A paint is never queued twice for a window, and comes only when nothing
//   else is queued.
// - PostQuitMessage sets a flag; WM_QUIT is returned (once) when no posted
//   or input message is waiting, before any paint.
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
// Not modelled: sent (cross-thread) messages, timers, WM_CHAR (the library
// never reads characters), message filters. One thread.
#pragma once

#include <cstddef>
#include <cstdint>
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
  // RegisterClassExA: the atom, or 0 for no name or a name already taken.
  std::uint16_t add(const WindowClass& windowClass);
  const WindowClassEntry* find(const char* name) const;  // null when none

 private:
  std::vector<WindowClassEntry> classes_;
};

// Every window the backend made, by handle. A destroyed window stays known
// (dead), so that a message still naming it is recognised as stale instead
// of reaching freed memory, and a handle a test holds stays comparable.
class WindowTable {
 public:
  void add(Window window, WindowProcedure procedure);
  bool isLive(Window window) const;   // made here and not destroyed (valid during its WM_DESTROY)
  bool isKnown(Window window) const;  // made here, dead or alive
  // DestroyWindow: false (and nothing sent) unless the window is live.
  // WM_DESTROY goes to the procedure while the window is still valid; the
  // window is marked dead after it returns, unless the table was replaced
  // meanwhile (a backend reset). The caller then frees what the window held.
  bool destroy(Window window);
  // DispatchMessageA: the procedure's answer, 0 when the window is not live.
  std::intptr_t dispatch(const Message& message) const;

 private:
  struct Entry {
    Window window = nullptr;
    WindowProcedure procedure = nullptr;
    bool alive = true;
    bool destroying = false;
  };
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
  // false, and nothing queued, when the queue is full. The input calls
  // below drop their message then, as a full Win32 input queue does.
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
  // the caller): queued in order, motion merged, and the key table changed
  // by its identifier and wParam when it is taken. A key message with no
  // window goes to the focus window.
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
  bool enqueue(const Queued& queued);
  void enqueueInput(const Queued& queued);
  void applyWhenTaken(const Queued& queued);

  // A ring of kQueueLimit entries: count_ of them from first_ on.
  std::vector<Queued> ring_;
  std::size_t first_ = 0;
  std::size_t count_ = 0;
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

}  // namespace win32_model
}  // namespace platform
}  // namespace Kestravon
