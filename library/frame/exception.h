// The library's exception for failures that carry a description.
#pragma once

#include <string>
#include <typeinfo>

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

}  // namespace Kestravon
