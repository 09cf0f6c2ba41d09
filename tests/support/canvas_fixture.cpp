#include "tests/support/canvas_fixture.h"

#include "library/base/application.h"
#include "library/shell/startup.h"
#include "platform/headless/headless.h"

namespace Kestravon {
namespace testing {

namespace hl = platform::headless;

void CanvasTest::SetUp() {
  HeadlessTest::SetUp();
  application.className = kWindowClassName;
  application.showCommand = 1;
  application.windowClass.className = kWindowClassName;
  application.windowClass.menuName = kListenerTitle;
  application.windowClass.procedure = listenerWindowProc;
  ASSERT_NE(platform::registerWindowClass(application.windowClass), 0);
  hl::state().log.clear();
}

void CanvasTest::expectDesktopRestored() {
  const hl::State& s = hl::state();
  EXPECT_FALSE(s.displayModeChanged);
  EXPECT_EQ(s.currentMode.width, s.desktopMode.width);
  EXPECT_EQ(s.currentMode.height, s.desktopMode.height);
  EXPECT_EQ(s.cursorCount, 0) << "cursor hidden";
  EXPECT_EQ(s.canvasWindowsAlive, 0);
  EXPECT_EQ(s.deviceContextsHeld, 0);
  EXPECT_EQ(s.contextsAlive, 0);
}

}  // namespace testing
}  // namespace Kestravon
