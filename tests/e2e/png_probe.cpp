// Reads pixels of a PNG screenshot for the end-to-end scripts.
//   png_probe FILE X Y                       prints the pixel as RRGGBB
//   png_probe FILE count RRGGBB L T R B      prints how many pixels of the
//                                            inclusive rectangle have that colour
//   png_probe FILE runs Y L R                prints row Y from column L to R as
//                                            runs "RRGGBBxLENGTH", one a line
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;
  unsigned long at(int x, int y) const {
    const unsigned char* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
    return (static_cast<unsigned long>(p[0]) << 16) | (p[1] << 8) | p[2];
  }
};

bool load(const char* path, Picture& picture) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path)) return false;
  image.format = PNG_FORMAT_RGB;
  picture.width = static_cast<int>(image.width);
  picture.height = static_cast<int>(image.height);
  picture.rgb.resize(PNG_IMAGE_SIZE(image));
  return png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  Picture picture;
  if (argc < 4 || !load(argv[1], picture)) {
    std::fprintf(stderr, "usage: png_probe FILE X Y | png_probe FILE count RRGGBB L T R B\n");
    return 2;
  }
  if (std::string(argv[2]) == "count" && argc == 8) {
    const unsigned long colour = std::strtoul(argv[3], nullptr, 16);
    const int l = std::atoi(argv[4]), t = std::atoi(argv[5]), r = std::atoi(argv[6]), b = std::atoi(argv[7]);
    long n = 0;
    for (int y = t; y <= b; ++y) {
      for (int x = l; x <= r; ++x) {
        if (x >= 0 && y >= 0 && x < picture.width && y < picture.height && picture.at(x, y) == colour) ++n;
      }
    }
    std::printf("%ld\n", n);
    return 0;
  }
  if (std::string(argv[2]) == "runs" && argc == 6) {
    const int y = std::atoi(argv[3]), l = std::atoi(argv[4]), r = std::atoi(argv[5]);
    if (y < 0 || y >= picture.height || l < 0 || r >= picture.width || l > r) return 2;
    int start = l;
    for (int x = l + 1; x <= r + 1; ++x) {
      if (x > r || picture.at(x, y) != picture.at(start, y)) {
        std::printf("%06lXx%d\n", picture.at(start, y), x - start);
        start = x;
      }
    }
    return 0;
  }
  const int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
  if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) return 2;
  std::printf("%06lX\n", picture.at(x, y));
  return 0;
}
