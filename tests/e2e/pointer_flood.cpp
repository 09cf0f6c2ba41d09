// Moves the X pointer through XTest at a fixed rate, as a fast mouse does
// (1000 Hz is a common polling rate), for a given time.
//
//   pointer_flood HZ SECONDS
//
// Prints how many motions it sent. Status 1 without a display or XTest.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pointer_flood HZ SECONDS\n");
    return 2;
  }
  const double hz = std::atof(argv[1]);
  const double seconds = std::atof(argv[2]);
  if (hz <= 0 || seconds <= 0) {
    std::fprintf(stderr, "pointer_flood: HZ and SECONDS must be positive\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  int event = 0, error = 0, major = 0, minor = 0;
  if (display == nullptr || !XTestQueryExtension(display, &event, &error, &major, &minor)) {
    std::fprintf(stderr, "pointer_flood: no display with XTest\n");
    return 1;
  }
  using Clock = std::chrono::steady_clock;
  const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / hz));
  const long total = static_cast<long>(hz * seconds);
  auto next = Clock::now();
  long sent = 0;
  for (; sent < total; ++sent) {
    // A small circle-ish path inside the screen, never the same point twice in a row.
    const int x = 200 + static_cast<int>(sent % 400);
    const int y = 200 + static_cast<int>((sent / 3) % 300);
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XFlush(display);
    next += period;
    std::this_thread::sleep_until(next);
  }
  XSync(display, False);
  XCloseDisplay(display);
  std::printf("%ld motions\n", sent);
  return 0;
}
