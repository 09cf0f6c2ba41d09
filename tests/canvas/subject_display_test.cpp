// The subject's display: the measured response read and checked, its
// inverse sized to the display's table, and, on the headless backend, the
// display chosen, the table loaded, read back and given back on the
// library's own ways out, with the record's headers saying so.
#include "library/canvas/subject_display.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "library/canvas/canvas.h"
#include "library/shell/session_record.h"
#include "library/shell/startup.h"
#include "tests/support/file_faults.h"
#include "tests/support/headless_fixture.h"

namespace Kestravon {
namespace {

namespace hl = platform::headless;

// Level i of n, through a piecewise-linear measured curve.
double throughCurve(const std::vector<double>& curve, double level) {
  const double position = level * static_cast<double>(curve.size() - 1);
  const std::size_t below = std::min(static_cast<std::size_t>(position), curve.size() - 2);
  return curve[below] + (position - static_cast<double>(below)) * (curve[below + 1] - curve[below]);
}

std::string powerTable(int rows, double exponent, double black, double white) {
  std::string table = "# photometer readings, normalised\r\nr,g,b\r\n";
  for (int i = 0; i < rows; ++i) {
    const double l = black + (white - black) * std::pow(i / static_cast<double>(rows - 1), exponent);
    const std::string v = std::to_string(l);
    table.append(v).append(",").append(v).append(",").append(v).append("  # level ").append(std::to_string(i));
    table += "\r\n";
  }
  return table;
}

TEST(GammaTableTest, TheInverseLinearisesTheResponseAtWhateverSizeTheDisplayHas) {
  DisplayResponse response;
  std::string error;
  ASSERT_TRUE(parseGammaExponents("2.0,2.2,1.8", response, error)) << error;
  EXPECT_EQ(response.source, "exponents 2,2.2,1.8");
  for (int size : {2, 256, 1024, 4096}) {
    const std::vector<std::uint16_t> ramp = inverseRamp(response, size);
    ASSERT_EQ(ramp.size(), 3u * static_cast<std::size_t>(size));
    for (int c = 0; c < 3; ++c) {
      for (int i = 0; i < size; ++i) {
        // Through the display, level i shows luminance i / (size - 1).
        const double shown = std::pow(
            ramp[static_cast<std::size_t>(c) * static_cast<std::size_t>(size) + static_cast<std::size_t>(i)] / 65535.0,
            response.exponents[c]);
        ASSERT_NEAR(shown, i / static_cast<double>(size - 1), 1e-4) << "size " << size << " channel " << c;
      }
    }
  }

  // A measured table with a black level and a white short of 1: the
  // inverse spans what the display reaches, linearly.
  ASSERT_TRUE(parseGammaTable(powerTable(17, 2.4, 0.02, 0.9), "lab.csv", response, error)) << error;
  EXPECT_EQ(response.measured.green.size(), 17u);
  for (int size : {256, 1024}) {
    const std::vector<std::uint16_t> ramp = inverseRamp(response, size);
    EXPECT_EQ(ramp[0], 0);
    EXPECT_EQ(ramp[static_cast<std::size_t>(size - 1)], 65535);
    for (int i = 1; i < size; ++i) {
      ASSERT_GE(ramp[static_cast<std::size_t>(i)], ramp[static_cast<std::size_t>(i - 1)]);
      const double shown = throughCurve(response.measured.red, ramp[static_cast<std::size_t>(i)] / 65535.0);
      ASSERT_NEAR(shown, 0.02 + 0.88 * i / (size - 1), 2e-5) << "entry " << i << " of " << size;
    }
  }
  // A routine's own table, interpolated to the display's size.
  ChannelCurves own{{0.0, 1.0}, {0.0, 0.5, 1.0}, {0.25, 0.25}};
  ASSERT_FALSE(checkCurves(own, error));
  EXPECT_EQ(error, "the g curve has 3 entries where the r curve has 2");
  own.green = {0.0, 1.0};
  ASSERT_TRUE(checkCurves(own, error)) << error;
  const std::vector<std::uint16_t> resampled = resampleCurves(own, 5);
  EXPECT_EQ(resampled, (std::vector<std::uint16_t>{0, 16384, 32768, 49151, 65535, 0, 16384, 32768, 49151, 65535, 16384,
                                                   16384, 16384, 16384, 16384}));
  EXPECT_EQ(crc32("123456789"), 0xCBF43926u);
}

TEST(GammaTableTest, MalformedValuesAndTablesAreRefusedNamingTheLineAndTheProblem) {
  DisplayResponse response;
  std::string error;
  const struct {
    const char* exponents;
    const char* says;
  } badExponents[] = {
      {"0.4", "--gamma \"0.4\": 0.4 is outside 0.5 to 5"},
      {"2.2,2.2", "give one exponent, or three as R,G,B"},
      {"2.2,x,2.2", "\"x\" is not a number"},
      {"nan", "\"nan\" is not a number"},
      {"5.01", "outside 0.5 to 5"},
  };
  for (const auto& bad : badExponents) {
    EXPECT_FALSE(parseGammaExponents(bad.exponents, response, error)) << bad.exponents;
    EXPECT_NE(error.find(bad.says), std::string::npos) << error;
  }
  std::string tooLong;
  for (int i = 0; i <= 4096; ++i) tooLong += "1,1,1\n";
  const struct {
    std::string table;
    const char* says;
  } badTables[] = {
      {"0,0,0\n0.5,nan,0.5\n1,1,1\n", "t.csv line 2: the g value \"nan\" is not a number"},
      {"0,0,0\n# comment\n1.2,1,1\n", "t.csv line 3: the r value 1.2 is outside 0 to 1"},
      {"0,0,0\n0,0,-0.1\n", "line 2: the b value -0.1 is outside 0 to 1"},
      {"0,0,0\n0.5,0.5,0.5\n\n0.4,1,1\n", "line 4: the r value 0.4 is below the one on line 2 (0.5)"},
      {"0,0\n1,1\n", "t.csv line 1: 2 columns where three (r,g,b) belong"},
      {"0,0,0,0\n", "line 1: 4 columns"},
      {"# only one level\n0,0,0\n", "t.csv: 1 row; a table needs 2 to 4096 rows"},
      {"", "t.csv: 0 rows"},
      {"0," + tooLong, "t.csv line 1: 4 columns"},
      {"0,0,0\n" + tooLong, "t.csv line 4097: more than 4096 rows"},
      {"0,0,0\n1,1,0\n", "t.csv: the b column never rises"},
  };
  for (const auto& bad : badTables) {
    EXPECT_FALSE(parseGammaTable(bad.table, "t.csv", response, error)) << bad.says;
    EXPECT_NE(error.find(bad.says), std::string::npos) << error;
  }
  // Comments, a header, blank lines and Windows line ends are fine.
  const std::string good = "# Monitor 2\r\nR, G, B\r\n0,0,0 # black\r\n\r\n1,1,1\r\n";
  ASSERT_TRUE(parseGammaTable(good, "t.csv", response, error)) << error;
  char expected[80];
  std::snprintf(expected, sizeof expected, "table \"t.csv\" (CRC-32 0x%08x, 2 rows)", crc32(good));
  EXPECT_EQ(response.source, expected);
  EXPECT_FALSE(readGammaTable("/nonexistent/t.csv", response, error));
  EXPECT_NE(error.find("cannot read the gamma table \"/nonexistent/t.csv\""), std::string::npos) << error;
}

// A table as a spreadsheet saves it, and files that are no table: only a
// regular file of a table's size is read, and what is wrong is named.
TEST(GammaTableTest, OnlyARegularFileOfATablesSizeIsReadAndItsTextAsASpreadsheetSavesIt) {
  DisplayResponse response;
  std::string error;
  EXPECT_TRUE(parseGammaTable("\xEF\xBB\xBFr,g,b\n0,0,0\n1,1,1\n", "t.csv", response, error)) << error;
  EXPECT_FALSE(parseGammaTable(std::string("\xFF\xFEr\0,\0g\0", 8), "t.csv", response, error));
  EXPECT_EQ(error, "t.csv: the file is UTF-16 text; save it as CSV (UTF-8 or plain)");
  EXPECT_FALSE(parseGammaTable(std::string("0,0,0\n0.5,0\0.5,0.5\n1,1,1\n", 24), "t.csv", response, error));
  EXPECT_EQ(error, "t.csv line 2: a NUL byte; a table is text (CSV)");

  const std::string folder = "/tmp/kestravon-gamma-" + std::to_string(getpid());
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  const std::string fifo = folder + "/fifo.csv";
  const std::string large = folder + "/large.csv";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::ofstream(large) << "0,0,0\n";
  ASSERT_EQ(truncate(large.c_str(), off_t{100} * 1024 * 1024), 0);  // sparse: nothing is written
  const struct {
    std::string path;
    std::string says;
  } notTables[] = {
      {folder, "cannot read the gamma table \"" + folder + "\": it is a directory"},
      {fifo, "cannot read the gamma table \"" + fifo + "\": it is not a regular file (a device, a FIFO or a socket)"},
      {"/dev/zero", "cannot read the gamma table \"/dev/zero\": it is not a regular file"},
      {large, "the gamma table \"" + large + "\" is larger than 4 MB; a table of at most 4096 rows is far smaller"},
  };
  for (const auto& notTable : notTables) {
    EXPECT_FALSE(readGammaTable(notTable.path, response, error)) << notTable.path;
    EXPECT_EQ(error.substr(0, notTable.says.size()), notTable.says);
  }
  std::remove(fifo.c_str());
  std::remove(large.c_str());
  rmdir(folder.c_str());

  // A name that holds a line break goes into the files' "#" lines written
  // out, so that no reader takes the rest of it for a row of data.
  ASSERT_TRUE(parseGammaTable("0,0,0\n1,1,1\n", "mon\n1,0.000,Green luminance,0.25\n.csv", response, error));
  SubjectDisplay::linearise(response);
  const std::string lines = SubjectDisplay::headerLines(256);
  SubjectDisplay::reset();
  EXPECT_EQ(lines.find('\n'), lines.size() - 1) << lines;
  EXPECT_NE(lines.find("# gamma table \"mon\\n1,0.000,Green luminance,0.25\\n.csv\""), std::string::npos) << lines;

  SessionOptions options;
  const struct {
    std::vector<std::string> arguments;
    const char* says;
  } badOptions[] = {
      {{"--screen", "one"}, "--screen needs a display number (0, 1, ...), not \"one\""},
      {{"--screen", "-1"}, "not \"-1\""},
      {{"--screen", "1", "--screen", "1"}, "--screen given twice"},
      {{"--gamma"}, "--gamma needs a value"},
      {{"--gamma-table", "--record", "r.csv"}, "--gamma-table needs a value, not \"--record\""},
      {{"--gamma", "2", "--gamma-table", "t.csv"}, "--gamma and --gamma-table both given"},
      {{"--gamma-table", "a", "--gamma-table", "b"}, "--gamma-table given twice"},
  };
  for (const auto& bad : badOptions) {
    EXPECT_FALSE(parseOptions(bad.arguments, options, error));
    EXPECT_NE(error.find(bad.says), std::string::npos) << error;
  }
  ASSERT_TRUE(parseOptions({"--screen", "1", "--gamma", "2.2"}, options, error)) << error;
  EXPECT_EQ(options.screen, 1);
  EXPECT_EQ(options.gammaExponents, "2.2");
  ASSERT_TRUE(parseOptions({}, options, error));
  EXPECT_EQ(options.screen, -1) << "not given: nothing is chosen";
}

// The routine each run below gives start-up: a canvas, the check the test
// wants while it is open, then a return.
std::function<void(Canvas&)> whileOpen;
void routine() {
  Canvas canvas(1024, 768, 32, 60.0);
  if (whileOpen) whileOpen(canvas);
  canvas.flip();
}

class SubjectDisplayTest : public testing::HeadlessTest {
 protected:
  void SetUp() override {
    testing::HeadlessTest::SetUp();
    whileOpen = nullptr;
    // A death test's child runs SetUp again and ends before TearDown: it
    // takes its parent's folder, which the parent removes.
    folder_ = testing::deathTestFolder("kestravon-display");
  }
  void TearDown() override {
    SessionRecord::discard();
    std::remove((folder_ + "/timing.csv").c_str());
    std::remove((folder_ + "/table.csv").c_str());
    rmdir(folder_.c_str());
    testing::HeadlessTest::TearDown();
  }

  static int run(const std::string& commandLine) { return startUp(nullptr, nullptr, commandLine.c_str(), 1, routine); }
  static std::size_t logged(const std::string& call) {
    const std::vector<std::string>& log = hl::state().log;
    for (std::size_t i = 0; i < log.size(); ++i) {
      if (log[i] == call) return i;
    }
    return log.size();
  }
  std::string headerLines() const {
    std::ifstream in(folder_ + "/timing.csv");
    std::string lines;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("# screen", 0) == 0 || line.rfind("# gamma", 0) == 0) lines += line + "\n";
    }
    return lines;
  }

  std::string folder_;
};

TEST_F(SubjectDisplayTest, TheInverseIsLoadedSizedToTheDisplayReadBackAndGivenBackWithTheMode) {
  hl::state().gammaRampSize = 1024;
  DisplayResponse response;
  std::string error;
  ASSERT_TRUE(parseGammaExponents("2.0", response, error));
  std::vector<std::uint16_t> during;
  whileOpen = [&during](Canvas&) { during = hl::gammaRamp(); };
  EXPECT_EQ(run("--gamma 2.0 --timing " + folder_ + "/timing.csv"), 0);
  EXPECT_EQ(during, inverseRamp(response, 1024));
  EXPECT_EQ(hl::gammaRamp()[512], 512 * 65535 / 1023) << "the display's own table is back";
  EXPECT_FALSE(hl::state().gammaRampOwed);
  // Loaded once the mode is switched and the context made, before the
  // window shows; given back first, while the device context stands.
  EXPECT_LT(logged("changeDisplayMode 1024 768 32 60"), logged("gammaRampSize"));
  EXPECT_LT(logged("makeCurrent 1"), logged("gammaRampSize"));
  EXPECT_LT(logged("gammaRampSize"), logged("setDeviceGammaRamp"));
  EXPECT_LT(logged("setDeviceGammaRamp"), logged("getDeviceGammaRamp"));
  EXPECT_LT(logged("getDeviceGammaRamp"), logged("bringWindowToTop"));
  EXPECT_LT(logged("restoreDeviceGammaRamp"), logged("releaseDeviceContext"));
  SessionRecord::finish();
  EXPECT_EQ(headerLines(),
            "# gamma exponents 2,2,2; inverse loaded into the display's look-up table of 1024 entries and read back\n");
}

// Another program puts the display's own table back while the stimulus
// runs (xrandr --gamma 1:1:1): found within a second, loaded again and
// said in the files; a display that then refuses it ends the run.
TEST_F(SubjectDisplayTest, ATableAnotherProgramChangesIsLoadedAgainWithinASecondOrTheRunEndsWith15) {
  hl::setTicksPerSwap(10000000 / 60);  // 60 Hz on the backend's 10 MHz counter
  DisplayResponse response;
  std::string error;
  ASSERT_TRUE(parseGammaExponents("2.0", response, error));
  const std::vector<std::uint16_t> inverse = inverseRamp(response, 256);
  int frameBack = 0;
  whileOpen = [&](Canvas& canvas) {
    for (int frame = 1; frame <= 150; ++frame) {
      if (frame == 30) hl::state().gammaRamp.clear();  // the display's own table again
      canvas.clear(Color::black);
      canvas.flip();
      if (frame > 30 && frameBack == 0 && hl::gammaRamp() == inverse) frameBack = frame;
    }
  };
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(run("--gamma 2.0 --timing " + folder_ + "/timing.csv"), 0);
  SessionRecord::finish();
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_GT(frameBack, 30);
  EXPECT_LE(frameBack, 30 + 61) << "checked once a second";
  std::ifstream in(folder_ + "/timing.csv");
  std::string noted;
  for (std::string line; std::getline(in, line);) {
    if (line.find("look-up table was changed") != std::string::npos) noted += line + "\n";
  }
  // Frames count from the canvas's two blank ones.
  EXPECT_EQ(noted, "# frame " + std::to_string(frameBack + 2) +
                       ": the display's look-up table was changed by another program; loaded again and read back\n");
  EXPECT_NE(said.find("Kestravon: frame " + std::to_string(frameBack + 2) + ": the display's look-up table"),
            std::string::npos)
      << said;

  hl::reset();
  hl::setTicksPerSwap(10000000 / 60);
  whileOpen = [](Canvas& canvas) {
    for (int frame = 1; frame <= 150; ++frame) {
      if (frame == 30) {
        hl::state().gammaRamp.clear();
        hl::faults().setDeviceGammaRamp = true;  // and the display refuses it now
      }
      canvas.clear(Color::black);
      canvas.flip();
    }
  };
  EXPECT_EQ(run("--gamma 2.0"), kFailureExitStatus);
  ASSERT_EQ(hl::state().messageBoxes.size(), 1u);
  EXPECT_EQ(hl::state().messageBoxes[0].text,
            "Failed to keep the display's gamma table (another program changed it, and it could not be loaded again).");
  EXPECT_FALSE(hl::state().gammaRampOwed);
  EXPECT_EQ(hl::state().canvasWindowsAlive, 0);
  EXPECT_FALSE(hl::state().displayModeChanged);
}

TEST_F(SubjectDisplayTest, ADisplayWithoutATableOrThatRefusesOrDropsItEndsWith15AndTheDesktopBack) {
  const struct {
    const char* name;
    std::function<void()> arrange;
    const char* says;
  } displays[] = {
      {"no table", [] { hl::state().gammaRampSize = 0; },
       "Failed to load the display's gamma table (the display has no look-up table)."},
      {"refused", [] { hl::faults().setDeviceGammaRamp = true; },
       "Failed to load the display's gamma table (the display refused it)."},
      {"not kept", [] { hl::faults().gammaRampIgnored = true; },
       "Failed to load the display's gamma table (it did not read back as loaded)."},
      {"reverted after frames", [] { hl::faults().gammaRampRevertsAtSwap = true; },
       "Failed to load the display's gamma table (it did not stay loaded)."},
  };
  for (const auto& display : displays) {
    hl::reset();
    display.arrange();
    EXPECT_EQ(run("--gamma 2.2"), kFailureExitStatus) << display.name;
    ASSERT_EQ(hl::state().messageBoxes.size(), 1u) << display.name;
    EXPECT_EQ(hl::state().messageBoxes[0].text, display.says);
    EXPECT_FALSE(hl::state().displayModeChanged) << display.name;
    EXPECT_EQ(hl::state().cursorCount, 0) << display.name;
    EXPECT_FALSE(hl::state().gammaRampOwed) << display.name;
    EXPECT_EQ(hl::state().canvasWindowsAlive, 0) << display.name;
  }
}

TEST_F(SubjectDisplayTest, TheChosenDisplayIsSelectedBeforeTheSwitchAndAMissingOneEndsWith2) {
  hl::addDisplay("SIDE", 1920, 1080);
  // Opened a second time, the canvas keeps the display selected once (SDL
  // may number its displays anew after reaching one on another X screen).
  whileOpen = [](Canvas& canvas) {
    canvas.release();
    canvas.set(1024, 768, 32, 60.0);
  };
  EXPECT_EQ(run("--screen 1 --timing " + folder_ + "/timing.csv"), 0);
  EXPECT_EQ(hl::state().selectedDisplay, 1);
  EXPECT_LT(logged("selectDisplay 1"), logged("changeDisplayMode 1024 768 32 60"));
  EXPECT_EQ(std::count(hl::state().log.begin(), hl::state().log.end(), "selectDisplay 1"), 1);
  whileOpen = nullptr;
  SessionRecord::finish();
  const std::string screenLine = "# screen 1: SIDE, 1920x1080, at 1280,0 before the switch\n";
  EXPECT_EQ(headerLines(), screenLine + screenLine) << "one for each canvas opened, as the display lines";
  std::remove((folder_ + "/timing.csv").c_str());

  hl::reset();
  hl::addDisplay("SIDE", 1920, 1080);
  // A fresh process: this one has GL threads that may hold locks.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      std::exit(run("--screen 2 --timing " + folder_ + "/timing.csv")), ::testing::ExitedWithCode(kUsageExitStatus),
      "there is no display 2; the displays are:\n  0: HEADLESS0, 1280x1024, at 0,0\n  1: SIDE, 1920x1080, at 1280,0\n");
  EXPECT_FALSE(std::ifstream(folder_ + "/timing.csv").good()) << "the refused run leaves no file behind";
  // With no choice, nothing is asked about displays at all.
  hl::reset();
  EXPECT_EQ(run(""), 0);
  EXPECT_EQ(logged("enumDisplayDevice 0"), hl::state().log.size());
  EXPECT_EQ(logged("gammaRampSize"), hl::state().log.size());
}

TEST_F(SubjectDisplayTest, AMalformedTableFileEndsWith2BeforeTheDisplayIsTouched) {
  std::ofstream(folder_ + "/table.csv") << "0,0,0\n0.5,0.6,0.7\n0.9,0.5,1\n";  // closed at the end of the statement
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(run("--gamma-table " + folder_ + "/table.csv"), kUsageExitStatus);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Kestravon: " + folder_ +
                "/table.csv line 3: the g value 0.5 is below the one on line 2 (0.6); a "
                "measured table never decreases\n");
  for (const std::string& call : hl::state().log) {
    EXPECT_EQ(call, "queryPerformanceFrequency") << "nothing but the fixture's clock start";
  }
}

TEST_F(SubjectDisplayTest, ARoutineLoadsItsOwnTableWithTheSameChecksAndRestore) {
  hl::state().gammaRampSize = 3;
  std::vector<std::uint16_t> during;
  whileOpen = [&during](Canvas& canvas) {
    canvas.loadLookupTable(ChannelCurves{{0.0, 1.0}, {0.0, 0.5}, {1.0, 1.0}});
    during = hl::gammaRamp();
  };
  EXPECT_EQ(run(""), 0);
  EXPECT_EQ(during, (std::vector<std::uint16_t>{0, 32768, 65535, 0, 16384, 32768, 65535, 65535, 65535}));
  EXPECT_FALSE(hl::state().gammaRampOwed);

  hl::reset();
  whileOpen = [](Canvas& canvas) { canvas.loadLookupTable(ChannelCurves{{0.0, 1.0}, {0.0, 1.0}, {0.5, 0.4}}); };
  EXPECT_EQ(run(""), kFailureExitStatus);
  ASSERT_EQ(hl::state().messageBoxes.size(), 1u);
  EXPECT_EQ(hl::state().messageBoxes[0].text,
            "Refused the look-up table: the b curve entry 1 (0.4) is below the one before it.");
  EXPECT_FALSE(hl::state().displayModeChanged);
}

}  // namespace
}  // namespace Kestravon
