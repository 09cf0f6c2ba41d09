#include "library/base/priority.h"

#include <cstdio>

#include "library/base/base_state.h"

namespace Kestravon {

bool setPriority(Priority priority) {
  baseState.priorityAsked = priority;
  std::string refused;
  if (platform::setPriority(priority, refused)) return true;
  std::fprintf(stderr, "Kestravon: --priority %s: %s; running at %s\n", priorityName(priority), refused.c_str(),
               platform::describeScheduling().c_str());
  std::fflush(stderr);
  return false;
}

Priority priorityAsked() { return baseState.priorityAsked; }

std::string schedulingObtained() { return platform::describeScheduling(); }

bool priorityFromName(const std::string& name, Priority& priority) {
  for (Priority p : {Priority::Normal, Priority::High, Priority::Realtime}) {
    if (name == priorityName(p)) {
      priority = p;
      return true;
    }
  }
  return false;
}

}  // namespace Kestravon
