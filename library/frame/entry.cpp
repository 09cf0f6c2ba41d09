// The process entry: the platform's graphical entry function hands its
// arguments to start-up, which runs the program's main routine.
#include "library/frame/startup.h"

void stimulus_main();

#ifdef _WIN32
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand) {
  return Kestravon::startUp(reinterpret_cast<Kestravon::platform::Instance>(instance),
                            reinterpret_cast<Kestravon::platform::Instance>(previousInstance), commandLine,
                            showCommand, stimulus_main);
}
#else
int main(int, char**) {
  // SW_SHOWNORMAL: what a program started from a desktop receives.
  constexpr int kShowNormal = 1;
  return Kestravon::startUp(nullptr, nullptr, "", kShowNormal, stimulus_main);
}
#endif
