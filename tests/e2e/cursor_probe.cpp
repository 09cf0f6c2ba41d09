// Prints "shown" or "hidden": whether the X server shows a cursor where
// the pointer is now. XFixes hands out the image the server draws; a hidden
// cursor (SDL's is a blank one defined on its windows) has no opaque pixel.
// Exit status 2 when the display or XFixes is missing.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "cursor_probe: cannot open the display\n");
    return 2;
  }
  int eventBase = 0;
  int errorBase = 0;
  if (!XFixesQueryExtension(display, &eventBase, &errorBase)) {
    std::fprintf(stderr, "cursor_probe: no XFixes\n");
    XCloseDisplay(display);
    return 2;
  }
  XFixesCursorImage* image = XFixesGetCursorImage(display);
  if (image == nullptr) {
    std::fprintf(stderr, "cursor_probe: no cursor image\n");
    XCloseDisplay(display);
    return 2;
  }
  bool opaque = false;
  const unsigned long count = static_cast<unsigned long>(image->width) * image->height;
  for (unsigned long i = 0; i < count && !opaque; ++i) {
    opaque = ((image->pixels[i] >> 24) & 0xFF) != 0;  // ARGB, one pixel per long
  }
  std::printf("%s\n", opaque ? "shown" : "hidden");
  XFree(image);
  XCloseDisplay(display);
  return 0;
}
