// Runs a routine offscreen, for a program's own tests: the real library
// on the headless backend (Mesa, no display), keys scripted frame by
// frame, every presented frame readable pixel by pixel and savable as PNG.
// Link Kestravon::headless (instead of Kestravon::sdl2 or ::win32).
//
//   int status = Kestravon::offscreen::run(120, [](int frame) {
//     if (frame == 10) Kestravon::offscreen::pressKey(Kestravon::Key::Right);
//     if (frame == 60) EXPECT_EQ(Kestravon::offscreen::frame().rgb(512, 384), 0xFFFFFFu);
//   });
//
// One routine at a time, on the calling thread; each run starts afresh.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "../library/kestravon.h"
#include "../platform/headless/headless.h"

namespace Kestravon {
namespace offscreen {

// Pixels as the display would show them: row 0 is the top of the screen;
// rgb(x, y) is 0xRRGGBB.
using Image = platform::headless::Image;

// Runs `routine` (the program's stimulus_main unless another is given)
// through start-up, as the program's entry function does, with the options
// in `commandLine` ("--set \"Label=value\"", say). After the swap that
// presents frame f (1 for the canvas's first, blank frame) `onFrame(f)` is
// called. After frame `frames` the Escape key goes down (as if pressed
// while no message reached the program), so a routine that ends on Escape
// returns. Returns start-up's status: 0 when the routine returned, 15 after
// a failure it reported, 2 for refused options.
int run(int frames, const std::function<void(int frame)>& onFrame = nullptr, const std::string& commandLine = "",
        void (*routine)() = stimulus_main);

// A key pressed and released, by the library's key code (Key::Right,
// Key::Space, ...): taken by the routine's next key queries. While a run
// is on (from onFrame).
void pressKey(KeyCode key);
// A key held down, or let go.
void holdKey(KeyCode key, bool down);

// The frame presented last.
Image frame();
// Writes an image as an 8-bit RGB PNG file; false when it cannot.
bool savePng(const Image& image, const std::string& path);

// The current value of the registered variable with this label (NaN when
// there is none). While a run is on.
double variable(const std::string& label);

// How much the performance counter moves at every swap, so that the Clock
// sees frames pass at this period: for the next run() only (set before
// it); every run after that is at 16.667 ms, 60 Hz, unless set again.
void setFramePeriod(double milliseconds);

}  // namespace offscreen
}  // namespace Kestravon
