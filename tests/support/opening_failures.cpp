#include "tests/support/opening_failures.h"

#include "platform/headless/headless.h"

namespace Kestravon {
namespace testing {

namespace hl = platform::headless;

std::vector<OpeningFailure> openingFailures() {
  return {
      {"mode refused", [] { hl::faults().displayChangeResult = platform::kDispChangeFailed; },
       "API Error (Failed to switch display mode)", false},
      {"mode needs restart", [] { hl::faults().displayChangeResult = platform::kDispChangeRestart; },
       "API Error (Failed to switch display mode)", false},
      {"bad mode", [] { hl::faults().displayChangeResult = platform::kDispChangeBadMode; },
       "API Error (Failed to switch display mode)", false},
      {"no window", [] { hl::faults().createCanvasWindow = true; }, "Failed to create the canvas.", true},
      {"no format", [] { hl::faults().choosePixelFormat = true; }, "API Error (Failed to set pixel format).", true},
      {"format refused", [] { hl::faults().setPixelFormat = true; }, "API Error (Failed to set pixel format).", true},
      {"no context", [] { hl::faults().createGLContext = true; }, "API Error (Failed to set OpenGL context).", true},
      {"not current", [] { hl::faults().makeCurrent = true; }, "API Error (Failed to set OpenGL context).", true},
  };
}

}  // namespace testing
}  // namespace Kestravon
