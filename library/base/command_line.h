// The program's command line: the options start-up reads before the
// routine runs. One syntax everywhere: Windows hands the program one
// string, POSIX systems an argument vector, which the entry function joins
// into such a string with Windows' quoting so that start-up splits both
// the same way.
#pragma once

#include <string>
#include <vector>

#include "library/base/adjustment_options.h"
#include "platform/platform.h"

namespace Kestravon {

// Where --photodiode puts its patch (Off without the option).
enum class PhotodiodeCorner { Off, TopLeft, TopRight, BottomLeft, BottomRight };
// "top-left", ...; null for Off.
const char* photodiodeCornerName(PhotodiodeCorner corner);

struct SessionOptions {
  std::string recordPath;                                    // --record FILE: the variables and every change
  std::string timingPath;                                    // --timing FILE: every presented frame's interval
  std::vector<std::string> settings;                         // --set "Label=value", in the order given
  platform::Priority priority = platform::Priority::Normal;  // --priority normal|high|realtime
  bool help = false;
  bool version = false;
  // The subject's display: which one, and the luminance response its
  // look-up table is to undo (at most one of the two gamma options).
  int screen = -1;                                      // --screen N; -1 when not given (the first display)
  std::string gammaExponents;                           // --gamma G or --gamma R,G,B
  std::string gammaTablePath;                           // --gamma-table FILE
  AdjustmentOptions adjustment;                         // --trials and the session's other options
  PhotodiodeCorner photodiode = PhotodiodeCorner::Off;  // --photodiode CORNER

  bool recording() const { return !recordPath.empty() || !timingPath.empty(); }
};

// Splits a command line as Windows programs do: blanks separate arguments,
// double quotes group, 2n backslashes before a quote give n and the quote
// acts, 2n+1 give n and a literal quote, other backslashes stand as they are.
std::vector<std::string> splitCommandLine(const char* commandLine);

// The inverse: quotes every argument that needs it, so that
// splitCommandLine gives the arguments back unchanged.
std::string joinCommandLine(const std::vector<std::string>& arguments);

// Reads the options; false with `error` set for an unknown option, a
// missing or empty value (or one that is "-" or starts with "--", a
// forgotten value followed by the next option), or a file option given twice.
// An adjustment session's options are checked here as far as they can be
// without the routine's variables: numbers in their bounds, --trials with
// --results, and no other session option without --trials.
bool parseOptions(const std::vector<std::string>& arguments, SessionOptions& options, std::string& error);

// What --help prints, naming the program as it was started ("stimulus",
// "flicker", ...).
std::string usageText(const std::string& program);

constexpr int kUsageExitStatus = 2;
constexpr const char* kKestravonVersion = "0.1";

}  // namespace Kestravon
