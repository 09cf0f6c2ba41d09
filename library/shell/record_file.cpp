#include "library/shell/record_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace Kestravon {

bool RecordFile::create(const std::string& path, const char* what, std::string& error) {
  if (platform::namesDevice(path.c_str())) {
    error = std::string("cannot create the ") + what + " file \"" + path +
            "\": the name is a device's on Windows (CON, PRN, AUX, NUL, COM1, LPT1, ...), not a file";
    return false;
  }
  int code = 0;
  fd_ = platform::createNewFile(path.c_str(), code);
  if (fd_ < 0) {
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
  if (failed_) platform::writeToStandardError(failureLine_, std::strlen(failureLine_));
}

void RecordFile::close() {
  if (fd_ >= 0) platform::closeFile(fd_);
  fd_ = -1;
}

void RecordFile::removeCreated() {
  close();
  if (!path_.empty()) platform::removeFile(path_.c_str());
  path_.clear();
}

void RecordFile::removeCreatedAbruptly() const {
  if (!path_.empty()) platform::removeFile(path_.c_str());
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
    int error = 0;
    const long written = platform::writeFile(fd_, data, size, error);
    if (written <= 0) {
      // Keep the whole rows that made it; the rest of the last one goes.
      long long kept = written_ - before;
      while (kept > 0 && begin[kept - 1] != '\n') --kept;
      fail(written < 0 ? error : ENOSPC, before + kept);
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
  if (written_ > wholeRows) platform::truncateFile(fd_, wholeRows);
  const int length = std::snprintf(failureLine_, sizeof failureLine_,
                                   "Kestravon: writing the %s file \"%s\" failed: %s; the rows after that are lost\n",
                                   what_, path_.c_str(), std::strerror(code));
  if (length >= static_cast<int>(sizeof failureLine_)) {  // a longer path still ends its line
    std::memcpy(failureLine_ + sizeof failureLine_ - 5, "...\n", 5);
  }
  if (reportAtOnce_) reportFailure();
}

}  // namespace Kestravon
