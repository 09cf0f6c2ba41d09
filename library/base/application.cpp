#include "library/base/application.h"

namespace Kestravon {

Application application;

}  // namespace Kestravon
