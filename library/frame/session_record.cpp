#include "library/frame/session_record.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/platform.h"

namespace Kestravon {

namespace {

#ifdef _WIN32
int createNew(const char* path) {
  return _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long writeSome(int fd, const char* data, std::size_t size) { return _write(fd, data, static_cast<unsigned>(size)); }
void closeFile(int fd) { _close(fd); }
#else
int createNew(const char* path) { return ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644); }
long writeSome(int fd, const char* data, std::size_t size) { return static_cast<long>(::write(fd, data, size)); }
void closeFile(int fd) { ::close(fd); }
#endif

// One CSV file, written from a fixed buffer. After a failed write it
// writes nothing more; the failure is kept for the final report.
class RecordFile {
 public:
  bool create(const std::string& path, const char* what, std::string& error) {
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
    failed_ = false;
    return true;
  }

  bool isOpen() const { return fd_ >= 0; }
  bool failed() const { return failed_; }

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

  void flush() {
    if (fd_ < 0 || failed_ || used_ == 0) return;
    writeAll(buffer_, used_);
    used_ = 0;
  }

  void reportFailure() const {
    std::fprintf(stderr, "Kestravon: writing the %s file \"%s\" failed: %s; the rows after that are lost\n", what_,
                 path_.c_str(), std::strerror(errorCode_));
    std::fflush(stderr);
  }

  void close() {
    if (fd_ >= 0) closeFile(fd_);
    fd_ = -1;
  }

  // Removes a file this run created and has written nothing to.
  void removeCreated() {
    close();
    if (!path_.empty()) std::remove(path_.c_str());
    path_.clear();
  }

 private:
  void writeAll(const char* data, std::size_t size) {
    while (size > 0) {
      const long written = writeSome(fd_, data, size);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) {
        failed_ = true;
        errorCode_ = written < 0 ? errno : ENOSPC;
        reportFailure();
        return;
      }
      data += written;
      size -= static_cast<std::size_t>(written);
    }
  }

  int fd_ = -1;
  std::string path_;
  const char* what_ = "";
  char buffer_[16384];
  std::size_t used_ = 0;
  bool failed_ = false;
  int errorCode_ = 0;
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

}  // namespace

bool SessionRecord::open(const SessionOptions& options, std::string& error) {
  Session& s = session();
  discard();
  if (!options.recording()) return true;
  if (!options.recordPath.empty() && !s.record.create(options.recordPath, "record", error)) return false;
  if (!options.timingPath.empty() && !s.timing.create(options.timingPath, "timing", error)) {
    s.record.removeCreated();  // the same command line must work again once the cause is fixed
    return false;
  }
  std::int64_t frequency = 0;
  platform::queryPerformanceFrequency(frequency);
  s.countsPerMs = static_cast<double>(frequency) / 1000.0;
  const std::time_t t = std::time(nullptr);
  if (const std::tm* utc = std::gmtime(&t)) std::strftime(s.started, sizeof s.started, "%Y-%m-%dT%H:%M:%SZ", utc);
  s.active = true;
  if (!s.exitHandlerSet) {
    // Registered before the backend's own exit handlers (which give the
    // desktop back), so it runs after them.
    s.exitHandlerSet = std::atexit(exitHandler) == 0;
  }
  for (RecordFile* file : {&s.record, &s.timing}) {
    Line line;
    line.text("# Kestravon ")
        .text(kKestravonVersion)
        .text(file == &s.record ? ", session record\n" : ", frame timing\n");
    line.text("# started ").text(s.started).text("\n");
    file->append(line.data(), line.size());
    file->flush();
  }
  return true;
}

bool SessionRecord::active() { return session().active; }

void SessionRecord::canvasOpened(int width, int height, int bitsPerPixel, double refreshRate) {
  Session& s = session();
  if (!s.active) return;
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

void SessionRecord::displayNote(const std::string& lines) {
  Session& s = session();
  if (!s.active || lines.empty()) return;
  s.record.append(lines.c_str(), lines.size());
  s.timing.append(lines.c_str(), lines.size());
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
    const double periods = (interval + intervalOffset) / intervalLimit;
    const long long missed = periods >= 1.0 ? static_cast<long long>(periods) : 0;
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
  s.record.flush();
  s.timing.flush();
  s.record.close();
  s.timing.close();
  const long long intervals = s.frames > 1 ? s.frames - 1 : 0;
  const double sd = intervals > 1 ? std::sqrt(s.squares / static_cast<double>(intervals - 1)) : 0.0;
  Line summary;
  summary.text("Kestravon: ").integer(s.frames).text(" frames presented, ").integer(s.missed);
  summary.text(" refresh periods missed, interval mean ").milliseconds(s.mean).text(" ms, SD ").milliseconds(sd);
  summary.text(" ms\n");
  std::fflush(stdout);
  std::fwrite(summary.data(), 1, summary.size(), stderr);
  if (s.record.failed()) s.record.reportFailure();
  if (s.timing.failed()) s.timing.reportFailure();
  std::fflush(stderr);
  if (s.record.failed() || s.timing.failed()) {
    // The process is ending already (this runs at exit); only the status changes.
    std::_Exit(kRecordWriteFailedExitStatus);
  }
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
