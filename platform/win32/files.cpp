// The run's files, the standard streams and the program's path, through
// the C runtime's calls as Windows names them.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace Kestravon {
namespace platform {

File createNewFile(const char* path, int& error) {
  const int file = _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (file < 0) error = errno;
  return file;
}

long writeFile(File file, const char* data, std::size_t size, int& error) {
  for (;;) {
    const int written = _write(file, data, static_cast<unsigned>(size));
    if (written >= 0) return written;
    if (errno != EINTR) {
      error = errno;
      return -1;
    }
  }
}

void truncateFile(File file, long long size) { _chsize_s(file, size); }

void closeFile(File file) { _close(file); }

void removeFile(const char* path) { _unlink(path); }

bool sameFile(const char* a, const char* b) {
  char fullA[_MAX_PATH], fullB[_MAX_PATH];
  return _fullpath(fullA, a, sizeof fullA) != nullptr && _fullpath(fullB, b, sizeof fullB) != nullptr &&
         _stricmp(fullA, fullB) == 0;
}

// CON, NUL, COM1, ... name devices in every folder and with any extension:
// a record "written" to nul.csv would vanish without a failed write.
bool namesDevice(const char* path) {
  std::string name = path;
  const std::size_t slash = name.find_last_of("/\\:");
  name = name.substr(slash == std::string::npos ? 0 : slash + 1);
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"}) {
    if (name == device) return true;
  }
  return name.size() == 4 && (name.rfind("COM", 0) == 0 || name.rfind("LPT", 0) == 0) && name[3] >= '0' &&
         name[3] <= '9';
}

void writeFailuresInsteadOfSignal() {}  // Windows has no such signal: the write fails

void writeToStandardError(const char* text, std::size_t size) {
  int error = 0;
  while (size > 0) {
    const long written = writeFile(2, text, size, error);
    if (written <= 0) return;
    text += written;
    size -= static_cast<std::size_t>(written);
  }
}

void keepStandardStreamsOpen() {}  // a file the program opens never becomes a standard stream here

bool hasStandardError() {
  const std::intptr_t standardError = _get_osfhandle(2);
  return standardError != -1 && standardError != -2;  // -2: no stream, as in a program with no console
}

std::string programPath() { return _pgmptr != nullptr ? _pgmptr : ""; }

}  // namespace platform
}  // namespace Kestravon
