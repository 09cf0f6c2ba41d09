// A headless test in which a Canvas can open: start-up's window class is
// registered as the entry function would register it.
#pragma once

#include "tests/support/headless_fixture.h"

namespace Kestravon {
namespace testing {

class CanvasTest : public HeadlessTest {
 protected:
  void SetUp() override;

  // Expect the desktop exactly as before any canvas opened.
  static void expectDesktopRestored();
};

}  // namespace testing
}  // namespace Kestravon
