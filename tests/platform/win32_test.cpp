// The Win32 backend: the counter the clock stands on, window-class
// registration with the library's procedure, and the pixel format the
// canvas gets (run under Wine on an X display by the native test suite).
#include <windows.h>
#include <gtest/gtest.h>

#include "library/frame/clock.h"
#include "library/frame/startup.h"
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

}  // namespace
}  // namespace Kestravon
