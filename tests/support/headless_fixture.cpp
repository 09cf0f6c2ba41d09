#include "tests/support/headless_fixture.h"

#include "library/shell/library_state.h"
#include "library/shell/startup.h"

namespace Kestravon {
namespace testing {

void HeadlessTest::SetUp() {
  platform::headless::reset();
  libraryState.reset();
  initializeLibrary();
}

void HeadlessTest::TearDown() { platform::headless::reset(); }

}  // namespace testing
}  // namespace Kestravon
