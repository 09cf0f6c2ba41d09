// A simple reaction-time display. After a wait (a variable in the console,
// in frames) a white disc-like square appears at the centre; Space answers
// it. The time from the frame that showed it to the press is shown at the
// bottom left, with the number of presses that came too early, and the
// next wait begins.
#include "reaction_time.h"

#include <kestravon/kestravon.h>

using namespace Kestravon;

double lastResponseMs = 0;
int falseStarts = 0;

namespace {

int waitFrames = 90;  // registered: lives as long as the program

// Milliseconds between two counter readings, to the counter's precision.
double millisecondsBetween(const Clock& from, const Clock& to) {
  return static_cast<double>((to - from).count) / static_cast<double>(Clock::countsPerMillisecond);
}

}  // namespace

void stimulus_main() {
  lastResponseMs = 0;
  falseStarts = 0;
  Range range;
  VariableRegistrar::add(waitFrames).label("Wait (frames)").range(10 <= range <= 600).step(60).step(10);

  Rectangle target;
  target.set(60, 60).centering(512, 384);
  const Color label(0.7, 0.7, 0.7);

  Canvas canvas(1024, 768, 32, 60);
  int waited = 0;
  bool showing = false;
  Clock shownAt;
  while (!Keyboard::query(Key::Escape, pushed)) {
    const bool answered = Keyboard::query(Key::Space, pushed);
    if (answered && showing) {
      lastResponseMs = millisecondsBetween(shownAt, Clock());
      showing = false;
      waited = 0;
    } else if (answered) {
      ++falseStarts;
    }

    canvas.clear(Color::black);
    const bool appears = !showing && ++waited >= waitFrames;
    if (showing || appears) canvas.fillRect(target, Color::white);
    canvas.drawText("Last response (ms):", 30, 700, label);
    canvas.drawNumber(lastResponseMs, 330, 700, label, true);
    canvas.drawText("Too early:", 30, 740, label);
    canvas.drawNumber(falseStarts, 330, 740, label, true);
    canvas.flip();
    if (appears) {
      shownAt.update();  // the target is on the screen from this swap on
      showing = true;
    }
  }
}
