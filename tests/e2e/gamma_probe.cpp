// Reads a look-up table back from the X server, as the tests' witness:
//   gamma_probe randr    the RandR gamma ramp of the CRTC driving the first
//                        lit output of the default screen ($DISPLAY's)
//   gamma_probe vidmode  the screen's XF86VidMode gamma ramp (Wine's)
// Prints "<entries> <CRC-32 of the whole ramp> <middle red entry>", and
// with a last argument G, then "inverse" or "not inverse": whether every
// entry of every channel is within 1 of 65535 * (i / (entries - 1))^(1/G).
// Exit status 2 when the display, the extension or the ramp is missing.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/xf86vmode.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::uint32_t crc32(const std::vector<unsigned short>& entries) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned short entry : entries) {
    for (int shift : {0, 8}) {
      crc ^= static_cast<unsigned>(entry >> shift) & 0xFFu;
      for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
  }
  return ~crc;
}

// Red, green and blue of `size` entries each, or empty.
std::vector<unsigned short> randrRamp(Display* display, int& size) {
  std::vector<unsigned short> ramp;
  int eventBase = 0;
  int errorBase = 0;
  if (XRRQueryExtension(display, &eventBase, &errorBase) == 0) return ramp;
  XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
  if (resources == nullptr) return ramp;
  RRCrtc crtc = 0;
  for (int i = 0; i < resources->noutput && crtc == 0; ++i) {
    XRROutputInfo* output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
    if (output != nullptr) {
      crtc = output->crtc;
      XRRFreeOutputInfo(output);
    }
  }
  XRRFreeScreenResources(resources);
  if (crtc == 0) return ramp;
  XRRCrtcGamma* gamma = XRRGetCrtcGamma(display, crtc);
  if (gamma == nullptr) return ramp;
  size = gamma->size;
  ramp.insert(ramp.end(), gamma->red, gamma->red + size);
  ramp.insert(ramp.end(), gamma->green, gamma->green + size);
  ramp.insert(ramp.end(), gamma->blue, gamma->blue + size);
  XRRFreeGamma(gamma);
  return ramp;
}

std::vector<unsigned short> vidmodeRamp(Display* display, int& size) {
  std::vector<unsigned short> ramp;
  const int screen = DefaultScreen(display);
  if (XF86VidModeGetGammaRampSize(display, screen, &size) == 0 || size <= 0) return ramp;
  ramp.resize(static_cast<std::size_t>(size) * 3);
  unsigned short* red = ramp.data();
  unsigned short* green = red + size;
  unsigned short* blue = green + size;
  if (XF86VidModeGetGammaRamp(display, screen, size, red, green, blue) == 0) ramp.clear();
  return ramp;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || (std::strcmp(argv[1], "randr") != 0 && std::strcmp(argv[1], "vidmode") != 0)) {
    std::fprintf(stderr, "usage: gamma_probe randr|vidmode [G]\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "gamma_probe: cannot open the display\n");
    return 2;
  }
  int size = 0;
  const std::vector<unsigned short> ramp =
      std::strcmp(argv[1], "randr") == 0 ? randrRamp(display, size) : vidmodeRamp(display, size);
  XCloseDisplay(display);
  if (ramp.empty() || size < 2) {
    std::fprintf(stderr, "gamma_probe: no %s gamma ramp\n", argv[1]);
    return 2;
  }
  std::printf("%d %08x %u", size, crc32(ramp), ramp[static_cast<std::size_t>(size / 2)]);
  if (argc > 2) {
    const double exponent = std::atof(argv[2]);
    bool inverse = exponent > 0.0;
    for (std::size_t i = 0; inverse && i < ramp.size(); ++i) {
      const double level = static_cast<double>(i % static_cast<std::size_t>(size)) / (size - 1);
      inverse = std::fabs(ramp[i] - 65535.0 * std::pow(level, 1.0 / exponent)) <= 1.0;
    }
    std::printf(inverse ? " inverse" : " not inverse");
  }
  std::printf("\n");
  return 0;
}
