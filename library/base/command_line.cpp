#include "library/base/command_line.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "library/base/priority.h"

namespace Kestravon {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The value of the option at arguments[i], which is then moved past it:
// false when there is none, or it is empty, "-" or the next option (a
// forgotten value must not be taken as one: a file named "--record" would
// be created and the option lost). `value` is what was there, if anything.
bool takeValue(const std::vector<std::string>& arguments, std::size_t& i, std::string& value) {
  value = i + 1 < arguments.size() ? arguments[++i] : std::string();
  return !value.empty() && value != "-" && value.rfind("--", 0) != 0;
}

// The whole text as a decimal number of type T (no sign for an unsigned
// one, no locale); false for anything else.
template <typename T>
bool wholeNumber(const std::string& text, T& out) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, out);
  return result.ec == std::errc() && result.ptr == end;
}

bool realNumber(const std::string& text, double& out) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, out);
  return !text.empty() && result.ec == std::errc() && result.ptr == end && std::isfinite(out);
}

const char* const kCornerNames[] = {"top-left", "top-right", "bottom-left", "bottom-right"};

bool isSessionOption(const std::string& option) {
  return option == "--trials" || option == "--adjust" || option == "--start" || option == "--seed" ||
         option == "--conditions" || option == "--gap" || option == "--results";
}

// One of the session's options, its value taken; false with `error` set.
bool takeSessionOption(const std::string& option, const std::string& value, AdjustmentOptions& session,
                       std::string& error) {
  const std::string notThat = ", not \"" + value + "\"";
  if (option == "--trials") {
    int trials = 0;
    if (!wholeNumber(value, trials) || trials < 1 || trials > kMaxTrials) {
      error =
          "--trials takes a whole number of settings per condition from 1 to " + std::to_string(kMaxTrials) + notThat;
      return false;
    }
    session.trials = trials;
  } else if (option == "--gap") {
    int gap = 0;
    if (!wholeNumber(value, gap) || gap > kMaxGapMs) {
      error = "--gap takes whole milliseconds from 0 to " + std::to_string(kMaxGapMs) + notThat;
      return false;
    }
    session.gapMs = gap;
  } else if (option == "--seed") {
    if (!wholeNumber(value, session.seed)) {
      error = "--seed takes a whole number from 0 to 18446744073709551615" + notThat;
      return false;
    }
    session.seedGiven = true;
  } else if (option == "--start") {
    const std::size_t comma = value.find(',');
    if (comma == std::string::npos || !realNumber(value.substr(0, comma), session.startLow) ||
        !realNumber(value.substr(comma + 1), session.startHigh) || !(session.startLow < session.startHigh)) {
      error = "--start takes LO,HI, two numbers with LO below HI" + notThat;
      return false;
    }
    session.startGiven = true;
  } else if (option == "--conditions") {
    const std::size_t equals = value.find('=');
    bool wellFormed = equals != std::string::npos && equals > 0 && equals + 1 < value.size();
    if (wellFormed) {
      const std::string values = "," + value.substr(equals + 1) + ",";
      wellFormed = values.find(",,") == std::string::npos;
    }
    if (!wellFormed) {
      error = "--conditions needs \"Label=v1,v2,...\"" + notThat;
      return false;
    }
    session.conditions = value;
  } else if (option == "--adjust") {
    session.adjust = value;
  } else {
    session.resultsPath = value;
  }
  return true;
}

}  // namespace

const char* photodiodeCornerName(PhotodiodeCorner corner) {
  return corner == PhotodiodeCorner::Off ? nullptr : kCornerNames[static_cast<int>(corner) - 1];
}

std::vector<std::string> splitCommandLine(const char* commandLine) {
  std::vector<std::string> arguments;
  if (commandLine == nullptr) return arguments;
  const char* p = commandLine;
  for (;;) {
    while (isBlank(*p)) ++p;
    if (*p == '\0') break;
    std::string argument;
    bool quoted = false;
    while (*p != '\0' && (quoted || !isBlank(*p))) {
      if (*p == '\\') {
        std::size_t slashes = 0;
        while (*p == '\\') {
          ++slashes;
          ++p;
        }
        if (*p == '"') {
          argument.append(slashes / 2, '\\');
          if (slashes % 2 == 1) {
            argument += '"';
            ++p;
          }
        } else {
          argument.append(slashes, '\\');
        }
      } else if (*p == '"') {
        // Inside quotes, "" is a literal quote (as the C runtime reads it).
        if (quoted && p[1] == '"') {
          argument += '"';
          p += 2;
        } else {
          quoted = !quoted;
          ++p;
        }
      } else {
        argument += *p++;
      }
    }
    arguments.push_back(argument);
  }
  return arguments;
}

std::string joinCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line += ' ';
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
      line += argument;  // backslashes not before a quote stand as they are
      continue;
    }
    line += '"';
    std::size_t slashes = 0;
    for (char c : argument) {
      if (c == '\\') {
        ++slashes;
        continue;
      }
      if (c == '"') {
        line.append(slashes * 2 + 1, '\\');
      } else {
        line.append(slashes, '\\');
      }
      slashes = 0;
      line += c;
    }
    line.append(slashes * 2, '\\');  // before the closing quote
    line += '"';
  }
  return line;
}

bool parseOptions(const std::vector<std::string>& arguments, SessionOptions& options, std::string& error) {
  options = SessionOptions();
  bool priorityGiven = false;
  std::vector<std::string> sessionOptionsGiven;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    if (option == "--help" || option == "-h") {
      options.help = true;
      continue;
    }
    if (option == "--version") {
      options.version = true;
      continue;
    }
    if (option != "--record" && option != "--timing" && option != "--set" && option != "--priority" &&
        option != "--screen" && option != "--gamma" && option != "--gamma-table" && option != "--photodiode" &&
        !isSessionOption(option)) {
      error = "unknown option \"" + option + "\"";
      return false;
    }
    std::string value;
    const bool given = takeValue(arguments, i, value);
    const std::string notThat = value.empty() ? std::string() : ", not \"" + value + "\"";
    if (option == "--priority") {
      if (!given || !priorityFromName(value, options.priority)) {
        error = "--priority takes normal, high or realtime" + notThat;
        return false;
      }
      if (priorityGiven) {
        error = "--priority given twice";
        return false;
      }
      priorityGiven = true;
      continue;
    }
    if (!given) {
      error = option;
      error.append(" needs a value").append(notThat);
      return false;
    }
    if (option == "--photodiode") {
      if (options.photodiode != PhotodiodeCorner::Off) {
        error = "--photodiode given twice";
        return false;
      }
      for (int corner = 0; corner < 4; ++corner) {
        if (value == kCornerNames[corner]) options.photodiode = static_cast<PhotodiodeCorner>(corner + 1);
      }
      if (options.photodiode == PhotodiodeCorner::Off) {
        error = "--photodiode takes top-left, top-right, bottom-left or bottom-right" + notThat;
        return false;
      }
    } else if (isSessionOption(option)) {
      for (const std::string& earlier : sessionOptionsGiven) {
        if (earlier == option) {
          error = option + " given twice";
          return false;
        }
      }
      sessionOptionsGiven.push_back(option);
      if (!takeSessionOption(option, value, options.adjustment, error)) return false;
    } else if (option == "--set") {
      if (value.find('=') == std::string::npos || value[0] == '=') {
        error = "--set needs \"Label=value\", not \"" + value + "\"";
        return false;
      }
      options.settings.push_back(value);
    } else if (option == "--screen") {
      if (options.screen >= 0) {
        error = "--screen given twice";
        return false;
      }
      if (value.size() > 4 || value.find_first_not_of("0123456789") != std::string::npos) {
        error = "--screen needs a display number (0, 1, ...)" + notThat;
        return false;
      }
      options.screen = std::stoi(value);
    } else {
      std::string& target = option == "--record"   ? options.recordPath
                            : option == "--timing" ? options.timingPath
                            : option == "--gamma"  ? options.gammaExponents
                                                   : options.gammaTablePath;
      if (!target.empty()) {
        error = option + " given twice";
        return false;
      }
      target = value;
    }
  }
  if (!options.gammaExponents.empty() && !options.gammaTablePath.empty()) {
    error = "--gamma and --gamma-table both given; the display has one look-up table";
    return false;
  }
  if (!options.recordPath.empty() && options.recordPath == options.timingPath) {
    error = "--record and --timing name the same file";
    return false;
  }
  const AdjustmentOptions& session = options.adjustment;
  if (!sessionOptionsGiven.empty() && !session.requested()) {
    error = sessionOptionsGiven.front() + " belongs to an adjustment session, which --trials N asks for";
    return false;
  }
  if (session.requested() && session.resultsPath.empty()) {
    error = "--trials needs --results FILE: a session whose settings go nowhere is a lost session";
    return false;
  }
  for (const std::string* other : {&options.recordPath, &options.timingPath}) {
    if (!session.resultsPath.empty() && session.resultsPath == *other) {
      error = std::string("--results and ") + (other == &options.recordPath ? "--record" : "--timing") +
              " name the same file";
      return false;
    }
  }
  return true;
}

std::string usageText(const std::string& program) {
  return "usage: " + program +
         " [--record FILE] [--timing FILE] [--set \"Label=value\"]... [--priority LEVEL] [--help]\n" +
         std::string(8 + program.size(), ' ') + "[--version]\n" +
         "\n"
         "With no options the program shows the stimulus and records nothing.\n"
         "  --record FILE          write every variable's starting value and every change the\n"
         "                         console makes, with its frame and time, to a new CSV file\n"
         "  --timing FILE          write every presented frame's interval and missed refresh\n"
         "                         periods to a new CSV file\n"
         "  --set \"Label=value\"    start the variable with this label at this value (repeatable)\n"
         "  --priority LEVEL       run the frames at normal (the default), high or realtime\n"
         "                         priority; what the system grants is stated in the files\n"
         "  --help                 show this text\n"
         "  --version              show the version\n"
         "The subject's display: [--screen N] [--gamma G | --gamma R,G,B | --gamma-table FILE]\n"
         "  --screen N             open on display N (0 is the first; the default)\n"
         "  --gamma G | R,G,B      the display's measured gamma exponents (0.5 to 5): load their\n"
         "                         inverse into its look-up table while the program runs\n"
         "  --gamma-table FILE     the same from a measured table: CSV rows r,g,b of normalised\n"
         "                         luminance for equally spaced levels from 0 to 1 (2 to 4096 rows)\n"
         "An adjustment session: --trials N --results FILE [--adjust \"Label\"] [--start LO,HI]\n"
         "                      [--seed S] [--conditions \"Label=v1,v2,...\"] [--gap MS]\n"
         "  --trials N             N settings per condition (1 to 1000): each trial starts the adjusted\n"
         "                         variable at a random value; Right/Left step it (Shift: the other\n"
         "                         step), Return or Space accepts it; the console is hidden\n"
         "  --results FILE         every accepted setting as a CSV row, written at once; the summary\n"
         "                         (mean, SD, 95% confidence interval per condition) at the end\n"
         "  --adjust \"Label\"       the variable the observer adjusts (default \"Green luminance\")\n"
         "  --start LO,HI          draw the starts from the variable's step grid within LO..HI\n"
         "                         (default: its whole range)\n"
         "  --seed S               the random starts and order from this seed (default: the clock's)\n"
         "  --conditions \"Label=v1,v2,...\"  another variable takes each value for N trials, in\n"
         "                         blocks of one trial per condition, each block in a new order\n"
         "  --gap MS               the fixation mark alone between two trials (default 500)\n"
         "  --photodiode CORNER    a 50-pixel square in that corner (top-left, top-right, bottom-left,\n"
         "                         bottom-right), white on the frames that carry the flash, black on the\n"
         "                         others: for a light sensor\n"
         "Files that already exist are never overwritten.\n";
}

}  // namespace Kestravon
