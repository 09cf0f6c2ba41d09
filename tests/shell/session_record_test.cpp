// The session record on the real stimulus (headless): what the files
// hold, what is refused before the display is touched, and what a failed
// write does to the exit status.
#include "library/shell/session_record.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "library/base/command_line.h"
#include "library/shell/startup.h"
#include "platform/headless/headless.h"
#include "stimulus/stimulus.h"
#include "tests/support/file_faults.h"
#include "tools/stimulus_driver.h"

namespace Kestravon {
namespace {

namespace hl = platform::headless;

class SessionRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const bool child = !GTEST_FLAG_GET(internal_run_death_test).empty();
    folder_ = testing::deathTestFolder("kestravon-session");
    record_ = folder_ + "/record.csv";
    timing_ = folder_ + "/timing.csv";
    if (!child) {  // a folder left by an earlier process with this number
      std::remove(record_.c_str());
      std::remove(timing_.c_str());
    }
  }
  void TearDown() override {
    SessionRecord::discard();
    if (HasFailure()) return;  // kept for a look
    std::remove(record_.c_str());
    std::remove(timing_.c_str());
    if (!HasFailure()) rmdir(folder_.c_str());
  }

  static std::vector<std::string> rows(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line[0] != '#') lines.push_back(line);
    }
    return lines;
  }

  std::string folder_, record_, timing_;
};

TEST_F(SessionRecordTest, StartingValuesChangesAndEveryFrameAreWritten) {
  const std::int64_t period = 10000000 / 60;  // the backend's counter runs at 10 MHz
  int firstSwapWithNine = 0;
  const int status = driver::runStimulus(
      40,
      [&](int frame) {
        if (frame == 0) hl::setTicksPerSwap(period);
        if (frame == 5) {
          hl::pushKeyDown(platform::kVkDown);
          hl::pushKeyUp(platform::kVkDown);
          hl::pushKeyDown(platform::kVkRight);
          hl::pushKeyUp(platform::kVkRight);
        }
        if (frame == 20) hl::advanceCounter(3 * period);  // a stall: frame 22 comes 4 periods after 21
        // The value a frame draws is the one set by the time the frame before it was presented.
        if (firstSwapWithNine == 0 && driver::variableValue("Bar Width") == 9) firstSwapWithNine = frame + 2;
      },
      ("--record " + record_ + " --timing " + timing_ + " --set \"Bar Width=8\" --set \"Green luminance=0.35\"")
          .c_str());
  ASSERT_EQ(status, 0);
  ::testing::internal::CaptureStderr();
  SessionRecord::finish();
  const std::string summary = ::testing::internal::GetCapturedStderr();

  const std::vector<std::string> records = rows(record_);
  ASSERT_EQ(records.size(), 8u);
  EXPECT_EQ(records[0], "frame,time_ms,label,value");
  EXPECT_EQ(records[2], "0,0.000,Bar Width,8") << "--set gives the starting value";
  EXPECT_EQ(records[6], "0,0.000,Green luminance,0.35");
  ASSERT_GT(firstSwapWithNine, 0);
  std::ostringstream change;
  change << firstSwapWithNine + 1 << ",";
  EXPECT_EQ(records[7].rfind(change.str(), 0), 0u) << records[7] << ": the first frame drawn with 9";
  EXPECT_NE(records[7].find(",Bar Width,9"), std::string::npos) << records[7];

  const std::vector<std::string> timings = rows(timing_);
  ASSERT_EQ(timings.size(), 43u) << "the header and a row for each of the 42 frames presented";
  EXPECT_EQ(timings[0], "frame,interval_ms,missed,early,onset_ms,flash");
  EXPECT_EQ(timings[1], "1,,0,0,0.000,0");
  // The counter stands still over the blank opening frames (the run's own doing): frame 2 is early.
  EXPECT_EQ(timings[2], "2,0.000,0,1,0.000,0");
  EXPECT_EQ(timings[4], "4,16.667,0,0,33.333,1") << "loop frame 2 of SOA 2: a flash";
  // The stall is in the counter before frame 22's time is read (the hook runs inside its swap).
  EXPECT_EQ(timings[22], "22,66.666,3,0,383.332,1") << "(66.666 + 0.1) / 17.667 periods missed, truncated";
  EXPECT_EQ(summary,
            "Kestravon: 42 frames presented, 3 refresh periods missed, interval mean 17.480 ms, SD 8.293 ms; "
            "1 early (under half a period), 1 over 2 periods (2 or more missed), worst 66.666 ms at frame 22\n");
}

// The timing file's onsets and flashes: each onset less the one before is
// the interval (each rounded apart), and the moving-bar routine marks its
// flash every `soa` frames, whatever SOA is; with a driver that reports
// when swaps complete, the onsets are its, and the header says so.
TEST_F(SessionRecordTest, OnsetsAddUpToTheIntervalsAndTheFlashComesEverySoaFrames) {
  for (int soa : {1, 2, 3, 7}) {
    std::remove(timing_.c_str());
    const int status = driver::runStimulus(
        50,
        [&](int frame) {
          if (frame == 0) hl::setTicksPerSwap(10000000 / 60 + 7 * soa);  // a display a little slow, unevenly
          if (frame == 20) hl::advanceCounter(123457);                   // and one late frame
        },
        ("--timing " + timing_ + " --set SOA=" + std::to_string(soa)).c_str());
    ASSERT_EQ(status, 0);
    ::testing::internal::CaptureStderr();
    SessionRecord::finish();  // the rows still buffered, as at exit
    ::testing::internal::GetCapturedStderr();
    const std::vector<std::string> timings = rows(timing_);
    ASSERT_EQ(timings.size(), 53u);
    double lastOnset = 0;
    for (std::size_t i = 1; i < timings.size(); ++i) {
      std::vector<std::string> f;
      std::stringstream in(timings[i]);
      for (std::string field; std::getline(in, field, ',');) f.push_back(field);
      ASSERT_EQ(f.size(), 6u) << timings[i];
      const double onset = std::stod(f[4]);
      if (i > 1) {
        EXPECT_NEAR(onset - lastOnset, std::stod(f[1]), 0.0011) << timings[i];
      }
      lastOnset = onset;
      // Presented frame n is loop frame n - 2, whose frame counter is n - 2.
      const int loopFrame = static_cast<int>(i) - 2;
      EXPECT_EQ(f[5], loopFrame >= 1 && loopFrame % soa == 0 ? "1" : "0") << "SOA " << soa << ": " << timings[i];
    }
  }

  // The driver's times: here the headless backend's, 4 ms after each swap,
  // on a 50 Hz "display" (asked of the driver once the canvas is open).
  std::remove(timing_.c_str());
  hl::reset();
  hl::setTicksPerSwap(10000000 / 50);
  hl::state().reportsSwapCompletion = true;
  hl::state().swapCompletionLatencyMs = 4.0;
  hl::setSwapHook([](int swap) {
    if (swap == 12) hl::setKeyDown(platform::kVkEscape, true);  // the routine's own test ends it
  });
  ASSERT_EQ(startUp(nullptr, nullptr, ("--timing " + timing_).c_str(), 1, stimulus_main), 0);
  hl::setSwapHook(nullptr);
  ::testing::internal::CaptureStderr();
  SessionRecord::finish();
  ::testing::internal::GetCapturedStderr();
  std::ifstream in(timing_);
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(content.find("# onset_ms = when the frame went up, from the first presented frame: the time the display "
                         "driver reports the swap completed (the headless backend's swap timestamps)"),
            std::string::npos)
      << content;
  const std::vector<std::string> timings = rows(timing_);
  ASSERT_EQ(timings.size(), 13u);
  EXPECT_EQ(timings[1], "1,,0,0,0.000,0");
  EXPECT_EQ(timings[5], "5,20.000,1,0,80.000,0") << "20 ms: one 60 Hz period missed";
}

TEST_F(SessionRecordTest, AnExistingFileIsNeverOverwrittenAndNothingIsTouched) {
  std::ofstream(timing_) << "yesterday's session\n";  // closed at the end of the statement
  ::testing::internal::CaptureStderr();
  const int status = driver::runStimulus(5, nullptr, ("--record " + record_ + " --timing " + timing_).c_str());
  const std::string error = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 2);
  EXPECT_NE(error.find("\"" + timing_ + "\""), std::string::npos) << error;
  EXPECT_NE(error.find("never overwritten"), std::string::npos) << error;
  std::ifstream kept(timing_);
  std::string line;
  std::getline(kept, line);
  EXPECT_EQ(line, "yesterday's session");
  EXPECT_FALSE(testing::fileExists(record_)) << "the record file this run had created is removed again";
  EXPECT_FALSE(testing::displayTouched());
  EXPECT_TRUE(hl::state().log.empty()) << "not even a window class";
}

// The program's entry function: the process ends with the status start-up returns.
void exitWith(int status) { std::exit(status); }

TEST_F(SessionRecordTest, ARefusedStartingValueEndsWithStatus2BeforeTheModeChanges) {
  const std::string files = "--timing " + timing_ + " ";
  EXPECT_EXIT(exitWith(driver::runStimulus(5, nullptr, (files + "--set \"Bar Width=12\"").c_str())),
              ::testing::ExitedWithCode(2), "--set \"Bar Width=12\": 12 is outside the range 3 <= Bar Width <= 10");
  EXPECT_EXIT(exitWith(driver::runStimulus(5, nullptr, (files + "--set \"Bar Width=6.5\"").c_str())),
              ::testing::ExitedWithCode(2), "\"6.5\" is not a whole number");
  EXPECT_EXIT(exitWith(driver::runStimulus(5, nullptr, (files + "--set \"Bar width=6\"").c_str())),
              ::testing::ExitedWithCode(2),
              "no variable is labelled \"Bar width\"; the labels are \"Path-length Ratio\", \"Bar Width\", \"SOA\"");
  EXPECT_FALSE(testing::fileExists(timing_)) << "the refused run leaves no file behind";
  // In this process: the refusal comes back as the run's status, before
  // the first platform call of opening, and the process goes on.
  EXPECT_EQ(driver::runStimulus(5, nullptr, (files + "--set \"SOA=0\"").c_str()), 2);
  EXPECT_FALSE(testing::displayTouched());
  EXPECT_FALSE(testing::fileExists(timing_)) << "the refused run leaves no file behind";
  EXPECT_EQ(driver::runStimulus(5, nullptr, ("--timing " + timing_).c_str()), 0) << "the next run is not refused";
  EXPECT_TRUE(testing::fileExists(timing_));
}

// Runs 600 frames with the writes failing as on a full disk (a file-size
// limit, whose signal the program must not die of), reports how the
// routine ended, and exits with its status.
void runWithWritesFailing(const std::string& timing) {
  const rlimit limit{4000, 4000};  // not a multiple of anything the rows are
  setrlimit(RLIMIT_FSIZE, &limit);
  int framesAfter = 0;
  const auto onFrame = [&framesAfter](int frame) {
    if (frame == 0) hl::setTicksPerSwap(10000000 / 60);  // a flush every second
    framesAfter = frame;
  };
  const int status = driver::runStimulus(600, onFrame, ("--timing " + timing).c_str());
  std::fprintf(stderr, "routine returned %d after %d frames\n", status, framesAfter);
  // The file stays: this child shares its parent's folder (see SetUp),
  // and the parent reads the file and then takes it away.
  std::exit(finalStatus(status));  // as the entry function ends
}

TEST_F(SessionRecordTest, AFailedWriteIsReportedAtOnceTheStimulusRunsOnAndTheStatusIs3) {
  // The child renders: a fresh process, not a fork of one whose GL threads may hold locks.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // In a sanitizer build, LeakSanitizer's own tracer has been seen to crash
  // at this child's exit (status 1), depending only on where its stack
  // lies: the child's leaks go unchecked, the parent's are checked.
  const char* const asan = std::getenv("ASAN_OPTIONS");
  const std::string asanBefore = asan != nullptr ? asan : "";
  setenv("ASAN_OPTIONS", (asanBefore.empty() ? "detect_leaks=0" : asanBefore + ":detect_leaks=0").c_str(), 1);
  EXPECT_EXIT(runWithWritesFailing(timing_), ::testing::ExitedWithCode(3),
              "writing the timing file .* failed: File too large; the rows after that are lost.*"
              "routine returned 0 after 600 frames.*"
              "Kestravon: 602 frames presented.*"
              "writing the timing file");
  if (asan != nullptr) {
    setenv("ASAN_OPTIONS", asanBefore.c_str(), 1);
  } else {
    unsetenv("ASAN_OPTIONS");
  }
  // What the file holds is whole rows, none cut short to read as another value.
  std::ifstream in(timing_, std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(content.size(), 2000u);
  EXPECT_LE(content.size(), 4000u);
  EXPECT_EQ(content.back(), '\n') << "ends in a cut row: " << content.substr(content.size() - 40);
  const std::vector<std::string> timings = rows(timing_);
  ASSERT_GT(timings.size(), 100u);
  for (std::size_t i = 2; i < timings.size(); ++i) {
    EXPECT_TRUE(std::regex_match(
        timings[i], std::regex(std::to_string(i) + ",[0-9]+\\.[0-9]{3},[0-9]+,[01],[0-9]+\\.[0-9]{3},[01]")))
        << timings[i];
  }
}

// The file system is full before the session starts (here, a file-size
// limit smaller than the first lines): status 2 before the display is
// touched, and no file left behind.
TEST_F(SessionRecordTest, AFullDiskAtStartIsRefusedBeforeTheDisplayAndLeavesNoFile) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto startFull = [this] {
    // The limit holds for every file, standard error's too.
    int status = 0;
    testing::withStandardErrorThroughPipe([&] {
      rlimit limit{};
      getrlimit(RLIMIT_FSIZE, &limit);
      const rlim_t unlimited = limit.rlim_cur;
      limit.rlim_cur = 20;
      setrlimit(RLIMIT_FSIZE, &limit);
      status = driver::runStimulus(5, nullptr, ("--record " + record_ + " --timing " + timing_).c_str());
      limit.rlim_cur = unlimited;
      setrlimit(RLIMIT_FSIZE, &limit);
    });
    std::fprintf(stderr, "status %d, display %s\n", status, testing::displayTouched() ? "touched" : "untouched");
    std::exit(status);
  };
  EXPECT_EXIT(startFull(), ::testing::ExitedWithCode(2),
              "cannot write the record file \".*record.csv\": File too large\n"
              "status 2, display untouched");
  EXPECT_FALSE(testing::fileExists(record_));
  EXPECT_FALSE(testing::fileExists(timing_));
}

// Failures that end a run before its first frame (here the display refuses
// the mode: status 15) leave no file that would make the same command line
// refused once the display is fixed.
TEST_F(SessionRecordTest, ARunThatFailsBeforeItsFirstFrameLeavesNoFile) {
  hl::reset();
  hl::faults().displayChangeResult = -2;  // DISP_CHANGE_BADMODE
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(startUp(nullptr, nullptr, ("--record " + record_ + " --timing " + timing_).c_str(), 1, stimulus_main),
            kFailureExitStatus);
  EXPECT_TRUE(testing::fileExists(record_)) << "created before the display was touched";
  SessionRecord::finish();  // as at exit
  const std::string error = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(testing::fileExists(record_));
  EXPECT_FALSE(testing::fileExists(timing_));
  EXPECT_NE(error.find("no frame was presented; the files this run created are removed"), std::string::npos) << error;
  EXPECT_EQ(error.find("frames presented"), std::string::npos) << error;
}

// Started with standard error closed, the program must not open its record
// as descriptor 2 and then write its own messages into it.
TEST_F(SessionRecordTest, WithStandardErrorClosedMessagesNeverReachTheRecord) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto runClosed = [this] {
    close(STDERR_FILENO);
    const int status = driver::runStimulus(5, nullptr, ("--record " + record_).c_str());
    std::fputs("Kestravon: a message for standard error\n", stderr);
    std::fflush(stderr);
    std::exit(status);
  };
  EXPECT_EXIT(runClosed(), ::testing::ExitedWithCode(0), "");
  std::ifstream in(record_);
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content.find("a message"), std::string::npos) << content;
  EXPECT_EQ(rows(record_).size(), 7u) << content;
}

// The same file under two names: said so, rather than "File exists" about
// the file this run had just created, which is removed again.
TEST_F(SessionRecordTest, TwoNamesForOneFileAreNamedAsSuch) {
  chdir(folder_.c_str());
  SessionOptions options;
  options.recordPath = "same.csv";
  options.timingPath = "./same.csv";
  std::string error;
  EXPECT_FALSE(SessionRecord::open(options, error));
  EXPECT_EQ(error, "--record and --timing name the same file (\"same.csv\" and \"./same.csv\")");
  EXPECT_FALSE(testing::fileExists(folder_ + "/same.csv"));
}

}  // namespace
}  // namespace Kestravon
