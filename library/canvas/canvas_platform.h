// The platform half of an open canvas: its window, device and rendering
// context, and the display's look-up table while it is loaded. Every
// window-system call of a canvas goes through here. The library's own (a
// canvas holds a pointer to it); not installed, so that no program reaches
// the platform beneath.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "library/base/clock.h"
#include "platform/platform.h"

namespace Kestravon {

class APICanvasProperties {
 public:
  APICanvasProperties();
  ~APICanvasProperties();
  APICanvasProperties(const APICanvasProperties&) = delete;
  APICanvasProperties& operator=(const APICanvasProperties&) = delete;

  // Switches the display mode and creates the window and the context. A
  // failure throws its text after undoing the steps already taken.
  void open(int width, int height, int colorDepth, double refreshRate);
  void createContext(platform::Window window, platform::DeviceContext* dc, platform::GLContext* context,
                     int colorDepth);
  void close();
  void releaseContext(platform::Window window, platform::DeviceContext dc, platform::GLContext context);
  void swapBuffers();
  // Loads the table `build` makes for the display's number of entries into
  // its look-up table and reads it back; throws the failure text. The
  // display's own table comes back in close().
  void loadGammaRamp(const std::function<std::vector<std::uint16_t>(int entries)>& build);
  // Whether the display's table still reads back as loaded.
  bool gammaRampHolds();
  // The display's own table back, if one was loaded.
  void giveGammaRampBack();

  platform::DeviceContext hdc = nullptr;
  platform::Window hwnd = nullptr;
  platform::GLContext hglrc = nullptr;
  bool opened = false;
  // Once a second, after a swap: whether the loaded table still holds. One
  // that another program changed is loaded again (`reloaded`), with up to
  // five attempts 100 ms apart; false when none of them holds.
  bool keepGammaRamp(bool& reloaded);

  // The table loaded into the display (red, green, blue), owed back from
  // the first attempt to load it; empty while its own table is in force.
  std::vector<std::uint16_t> gammaRampLoaded;
  std::vector<std::uint16_t> gammaRampReadBack;  // sized with it: a check allocates nothing
  Clock gammaRampChecked;
  int gammaRampReloadFailures = 0;  // attempts in a row that did not load it again
};

}  // namespace Kestravon
