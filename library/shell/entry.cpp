// The process entry: the platform's graphical entry function hands its
// arguments to start-up, which runs the program's main routine, and ends
// the process with the status start-up settles on.
#include "library/shell/startup.h"

void stimulus_main();

#ifdef _WIN32
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand) {
  return Kestravon::finalStatus(Kestravon::startUp(reinterpret_cast<Kestravon::platform::Instance>(instance),
                                                   reinterpret_cast<Kestravon::platform::Instance>(previousInstance),
                                                   commandLine, showCommand, stimulus_main));
}
#else
#include <string>
#include <vector>

#include "library/base/command_line.h"

int main(int argc, char** argv) {
  // SW_SHOWNORMAL: what a program started from a desktop receives.
  constexpr int kShowNormal = 1;
  // One string, as Windows hands it over, so both read options alike.
  static const std::string commandLine = Kestravon::joinCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  return Kestravon::finalStatus(Kestravon::startUp(nullptr, nullptr, commandLine.c_str(), kShowNormal, stimulus_main));
}
#endif
