// The file mechanics the session's CSV files share (the record, the timing
// file, an adjustment session's results), on the platform's file calls: a
// file created new (an existing one is never overwritten), written from a
// fixed buffer that only ever holds whole rows, and, after a failed write,
// cut back to its last whole row (a partial row would read as a valid,
// wrong value) with nothing more written.
#pragma once

#include <cstddef>
#include <string>

#include "library/shell/record_format.h"

namespace Kestravon {

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

  platform::File fd_ = -1;
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

}  // namespace Kestravon
