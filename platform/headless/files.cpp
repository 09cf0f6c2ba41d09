// The run's files are real files (platform/posix/files.cpp); their writes
// meet the faults a test set: a full disk, a file-size limit, short writes.
#include "platform/posix/files.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/headless/backend.h"

namespace Kestravon {
namespace platform {

// Async-signal-safe: it reads and adds plain numbers.
long writeFile(File file, const char* data, std::size_t size, int& error) {
  const headless::Faults& faults = headless::faults();
  headless::State& state = headless::state();
  long long allowed = static_cast<long long>(size);
  if (faults.fileSizeLimitBytes >= 0) {
    const long long at = ::lseek(file, 0, SEEK_CUR);
    if (at >= faults.fileSizeLimitBytes) {
      error = EFBIG;
      return -1;
    }
    allowed = std::min(allowed, faults.fileSizeLimitBytes - at);
  }
  if (faults.diskFullAfterBytes >= 0) {
    const long long room = faults.diskFullAfterBytes - state.bytesWritten;
    if (room <= 0) {
      error = ENOSPC;
      return -1;
    }
    allowed = std::min(allowed, room);
  }
  if (faults.shortWrites && allowed > 1) allowed /= 2;
  const long written = posix::writeSome(file, data, static_cast<std::size_t>(allowed), error);
  if (written > 0) state.bytesWritten += written;
  return written;
}

bool hasStandardError() { return !headless::state().noStandardError; }

}  // namespace platform
}  // namespace Kestravon
