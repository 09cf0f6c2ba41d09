// Helpers for tests of files written under faults, in death tests.
#pragma once

#include <functional>
#include <string>

namespace Kestravon {
namespace testing {

// A folder for the test's files under /tmp, named after the process and
// the test. A death test's child runs the test again from the start
// (threadsafe style): it takes its parent's folder, so that the parent
// sees the files it wrote. Created if need be (a failed test's is kept).
std::string deathTestFolder(const std::string& prefix);

// Runs `body` with standard error going through a pipe, and passes what
// it said on once `body` returns: a file-size limit that `body` sets (and
// lifts before it returns) holds for every file, a death test's standard
// error among them.
void withStandardErrorThroughPipe(const std::function<void()>& body);

bool fileExists(const std::string& path);
// Whether the headless backend was asked to change the display mode: a
// refusal must come before it.
bool displayTouched();

}  // namespace testing
}  // namespace Kestravon
