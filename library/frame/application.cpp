#include "library/frame/application.h"

namespace Kestravon {

Application application;

}  // namespace Kestravon
