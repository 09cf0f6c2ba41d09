// The run's files under the faults a disk shows, in-process on the headless
// backend's files (a full disk at a given byte, a file-size limit, short
// writes): whole rows or nothing, the failure said once and at the end,
// and the session's status. The same faults on a real full file system
// and under a real limit: e2e/record_faults_test.sh, session_record_test.
#include "library/shell/record_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "library/shell/session_record.h"
#include "library/shell/startup.h"
#include "platform/headless/headless.h"
#include "stimulus/stimulus.h"
#include "tests/support/file_faults.h"
#include "tests/support/headless_fixture.h"

namespace Kestravon {
namespace {

namespace hl = platform::headless;

class RecordFileTest : public testing::HeadlessTest {
 protected:
  void SetUp() override {
    testing::HeadlessTest::SetUp();
    char pattern[] = "/tmp/kestravon-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    path_ = folder_ + "/timing.csv";
  }
  void TearDown() override {
    SessionRecord::discard();
    std::remove(path_.c_str());
    std::remove((folder_ + "/record.csv").c_str());
    rmdir(folder_.c_str());
    testing::HeadlessTest::TearDown();
  }
  std::string content() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // "# header\n" and rows "1,0.001\n" ... "n,0.00n\n", flushed every 10.
  bool write(RecordFile& file, int rows) {
    std::string error;
    if (!file.create(path_, "timing", error)) return false;
    if (!file.start("# header\n", 9, error)) return false;
    bool written = true;
    for (int row = 1; row <= rows; ++row) {
      Line line;
      line.integer(row).text(",").milliseconds(row / 1000.0).text("\n");
      file.append(line);
      if (row % 10 == 0) written = file.flush() && written;
    }
    return file.flush() && written;
  }
  // The stimulus for `frames` frames after its two blank ones, then Escape,
  // with the faults the test set (offscreen::run would reset them).
  static int runStimulus(int frames, const std::string& commandLine) {
    hl::setSwapHook([frames](int swap) {
      if (swap == frames + 2) hl::setKeyDown(platform::kVkEscape, true);
    });
    const int status = startUp(nullptr, nullptr, commandLine.c_str(), 1, stimulus_main);
    hl::setSwapHook(nullptr);
    return status;
  }
  static std::string rowsUpTo(int rows) {
    std::string text = "# header\n";
    for (int row = 1; row <= rows; ++row) text += std::to_string(row) + ",0.00" + std::to_string(row) + "\n";
    return text;
  }

  std::string folder_, path_;
};

TEST_F(RecordFileTest, ShortWritesStillLeaveEveryRowWholeAndInOrder) {
  hl::faults().shortWrites = true;
  RecordFile file;
  EXPECT_TRUE(write(file, 9));
  file.close();
  EXPECT_FALSE(file.failed());
  EXPECT_EQ(content(), rowsUpTo(9));
}

// The disk fills in the middle of a row: the file keeps the rows before it
// whole (a cut row would read as another value), nothing after it is
// written, and the failure is said once, naming the file and the cause.
TEST_F(RecordFileTest, AFullDiskOrASizeLimitMidRowKeepsTheWholeRowsBeforeIt) {
  const struct {
    const char* name;
    void (*arrange)(long long bytes);
    const char* cause;
  } faults[] = {
      {"full disk", [](long long bytes) { hl::faults().diskFullAfterBytes = bytes; }, "No space left on device"},
      {"size limit", [](long long bytes) { hl::faults().fileSizeLimitBytes = bytes; }, "File too large"},
  };
  const std::string fiveRows = rowsUpTo(5);
  for (const auto& fault : faults) {
    hl::reset();
    fault.arrange(static_cast<long long>(fiveRows.size()) + 3);  // 3 bytes into row 6
    RecordFile file;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(write(file, 9)) << fault.name;
    file.append("10,0.010\n");
    EXPECT_FALSE(file.flush()) << fault.name;
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(file.failed());
    file.close();
    EXPECT_EQ(content(), fiveRows) << fault.name;
    EXPECT_EQ(said, "Kestravon: writing the timing file \"" + path_ + "\" failed: " + fault.cause +
                        "; the rows after that are lost\n")
        << fault.name << ": once";
    std::remove(path_.c_str());
  }
}

// A file the disk cannot take the first lines of is refused when it is
// created, before anything else happens.
TEST_F(RecordFileTest, AFullDiskAtTheFirstLinesIsAFailedStart) {
  hl::faults().diskFullAfterBytes = 4;
  RecordFile file;
  std::string error;
  ASSERT_TRUE(file.create(path_, "timing", error)) << error;
  EXPECT_FALSE(file.start("# header\n", 9, error));
  EXPECT_EQ(error, "cannot write the timing file \"" + path_ + "\": No space left on device");
  file.removeCreated();
  EXPECT_FALSE(testing::fileExists(path_));
}

// The whole session on a disk that fills up a few seconds in: the stimulus
// runs to its end, the timing file holds whole rows up to the fault, and
// the run ends with status 3; one that is full from the start is refused
// (status 2) before the display is touched, and leaves no file.
TEST_F(RecordFileTest, TheSessionOnADiskThatFillsUpEndsWith3AndOneFullAtStartWith2) {
  hl::faults().diskFullAfterBytes = 4000;
  ::testing::internal::CaptureStderr();
  const int status = runStimulus(300, "--timing " + path_);
  EXPECT_EQ(finalStatus(status), kRecordWriteFailedExitStatus);
  SessionRecord::finish();
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 0) << "the routine ran to its end";
  EXPECT_NE(said.find("Kestravon: 302 frames presented"), std::string::npos) << said;
  EXPECT_NE(said.find("failed: No space left on device"), std::string::npos) << said;
  const std::string timing = content();
  ASSERT_LE(timing.size(), 4000u);
  ASSERT_GT(timing.size(), 2000u);
  EXPECT_EQ(timing.back(), '\n');
  std::size_t rows = 0;
  std::size_t at = 0;
  for (std::size_t end; (end = timing.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = timing.substr(at, end - at);
    if (line[0] == '#' || line.rfind("frame,", 0) == 0) continue;
    ++rows;
    EXPECT_TRUE(std::regex_match(
        line, std::regex(std::to_string(rows) + ",([0-9]+\\.[0-9]{3})?,[0-9]+,[01],[0-9]+\\.[0-9]{3},[01]")))
        << line;
  }
  EXPECT_GT(rows, 20u);
  std::remove(path_.c_str());

  hl::reset();
  hl::faults().diskFullAfterBytes = 20;
  ::testing::internal::CaptureStderr();
  const std::string record = folder_ + "/record.csv";
  EXPECT_EQ(runStimulus(5, "--record " + record + " --timing " + path_), kUsageExitStatus);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Kestravon: cannot write the record file \"" + record + "\": No space left on device\n");
  EXPECT_FALSE(testing::displayTouched());
  EXPECT_FALSE(testing::fileExists(record));
  EXPECT_FALSE(testing::fileExists(path_));
}

}  // namespace
}  // namespace Kestravon
