// The frame-timing box in the top-right corner of the canvas.
#pragma once

namespace Kestravon {

class Canvas;

// Missed refresh periods (red), refresh periods passed, and the last frame
// interval (red when the frame was late).
void drawCanvasInfoOverlay(Canvas& canvas);

}  // namespace Kestravon
