// On Xwayland the SDL2 backend reports a mode switch to another size than
// the output's own as failed, touching nothing, instead of "switching" to
// a mode the output never takes (the canvas would then come out at the
// output's size and fail as "Failed to create the canvas."). The output's
// own size still works. Nor does it offer a look-up table: Xwayland's
// RandR ramp reaches no output, so the display has none a lab could rely
// on. Run by with_weston.sh on a 1280x1024 output.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace Kestravon {
namespace {

TEST(Sdl2ModeEmulationTest, XwaylandRefusesAnotherSizeAndTakesItsOwn) {
  const char* wayland = std::getenv("KESTRAVON_TEST_XWAYLAND");
  if (wayland == nullptr || std::strcmp(wayland, "1") != 0) GTEST_SKIP() << "not under with_weston.sh";
  platform::WindowClass windowClass;
  windowClass.className = "KestravonModeEmulationTest";
  windowClass.procedure = [](platform::Window, std::uint32_t, std::uintptr_t, std::intptr_t) -> std::intptr_t {
    return 0;
  };
  ASSERT_NE(platform::registerWindowClass(windowClass), 0);
  ASSERT_EQ(platform::screenWidth(), 1280);
  ASSERT_EQ(platform::screenHeight(), 1024);

  platform::DisplayMode stimulusMode;
  stimulusMode.width = 1024;
  stimulusMode.height = 768;
  stimulusMode.bitsPerPixel = 32;
  stimulusMode.frequency = 60;
  EXPECT_EQ(platform::changeDisplayMode(stimulusMode), platform::kDispChangeFailed);
  EXPECT_EQ(platform::screenWidth(), 1280) << "a refused mode must not be reported as the screen's";
  EXPECT_EQ(platform::screenHeight(), 1024);

  platform::DisplayMode ownMode = stimulusMode;
  ownMode.width = 1280;
  ownMode.height = 1024;
  ownMode.frequency = 0;
  EXPECT_EQ(platform::changeDisplayMode(ownMode), platform::kDispChangeSuccessful);
  platform::Window canvas = platform::createCanvasWindow(windowClass.className, "", 0, 0, 1280, 1024, nullptr);
  ASSERT_NE(canvas, nullptr);
  const std::uint16_t identity[3 * 2] = {0, 65535, 0, 65535, 0, 65535};
  EXPECT_EQ(platform::gammaRampSize(platform::getDeviceContext(canvas)), 0);
  EXPECT_FALSE(platform::setDeviceGammaRamp(platform::getDeviceContext(canvas), identity));
  platform::destroyWindow(canvas);
  platform::restoreDisplayMode();
}

}  // namespace
}  // namespace Kestravon
