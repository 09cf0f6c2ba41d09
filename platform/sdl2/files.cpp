// The run's files as POSIX writes them (platform/posix/files.cpp has the
// rest); standard error is the terminal's or where it was sent.
#include "platform/posix/files.h"

#include "platform/platform.h"

namespace Kestravon {
namespace platform {

long writeFile(File file, const char* data, std::size_t size, int& error) {
  return posix::writeSome(file, data, size, error);
}

bool hasStandardError() { return true; }

}  // namespace platform
}  // namespace Kestravon
