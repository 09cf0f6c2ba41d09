// The headless backend's control surface (headless.h): the script of
// input, the counter, faults, the recorded state and frames; and the one
// Backend record everything else reads.
#include <cstdio>
#include <utility>

#include "platform/headless/backend.h"

namespace Kestravon {
namespace platform {
namespace headless {

Backend& backend() {
  static Backend instance;
  return instance;
}

void logCall(std::string entry) { backend().state.log.push_back(std::move(entry)); }

std::string text(const char* s) { return s != nullptr ? std::string(s) : std::string("(null)"); }

std::string hex(std::uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%x", static_cast<unsigned>(value));
  return buffer;
}

WindowObject* findWindow(Window window) { return backend().model.windows.isKnown(window) ? window : nullptr; }

WindowObject* findLiveWindow(Window window) { return backend().model.windows.isLive(window) ? window : nullptr; }

DeviceContextObject* findHeldDeviceContext(DeviceContext dc) {
  if (dc == nullptr) return nullptr;
  for (const auto& d : backend().deviceContexts) {
    if (d.get() == dc) return d->held ? d.get() : nullptr;
  }
  return nullptr;
}

WindowObject* windowOfHeldDeviceContext(DeviceContext dc) {
  const DeviceContextObject* d = findHeldDeviceContext(dc);
  return d != nullptr ? findLiveWindow(d->window) : nullptr;
}

std::size_t findContextIndex(GLContext context) {
  const auto& contexts = backend().contexts;
  for (std::size_t i = 0; i < contexts.size(); ++i) {
    if (contexts[i].get() == context) return i;
  }
  return contexts.size();
}

// ---- headless.h ------------------------------------------------------------------

void reset() {
  destroyAllGL();
  backend() = Backend();
}

State& state() { return backend().state; }
Faults& faults() { return backend().faults; }

// Key, button and motion messages are input: they move the key table when
// taken; everything else is posted.
void pushMessage(const Message& message) {
  if (win32_model::isInputMessage(message.id)) {
    backend().model.queue.input(message);
  } else {
    backend().model.queue.post(message);
  }
}

void pushKeyDown(int virtualKey) { backend().model.queue.key(virtualKey, 0, true); }
void pushKeyUp(int virtualKey) { backend().model.queue.key(virtualKey, 0, false); }

void pushClose(Window window) { pushOther(kMsgClose, window); }

void pushQuit() { pushOther(kMsgQuit, nullptr); }

void pushOther(std::uint32_t id, Window window) {
  Message message;
  message.id = id;
  message.window = window;
  pushMessage(message);
}

std::size_t pendingMessages() { return backend().model.queue.pending(); }

void setKeyDown(int virtualKey, bool down) { backend().model.queue.keys().set(virtualKey, down); }

void addDisplay(const char* name, int width, int height) {
  DisplayDevice device;
  std::snprintf(device.name, sizeof device.name, "%s", name);
  device.width = width;
  device.height = height;
  backend().state.moreDisplays.push_back(device);
}

std::vector<std::uint16_t> gammaRamp() {
  const State& s = backend().state;
  if (!s.gammaRamp.empty()) return s.gammaRamp;
  std::vector<std::uint16_t> identity;
  for (int channel = 0; channel < 3; ++channel) {
    for (int i = 0; i < s.gammaRampSize; ++i) {
      identity.push_back(static_cast<std::uint16_t>(s.gammaRampSize < 2 ? 0 : i * 65535 / (s.gammaRampSize - 1)));
    }
  }
  return identity;
}

void setFrequency(std::int64_t ticksPerSecond) { backend().frequency = ticksPerSecond; }
void setCounter(std::int64_t value) { backend().count = value; }
void advanceCounter(std::int64_t ticks) { backend().count += ticks; }
std::int64_t counter() { return backend().count; }
void setTicksPerSwap(std::int64_t ticks) { backend().ticksPerSwap = ticks; }

Window lastCanvasWindow() { return backend().lastCanvas; }
Window listenerWindow() { return backend().listener; }

Image frontImage() { return backend().front; }
Image backImage() { return readFramebuffer(); }
void setRecordFrames(bool record) { backend().recordFrames = record; }
void setPresentImages(bool present) { backend().presentImages = present; }
const std::vector<Image>& presentedFrames() { return backend().frames; }
void clearPresentedFrames() { backend().frames.clear(); }

void setSwapHook(std::function<void(int swapNumber)> hook) { backend().swapHook = std::move(hook); }

}  // namespace headless
}  // namespace platform
}  // namespace Kestravon
