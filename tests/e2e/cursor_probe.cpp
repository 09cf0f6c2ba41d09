// Prints "shown" or "hidden": whether the X server shows a cursor where
// the pointer is now. XFixes hands out the image the server draws; a hidden
// cursor (SDL's is a blank one defined on its windows) has no opaque pixel.
// Exit status 2 when the display or XFixes is missing. The desktop's other
// state an end must give back, asked of the same server:
//   cursor_probe focus              prints the keyboard focus: PointerRoot,
//                                   None, or the window (0x...)
//   cursor_probe kill-client WINDOW cuts the connection of the client that
//                                   made WINDOW, as xkill does
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "cursor_probe: cannot open the display\n");
    return 2;
  }
  if (argc == 2 && std::strcmp(argv[1], "focus") == 0) {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus == PointerRoot) {
      std::printf("PointerRoot\n");
    } else if (focus == None) {
      std::printf("None\n");
    } else {
      std::printf("0x%lx\n", focus);
    }
    XCloseDisplay(display);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "kill-client") == 0) {
    XKillClient(display, std::strtoul(argv[2], nullptr, 0));
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
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
