// Every point of the canvas's opening sequence that can fail on the
// headless backend, in its order: how to make it fail, the text the canvas
// throws then, and whether the mode was switched before it.
#pragma once

#include <functional>
#include <vector>

namespace Kestravon {
namespace testing {

struct OpeningFailure {
  const char* name;
  std::function<void()> inject;
  const char* text;
  bool afterSwitch;  // the mode was switched and the cursor hidden before the failure
};

std::vector<OpeningFailure> openingFailures();

}  // namespace testing
}  // namespace Kestravon
