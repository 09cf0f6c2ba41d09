#include "tests/support/headless_fixture.h"

#include "library/canvas/canvas.h"
#include "library/parameters/parameter_console.h"
#include "library/shell/startup.h"

namespace Kestravon {
namespace testing {

void HeadlessTest::SetUp() {
  platform::headless::reset();
  initializeLibrary();
  // The runner switches the console on; tests that want it say so.
  ParameterConsole::setEnabled(false);
}

void HeadlessTest::TearDown() { platform::headless::reset(); }

}  // namespace testing
}  // namespace Kestravon
