#include "library/base/command_line.h"

#include <cstring>

#include "library/base/priority.h"

namespace Kestravon {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// --screen, --gamma, --gamma-table: the value at arguments[i + 1] (i is
// moved past it). Their own values are checked when start-up reads them.
bool parseDisplayOption(const std::vector<std::string>& arguments, std::size_t& i, SessionOptions& options,
                        std::string& error) {
  const std::string& option = arguments[i];
  if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
    error = option + " needs a value";
    return false;
  }
  const std::string& value = arguments[++i];
  if (option == "--screen") {
    if (options.screen >= 0) {
      error = "--screen given twice";
      return false;
    }
    if (value.size() > 4 || value.find_first_not_of("0123456789") != std::string::npos) {
      error = "--screen needs a display number (0, 1, ...), not \"" + value + "\"";
      return false;
    }
    options.screen = std::stoi(value);
    return true;
  }
  std::string& target = option == "--gamma" ? options.gammaExponents : options.gammaTablePath;
  if (!target.empty()) {
    error = option + " given twice";
    return false;
  }
  target = value;
  if (!options.gammaExponents.empty() && !options.gammaTablePath.empty()) {
    error = "--gamma and --gamma-table both given; the display has one look-up table";
    return false;
  }
  return true;
}

}  // namespace

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
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    if (option == "--help" || option == "-h") {
      options.help = true;
      continue;
    }
    if (option == "--screen" || option == "--gamma" || option == "--gamma-table") {
      if (!parseDisplayOption(arguments, i, options, error)) return false;
      continue;
    }
    if (option == "--version") {
      options.version = true;
      continue;
    }
    if (option == "--priority") {
      if (i + 1 >= arguments.size() || !priorityFromName(arguments[i + 1], options.priority)) {
        error = "--priority takes normal, high or realtime" +
                (i + 1 < arguments.size() ? ", not \"" + arguments[i + 1] + "\"" : std::string());
        return false;
      }
      if (priorityGiven) {
        error = "--priority given twice";
        return false;
      }
      priorityGiven = true;
      ++i;
      continue;
    }
    std::string* target = nullptr;
    if (option == "--record") {
      target = &options.recordPath;
    } else if (option == "--timing") {
      target = &options.timingPath;
    } else if (option != "--set") {
      error = "unknown option \"" + option + "\"";
      return false;
    }
    if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
      error = option + " needs a value";
      return false;
    }
    const std::string& value = arguments[++i];
    // A forgotten value must not take the next option (or "-") as one: a
    // file named "--record" would be created and the option lost.
    if (value == "-" || value.rfind("--", 0) == 0) {
      error = option + " needs a value, not \"";
      error += value + "\"";
      return false;
    }
    if (target == nullptr) {
      if (value.find('=') == std::string::npos || value[0] == '=') {
        error = "--set needs \"Label=value\", not \"" + value + "\"";
        return false;
      }
      options.settings.push_back(value);
    } else if (!target->empty()) {
      error = option + " given twice";
      return false;
    } else {
      *target = value;
    }
  }
  if (!options.recordPath.empty() && options.recordPath == options.timingPath) {
    error = "--record and --timing name the same file";
    return false;
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
         "Files that already exist are never overwritten.\n";
}

}  // namespace Kestravon
