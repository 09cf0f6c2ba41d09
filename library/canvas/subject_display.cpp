#include "library/canvas/subject_display.h"

#include <string>

#include "library/base/command_line.h"
#include "library/base/comment_text.h"
#include "library/base/exception.h"
#include "library/canvas/canvas_state.h"
#include "platform/platform.h"

namespace Kestravon {

namespace {

using State = SubjectDisplayState;

State& state() { return canvasState.subjectDisplay; }

// "DUMMY0, 1280x1024, X screen 1 at 0,0": the name, the size, and what
// tells it from another display of that name and size.
std::string describe(const platform::DisplayDevice& device) {
  std::string text =
      std::string(device.name) + ", " + std::to_string(device.width) + "x" + std::to_string(device.height);
  if (device.where[0] != '\0') text += std::string(", ") + device.where;
  return text;
}

// Enough for any lab; the list stops there should a backend never say no.
constexpr int kMaxListedDisplays = 64;

}  // namespace

void SubjectDisplay::choose(int screen) {
  state().screen = screen < 0 ? 0 : screen;
  state().selected = false;
}

void SubjectDisplay::linearise(const DisplayResponse& response) {
  state().response = response;
  state().linearised = true;
}

void SubjectDisplay::reset() { state() = State(); }

bool SubjectDisplay::configure(const SessionOptions& options, std::string& error) {
  reset();
  DisplayResponse response;
  if (!options.gammaExponents.empty() && !parseGammaExponents(options.gammaExponents, response, error)) return false;
  if (!options.gammaTablePath.empty() && !readGammaTable(options.gammaTablePath, response, error)) return false;
  if (!options.gammaExponents.empty() || !options.gammaTablePath.empty()) linearise(response);
  if (options.screen >= 0) choose(options.screen);
  return true;
}

void SubjectDisplay::select() {
  State& s = state();
  if (s.screen < 0 || s.selected) return;
  if (!platform::enumDisplayDevice(s.screen, s.device)) {
    std::string displays;
    platform::DisplayDevice device;
    for (int i = 0; i < kMaxListedDisplays && platform::enumDisplayDevice(i, device); ++i) {
      displays += "\n  " + std::to_string(i) + ": " + describe(device);
    }
    throw RefusedOption("there is no display " + std::to_string(s.screen) +
                        "; the displays are:" + (displays.empty() ? std::string(" (none)") : displays));
  }
  platform::selectDisplay(s.screen);
  s.selected = true;
}

const DisplayResponse* SubjectDisplay::response() { return state().linearised ? &state().response : nullptr; }

std::string SubjectDisplay::headerLines(int loadedEntries) {
  const State& s = state();
  std::string lines;
  if (s.screen >= 0) {
    lines += "# screen " + std::to_string(s.screen) + ": " + commentText(describe(s.device)) + " before the switch\n";
  }
  if (s.linearised && loadedEntries > 0) {
    lines += "# gamma " + commentText(s.response.source) + "; inverse loaded into the display's look-up table of " +
             std::to_string(loadedEntries) + " entries and read back\n";
  }
  return lines;
}

}  // namespace Kestravon
