// Key storms: the real stimulus routine on the headless backend, fed seeded
// random message streams (every key of the key map and others, downs and
// ups in any order, auto-repeat, close, quit, destroy and other messages;
// never Escape). After every frame the six variables are inside their
// ranges, and what the routine drew is checked: the rectangles it handed
// to glRectd (seen through a link-time wrapper, so no pixels are read)
// are the fixation mark and, on flash frames, two rows of at most 100
// bars whose centres lie on their paths.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "library/base/keyboard.h"
#include "library/parameters/parameter_console.h"
#include "library/parameters/variable_registry.h"
#include "platform/headless/headless.h"
#include "tests/support/bar_geometry.h"
#include "tests/support/headless_fixture.h"
#include "tools/stimulus_driver.h"

namespace {

struct DrawnRect {
  double x1, y1, x2, y2;
};

// Every rectangle the library filled since the last look, while a storm looks.
std::vector<DrawnRect>& drawnRects() {
  static std::vector<DrawnRect> rects;
  return rects;
}
bool collectingRects = false;

}  // namespace

// The test executable is linked with --wrap=glRectd: the library's fills
// come here first, then go to the driver unchanged.
// NOLINTBEGIN(bugprone-reserved-identifier): the linker's --wrap fixes these names.
extern "C" void __real_glRectd(GLdouble x1, GLdouble y1, GLdouble x2, GLdouble y2);
extern "C" void __wrap_glRectd(GLdouble x1, GLdouble y1, GLdouble x2, GLdouble y2) {
  if (collectingRects) drawnRects().push_back({x1, y1, x2, y2});
  __real_glRectd(x1, y1, x2, y2);
}
// NOLINTEND(bugprone-reserved-identifier)

namespace Kestravon {
namespace {

namespace hl = platform::headless;

struct VariableBounds {
  const char* label;
  double lo;
  double hi;
  double lattice;  // every reachable value is a multiple of this (0: not checked)
  double lowest;   // the smallest value steps can reach
};

// The six variables, their ranges, and the grid their steps keep them on.
const VariableBounds kVariables[6] = {
    {"Path-length Ratio", 1.0, 6.0, 0.5, 1.0},
    {"Bar Width", 3, 10, 1, 3},
    {"SOA", 1, 10, 1, 1},
    {"Eccentricity", 10, 140, 10, 10},
    {"Motion Direction", -1, 1, 1, -1},
    // Steps of 0.05 add up with rounding: from 1.0 the level stops a hair
    // below 0.05, as the registry documents, and never shows 0.
    {"Green luminance", 0.0, 1.0, 0, 0.05},
};

struct Values {
  double v[6];
};

Values readValues() {
  Values values;
  for (int i = 0; i < 6; ++i) values.v[i] = driver::variableValue(kVariables[i].label);
  return values;
}

// What a storm did, for the checks that it really stormed.
struct StormReport {
  int frames = 0;
  int flashes = 0;
  long messages = 0;
  int changes[6] = {};
  bool reachedLow[6] = {};
  bool reachedHigh[6] = {};
  bool keyDownSent[256] = {};  // by virtual-key code
  bool keyUpSent[256] = {};
  std::string failure;  // the first fault found, or empty
};

class Storm {
 public:
  explicit Storm(std::uint32_t seed) : rng_(seed) {}

  StormReport run(int frames) {
    report_ = StormReport();
    counter_ = 0;
    leaning_ = 0;
    const int status = driver::runStimulus(frames, [this](int frame) { onFrame(frame); });
    collectingRects = false;
    if (report_.failure.empty() && status != 0) fail(frames, "the routine ended with status " + std::to_string(status));
    return report_;
  }

 private:
  void onFrame(int frame) {
    if (!report_.failure.empty()) return;
    if (frame == 0) {
      // Nothing here reads pixels; a swap need not copy them back.
      hl::setPresentImages(false);
      drawnRects().clear();
      collectingRects = true;
      previous_ = readValues();
      storm();
      return;
    }
    ++report_.frames;
    // Two periods in three the person leans on Left or Right of one row,
    // each row in turn, so that every value is driven against both ends.
    if (frame % 300 == 0) {
      const int period = frame / 300;
      if (period % 3 == 0) {
        leaning_ = 0;
      } else {
        const int leant = period - period / 3 - 1;
        leaningRow_ = leant % 6;
        leaning_ = (leant / 6) % 2 == 0 ? platform::kVkLeft : platform::kVkRight;
      }
    }
    checkDrawing(frame);
    drawnRects().clear();
    const Values now = readValues();
    checkValues(frame, now);
    for (int i = 0; i < 6; ++i) report_.changes[i] += now.v[i] != previous_.v[i];
    previous_ = now;
    storm();
  }

  void fail(int frame, const std::string& what) {
    if (report_.failure.empty()) report_.failure = "frame " + std::to_string(frame) + ": " + what;
  }

  void checkValues(int frame, const Values& now) {
    for (int i = 0; i < 6; ++i) {
      const VariableBounds& bounds = kVariables[i];
      const double x = now.v[i];
      if (!(x >= bounds.lo && x <= bounds.hi)) {
        std::ostringstream s;
        s << bounds.label << " is " << x << ", outside " << bounds.lo << " to " << bounds.hi;
        fail(frame, s.str());
      }
      if (bounds.lattice != 0 && std::fmod(x, bounds.lattice) != 0) {
        std::ostringstream s;
        s << bounds.label << " is " << x << ", off its steps of " << bounds.lattice;
        fail(frame, s.str());
      }
      if (x < bounds.lowest + 1e-9) report_.reachedLow[i] = true;
      if (x > bounds.hi - 1e-9) report_.reachedHigh[i] = true;
    }
  }

  // The frame was drawn with the values the console left after the frame
  // before (the console steps only inside flip, after the drawing).
  void checkDrawing(int frame) {
    // The bar geometry for the values this frame was drawn with.
    const testing::BarGeometry g(previous_.v[0], static_cast<int>(previous_.v[1]), static_cast<int>(previous_.v[2]));
    counter_ = (counter_ + 1) % g.cycle;
    const int soa = static_cast<int>(previous_.v[2]);
    const bool flash = counter_ % soa == 0;
    const int phase = counter_ / soa;
    const std::vector<DrawnRect>& rects = drawnRects();

    if (rects.empty() || rects[0].x1 != 510 || rects[0].y1 != 382 || rects[0].x2 != 515 || rects[0].y2 != 387) {
      fail(frame, "the fixation mark is not the first fill");
      return;
    }
    if (g.N > 100) fail(frame, "N = " + std::to_string(g.N) + " bars per row");
    const std::size_t expected = flash ? 1 + 2 * static_cast<std::size_t>(g.N) : 1;
    if (rects.size() != expected) {
      fail(frame, std::to_string(rects.size()) + " fills, expected " + std::to_string(expected));
      return;
    }
    if (!flash) return;
    ++report_.flashes;

    const int ecc = static_cast<int>(previous_.v[3]);
    const bool upperRight = previous_.v[4] == 1;
    int perRow[2] = {0, 0};
    for (std::size_t r = 1; r < rects.size(); ++r) {
      const DrawnRect& rect = rects[r];
      const int i = static_cast<int>((r - 1) / 2);
      const int row = static_cast<int>((r - 1) % 2);  // the routine fills upper, lower, upper, ...
      const double y = row == 0 ? 384 - ecc : 384 + ecc;
      // Rectangle corners are inclusive; glRectd gets right + 1 and bottom + 1.
      const double centreX = (rect.x1 + rect.x2 - 1) / 2;
      const double centreY = (rect.y1 + rect.y2 - 1) / 2;
      std::ostringstream where;
      where << (row == 0 ? "upper" : "lower") << " bar " << i << " at (" << centreX << ", " << centreY << ")";
      if (centreY != y || rect.x2 - rect.x1 != g.w || rect.y2 - rect.y1 != 40) {
        fail(frame, where.str() + ": not a " + std::to_string(g.w) + "x40 bar of its row");
        return;
      }
      ++perRow[row];
      const bool movesRight = (row == 0) == upperRight;
      // The rightward row wraps at xRight, the leftward row at xLeft.
      const bool onPath =
          movesRight ? (centreX >= g.xLeft && centreX < g.xRight) : (centreX > g.xLeft && centreX <= g.xRight);
      if (!onPath) {
        std::ostringstream s;
        s << where.str() << " is off its path " << g.xLeft << " to " << g.xRight;
        fail(frame, s.str());
        return;
      }
      const int want = movesRight ? g.rightwardCentre(phase, i) : g.leftwardCentre(phase, i);
      if (centreX != want) {
        fail(frame, where.str() + ", expected x " + std::to_string(want));
        return;
      }
    }
    if (perRow[0] > 100 || perRow[1] > 100) fail(frame, "more than 100 bars in a row");
  }

  std::uint32_t below(std::uint32_t n) { return rng_() % n; }

  int anyKeyButEscape() {
    for (;;) {
      const int vk = static_cast<int>(below(256));
      if (vk != platform::kVkEscape) return vk;
    }
  }

  int keyMapKeyButEscape() {
    for (;;) {
      const int vk = Keyboard::keyMap[below(Keyboard::kTableSize)];
      if (vk != platform::kVkEscape && vk != 0) return vk;
    }
  }

  int selectedRow() const {
    if (!ParameterConsole::hasSelection) return -1;
    return static_cast<int>(std::distance(VariableRegistry::holders().begin(), ParameterConsole::selected));
  }

  int consoleKey() {
    static const int keys[] = {platform::kVkUp,    platform::kVkDown, platform::kVkLeft, platform::kVkRight,
                               platform::kVkRight, platform::kVkLeft, platform::kVkShift};
    if (leaning_ != 0 && below(4) != 0) {
      // Move to the row leant on, then keep stepping it.
      if (selectedRow() != leaningRow_) return platform::kVkDown;
      return below(6) == 0 ? platform::kVkShift : leaning_;
    }
    return keys[below(sizeof keys / sizeof keys[0])];
  }

  void push(const platform::Message& message) {
    hl::pushMessage(message);
    ++report_.messages;
  }

  void keyDown(int vk) {
    hl::pushKeyDown(vk);
    if (vk >= 0 && vk < 256) report_.keyDownSent[vk] = true;
    ++report_.messages;
  }

  void keyUp(int vk) {
    hl::pushKeyUp(vk);
    if (vk >= 0 && vk < 256) report_.keyUpSent[vk] = true;
    ++report_.messages;
  }

  void downOrUp(int vk) {
    if (below(2) == 0) {
      keyDown(vk);
    } else {
      keyUp(vk);
    }
  }

  // A few messages for the next frame. The queue is kept to about two
  // frames of what the pump takes (five to seven messages a frame), so that
  // the keys pressed follow what the console shows.
  void storm() {
    if (hl::pendingMessages() > 12) return;
    const int count = static_cast<int>(below(10));
    for (int n = 0; n < count; ++n) {
      const std::uint32_t pick = below(100);
      if (pick < 35) {
        keyDown(consoleKey());
      } else if (pick < 55) {
        keyUp(consoleKey());
      } else if (pick < 67) {
        const int vk = keyMapKeyButEscape();
        downOrUp(vk);
      } else if (pick < 77) {
        const int vk = anyKeyButEscape();
        downOrUp(vk);
      } else if (pick < 82) {
        // Auto-repeat: the same key-down again and again before its key-up.
        const int vk = below(3) == 0 ? keyMapKeyButEscape() : consoleKey();
        for (int r = static_cast<int>(2 + below(7)); r > 0; --r) keyDown(vk);
      } else if (pick < 85) {
        // Codes no key has: outside the 256-entry tables, or negative.
        static const int strange[] = {256, 300, 0xFFFF, -1, -27, 0x1B + 256};
        const int vk = strange[below(6)];
        downOrUp(vk);
      } else if (pick < 90) {
        const std::uint32_t which = below(4);
        if (which == 0) {
          hl::pushQuit();
        } else {
          hl::pushClose(which == 1 ? hl::listenerWindow() : which == 2 ? hl::lastCanvasWindow() : nullptr);
        }
        ++report_.messages;
      } else {
        // Other messages, addressed to the canvas, the listener or nobody.
        static const std::uint32_t ids[] = {platform::kMsgPaint,
                                            platform::kMsgChar,
                                            platform::kMsgSysKeyDown,
                                            platform::kMsgSysKeyUp,
                                            platform::kMsgMouseMove,
                                            platform::kMsgLButtonDown,
                                            platform::kMsgLButtonUp,
                                            platform::kMsgDestroy,
                                            0x0000,
                                            0x0401,
                                            0xC123,
                                            0xFFFF};
        platform::Message m;
        m.id = ids[below(sizeof ids / sizeof ids[0])];
        const std::uint32_t to = below(3);
        m.window = to == 0 ? hl::lastCanvasWindow() : to == 1 ? hl::listenerWindow() : nullptr;
        m.wParam = static_cast<std::uintptr_t>(anyKeyButEscape());
        m.lParam = static_cast<std::intptr_t>(rng_());
        push(m);
      }
    }
  }

  std::mt19937 rng_;
  StormReport report_;
  Values previous_{};
  int counter_ = 0;
  int leaning_ = 0;  // the key leant on, or 0
  int leaningRow_ = 0;
};

using StormTest = testing::HeadlessTest;

constexpr int kFramesPerSeed = 10000;

// Ten seeds of 10,000 frames each: 100,000 frames in all.
class SeededStormTest : public StormTest, public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(SeededStormTest, VariablesStayInRangeAndBarsOnTheirPaths) {
  Storm storm(GetParam());
  const StormReport report = storm.run(kFramesPerSeed);
  EXPECT_EQ(report.failure, "");
  EXPECT_EQ(report.frames, kFramesPerSeed);
  // The storm reached every variable and pushed each against both ends.
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(kVariables[i].label);
    EXPECT_GT(report.changes[i], 0);
    EXPECT_TRUE(report.reachedLow[i]);
    EXPECT_TRUE(report.reachedHigh[i]);
  }
  EXPECT_GT(report.flashes, kFramesPerSeed / 20);
  // Every key of the key map went down and came up, Escape never did.
  for (int key = 0; key < Keyboard::kTableSize; ++key) {
    const int vk = Keyboard::keyMap[key];
    if (vk == 0 || vk == platform::kVkEscape) continue;
    EXPECT_TRUE(report.keyDownSent[vk] && report.keyUpSent[vk])
        << "key code " << key << " (0x" << std::hex << vk << ")";
  }
  EXPECT_FALSE(report.keyDownSent[platform::kVkEscape] || report.keyUpSent[platform::kVkEscape]);
  std::printf("seed %u: %d frames, %ld messages, %d flash frames\n", GetParam(), report.frames, report.messages,
              report.flashes);
}

INSTANTIATE_TEST_SUITE_P(TenSeeds, SeededStormTest, ::testing::Range<std::uint32_t>(1, 11));

}  // namespace
}  // namespace Kestravon
