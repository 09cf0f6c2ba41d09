// Frame cost of the real stimulus on the headless backend (Mesa, offscreen):
// stimulus_main runs with its console on, the bar width and SOA are set
// through the console with scripted arrow keys, then the frames are timed
// swap to swap, and a scripted Escape ends the routine.
//
//   frame_bench_headless [--frames N] [--w W] [--soa S] [--save F PATH.png] [--no-console]
//                        [--record-into DIR]
//
// Swaps do not read the frame back (the headless backend's present-images
// control is off), but each still waits for the frame to finish rendering.
// --save reads back measured frame F and writes it, to check the picture.
// --record-into writes the session record and timing files into DIR (as
// record.csv and timing.csv, which must not exist), to measure their cost.
#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "library/base/command_line.h"
#include "library/parameters/parameter_console.h"
#include "platform/headless/headless.h"
#include "stimulus/stimulus.h"
#include "tools/stimulus_driver.h"

using namespace Kestravon;
namespace hl = Kestravon::platform::headless;

int main(int argc, char** argv) {
  // --no-console switches the console off for the measured frames (after
  // the keys have set w and SOA): the difference is what the console costs.
  bool console = true;
  std::string commandLine;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-console") == 0) {
      console = false;
    } else if (std::strcmp(argv[i], "--record-into") == 0 && i + 1 < argc) {
      const std::string folder = argv[++i];
      commandLine = joinCommandLine({"--record", folder + "/record.csv", "--timing", folder + "/timing.csv"});
    } else {
      args.push_back(argv[i]);
    }
  }
  bench::Options options;
  if (!bench::parseOptions(static_cast<int>(args.size()), args.data(), "frame_bench_headless", true, options)) {
    std::fprintf(stderr, "       (and --no-console, --record-into DIR)\n");
    return 2;
  }
  const std::vector<int> keys = bench::consoleKeys(options);
  const int first = bench::firstMeasuredFrame(options);
  const int last = first + options.frames;
  const int saveAt = options.saveFrame > 0 ? first + options.saveFrame : -1;

  bench::FrameTimer timer(options.frames);
  bool settingsOk = true;
  bool saved = true;
  const int status = driver::runStimulus(
      last,
      [&](int frame) {
        if (frame == 0) {
          hl::setPresentImages(false);
          std::printf("# GL_RENDERER %s, GL_VERSION %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                      reinterpret_cast<const char*>(glGetString(GL_VERSION)));
        }
        // A press is taken during the next frame, within that frame's key queries.
        if (frame % bench::kFramesPerKey == 0 && frame / bench::kFramesPerKey < static_cast<int>(keys.size())) {
          const int key = keys[static_cast<std::size_t>(frame / bench::kFramesPerKey)];
          hl::pushKeyDown(key);
          hl::pushKeyUp(key);
        }
        if (frame == first) {
          if (!console) ParameterConsole::setEnabled(false);
          settingsOk = driver::variableValue(kBarWidthLabel) == options.barWidth &&
                       driver::variableValue(kSoaLabel) == options.soa;
          timer.start();
        } else if (frame > first) {
          timer.mark();
        }
        if (frame == saveAt - 1) hl::setPresentImages(true);
        if (frame == saveAt) {
          saved = hl::writePng(hl::frontImage(), options.savePath);
          hl::setPresentImages(false);
        }
      },
      commandLine.c_str());
  std::printf("# frame_bench headless: stimulus_main, console %s, w=%d soa=%d, %d frames%s\n", console ? "on" : "off",
              options.barWidth, options.soa, options.frames, commandLine.empty() ? "" : ", recording");
  if (status != 0 || !settingsOk || timer.marked() != options.frames || !saved) {
    std::fprintf(stderr, "frame_bench_headless: run failed (status %d, settings %s, %d frames timed%s)\n", status,
                 settingsOk ? "ok" : "not reached", timer.marked(), saved ? "" : ", PNG not written");
    return 1;
  }
  timer.printResult();
  return 0;
}
