// The program's entry: the backend's entry function (main, or WinMain on
// Windows) hands over what the process was started with; start-up runs
// the program's main routine, and the process ends with the status
// start-up settles on.
#include <string>
#include <vector>

#include "library/base/command_line.h"
#include "library/shell/startup.h"

void stimulus_main();

int Kestravon::platform::programEntry(const ProgramStart& start) {
  // One string, as Windows hands it over, so both read options alike.
  static std::string joined;
  const char* commandLine = start.commandLine;
  if (commandLine == nullptr) {
    const int count = start.argumentCount;
    joined = joinCommandLine(
        std::vector<std::string>(start.arguments + (count > 0 ? 1 : 0), start.arguments + (count > 0 ? count : 0)));
    commandLine = joined.c_str();
  }
  return finalStatus(startUp(start.instance, start.previousInstance, commandLine, start.showCommand, stimulus_main));
}
