// The process entry where it is main (POSIX systems): main hands its
// arguments to the library's entry.
#include "platform/platform.h"

int main(int argc, char** argv) {
  Kestravon::platform::ProgramStart start;
  start.argumentCount = argc;
  start.arguments = argv;
  return Kestravon::platform::programEntry(start);
}
