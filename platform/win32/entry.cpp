// The process entry: WinMain hands what Windows started the program with
// (its command line as one string) to the library's entry.
#include <windows.h>

#include "platform/platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand) {
  Kestravon::platform::ProgramStart start;
  start.instance = reinterpret_cast<Kestravon::platform::Instance>(instance);
  start.previousInstance = reinterpret_cast<Kestravon::platform::Instance>(previousInstance);
  start.commandLine = commandLine;
  start.showCommand = showCommand;
  return Kestravon::platform::programEntry(start);
}
