// The library's exception for failures that carry a description.
#pragma once

#include <string>
#include <typeinfo>
#include <utility>

namespace Kestravon {

class Exception {
 public:
  Exception();
  Exception(const std::type_info& origin, const std::string& title, const std::string& message);

  const std::type_info& origin() const { return *origin_; }
  const std::string& title() const { return title_; }
  const std::string& message() const { return message_; }
  const std::string& detail() const { return detail_; }

 private:
  // A pointer rather than a reference keeps the class copy-assignable.
  const std::type_info* origin_;
  std::string title_;
  std::string message_;
  std::string detail_;
};

// A command line refused once the routine runs (a --set its variables
// refuse, a display that is not there). The library reports it this way
// rather than ending the process: start-up writes "Kestravon: " and the
// text to standard error and returns status 2.
class RefusedOption {
 public:
  explicit RefusedOption(std::string text) : text_(std::move(text)) {}
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace Kestravon
