// A white square that flickers at the centre of the screen: on for some
// frames, off for as many. The number of frames is a variable in the
// console (Right and Left change it; Shift for steps of 5), and can be
// given at start with --set "Frames on=N".
#include <kestravon/kestravon.h>

using namespace Kestravon;

namespace {

int framesOn = 6;  // registered with the library: must live as long as the program

}  // namespace

void stimulus_main() {
  Range range;
  VariableRegistrar::add(framesOn).label("Frames on").range(1 <= range <= 30).step(5).step(1);

  Rectangle square;
  square.set(101, 101).centering(512, 384);

  Canvas canvas(1024, 768, 32, 60);
  for (int frame = 0; !Keyboard::query(Key::Escape, pushed); ++frame) {
    canvas.clear(Color::black);
    if (frame / framesOn % 2 == 0) canvas.fillRect(square, Color::white);
    canvas.flip();
  }
}
