#include "platform/posix/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "platform/platform.h"

namespace Kestravon {

long posix::writeSome(int file, const char* data, std::size_t size, int& error) {
  for (;;) {
    const ssize_t written = ::write(file, data, size);
    if (written >= 0) return static_cast<long>(written);
    if (errno != EINTR) {
      error = errno;
      return -1;
    }
  }
}

namespace platform {

File createNewFile(const char* path, int& error) {
  const int file = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (file < 0) error = errno;
  return file;
}

void truncateFile(File file, long long size) {
  while (::ftruncate(file, static_cast<off_t>(size)) != 0 && errno == EINTR) {
  }
}

void closeFile(File file) { ::close(file); }

void removeFile(const char* path) { ::unlink(path); }  // async-signal-safe, unlike std::remove

bool sameFile(const char* a, const char* b) {
  struct stat first = {};
  struct stat second = {};
  return ::stat(a, &first) == 0 && ::stat(b, &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

bool namesDevice(const char*) { return false; }  // a device is made on purpose here, under /dev

void writeFailuresInsteadOfSignal() {
  struct sigaction current = {};
  if (sigaction(SIGXFSZ, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0 &&
      current.sa_handler == SIG_DFL) {
    std::signal(SIGXFSZ, SIG_IGN);
  }
}

void writeToStandardError(const char* text, std::size_t size) {
  int error = 0;
  while (size > 0) {
    const long written = posix::writeSome(STDERR_FILENO, text, size, error);
    if (written <= 0) return;
    text += written;
    size -= static_cast<std::size_t>(written);
  }
}

void keepStandardStreamsOpen() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      const int opened = ::open("/dev/null", O_RDWR);
      if (opened > fd) ::close(opened);  // cannot happen: the lower ones are open, so it gets fd
    }
  }
}

std::string programPath() {
#ifdef __GLIBC__
  return program_invocation_name != nullptr ? program_invocation_name : "";
#else
  return "";
#endif
}

}  // namespace platform
}  // namespace Kestravon
