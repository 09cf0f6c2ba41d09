// Runs the real stimulus on the headless backend and writes chosen frames
// as PNG files: what the program shows, without a display.
//
//   capture [--frames N] [--save F[,F...]] [--out DIR] [--set "Label=value"]...
//
// Frames are numbered from 1, the first frame of the stimulus loop. Each
// --set is applied before the first frame. DIR is made if it is not there.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/headless/headless.h"
#include "tools/stimulus_driver.h"

using namespace Kestravon;

int main(int argc, char** argv) {
  int frames = 4;
  std::set<int> save;
  std::string out = ".";
  std::vector<std::pair<std::string, double>> settings;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--frames" && hasValue) {
      frames = std::atoi(argv[++i]);
    } else if (arg == "--save" && hasValue) {
      std::stringstream list(argv[++i]);
      std::string item;
      while (std::getline(list, item, ',')) save.insert(std::atoi(item.c_str()));
    } else if (arg == "--out" && hasValue) {
      out = argv[++i];
    } else if (arg == "--set" && hasValue) {
      const std::string s = argv[++i];
      const std::size_t eq = s.find('=');
      if (eq == std::string::npos) {
        std::fprintf(stderr, "capture: --set wants \"Label=value\", got \"%s\"\n", s.c_str());
        return 2;
      }
      settings.emplace_back(s.substr(0, eq), std::atof(s.c_str() + eq + 1));
    } else {
      std::fprintf(stderr, "usage: capture [--frames N] [--save F[,F...]] [--out DIR] [--set \"Label=value\"]...\n");
      return 2;
    }
  }
  if (frames < 1) {
    std::fprintf(stderr, "capture: --frames must be at least 1\n");
    return 2;
  }
  if (save.empty()) save.insert(frames);
  // The folder is made, as `mkdir -p` would; one that cannot be is said
  // before anything runs.
  std::error_code madeNot;
  std::filesystem::create_directories(out, madeNot);
  if (madeNot) {
    std::fprintf(stderr, "capture: cannot make the folder %s: %s\n", out.c_str(), madeNot.message().c_str());
    return 2;
  }

  int failures = 0;
  const int status = driver::runStimulus(frames, [&](int frame) {
    if (frame == 0) {
      for (const auto& setting : settings) {
        if (!driver::setVariable(setting.first, setting.second)) {
          std::fprintf(stderr, "capture: no variable labelled \"%s\"\n", setting.first.c_str());
          ++failures;
        }
      }
      return;
    }
    if (save.count(frame) != 0) {
      char name[64];
      std::snprintf(name, sizeof name, "/frame-%04d.png", frame);
      if (!platform::headless::writePng(platform::headless::frontImage(), out + name)) {
        std::fprintf(stderr, "capture: cannot write %s%s\n", out.c_str(), name);
        ++failures;
      } else {
        std::printf("%s%s\n", out.c_str(), name);
      }
    }
  });
  if (status != 0) {
    std::fprintf(stderr, "capture: the stimulus ended with status %d\n", status);
    return status;
  }
  return failures == 0 ? 0 : 1;
}
