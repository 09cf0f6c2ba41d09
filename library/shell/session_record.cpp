#include "library/shell/session_record.h"

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
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "library/base/missed_periods.h"
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

// Writes to standard error with no stdio buffer in between: also from a
// signal handler.
void writeToStandardError(const char* text, std::size_t size) {
  while (size > 0) {
    const long written = writeSome(kStandardError, text, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text += written;
    size -= static_cast<std::size_t>(written);
  }
}

// Both names the same file: the second cannot be created because the
// first one is it.
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

// One CSV file, written from a fixed buffer that only ever holds whole
// rows. After a failed write the file is cut back to its last whole row (a
// partial row would read as a valid, wrong value) and nothing more is
// written; the failure is kept for the final report.
class RecordFile {
 public:
  bool create(const std::string& path, const char* what, std::string& error) {
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

  // Writes the file's first lines: false, with `error` set, when that fails
  // (a full disk). Failures after that are reported the moment they happen.
  bool start(const char* header, std::size_t size, std::string& error) {
    append(header, size);
    if (!flush()) {
      error = std::string("cannot write the ") + what_ + " file \"" + path_ + "\": " + std::strerror(errorCode_);
      return false;
    }
    reportAtOnce_ = true;
    return true;
  }

  bool isOpen() const { return fd_ >= 0; }
  bool failed() const { return failed_; }
  const std::string& path() const { return path_; }

  // Appends whole rows.
  void append(const char* text, std::size_t size) {
    if (fd_ < 0 || failed_) return;
    if (used_ + size > sizeof buffer_) flush();
    if (size > sizeof buffer_) {
      writeAll(text, size);
      return;
    }
    std::memcpy(buffer_ + used_, text, size);
    used_ += size;
  }
  void append(const char* text) { append(text, std::strlen(text)); }

  // False when this or an earlier write failed.
  bool flush() {
    if (fd_ < 0 || failed_) return !failed_;
    if (used_ == 0) return true;
    const bool written = writeAll(buffer_, used_);
    used_ = 0;
    return written;
  }

  // The failure, composed when it happened: printed from a signal handler too.
  void reportFailure() const {
    if (failed_) writeToStandardError(failureLine_, std::strlen(failureLine_));
  }

  void close() {
    if (fd_ >= 0) closeFile(fd_);
    fd_ = -1;
  }

  // Removes a file this run created.
  void removeCreated() {
    close();
    if (!path_.empty()) removeFile(path_.c_str());
    path_.clear();
  }

 private:
  bool writeAll(const char* data, std::size_t size) {
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

  void fail(int code, long long wholeRows) {
    failed_ = true;
    errorCode_ = code;
    if (written_ > wholeRows) cutTo(fd_, wholeRows);
    std::snprintf(failureLine_, sizeof failureLine_,
                  "Kestravon: writing the %s file \"%s\" failed: %s; the rows after that are lost\n", what_,
                  path_.c_str(), std::strerror(code));
    if (reportAtOnce_) reportFailure();
  }

  int fd_ = -1;
  std::string path_;
  const char* what_ = "";
  char buffer_[16384];
  std::size_t used_ = 0;
  long long written_ = 0;  // bytes in the file: whole rows, except in the middle of a write
  bool failed_ = false;
  bool reportAtOnce_ = false;
  int errorCode_ = 0;
  char failureLine_[512] = {};
};

struct Session {
  bool active = false;
  bool exitHandlerSet = false;
  bool headersWritten = false;
  RecordFile record;
  RecordFile timing;
  char started[32] = {};
  double countsPerMs = 0;
  std::int64_t firstFrame = 0;
  std::int64_t lastFrame = 0;
  std::int64_t lastFlush = 0;
  long long frames = 0;
  long long missed = 0;
  // Running mean and sum of squared deviations of the intervals (Welford).
  double mean = 0;
  double squares = 0;
};

Session& session() {
  static Session instance;
  return instance;
}

std::int64_t now() {
  std::int64_t count = 0;
  platform::queryPerformanceCounter(count);
  return count;
}

double millisecondsSince(std::int64_t from, std::int64_t to) {
  const Session& s = session();
  return s.countsPerMs > 0 ? static_cast<double>(to - from) / s.countsPerMs : 0.0;
}

// Appends text to a fixed line buffer; never past its end.
class Line {
 public:
  Line& text(const char* s) { return text(s, std::strlen(s)); }
  Line& text(const char* s, std::size_t n) {
    if (n > sizeof buffer_ - used_) n = sizeof buffer_ - used_;
    std::memcpy(buffer_ + used_, s, n);
    used_ += n;
    return *this;
  }
  Line& integer(long long value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return text(digits, static_cast<std::size_t>(end - digits));
  }
  // Milliseconds with three decimals, as integers so no locale can change it.
  Line& milliseconds(double ms) {
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
  // A CSV field: quoted, with its quotes doubled, when it holds a comma, a
  // quote or a line break.
  Line& field(const std::string& value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos) return text(value.c_str(), value.size());
    text("\"");
    for (char c : value) {
      if (c == '"') text("\"");
      text(&c, 1);
    }
    return text("\"");
  }
  const char* data() const { return buffer_; }
  std::size_t size() const { return used_; }

 private:
  char buffer_[512];
  std::size_t used_ = 0;
};

void writeValueRow(long long frame, double ms, const std::string& label, const char* value) {
  Session& s = session();
  if (!s.record.isOpen()) return;
  Line line;
  line.integer(frame).text(",").milliseconds(ms).text(",").field(label).text(",").text(value).text("\n");
  s.record.append(line.data(), line.size());
  s.record.flush();  // a change is never lost
}

const char* describeSync(platform::SwapSync sync) {
  switch (sync) {
    case platform::SwapSync::ByDriver: return "swaps synchronised by the display driver";
    case platform::SwapSync::ByBackend:
      return "swaps paced to the refresh period by the program (the driver cannot sync)";
    case platform::SwapSync::Unsynchronised: break;
  }
  return "swaps not synchronised";
}

void exitHandler() { SessionRecord::finish(); }

Line summaryLine() {
  const Session& s = session();
  const long long intervals = s.frames > 1 ? s.frames - 1 : 0;
  const double sd = intervals > 1 ? std::sqrt(s.squares / static_cast<double>(intervals - 1)) : 0.0;
  Line summary;
  summary.text("Kestravon: ").integer(s.frames).text(" frames presented, ").integer(s.missed);
  summary.text(" refresh periods missed, interval mean ").milliseconds(s.mean).text(" ms, SD ").milliseconds(sd);
  summary.text(" ms\n");
  return summary;
}

// A file too large for the process's limit is a failed write (reported,
// status 3), not a signal that ends the stimulus. A handler the caller set
// is left alone.
void writeFailuresInsteadOfSignal() {
#ifdef SIGXFSZ
  struct sigaction current = {};
  if (sigaction(SIGXFSZ, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0 &&
      current.sa_handler == SIG_DFL) {
    std::signal(SIGXFSZ, SIG_IGN);
  }
#endif
}

// Set once the abrupt end has run: it runs at most once.
volatile std::sig_atomic_t endedAbruptly = 0;

// The summary line, then each failed write again. Async-signal-safe.
void reportSummary(const Session& s) {
  const Line summary = summaryLine();
  writeToStandardError(summary.data(), summary.size());
  s.record.reportFailure();
  s.timing.reportFailure();
}

}  // namespace

bool SessionRecord::open(const SessionOptions& options, std::string& error) {
  Session& s = session();
  discard();
  if (!options.recording()) return true;
  writeFailuresInsteadOfSignal();
  if (!options.recordPath.empty() && !s.record.create(options.recordPath, "record", error)) return false;
  if (!options.timingPath.empty() && !s.timing.create(options.timingPath, "timing", error)) {
    if (s.record.isOpen() && sameFile(options.recordPath, options.timingPath)) {
      error = "--record and --timing name the same file (\"" + options.recordPath + "\" and \"" + options.timingPath +
              "\")";
    }
    s.record.removeCreated();  // the same command line must work again once the cause is fixed
    return false;
  }
  std::int64_t frequency = 0;
  platform::queryPerformanceFrequency(frequency);
  s.countsPerMs = static_cast<double>(frequency) / 1000.0;
  const std::time_t t = std::time(nullptr);
  if (const std::tm* utc = std::gmtime(&t)) std::strftime(s.started, sizeof s.started, "%Y-%m-%dT%H:%M:%SZ", utc);
  // The first lines are written now: a full disk is found before the display is touched.
  for (RecordFile* file : {&s.record, &s.timing}) {
    Line line;
    line.text("# Kestravon ")
        .text(kKestravonVersion)
        .text(file == &s.record ? ", session record\n" : ", frame timing\n");
    line.text("# started ").text(s.started).text("\n");
    if (!file->start(line.data(), line.size(), error)) {
      abandon();
      return false;
    }
  }
  s.active = true;
  endedAbruptly = 0;
  if (!s.exitHandlerSet) {
    // Registered before the backend's own exit handlers (which give the
    // desktop back), so it runs after them.
    s.exitHandlerSet = std::atexit(exitHandler) == 0;
  }
  return true;
}

bool SessionRecord::active() { return session().active; }

void SessionRecord::canvasOpened(int width, int height, int bitsPerPixel, double refreshRate,
                                 const std::string& displayLines) {
  Session& s = session();
  if (!s.active) return;
  s.record.append(displayLines.c_str(), displayLines.size());
  s.timing.append(displayLines.c_str(), displayLines.size());
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
  s.record.append(display.data(), display.size());
  s.timing.append(display.data(), display.size());
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
  s.record.append(granted.data(), granted.size());
  s.timing.append(granted.data(), granted.size());
  if (!s.headersWritten) {
    s.headersWritten = true;
    s.record.append("frame,time_ms,label,value\n");
    Line timing;
    timing.text("# refresh period asked ").milliseconds(1000.0 / refreshRate).text(" ms; missed = refresh periods ");
    timing.text("missed, (interval + 0.1 ms) / (period + 1 ms) truncated\n");
    timing.text("frame,interval_ms,missed\n");
    s.timing.append(timing.data(), timing.size());
  }
  s.record.flush();
  s.timing.flush();
}

void SessionRecord::framePresented(double intervalLimit, double intervalOffset) {
  Session& s = session();
  if (!s.active) return;
  const std::int64_t t = now();
  ++s.frames;
  Line line;
  line.integer(s.frames).text(",");
  if (s.frames == 1) {
    s.firstFrame = t;
    s.lastFlush = t;
    line.text(",0\n");  // no interval before the first frame
  } else {
    const double interval = millisecondsSince(s.lastFrame, t);
    const auto missed = static_cast<long long>(missedPeriods(interval, intervalLimit, intervalOffset));
    s.missed += missed;
    const double n = static_cast<double>(s.frames - 1);
    const double delta = interval - s.mean;
    s.mean += delta / n;
    s.squares += delta * (interval - s.mean);
    line.milliseconds(interval).text(",").integer(missed).text("\n");
  }
  s.lastFrame = t;
  s.timing.append(line.data(), line.size());
  if (millisecondsSince(s.lastFlush, t) >= 1000.0) {
    s.timing.flush();
    s.lastFlush = t;
  }
}

void SessionRecord::startingValue(const std::string& label, const char* value) { writeValueRow(0, 0.0, label, value); }

void SessionRecord::valueChanged(const std::string& label, const char* value) {
  Session& s = session();
  if (!s.active) return;
  // Made during a flip, before its swap: the routine draws the next frame
  // after that swap with the new value.
  const double ms = s.frames > 0 ? millisecondsSince(s.firstFrame, now()) : 0.0;
  writeValueRow(s.frames + 2, ms, label, value);
}

void SessionRecord::finish() {
  Session& s = session();
  if (!s.active) return;
  s.active = false;
  std::fflush(stdout);
  std::fflush(stderr);
  if (s.frames == 0) {
    // The run failed before its first frame: files with no frame in them
    // would only make the same command line refused once the cause is fixed.
    s.record.removeCreated();
    s.timing.removeCreated();
    static const char kRemoved[] = "Kestravon: no frame was presented; the files this run created are removed\n";
    writeToStandardError(kRemoved, sizeof kRemoved - 1);
    return;
  }
  s.record.flush();
  s.timing.flush();
  s.record.close();
  s.timing.close();
  reportSummary(s);
}

bool SessionRecord::rowsLost() {
  Session& s = session();
  if (!s.active || s.frames == 0) return false;  // no frame: finish removes the files
  const bool recordWritten = s.record.flush();
  const bool timingWritten = s.timing.flush();
  return !recordWritten || !timingWritten;
}

void SessionRecord::endAbruptly() {
  Session& s = session();
  if (!s.active || endedAbruptly != 0) return;
  endedAbruptly = 1;
  if (s.frames == 0) {
    removeFile(s.record.path().c_str());
    removeFile(s.timing.path().c_str());
    return;
  }
  if (!s.record.failed() && !s.timing.failed()) return;
  // Data was lost: that must not go unsaid because a signal ended the run.
  reportSummary(s);
}

void SessionRecord::abandon() {
  Session& s = session();
  s.record.removeCreated();
  s.timing.removeCreated();
  discard();
}

void SessionRecord::discard() {
  Session& s = session();
  s.record.close();
  s.timing.close();
  const bool handlerSet = s.exitHandlerSet;
  s = Session();
  s.exitHandlerSet = handlerSet;
}

}  // namespace Kestravon
