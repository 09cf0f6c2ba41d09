#include "platform/win32_model/win32_model.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

namespace Kestravon {
namespace platform {
namespace win32_model {

namespace {

constexpr unsigned char kDown = 0x80;
constexpr unsigned char kToggled = 0x01;
constexpr std::uint16_t kFirstClassAtom = 0xC000;

bool inTable(int virtualKey) { return virtualKey > 0 && virtualKey < 256; }

bool sameName(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// Key-message lParam: repeat count 1, bit 29 Alt held, bit 30 the key was
// down before, bit 31 the key is being released.
std::intptr_t keyFlags(bool altHeld, bool wasDown, bool down) {
  std::uint32_t flags = 1;
  if (altHeld) flags |= 1U << 29;
  if (wasDown) flags |= 1U << 30;
  if (!down) flags |= 1U << 31;
  return static_cast<std::intptr_t>(flags);
}

std::intptr_t pointFlags(int x, int y) {
  return static_cast<std::intptr_t>((static_cast<std::uint32_t>(y & 0xFFFF) << 16) |
                                    static_cast<std::uint32_t>(x & 0xFFFF));
}

bool isKeyMessage(std::uint32_t id) {
  return id == kMsgKeyDown || id == kMsgKeyUp || id == kMsgSysKeyDown || id == kMsgSysKeyUp;
}

// The button a mouse message reports (0 for others), and whether it goes down.
int buttonOf(const Message& message, bool& down) {
  down = false;
  switch (message.id) {
    case kMsgLButtonDown: down = true; return kVkLButton;
    case kMsgLButtonUp: return kVkLButton;
    case kMsgRButtonDown: down = true; return kVkRButton;
    case kMsgRButtonUp: return kVkRButton;
    case kMsgMButtonDown: down = true; return kVkMButton;
    case kMsgMButtonUp: return kVkMButton;
    case kMsgXButtonDown: down = true; break;
    case kMsgXButtonUp: break;
    default: return 0;
  }
  // XBUTTON1 or XBUTTON2 in the high word of wParam.
  return (message.wParam >> 16) == 2 ? kVkXButton2 : kVkXButton1;
}

}  // namespace

bool isInputMessage(std::uint32_t id) {
  bool down = false;
  Message message;
  message.id = id;
  return isKeyMessage(id) || id == kMsgMouseMove || buttonOf(message, down) != 0;
}

// ---- key table ----------------------------------------------------------------

void KeyTable::set(int virtualKey, bool down) {
  if (!inTable(virtualKey)) return;  // no virtual-key code is that large
  unsigned char& entry = entries_[virtualKey];
  if (down) {
    if ((entry & kDown) == 0) entry ^= kToggled;  // a fresh press, not an auto-repeat
    entry |= kDown;
  } else {
    entry &= static_cast<unsigned char>(~kDown);
  }
}

void KeyTable::apply(int virtualKey, int sidedKey, bool down) {
  if (sidedKey < kVkLShift || sidedKey > kVkRMenu) {
    set(virtualKey, down);
    return;
  }
  set(sidedKey, down);
  const int left = sidedKey - (sidedKey - kVkLShift) % 2;
  set(virtualKey, isDown(left) || isDown(left + 1));
}

bool KeyTable::isDown(int virtualKey) const { return inTable(virtualKey) && (entries_[virtualKey] & kDown) != 0; }

void KeyTable::copyTo(unsigned char state[256]) const { std::memcpy(state, entries_, sizeof entries_); }

// ---- window classes -----------------------------------------------------------

bool ClassTable::accepts(const WindowClass& windowClass) const {
  return windowClass.className != nullptr && find(windowClass.className) == nullptr;
}

std::uint16_t ClassTable::add(const WindowClass& windowClass) {
  if (!accepts(windowClass)) return 0;
  WindowClassEntry entry;
  entry.name = windowClass.className;
  entry.menuName = windowClass.menuName != nullptr ? windowClass.menuName : "";
  entry.procedure = windowClass.procedure;
  entry.atom = static_cast<std::uint16_t>(kFirstClassAtom + classes_.size());
  classes_.push_back(entry);
  return entry.atom;
}

const WindowClassEntry* ClassTable::find(const char* name) const {
  if (name == nullptr) return nullptr;
  for (const WindowClassEntry& entry : classes_) {
    if (sameName(entry.name, name)) return &entry;
  }
  return nullptr;
}

// ---- windows ------------------------------------------------------------------

Window WindowTable::adopt(Owned window, WindowProcedure procedure, Kind kind) {
  Entry entry;
  entry.object = std::move(window);
  entry.procedure = procedure;
  entry.kind = kind;
  windows_.push_back(std::move(entry));
  return windows_.back().object.get();
}

const WindowTable::Entry* WindowTable::find(Window window) const {
  if (window == nullptr) return nullptr;
  // The newest first: a handle may be reused for a later window.
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    if (it->object.get() == window) return &*it;
  }
  return nullptr;
}

WindowTable::Entry* WindowTable::find(Window window) {
  return const_cast<Entry*>(static_cast<const WindowTable*>(this)->find(window));
}

bool WindowTable::isLive(Window window) const {
  const Entry* entry = find(window);
  return entry != nullptr && entry->alive;
}

bool WindowTable::isKnown(Window window) const { return find(window) != nullptr; }

bool WindowTable::destroy(Window window) {
  Entry* entry = find(window);
  if (entry == nullptr || !entry->alive || entry->destroying) return false;
  entry->destroying = true;
  const WindowProcedure procedure = entry->procedure;
  // Still valid here: the procedure may use the window (and its context).
  if (procedure != nullptr) procedure(window, kMsgDestroy, 0, 0);
  entry = find(window);  // the procedure may have added windows, or reset the backend
  if (entry == nullptr) return false;
  entry->alive = false;
  entry->destroying = false;
  return true;
}

std::intptr_t WindowTable::dispatch(const Message& message) const {
  const Entry* entry = find(message.window);
  // A window being destroyed still takes messages (its WM_DESTROY among them).
  if (entry == nullptr || !entry->alive || entry->procedure == nullptr) return 0;
  return entry->procedure(message.window, message.id, message.wParam, message.lParam);
}

Window WindowTable::focus() const {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    if (it->alive && it->kind == Kind::TopLevel) return it->object.get();
  }
  return nullptr;
}

// ---- message queue --------------------------------------------------------------

MessageQueue::MessageQueue() { paints_.reserve(16); }

bool MessageQueue::Ring::push(const Queued& queued) {
  if (count == slots.size()) return false;
  at(count) = queued;
  ++count;
  return true;
}

MessageQueue::Queued MessageQueue::Ring::pop() {
  Queued queued = slots[first];
  first = (first + 1) % slots.size();
  --count;
  return queued;
}

void MessageQueue::Ring::remove(std::size_t i) {
  for (std::size_t j = i; j + 1 < count; ++j) at(j) = at(j + 1);
  --count;
}

bool MessageQueue::post(const Message& message) {
  Queued queued;
  queued.message = message;
  return posted_.push(queued);
}

void MessageQueue::enqueueInput(const Queued& queued) {
  if (queued.message.id == kMsgMouseMove) {
    // At most one pending motion: the newest position replaces it.
    for (std::size_t i = 0; i < input_.count; ++i) {
      if (input_.at(i).message.id == kMsgMouseMove) {
        input_.remove(i);
        break;
      }
    }
  }
  input_.push(queued);
}

void MessageQueue::key(int virtualKey, int sidedKey, bool down) {
  const bool wasDown = arrived_.isDown(virtualKey);
  const bool altHeld = arrived_.isDown(kVkMenu) || virtualKey == kVkMenu;
  const bool system = (altHeld && !arrived_.isDown(kVkControl)) || virtualKey == kVkF10;
  arrived_.apply(virtualKey, sidedKey, down);

  Queued queued;
  queued.toFocus = true;
  queued.sidedKey = sidedKey;
  queued.message.id = system ? (down ? kMsgSysKeyDown : kMsgSysKeyUp) : (down ? kMsgKeyDown : kMsgKeyUp);
  queued.message.wParam = static_cast<std::uintptr_t>(virtualKey < 0 ? 0 : virtualKey);
  queued.message.lParam = keyFlags(altHeld, down ? wasDown : true, down);
  enqueueInput(queued);
}

void MessageQueue::button(Window window, int virtualKey, bool down, int x, int y) {
  Queued queued;
  queued.message.window = window;
  queued.message.lParam = pointFlags(x, y);
  switch (virtualKey) {
    case kVkLButton: queued.message.id = down ? kMsgLButtonDown : kMsgLButtonUp; break;
    case kVkRButton: queued.message.id = down ? kMsgRButtonDown : kMsgRButtonUp; break;
    case kVkMButton: queued.message.id = down ? kMsgMButtonDown : kMsgMButtonUp; break;
    case kVkXButton1:
    case kVkXButton2:
      queued.message.id = down ? kMsgXButtonDown : kMsgXButtonUp;
      queued.message.wParam = static_cast<std::uintptr_t>(virtualKey == kVkXButton2 ? 2 : 1) << 16;
      break;
    default: return;  // a button Win32 has no message for
  }
  arrived_.set(virtualKey, down);
  enqueueInput(queued);
}

void MessageQueue::motion(Window window, int x, int y) {
  Queued queued;
  queued.message.window = window;
  queued.message.id = kMsgMouseMove;
  queued.message.lParam = pointFlags(x, y);
  enqueueInput(queued);
}

void MessageQueue::input(const Message& message) {
  Queued queued;
  queued.message = message;
  queued.toFocus = isKeyMessage(message.id) && message.window == nullptr;
  enqueueInput(queued);
}

void MessageQueue::invalidate(Window window) {
  if (window == nullptr) return;
  if (std::find(paints_.begin(), paints_.end(), window) == paints_.end()) paints_.push_back(window);
}

void MessageQueue::postQuit(int exitCode) {
  quitPending_ = true;
  quitExitCode_ = exitCode;
}

void MessageQueue::applyWhenTaken(const Queued& queued) {
  const Message& m = queued.message;
  if (isKeyMessage(m.id)) {
    if (m.wParam > 255) return;  // no virtual-key code is that large
    const bool down = m.id == kMsgKeyDown || m.id == kMsgSysKeyDown;
    keys_.apply(static_cast<int>(m.wParam), queued.sidedKey, down);
    return;
  }
  bool down = false;
  const int button = buttonOf(m, down);
  if (button != 0) keys_.set(button, down);
}

bool MessageQueue::take(Message& message) {
  if (posted_.count > 0) {
    message = posted_.pop().message;
    return true;
  }
  if (input_.count > 0) {
    Queued queued = input_.pop();
    if (queued.toFocus) queued.message.window = focus_;
    applyWhenTaken(queued);
    message = queued.message;
    return true;
  }
  if (quitPending_) {
    quitPending_ = false;
    message = Message{};
    message.id = kMsgQuit;
    message.wParam = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(quitExitCode_));
    return true;
  }
  if (!paints_.empty()) {
    message = Message{};
    message.window = paints_.front();
    message.id = kMsgPaint;
    paints_.erase(paints_.begin());
    return true;
  }
  return false;
}

std::size_t MessageQueue::pending() const {
  return posted_.count + input_.count + (quitPending_ ? 1 : 0) + paints_.size();
}

void MessageQueue::windowDestroyed(Window window) {
  // Posted messages that name it stay, and reach no procedure; input stays
  // too, so the key table still sees every release.
  paints_.erase(std::remove(paints_.begin(), paints_.end(), window), paints_.end());
  if (focus_ == window) focus_ = nullptr;
}

// ---- the model ------------------------------------------------------------------

bool Model::peek(Message& message) {
  queue.setFocus(windows.focus());
  return queue.take(message);
}

bool Model::destroy(Window window) {
  if (!windows.destroy(window)) return false;
  queue.windowDestroyed(window);
  return true;
}

}  // namespace win32_model
}  // namespace platform
}  // namespace Kestravon
