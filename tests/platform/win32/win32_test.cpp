// The Win32 backend: the counter the clock stands on, window-class
// registration with the library's procedure, and the pixel format the
// canvas gets, the exit handlers that give a hidden cursor back, and the
// device names refused as record files (run under Wine on an X display by
// the native test suite).
#include <gtest/gtest.h>
#include <windows.h>

#include <csignal>
#include <string>

#include "library/base/clock.h"
#include "library/shell/session_record.h"
#include "library/shell/startup.h"
#include "platform/platform.h"

namespace Kestravon {
namespace {

TEST(Win32Test, TheCounterIsUsableAndMovesForward) {
  ASSERT_NO_THROW(Clock::initialize());
  EXPECT_GE(Clock::countsPerMillisecond, 1);
  const Clock before;
  Clock after;
  for (int i = 0; i < 1000000 && (after - before).count == 0; ++i) after.update();
  EXPECT_GT((after - before).count, 0);
}

TEST(Win32Test, ListenerWindowProcedureQuitsOnClose) {
  platform::WindowClass windowClass;
  windowClass.className = kWindowClassName;
  windowClass.menuName = kListenerTitle;
  windowClass.procedure = listenerWindowProc;
  ASSERT_NE(platform::registerWindowClass(windowClass), 0);
  platform::Window listener = platform::createMessageWindow(kWindowClassName, kListenerTitle, nullptr);
  ASSERT_NE(listener, nullptr);
  platform::Message close;
  close.window = listener;
  close.id = platform::kMsgClose;
  platform::dispatchMessage(close);
  platform::Message m;
  bool quit = false;
  while (platform::peekMessage(m)) quit = quit || m.id == platform::kMsgQuit;
  EXPECT_TRUE(quit);
}

TEST(Win32Test, TheCanvasPixelFormatIsDoubleBuffered) {
  platform::WindowClass windowClass;
  windowClass.className = "KestravonPixelFormatTest";
  windowClass.menuName = kListenerTitle;
  windowClass.procedure = listenerWindowProc;
  ASSERT_NE(platform::registerWindowClass(windowClass), 0);
  platform::Window window =
      platform::createCanvasWindow("KestravonPixelFormatTest", "Kestravon Main Window", 0, 0, 64, 64, nullptr);
  ASSERT_NE(window, nullptr);
  platform::DeviceContext dc = platform::getDeviceContext(window);
  platform::PixelFormatDescriptor descriptor;
  descriptor.flags = platform::kPfdDoubleBuffer | platform::kPfdDrawToBitmap | platform::kPfdSupportOpenGL |
                     platform::kPfdSwapCopy | platform::kPfdGenericAccelerated;
  descriptor.colorBits = 32;
  descriptor.auxBuffers = 1;
  const int format = platform::choosePixelFormat(dc, descriptor);
  ASSERT_NE(format, 0);
  PIXELFORMATDESCRIPTOR chosen{};
  ASSERT_NE(DescribePixelFormat(reinterpret_cast<HDC>(dc), format, sizeof chosen, &chosen), 0);
  EXPECT_NE(chosen.dwFlags & PFD_DOUBLEBUFFER, 0u) << "a single-buffered canvas tears";
  EXPECT_NE(chosen.dwFlags & PFD_SUPPORT_OPENGL, 0u);
  EXPECT_TRUE(platform::setPixelFormat(dc, format, descriptor));
  platform::releaseDeviceContext(window, dc);
  platform::destroyWindow(window);
}

// The handlers as the system and the C runtime would call them: the crash
// filter and the SIGABRT handler in place now.
void crashFilter() {
  const LPTOP_LEVEL_EXCEPTION_FILTER filter = SetUnhandledExceptionFilter(nullptr);
  SetUnhandledExceptionFilter(filter);
  ASSERT_NE(filter, nullptr) << "no crash filter";
  EXCEPTION_RECORD record{};
  record.ExceptionCode = 0xE0000001;  // one nobody knows
  CONTEXT context{};
  EXCEPTION_POINTERS pointers{&record, &context};
  EXPECT_EQ(filter(&pointers), EXCEPTION_CONTINUE_SEARCH) << "the crash must go on";
}

void abortHandler() {
  const auto handler = std::signal(SIGABRT, SIG_DFL);
  std::signal(SIGABRT, handler);
  ASSERT_NE(handler, SIG_DFL) << "no SIGABRT handler";
  handler(SIGABRT);
}

// ShowCursor(FALSE) then ShowCursor(TRUE): the display count in between.
int countAfterHiding() {
  const int count = ShowCursor(FALSE);
  ShowCursor(TRUE);
  return count;
}

TEST(Win32Test, ExitHandlersShowAHiddenCursorOnceAndAgainAfterTheNextHide) {
  ASSERT_EQ(countAfterHiding(), -1);
  ASSERT_EQ(platform::showCursor(false), -1);
  crashFilter();
  EXPECT_EQ(countAfterHiding(), -1) << "the crash filter left the cursor hidden";

  // Hidden behind the backend's back: nothing is owed, nothing is shown.
  ShowCursor(FALSE);
  abortHandler();
  EXPECT_EQ(countAfterHiding(), -2) << "given back twice";
  ShowCursor(TRUE);

  // Hidden through the backend again: owed again.
  ASSERT_EQ(platform::showCursor(false), -1);
  abortHandler();
  EXPECT_EQ(countAfterHiding(), -1) << "not owed after a second hide";

  // Shown by the library itself (the canvas closed): no longer owed.
  platform::showCursor(false);
  platform::showCursor(true);
  ShowCursor(FALSE);
  crashFilter();
  EXPECT_EQ(countAfterHiding(), -2) << "shown again at exit although the library had shown it";
  ShowCursor(TRUE);
}

// CON, NUL, COM1, ... are devices in every folder and with any extension:
// a record "written" to nul.csv vanished, one to CON failed oddly. They are
// refused by name, before anything is created; ordinary names still work.
TEST(Win32Test, DeviceNamesAreRefusedAsRecordFiles) {
  char folder[MAX_PATH];
  ASSERT_NE(GetTempPathA(sizeof folder, folder), 0u);
  for (const char* name : {"nul.csv", "NUL", "con", "Con.txt", "aux", "prn.csv", "COM1", "lpt9.csv", "conout$",
                           "C:\\data\\nul.csv", "sub/NUL .csv"}) {
    SCOPED_TRACE(name);
    SessionOptions options;
    options.recordPath = name;
    std::string error;
    EXPECT_FALSE(SessionRecord::open(options, error));
    EXPECT_EQ(error, std::string("cannot create the record file \"") + name +
                         "\": the name is a device's on Windows (CON, PRN, AUX, NUL, COM1, LPT1, ...), not a file");
  }
  const std::string path = std::string(folder) + "console.csv";  // a device's name only in part
  DeleteFileA(path.c_str());
  SessionOptions options;
  options.recordPath = path;
  std::string error;
  EXPECT_TRUE(SessionRecord::open(options, error)) << error;
  SessionRecord::abandon();
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << "removed again";
}

}  // namespace
}  // namespace Kestravon
