// The file mechanics the session's CSV files share (the record, the timing
// file, an adjustment session's results): a file created new (an existing
// one is never overwritten), written from a fixed buffer that only ever
// holds whole rows, and, after a failed write, cut back to its last whole
// row (a partial row would read as a valid, wrong value) with nothing more
// written; and the fixed line buffer rows are composed in, so that the
// frame loop and a signal handler allocate nothing.
#pragma once

#include <cstddef>
#include <string>

namespace Kestravon {

// Appends text to a fixed line buffer; never past its end.
class Line {
 public:
  Line& text(const char* s);
  Line& text(const char* s, std::size_t n);
  Line& text(const std::string& s) { return text(s.c_str(), s.size()); }
  Line& integer(long long value);
  // Milliseconds with three decimals, as integers so no locale can change it.
  Line& milliseconds(double ms);
  // A number with up to six significant digits, whatever the C locale.
  Line& number(double value);
  // A CSV field: quoted, with its quotes doubled, when it holds a comma, a
  // quote or a line break.
  Line& field(const std::string& value);
  const char* data() const { return buffer_; }
  std::size_t size() const { return used_; }

 private:
  char buffer_[512];
  std::size_t used_ = 0;
};

class RecordFile {
 public:
  // Creates the file new; false, with `error` naming the file (as "the
  // `what` file") and why, when it cannot.
  bool create(const std::string& path, const char* what, std::string& error);
  // Writes the file's first lines: false, with `error` set, when that fails
  // (a full disk). Failures after that are reported the moment they happen.
  bool start(const char* header, std::size_t size, std::string& error);

  bool isOpen() const { return fd_ >= 0; }
  bool failed() const { return failed_; }
  const std::string& path() const { return path_; }

  // Appends whole rows.
  void append(const char* text, std::size_t size);
  void append(const char* text);
  void append(const Line& line) { append(line.data(), line.size()); }
  // False when this or an earlier write failed.
  bool flush();
  // The same from a signal handler: nothing when the signal came in the
  // middle of a write (its rows would be written twice). Async-signal-safe.
  bool flushAbruptly();
  // The failure, composed when it happened: printed from a signal handler too.
  void reportFailure() const;
  void close();
  // Removes a file this run created.
  void removeCreated();
  // The same from a signal handler: the path is kept.
  void removeCreatedAbruptly() const;

 private:
  bool writeAll(const char* data, std::size_t size);
  void fail(int code, long long wholeRows);

  int fd_ = -1;
  volatile int writing_ = 0;  // inside writeAll
  std::string path_;
  const char* what_ = "";
  char buffer_[16384];
  std::size_t used_ = 0;
  long long written_ = 0;  // bytes in the file: whole rows, except in the middle of a write
  bool failed_ = false;
  bool reportAtOnce_ = false;
  int errorCode_ = 0;
  char failureLine_[4608] = {};  // a path of up to 4096 bytes and the reason, whole
};

// Writes to standard error with no stdio buffer in between: also from a
// signal handler.
void writeToStandardError(const char* text, std::size_t size);
inline void writeToStandardError(const Line& line) { writeToStandardError(line.data(), line.size()); }

// Both names the same file: the second cannot be created because the
// first one is it.
bool sameFile(const std::string& a, const std::string& b);

// A file too large for the process's limit is a failed write (reported,
// status 3), not a signal that ends the stimulus. A handler the caller set
// is left alone.
void writeFailuresInsteadOfSignal();

// "# started 2026-12-08T23:39:49Z": the time a run's files were created, UTC.
std::string startedNow();

// The lines every file of a run has after its first two: the display
// asked and obtained, how swaps are synchronised, what the driver and the
// system granted, and `displayLines` (which display, its look-up table).
std::string runDescription(int width, int height, int bitsPerPixel, double refreshRate,
                           const std::string& displayLines);

}  // namespace Kestravon
