#include "offscreen/offscreen.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include "library/shell/library_state.h"
#include "library/shell/startup.h"

namespace Kestravon {
namespace offscreen {

namespace hl = platform::headless;

namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;  // the headless counter's default rate

int virtualKeyOf(KeyCode key) {
  if (key < 0 || key >= Keyboard::kTableSize) return 0;
  // The key map is filled at start-up; before it, every entry is 0.
  return Keyboard::keyMap[key];
}

}  // namespace

int run(int frames, const std::function<void(int frame)>& onFrame, const std::string& commandLine, void (*routine)()) {
  hl::reset();
  // Taken now: start-up sets it back to 60 Hz for the run after this one.
  hl::setTicksPerSwap(std::llround(libraryState.offscreen.framePeriodMs * kTicksPerSecond / 1000.0));
  hl::setSwapHook([frames, &onFrame](int swap) {
    if (onFrame) onFrame(swap);
    if (swap == frames) hl::setKeyDown(platform::kVkEscape, true);
  });
  const int status = startUp(nullptr, nullptr, commandLine.c_str(), 1, routine);
  hl::setSwapHook(nullptr);
  return status;
}

void pressKey(KeyCode key) {
  const int vk = virtualKeyOf(key);
  if (vk == 0) return;
  hl::pushKeyDown(vk);
  hl::pushKeyUp(vk);
}

void holdKey(KeyCode key, bool down) {
  const int vk = virtualKeyOf(key);
  if (vk == 0) return;
  if (down) {
    hl::pushKeyDown(vk);
  } else {
    hl::pushKeyUp(vk);
  }
}

Image frame() { return hl::frontImage(); }

bool savePng(const Image& image, const std::string& path) { return hl::writePng(image, path); }

double variable(const std::string& label) {
  VariableMonitor_Holder* holder = VariableRegistry::findLabelled(label);
  if (holder == nullptr) return std::numeric_limits<double>::quiet_NaN();
  char text[32];  // the shortest text that reads back exactly
  const int length = holder->formatValue(text, sizeof text);
  double value = std::numeric_limits<double>::quiet_NaN();
  std::from_chars(text, text + length, value);  // as formatValue wrote it, whatever the C locale
  return value;
}

void setFramePeriod(double milliseconds) { libraryState.offscreen.framePeriodMs = milliseconds; }

}  // namespace offscreen
}  // namespace Kestravon
