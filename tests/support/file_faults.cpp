#include "tests/support/file_faults.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/headless/headless.h"

namespace Kestravon {
namespace testing {

std::string deathTestFolder(const std::string& prefix) {
  const bool child = !GTEST_FLAG_GET(internal_run_death_test).empty();
  std::string folder = "/tmp/" + prefix + "-" + std::to_string(child ? getppid() : getpid()) + "-" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name();
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) ADD_FAILURE() << "cannot make " << folder;
  return folder;
}

void withStandardErrorThroughPipe(const std::function<void()>& body) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) std::exit(99);
  const int savedError = dup(STDERR_FILENO);
  dup2(pipeEnds[1], STDERR_FILENO);
  body();
  std::fflush(stderr);
  dup2(savedError, STDERR_FILENO);
  close(pipeEnds[1]);
  char said[16384];
  const ssize_t size = read(pipeEnds[0], said, sizeof said);
  std::fprintf(stderr, "%.*s", static_cast<int>(size > 0 ? size : 0), said);
  close(pipeEnds[0]);
  close(savedError);
}

bool fileExists(const std::string& path) { return std::ifstream(path).good(); }

bool displayTouched() {
  for (const std::string& call : platform::headless::state().log) {
    if (call.rfind("changeDisplayMode", 0) == 0) return true;
  }
  return false;
}

}  // namespace testing
}  // namespace Kestravon
