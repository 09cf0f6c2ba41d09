// The process-wide record of what the entry function received and what
// start-up created.
#pragma once

#include "library/base/command_line.h"
#include "platform/platform.h"

namespace Kestravon {

struct Application {
  platform::Instance instance = nullptr;
  platform::Instance previousInstance = nullptr;
  const char* commandLine = nullptr;
  int showCommand = 0;
  const char* className = nullptr;
  platform::WindowClass windowClass;
  platform::Window listenerWindow = nullptr;
  SessionOptions options;  // read from commandLine by start-up
};

// Its storage: LibraryState (library/shell/library_state.h).
extern Application& application;

}  // namespace Kestravon
