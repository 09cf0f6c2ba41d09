#include "library/canvas/overlay.h"

#include <climits>

#include "library/canvas/canvas.h"
#include "library/canvas/display_lists.h"
#include "library/canvas/gl.h"

namespace Kestravon {

void drawCanvasInfoOverlay(Canvas& canvas) {
  const int h = digitHeight + 3;
  const double w = canvas.width;
  const Rectangle box(w - 100, 1, w - 2, static_cast<int>(3.5 * h));
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  // Integer components are not rescaled: alpha 127 clamps to opaque.
  canvas.fillRect(box, Color(0, 0, 0, 127));
  glPopAttrib();

  const double x = box.right - 10;
  canvas.drawNumber(canvas.droppedFrames, x, box.top + 15, Color::red, false);
  // Saturates like the two counters it adds up.
  const long long sum = static_cast<long long>(canvas.droppedFrames) + canvas.flipCount;
  const int periods = sum > INT_MAX ? INT_MAX : static_cast<int>(sum);
  canvas.drawNumber(periods, x, box.top + h + 15, Color::white, false);
  const double interval = canvas.lastInterval;
  // Out-of-range intervals would make the int conversion undefined.
  const int shown = interval >= -2147483648.0 && interval < 2147483648.0 ? static_cast<int>(interval) : 0;
  canvas.drawNumber(shown, x, box.top + 2 * h + 15, interval > canvas.intervalLimit ? Color::red : Color::white, false);
}

}  // namespace Kestravon
