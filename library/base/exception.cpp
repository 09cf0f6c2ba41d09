#include "library/base/exception.h"

namespace Kestravon {

Exception::Exception() : origin_(&typeid(Exception)) {}

Exception::Exception(const std::type_info& origin, const std::string& title, const std::string& message)
    : origin_(&origin), title_(title), message_(message) {}

}  // namespace Kestravon
