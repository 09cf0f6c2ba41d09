#include "library/shell/startup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "library/base/application.h"
#include "library/base/clock.h"
#include "library/base/exception.h"
#include "library/base/keyboard.h"
#include "library/base/priority.h"
#include "library/canvas/canvas.h"
#include "library/canvas/display_lists.h"
#include "library/parameters/parameter_console.h"
#include "library/parameters/variable_registry.h"
#include "library/shell/library_state.h"
#include "library/shell/session_record.h"
#include "tests/support/file_faults.h"
#include "tests/support/headless_fixture.h"

namespace Kestravon {
namespace {

namespace hl = platform::headless;
using StartUpTest = testing::HeadlessTest;

int routineRuns = 0;
bool consoleOnInRoutine = false;
void countingRoutine() {
  ++routineRuns;
  consoleOnInRoutine = ParameterConsole::enabled;
}

int runStartUp(void (*routine)()) {
  routineRuns = 0;
  hl::state().log.clear();
  return startUp(nullptr, nullptr, "", 1, routine);
}

TEST_F(StartUpTest, RegistersListensInitialisesAndRunsTheRoutineWithTheConsoleOn) {
  EXPECT_EQ(runStartUp(countingRoutine), 0);
  EXPECT_EQ(routineRuns, 1);
  EXPECT_TRUE(consoleOnInRoutine);
  const auto& log = hl::state().log;
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[0], "registerWindowClass KestravonWindow Kestravon Dummy Window");
  EXPECT_EQ(log[1], "createMessageWindow KestravonWindow Kestravon Dummy Window");
  EXPECT_EQ(log[2], "setNormalPriority");
  EXPECT_TRUE(application.windowClass.procedure == listenerWindowProc);
  EXPECT_STREQ(application.className, "KestravonWindow");
  EXPECT_EQ(application.showCommand, 1);
  EXPECT_NE(application.listenerWindow, nullptr);
  EXPECT_EQ(Clock::countsPerMillisecond, 10'000);
  EXPECT_TRUE(hl::state().messageBoxes.empty());
}

// The usage names the program as it was started (here the test binary),
// not the library's own stimulus program.
TEST_F(StartUpTest, AMistypedOptionIsRefusedWithTheProgramsOwnUsage) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(startUp(nullptr, nullptr, "--recrod x.csv", 1, countingRoutine), kUsageExitStatus);
  const std::string error = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(error.rfind("Kestravon: unknown option \"--recrod\"\nusage: shell_test [--record FILE] ", 0), 0u) << error;
  EXPECT_NE(error.find("\n                  [--version]\n"), std::string::npos) << "aligned under the first option";
  EXPECT_EQ(routineRuns, 0);
}

// A Windows program started from the desktop has no console: a refused
// command line would go unread on standard error, so it is shown too.
TEST_F(StartUpTest, WithNoStandardErrorARefusalIsShownInAMessageBoxToo) {
  routineRuns = 0;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(startUp(nullptr, nullptr, "--recrod x.csv", 1, countingRoutine), kUsageExitStatus);
  EXPECT_TRUE(hl::state().messageBoxes.empty()) << "standard error is read";
  hl::state().noStandardError = true;
  EXPECT_EQ(startUp(nullptr, nullptr, "--recrod x.csv", 1, countingRoutine), kUsageExitStatus);
  ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(hl::state().messageBoxes.size(), 1u);
  EXPECT_EQ(hl::state().messageBoxes[0].text, "Kestravon: unknown option \"--recrod\"");
  EXPECT_EQ(routineRuns, 0);
}

void canvasRoutine() { Canvas canvas(1024, 768, 32, 60); }

std::size_t logIndex(const std::string& call) {
  const auto& log = hl::state().log;
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (log[i].rfind(call, 0) == 0) return i;
  }
  return log.size();
}

TEST_F(StartUpTest, PriorityIsRaisedBeforeTheCanvasAndARefusalIsSaidAndRecorded) {
  hl::state().log.clear();
  ASSERT_EQ(startUp(nullptr, nullptr, "--priority realtime", 1, canvasRoutine), 0);
  EXPECT_LT(logIndex("setNormalPriority"), logIndex("setPriority realtime"));
  EXPECT_LT(logIndex("setPriority realtime"), logIndex("changeDisplayMode")) << "before the driver starts threads";
  EXPECT_EQ(hl::state().priority, platform::Priority::Realtime);

  char folder[] = "/tmp/kestravon-priority-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string timing = std::string(folder) + "/timing.csv";
  hl::reset();  // a fresh process
  hl::faults().priorityRefused = true;
  ::testing::internal::CaptureStderr();
  const int status = startUp(nullptr, nullptr, ("--priority high --timing " + timing).c_str(), 1, canvasRoutine);
  SessionRecord::finish();
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 0) << "the program runs on at what it got";
  EXPECT_EQ(said.substr(0, said.find('\n') + 1),
            "Kestravon: --priority high: high priority refused (scripted); running at normal (offscreen)\n");
  std::ifstream in(timing);
  std::string line;
  bool stated = false;
  while (std::getline(in, line)) stated = stated || line == "# priority asked high; obtained normal (offscreen)";
  EXPECT_TRUE(stated) << "the header states what was obtained, not what was asked";
  std::remove(timing.c_str());
  rmdir(folder);
}

TEST_F(StartUpTest, RegistrationFailureIsShownAndReturns15) {
  hl::faults().registerWindowClass = true;
  EXPECT_EQ(runStartUp(countingRoutine), 15);
  EXPECT_EQ(routineRuns, 0);
  ASSERT_EQ(hl::state().messageBoxes.size(), 1u);
  EXPECT_EQ(hl::state().messageBoxes[0].text, "Failed to regist control message listner.");
  EXPECT_EQ(hl::state().messageBoxes[0].caption, "Kestravon Notification");
  EXPECT_EQ(hl::state().windowsAlive, 0);
}

TEST_F(StartUpTest, ListenerFailureIsShownAndReturns15) {
  hl::faults().createMessageWindow = true;
  EXPECT_EQ(runStartUp(countingRoutine), 15);
  EXPECT_EQ(routineRuns, 0);
  ASSERT_EQ(hl::state().messageBoxes.size(), 1u);
  EXPECT_EQ(hl::state().messageBoxes[0].text, "Failed to create control message listner.");
  EXPECT_EQ(hl::state().messageBoxes[0].caption, "Kestravon Notification");
}

TEST_F(StartUpTest, TextThrownByTheRoutineIsShownAndReturns15) {
  EXPECT_EQ(runStartUp([] { throw "Failed to create the canvas."; }), 15);
  ASSERT_EQ(hl::state().messageBoxes.size(), 1u);
  EXPECT_EQ(hl::state().messageBoxes[0].text, "Failed to create the canvas.");
}

TEST_F(StartUpTest, MissingCounterIsNotCaughtByStartUp) {
  hl::setFrequency(0);
  EXPECT_THROW(runStartUp(countingRoutine), Exception);
  EXPECT_EQ(routineRuns, 0);
  EXPECT_TRUE(hl::state().messageBoxes.empty());
}

TEST_F(StartUpTest, InitializeLibraryEmptiesTheRegistryAndResetsTheKeyboard) {
  int v = 0;
  VariableRegistrar::add(v);
  Keyboard::states[2][0x27] = 0x80;
  initializeLibrary();
  EXPECT_TRUE(VariableRegistry::holders().empty());
  EXPECT_EQ(Keyboard::states[2][0x27], 0);
  EXPECT_EQ(Keyboard::keyMap[Key::Escape], 0x1B);
}

// Whatever a run leaves in the library's state, the next run in the same
// process (offscreen::run, a test) finds it as the process was loaded,
// but for the holders made so far (their first values are kept): it makes
// the very calls a first run makes.
TEST_F(StartUpTest, ASecondRunInTheProcessStartsAsTheFirstDid) {
  static int variable = 0;
  static Range range;
  0 <= range <= 10;
  const auto plainRun = [] {
    hl::reset();  // the backend starts afresh too, as offscreen::run does
    hl::addDisplay("SIDE", 1920, 1080);
    EXPECT_EQ(runStartUp([] {
                VariableRegistrar::add(variable).label("Speed").range(range);
                EXPECT_EQ(currentCanvas, nullptr);
                EXPECT_EQ(digitHeight, 0);
                EXPECT_EQ(Keyboard::states[2][0x27], 0);
                EXPECT_EQ(priorityAsked(), Priority::Normal);
                EXPECT_TRUE(application.options.settings.empty());
                EXPECT_EQ(VariableRegistry::holders().size(), 1u);
                EXPECT_FALSE(parameterState.startingValuesApplied);
                EXPECT_TRUE(ParameterConsole::enabled);
                EXPECT_EQ(libraryState.shell.frameStatistics.frames, 0);
                Canvas canvas(1024, 768, 32, 60);
                canvas.flip();
                ++routineRuns;
              }),
              0);
    EXPECT_EQ(routineRuns, 1);
    EXPECT_EQ(variable, 0) << "not set by an earlier run's --set";
    return hl::state().log;
  };
  const std::vector<std::string> firstRun = plainRun();

  const std::string folder = testing::deathTestFolder("kestravon-startup");
  const std::string timing = folder + "/timing.csv";
  std::remove(timing.c_str());
  hl::reset();
  hl::addDisplay("SIDE", 1920, 1080);
  ASSERT_EQ(startUp(nullptr, nullptr,
                    ("--priority high --screen 1 --gamma 2.2 --set \"Speed=3\" --timing " + timing).c_str(), 1,
                    [] {
                      VariableRegistrar::add(variable).label("Speed").range(range);
                      Canvas canvas(1024, 768, 32, 60);
                      canvas.flip();
                      ASSERT_EQ(variable, 3);
                      static Canvas* const left = reinterpret_cast<Canvas*>(&variable);
                      currentCanvas = left;
                      digitHeight = 19;
                      Keyboard::states[2][0x27] = 0x80;
                    }),
            0);
  const std::size_t holdersMade = parameterState.everyHolder.size();
  ASSERT_EQ(priorityAsked(), Priority::High);
  ASSERT_EQ(hl::state().selectedDisplay, 1);
  ASSERT_GT(libraryState.shell.frameStatistics.frames, 0);
  ASSERT_TRUE(std::find(hl::state().log.begin(), hl::state().log.end(), "selectDisplay 1") != hl::state().log.end());
  SessionRecord::discard();  // the files stay the first run's: here, the test's
  std::remove(timing.c_str());
  rmdir(folder.c_str());

  EXPECT_EQ(plainRun(), firstRun) << "no display chosen, no table loaded, no priority raised";
  EXPECT_EQ(parameterState.everyHolder.size(), holdersMade + 1) << "kept, and one more for this run's registration";
}

TEST_F(StartUpTest, CloseMessagePostsQuitAndTheRoutineKeepsRunning) {
  EXPECT_EQ(runStartUp([] {
              hl::pushClose(application.listenerWindow);
              for (int i = 0; i < 3; ++i) Keyboard::query(Key::Escape, pushed);
              routineRuns = 42;
            }),
            0);
  EXPECT_EQ(routineRuns, 42);
  EXPECT_EQ(hl::state().quitCount, 1);
  EXPECT_EQ(hl::pendingMessages(), 0u) << "the quit message is taken and dispatched to no window";
}

TEST_F(StartUpTest, WindowProcedureAnswersCloseAndDestroyWithQuit) {
  EXPECT_EQ(listenerWindowProc(nullptr, platform::kMsgClose, 0, 0), 0);
  EXPECT_EQ(listenerWindowProc(nullptr, platform::kMsgDestroy, 0, 0), 0);
  EXPECT_EQ(hl::state().quitCount, 2);
  listenerWindowProc(nullptr, platform::kMsgPaint, 0, 0);
  EXPECT_EQ(hl::state().quitCount, 2);
}

TEST_F(StartUpTest, EscapeInsideTheRoutineExitsWith128) {
  EXPECT_EXIT(
      {
        runStartUp([] {
          hl::pushKeyDown(0x1B);
          for (;;) Keyboard::query(Key::Escape, pushed);
        });
        std::exit(0);
      },
      ::testing::ExitedWithCode(128), "");
}

}  // namespace
}  // namespace Kestravon
