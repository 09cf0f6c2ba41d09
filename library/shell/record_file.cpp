#include "library/shell/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>

#include <cctype>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "library/base/priority.h"
#include "platform/platform.h"

namespace Kestravon {

namespace {

#ifdef _WIN32
int createNew(const char* path) {
  return _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long writeSome(int fd, const char* data, std::size_t size) { return _write(fd, data, static_cast<unsigned>(size)); }
void cutTo(int fd, long long size) { _chsize_s(fd, size); }
void closeFile(int fd) { _close(fd); }
void removeFile(const char* path) { _unlink(path); }
constexpr int kStandardError = 2;
#else
int createNew(const char* path) { return ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644); }
long writeSome(int fd, const char* data, std::size_t size) { return static_cast<long>(::write(fd, data, size)); }
void cutTo(int fd, long long size) {
  while (::ftruncate(fd, static_cast<off_t>(size)) != 0 && errno == EINTR) {
  }
}
void closeFile(int fd) { ::close(fd); }
void removeFile(const char* path) { ::unlink(path); }  // async-signal-safe, unlike std::remove
constexpr int kStandardError = STDERR_FILENO;
#endif

#ifdef _WIN32
// CON, NUL, COM1, ... name devices in every folder and with any extension:
// a record "written" to nul.csv would vanish without a failed write.
bool isDeviceName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\:");
  std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"}) {
    if (name == device) return true;
  }
  return name.size() == 4 && (name.rfind("COM", 0) == 0 || name.rfind("LPT", 0) == 0) && name[3] >= '0' &&
         name[3] <= '9';
}
#endif

}  // namespace

void writeToStandardError(const char* text, std::size_t size) {
  while (size > 0) {
    const long written = writeSome(kStandardError, text, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text += written;
    size -= static_cast<std::size_t>(written);
  }
}

bool sameFile(const std::string& a, const std::string& b) {
#ifdef _WIN32
  char fullA[_MAX_PATH], fullB[_MAX_PATH];
  return _fullpath(fullA, a.c_str(), sizeof fullA) != nullptr && _fullpath(fullB, b.c_str(), sizeof fullB) != nullptr &&
         _stricmp(fullA, fullB) == 0;
#else
  struct stat first = {};
  struct stat second = {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
#endif
}

void writeFailuresInsteadOfSignal() {
#ifdef SIGXFSZ
  struct sigaction current = {};
  if (sigaction(SIGXFSZ, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0 &&
      current.sa_handler == SIG_DFL) {
    std::signal(SIGXFSZ, SIG_IGN);
  }
#endif
}

// ---- Line ------------------------------------------------------------------

Line& Line::text(const char* s) { return text(s, std::strlen(s)); }

Line& Line::text(const char* s, std::size_t n) {
  if (n > sizeof buffer_ - used_) n = sizeof buffer_ - used_;
  std::memcpy(buffer_ + used_, s, n);
  used_ += n;
  return *this;
}

Line& Line::integer(long long value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return text(digits, static_cast<std::size_t>(end - digits));
}

Line& Line::milliseconds(double ms) {
  long long thousandths = std::llround(ms * 1000.0);
  if (thousandths < 0) {
    text("-");
    thousandths = -thousandths;
  }
  integer(thousandths / 1000);
  char fraction[4] = {'.', static_cast<char>('0' + thousandths % 1000 / 100),
                      static_cast<char>('0' + thousandths % 100 / 10), static_cast<char>('0' + thousandths % 10)};
  return text(fraction, 4);
}

Line& Line::number(double value) {
  char digits[32];
  const auto end = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 6).ptr;
  return text(digits, static_cast<std::size_t>(end - digits));
}

Line& Line::field(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return text(value.c_str(), value.size());
  text("\"");
  for (char c : value) {
    if (c == '"') text("\"");
    text(&c, 1);
  }
  return text("\"");
}

// ---- RecordFile ------------------------------------------------------------

bool RecordFile::create(const std::string& path, const char* what, std::string& error) {
#ifdef _WIN32
  if (isDeviceName(path)) {
    error = std::string("cannot create the ") + what + " file \"" + path +
            "\": the name is a device's on Windows (CON, PRN, AUX, NUL, COM1, LPT1, ...), not a file";
    return false;
  }
#endif
  fd_ = createNew(path.c_str());
  if (fd_ < 0) {
    const int code = errno;
    error = std::string("cannot create the ") + what + " file \"" + path + "\": " + std::strerror(code);
    if (code == EEXIST) error += " (an existing file is never overwritten)";
    return false;
  }
  path_ = path;
  what_ = what;
  used_ = 0;
  written_ = 0;
  failed_ = false;
  reportAtOnce_ = false;
  return true;
}

bool RecordFile::start(const char* header, std::size_t size, std::string& error) {
  append(header, size);
  if (!flush()) {
    error = std::string("cannot write the ") + what_ + " file \"" + path_ + "\": " + std::strerror(errorCode_);
    return false;
  }
  reportAtOnce_ = true;
  return true;
}

void RecordFile::append(const char* text, std::size_t size) {
  if (fd_ < 0 || failed_) return;
  if (used_ + size > sizeof buffer_) flush();
  if (size > sizeof buffer_) {
    writeAll(text, size);
    return;
  }
  std::memcpy(buffer_ + used_, text, size);
  used_ += size;
}

void RecordFile::append(const char* text) { append(text, std::strlen(text)); }

bool RecordFile::flush() {
  if (fd_ < 0 || failed_) return !failed_;
  if (used_ == 0) return true;
  const bool written = writeAll(buffer_, used_);
  used_ = 0;
  return written;
}

void RecordFile::reportFailure() const {
  if (failed_) writeToStandardError(failureLine_, std::strlen(failureLine_));
}

void RecordFile::close() {
  if (fd_ >= 0) closeFile(fd_);
  fd_ = -1;
}

void RecordFile::removeCreated() {
  close();
  if (!path_.empty()) removeFile(path_.c_str());
  path_.clear();
}

void RecordFile::removeCreatedAbruptly() const {
  if (!path_.empty()) removeFile(path_.c_str());
}

bool RecordFile::flushAbruptly() {
  if (writing_ != 0) return !failed_;
  return flush();
}

bool RecordFile::writeAll(const char* data, std::size_t size) {
  struct Writing {
    volatile int& flag;
    explicit Writing(volatile int& f) : flag(f) { flag = 1; }
    ~Writing() { flag = 0; }
    Writing(const Writing&) = delete;
    Writing& operator=(const Writing&) = delete;
  } writing(writing_);
  const char* const begin = data;
  const long long before = written_;
  while (size > 0) {
    const long written = writeSome(fd_, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      // Keep the whole rows that made it; the rest of the last one goes.
      long long kept = written_ - before;
      while (kept > 0 && begin[kept - 1] != '\n') --kept;
      fail(written < 0 ? errno : ENOSPC, before + kept);
      return false;
    }
    written_ += written;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

void RecordFile::fail(int code, long long wholeRows) {
  failed_ = true;
  errorCode_ = code;
  if (written_ > wholeRows) cutTo(fd_, wholeRows);
  const int length = std::snprintf(failureLine_, sizeof failureLine_,
                                   "Kestravon: writing the %s file \"%s\" failed: %s; the rows after that are lost\n",
                                   what_, path_.c_str(), std::strerror(code));
  if (length >= static_cast<int>(sizeof failureLine_)) {  // a longer path still ends its line
    std::memcpy(failureLine_ + sizeof failureLine_ - 5, "...\n", 5);
  }
  if (reportAtOnce_) reportFailure();
}

// ---- what every file of a run says first ------------------------------------

std::string startedNow() {
  char started[32] = {};
  const std::time_t t = std::time(nullptr);
  if (const std::tm* utc = std::gmtime(&t)) std::strftime(started, sizeof started, "%Y-%m-%dT%H:%M:%SZ", utc);
  return started;
}

namespace {

const char* describeSync(platform::SwapSync sync) {
  switch (sync) {
    case platform::SwapSync::ByDriver: return "swaps synchronised by the display driver";
    case platform::SwapSync::ByBackend:
      return "swaps paced to the refresh period by the program (the driver cannot sync)";
    case platform::SwapSync::Unsynchronised: break;
  }
  return "swaps not synchronised";
}

}  // namespace

std::string runDescription(int width, int height, int bitsPerPixel, double refreshRate,
                           const std::string& displayLines) {
  std::string lines = displayLines;
  platform::DisplayMode obtained;
  const platform::SwapSync sync = platform::describeDisplay(obtained);
  Line display;
  display.text("# display asked ").integer(width).text("x").integer(height).text(", ").integer(bitsPerPixel);
  display.text(" bits, ").integer(std::lround(refreshRate)).text(" Hz; obtained ").integer(obtained.width);
  display.text("x").integer(obtained.height).text(", ").integer(obtained.bitsPerPixel).text(" bits, ");
  if (obtained.frequency > 0) {
    display.integer(obtained.frequency).text(" Hz\n");
  } else {
    display.text("rate unknown\n");
  }
  display.text("# ").text(describeSync(sync)).text("\n");
  lines.append(display.data(), display.size());
  // What was asked of the driver and the system, and what they granted.
  Line granted;
  const platform::SwapCheck check = platform::describeSwapCheck();
  if (check.intervalAsked || check.testSwaps > 0) {
    granted.text("# swap interval 1 ");
    if (check.intervalAsked) {
      granted.text(check.intervalAccepted ? "asked of the driver: accepted" : "asked of the driver: refused");
    } else {
      granted.text("not offered by the driver");
    }
    if (check.testSwaps > 0) {
      granted.text("; ").integer(check.testSwaps).text(" blank test swaps when shown: ");
      granted.milliseconds(check.testSwapMs).text(" ms apart");
    }
    granted.text("\n");
  }
  const std::string scheduling = schedulingObtained();
  granted.text("# priority asked ").text(priorityName(priorityAsked())).text("; obtained ").text(scheduling.c_str());
  granted.text("\n");
  lines.append(granted.data(), granted.size());
  return lines;
}

}  // namespace Kestravon
