// Adjustment sessions on the real stimulus, offscreen: keys through the
// real path (messages taken by the pump, the key tables, the session's
// queries), what the observer sees, the results file row by row, Escape in
// the middle, a failed write, refusals, and a lab's own routine.
//
// The schedule every test keeps: the canvas presents two blank frames, so
// trial 1's first frame is frame 3. A key pressed after frame f is taken in
// the flip of frame f + 1; an accept there makes frame f the trial's last
// (accept_frame) and starts the gap with frame f + 1. --gap 100 at 60 Hz is
// 6 frames: the next trial's first frame is f + 7, 18 frames after the
// trial's own first (accepted after its 12th).
#include "library/shell/adjustment_session.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "library/base/keyboard.h"
#include "library/canvas/canvas.h"
#include "library/parameters/range.h"
#include "library/parameters/variable_registry.h"
#include "library/shell/startup.h"
#include "offscreen/offscreen.h"
#include "platform/headless/headless.h"
#include "stimulus/stimulus.h"
#include "tests/support/file_faults.h"

namespace Kestravon {
namespace {

namespace hl = platform::headless;

constexpr int kTrialFrames = 18;  // first frame to the next trial's first, as scheduled below

class AdjustmentSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const bool child = !GTEST_FLAG_GET(internal_run_death_test).empty();
    folder_ = testing::deathTestFolder("kestravon-adjustment");
    results_ = folder_ + "/results.csv";
    if (!child) std::remove(results_.c_str());
  }
  void TearDown() override {
    AdjustmentSession::discard();
    if (HasFailure()) return;  // kept for a look
    std::remove(results_.c_str());
    std::remove((results_ + ".2").c_str());
    rmdir(folder_.c_str());
  }

  // Trial t (from 0) of the schedule: Right, Shift+Right, Left, Down, then
  // Return (or Space on odd trials), frame by frame.
  static void observer(int frame) {
    const int into = frame - 3 - kTrialFrames * ((frame - 3) / kTrialFrames);
    const int trial = (frame - 3) / kTrialFrames;
    if (frame < 3) return;
    if (into == 2) offscreen::pressKey(Key::Right);
    if (into == 5) {
      offscreen::holdKey(Key::Shift, true);
      offscreen::pressKey(Key::Right);
      offscreen::holdKey(Key::Shift, false);
    }
    if (into == 8) offscreen::pressKey(Key::Left);
    if (into == 9) offscreen::pressKey(Key::Down);  // no row to select: nothing happens
    if (into == 11) offscreen::pressKey(trial % 2 == 0 ? Key::Return : Key::Space);
  }

  static std::vector<std::string> lines(const std::string& path, bool comments) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) {
      if (comments == (!line.empty() && line[0] == '#')) out.push_back(line);
    }
    return out;
  }
  static std::vector<std::string> fields(const std::string& row) {
    std::vector<std::string> out;
    std::stringstream in(row);
    for (std::string field; std::getline(in, field, ',');) out.push_back(field);
    if (!row.empty() && row.back() == ',') out.emplace_back();
    return out;
  }

  std::string folder_, results_;
};

TEST_F(AdjustmentSessionTest, ASessionThroughTheRealKeysWritesEveryAcceptedSettingAndEndsTheRoutineWithStatus0) {
  int lastFrame = 0;
  std::uint32_t topLeft = 0;  // console rows would be drawn there
  int gapPixels = -1;
  ::testing::internal::CaptureStderr();
  const int status = offscreen::run(
      400,
      [&](int frame) {
        lastFrame = frame;
        const offscreen::Image image = offscreen::frame();
        if (frame == 12) {  // trial 1, no flash: the fixation mark only, and no console
          for (int y = 0; y < 260; ++y)
            for (int x = 0; x < 200; ++x) topLeft |= image.rgb(x, y);
        }
        if (frame == 16) {  // in the gap after trial 1 (accepted in frame 14's flip)
          gapPixels = 0;
          for (int y = 0; y < 768; ++y) {
            for (int x = 0; x < 1024; ++x) {
              const std::uint32_t p = image.rgb(x, y);
              const bool inMark = x >= 510 && x <= 514 && y >= 382 && y <= 386;
              if (p != (inMark ? 0xFFFFFFu : 0u)) ++gapPixels;
            }
          }
        }
        observer(frame);
      },
      "--trials 3 --results " + results_ + " --adjust Eccentricity --start 40,100 --seed 5 --gap 100");
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 0) << said;
  EXPECT_EQ(lastFrame, 3 + 2 * kTrialFrames + 12) << "the routine ended after the third accept, not at frame 400";
  EXPECT_EQ(topLeft, 0u) << "the console is hidden: the observer must not see the number";
  EXPECT_EQ(gapPixels, 0) << "the gap shows the 5x5 fixation mark alone";

  const std::vector<std::string> header = lines(results_, true);
  const std::vector<std::string> rows = lines(results_, false);
  ASSERT_EQ(rows.size(), 4u) << said;
  EXPECT_EQ(rows[0],
            "trial,block,condition,start,setting,steps,response_ms,first_frame,accept_frame,Path-length Ratio,Bar "
            "Width,SOA,Eccentricity,Motion Direction,Green luminance");
  for (int t = 0; t < 3; ++t) {
    const std::vector<std::string> f = fields(rows[static_cast<std::size_t>(t) + 1]);
    ASSERT_EQ(f.size(), 15u) << rows[static_cast<std::size_t>(t) + 1];
    EXPECT_EQ(f[0], std::to_string(t + 1));
    EXPECT_EQ(f[1], std::to_string(t + 1)) << "without conditions, each trial is a block";
    EXPECT_EQ(f[2], "");
    const int start = std::stoi(f[3]);
    EXPECT_TRUE(start >= 40 && start <= 100 && start % 10 == 0)
        << "10 plus whole steps of 20... within 40..100: " << start;
    EXPECT_EQ(std::stoi(f[4]), start + 20 + 10 - 20) << "Right 20, Shift+Right 10, Left 20";
    EXPECT_EQ(f[5], "3") << "Down is no step";
    EXPECT_EQ(f[6], "183.334") << "first frame to accept: 11 swaps of 166,667 ticks of the 10 MHz counter";
    EXPECT_EQ(f[7], std::to_string(3 + t * kTrialFrames));
    EXPECT_EQ(f[8], std::to_string(3 + t * kTrialFrames + 11));
    EXPECT_EQ(f[12], f[4]) << "the registered variable's column holds the setting";
  }
  const std::string all = [&] {
    std::string text;
    for (const std::string& line : header) text += line + "\n";
    return text;
  }();
  for (const char* expected :
       {"# Kestravon 0.1, adjustment results", "# display asked 1024x768, 32 bits, 60 Hz", "# adjusted: Eccentricity",
        "# seed: 5 (given)", "# conditions: none", "# gap: 100 ms (6 frames of the fixation mark alone)",
        "# trials planned: 3 (3 per condition)", "# completed: 3 of 3 planned trials done",
        "# summary,condition,settings,mean,sd,ci95_low,ci95_high\n# summary,,3,"}) {
    EXPECT_NE(all.find(expected), std::string::npos) << expected << " in\n" << all;
  }
  EXPECT_NE(said.find("Kestravon: 3 settings of Eccentricity, mean "), std::string::npos) << said;
}

TEST_F(AdjustmentSessionTest, TheSameSeedGivesTheSameStartsAndConditionOrder) {
  const auto session = [&](const std::string& path, const char* seed) {
    const int status = offscreen::run(
        200, observer, "--trials 2 --results " + path + " --conditions \"SOA=1,3\" --seed " + seed + " --gap 100");
    EXPECT_EQ(status, 0);
    std::vector<std::string> plan;
    for (const std::string& row : lines(path, false)) {
      const std::vector<std::string> f = fields(row);
      plan.push_back(f[1] + "," + f[2] + "," + f[3]);  // block, condition, start
    }
    return plan;
  };
  const std::vector<std::string> first = session(results_, "123456789");
  const std::vector<std::string> again = session(results_ + ".2", "123456789");
  ASSERT_EQ(first.size(), 5u);
  EXPECT_EQ(first, again);
  // Each block holds both conditions once, as "SOA=1" and "SOA=3".
  EXPECT_NE(first[1].substr(0, 7), first[2].substr(0, 7));
  EXPECT_NE(first[3].substr(0, 7), first[4].substr(0, 7));
  EXPECT_EQ(first[1].substr(0, 2), "1,");
  EXPECT_EQ(first[4].substr(0, 2), "2,");
}

TEST_F(AdjustmentSessionTest, EscapeInTheMiddleKeepsTheAcceptedSettingsAndSaysHowManyWereDone) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto escapeInTrial2 = [this] {
    offscreen::run(
        400,
        [](int frame) {
          observer(frame);
          if (frame == 3 + kTrialFrames + 4) offscreen::pressKey(Key::Escape);
        },
        "--trials 3 --results " + results_ + " --seed 1 --gap 100");
    std::exit(1);  // not reached: the pump ends the process
  };
  EXPECT_EXIT(escapeInTrial2(), ::testing::ExitedWithCode(128), "Kestravon: session ended by Escape: 1 of 3");
  const std::vector<std::string> rows = lines(results_, false);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_TRUE(std::regex_match(rows[1], std::regex("1,1,,[0-9.]+,[0-9.]+,3,183\\.334,3,14(,[-0-9.]+){6}"))) << rows[1];
  const std::vector<std::string> comments = lines(results_, true);
  ASSERT_GE(comments.size(), 3u);
  EXPECT_EQ(comments[comments.size() - 3], "# ended by Escape: 1 of 3 planned trials done");
  EXPECT_TRUE(std::regex_match(comments.back(), std::regex("# summary,,1,[0-9.]+,,,"))) << comments.back();
}

TEST_F(AdjustmentSessionTest, ASettingThatCannotBeWrittenEndsTheSessionWithStatus3AndWholeRows) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // A path of over 500 bytes: the failure is still said whole.
  const std::string deep = folder_ + "/" + std::string(250, 'd');
  ASSERT_TRUE(mkdir(deep.c_str(), 0700) == 0 || errno == EEXIST);
  results_ = deep + "/" + std::string(240, 'r') + ".csv";
  const auto limitAfterTrial1 = [this] {
    int status = 0;
    testing::withStandardErrorThroughPipe([&] {
      rlimit limit{};
      getrlimit(RLIMIT_FSIZE, &limit);
      const rlim_t unlimited = limit.rlim_cur;
      status = offscreen::run(
          400,
          [&](int frame) {
            observer(frame);
            if (frame == 3 + kTrialFrames) {  // trial 1's row is written: the file may grow no further
              struct stat file = {};
              stat(results_.c_str(), &file);
              limit.rlim_cur = static_cast<rlim_t>(file.st_size);
              setrlimit(RLIMIT_FSIZE, &limit);
            }
          },
          "--trials 3 --results " + results_ + " --seed 1 --gap 100");
      limit.rlim_cur = unlimited;
      setrlimit(RLIMIT_FSIZE, &limit);
    });
    std::exit(finalStatus(status));  // as the entry function ends; the session's end is said at exit
  };
  EXPECT_EXIT(limitAfterTrial1(), ::testing::ExitedWithCode(3),
              "writing the results file \"/tmp/[^\"]*/d{250}/r{240}.csv\" failed: File too large; the rows after "
              "that are lost\n.*"
              "the session stopped at trial 2: its setting could not be written; the file holds the 1 before it");
  std::ifstream in(results_, std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(content.empty());
  EXPECT_EQ(content.back(), '\n');
  EXPECT_EQ(lines(results_, false).size(), 2u) << "the header and trial 1";
  std::remove(results_.c_str());
  rmdir(deep.c_str());
}

TEST_F(AdjustmentSessionTest, RefusedSessionsEndWithStatus2BeforeTheDisplayAndLeaveNoFile) {
  const struct {
    std::string options;
    const char* says;
  } refused[] = {
      {"--adjust Contrast", "Kestravon: --adjust: no variable is labelled \"Contrast\"; the labels are"},
      {"--start 0.5,1.5", "Kestravon: --start 0.5,1.5: 1.5 is outside the range 0 <= Green luminance <= 1\n"},
      {"--conditions \"SOA=0,2\"", "Kestravon: --conditions \"SOA=0,2\": 0 is outside the range 1 <= SOA <= 10\n"},
  };
  for (const auto& r : refused) {
    ::testing::internal::CaptureStderr();
    const int status = offscreen::run(5, nullptr, "--trials 2 --results " + results_ + " " + r.options);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 2) << r.options;
    EXPECT_NE(said.find(r.says), std::string::npos) << said;
    EXPECT_FALSE(testing::displayTouched()) << r.options;
    EXPECT_FALSE(testing::fileExists(results_)) << r.options << ": the same command line, corrected, must work";
  }
  // An existing file is never overwritten.
  std::ofstream(results_) << "a lab's data\n";
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(offscreen::run(5, nullptr, "--trials 2 --results " + results_), 2);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("an existing file is never overwritten"), std::string::npos);
  EXPECT_EQ(lines(results_, false), std::vector<std::string>{"a lab's data"});
  std::remove(results_.c_str());
  // A run that presents no frame leaves no file behind.
  hl::reset();
  hl::faults().displayChangeResult = -2;  // the display refuses the mode
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(startUp(nullptr, nullptr, ("--trials 2 --results " + results_).c_str(), 1, stimulus_main), 15);
  AdjustmentSession::finish();  // as at exit
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("the results file this run created is removed"),
            std::string::npos);
  EXPECT_FALSE(testing::fileExists(results_));
}

// A lab's own routine asks for a session itself and gets the same file.
double contrast = 0.5;
std::string labResults;
void labRoutine() {
  Range range;
  0.0 <= range <= 1.0;
  VariableRegistrar::add(contrast).label("Contrast").range(range).step(0.1).step(0.01);
  AdjustmentOptions session;
  session.trials = 2;
  session.adjust = "Contrast";
  session.gapMs = 0;
  session.seed = 11;
  session.seedGiven = true;
  session.resultsPath = labResults;
  std::string error;
  if (!AdjustmentSession::request(session, error)) return;
  Canvas canvas(1024, 768, 32, 60.0);
  while (!Keyboard::query(Key::Escape, pushed)) {
    canvas.clear(Color::black);
    canvas.flip();
  }
}

TEST_F(AdjustmentSessionTest, ALabsOwnRoutineRunsASessionOnItsOwnVariable) {
  labResults = results_;
  int lastFrame = 0;
  const int status = offscreen::run(
      100,
      [&](int frame) {
        lastFrame = frame;
        if (frame == 5) offscreen::pressKey(Key::Right);  // the plain step: 0.01
        if (frame == 7 || frame == 10) offscreen::pressKey(Key::Return);
      },
      "", labRoutine);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(lastFrame, 11) << "with no gap, trial 2 starts at the frame after the accept";
  const std::vector<std::string> rows = lines(results_, false);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].substr(rows[0].rfind(',')), ",Contrast");
  const std::vector<std::string> first = fields(rows[1]);
  EXPECT_NEAR(std::stod(first[4]), std::stod(first[3]) + 0.01, 1e-9);
  EXPECT_EQ(fields(rows[2])[7], "9");
}

}  // namespace
}  // namespace Kestravon
