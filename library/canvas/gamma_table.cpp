#include "library/canvas/gamma_table.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace Kestravon {

namespace {

const char* const kChannelNames[3] = {"r", "g", "b"};

std::string trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

std::vector<std::string> splitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(trim(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
    if (comma == std::string::npos) return fields;
    start = comma + 1;
  }
}

// The whole field as a number, whatever the C locale (NaN and infinities
// included: the caller says what is wrong with them); false when it is not one.
bool toNumber(const std::string& field, double& value) {
  const char* end = field.data() + field.size();
  const auto result = std::from_chars(field.data(), end, value);
  return !field.empty() && result.ec == std::errc() && result.ptr == end;
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// The optional first row "r,g,b" (any case).
bool isHeader(const std::vector<std::string>& fields) {
  if (fields.size() != 3) return false;
  for (std::size_t c = 0; c < 3; ++c) {
    const std::string& field = fields[c];
    if (field.size() != 1 || std::tolower(static_cast<unsigned char>(field[0])) != kChannelNames[c][0]) return false;
  }
  return true;
}

std::vector<double>& curveOf(ChannelCurves& curves, int channel) {
  return channel == 0 ? curves.red : channel == 1 ? curves.green : curves.blue;
}
const std::vector<double>& curveOf(const ChannelCurves& curves, int channel) {
  return channel == 0 ? curves.red : channel == 1 ? curves.green : curves.blue;
}

std::uint16_t toEntry(double value) {
  if (!(value > 0.0)) return 0;
  if (value >= 1.0) return 65535;
  return static_cast<std::uint16_t>(std::lround(value * 65535.0));
}

// The smallest input level (0 to 1) at which the measured curve reaches
// `target`, interpolating linearly between rows; `row` is where the search
// starts (targets come in rising order) and is left where it ended.
double levelReaching(const std::vector<double>& curve, double target, std::size_t& row) {
  const std::size_t last = curve.size() - 1;
  if (target <= curve[0]) return 0.0;
  while (row < last && curve[row + 1] < target) ++row;
  if (row >= last) return 1.0;
  const double rise = curve[row + 1] - curve[row];
  const double within = rise > 0.0 ? (target - curve[row]) / rise : 0.0;
  return (static_cast<double>(row) + within) / static_cast<double>(last);
}

}  // namespace

bool parseGammaExponents(const std::string& text, DisplayResponse& response, std::string& error) {
  const std::vector<std::string> fields = splitFields(text);
  if (fields.size() != 1 && fields.size() != 3) {
    error = "--gamma \"" + text + "\": give one exponent, or three as R,G,B";
    return false;
  }
  DisplayResponse parsed;
  parsed.source = "exponents ";
  for (int c = 0; c < 3; ++c) {
    const std::string& field = fields[fields.size() == 1 ? 0 : static_cast<std::size_t>(c)];
    double value = 0.0;
    if (!toNumber(field, value) || !std::isfinite(value)) {
      error.assign("--gamma \"").append(text).append("\": \"").append(field).append("\" is not a number");
      return false;
    }
    if (value < kMinGammaExponent || value > kMaxGammaExponent) {
      error.assign("--gamma \"").append(text).append("\": ").append(field).append(" is outside 0.5 to 5");
      return false;
    }
    parsed.exponents[c] = value;
    parsed.source += (c > 0 ? "," : "") + number(value);
  }
  response = parsed;
  return true;
}

bool parseGammaTable(const std::string& contents, const std::string& name, DisplayResponse& response,
                     std::string& error) {
  DisplayResponse parsed;
  // A spreadsheet's "CSV UTF-8" starts with a byte-order mark; UTF-16 text
  // ("Unicode text") would read as numbers with a NUL between each digit.
  const bool utf8Mark = contents.compare(0, 3, "\xEF\xBB\xBF") == 0;
  if (contents.compare(0, 2, "\xFF\xFE") == 0 || contents.compare(0, 2, "\xFE\xFF") == 0) {
    error = name + ": the file is UTF-16 text; save it as CSV (UTF-8 or plain)";
    return false;
  }
  std::istringstream lines(utf8Mark ? contents.substr(3) : contents);
  std::string line;
  int lineNumber = 0;
  int lastRowLine = 0;
  bool sawData = false;
  while (std::getline(lines, line)) {
    ++lineNumber;
    const std::string where = name + " line " + std::to_string(lineNumber) + ": ";
    if (line.find('\0') != std::string::npos) {
      error = where + "a NUL byte; a table is text (CSV)";
      return false;
    }
    line = trim(line.substr(0, line.find('#')));
    if (!line.empty() && line.back() == '\r') line = trim(line.substr(0, line.size() - 1));
    if (line.empty()) continue;
    const std::vector<std::string> fields = splitFields(line);
    if (!sawData && isHeader(fields)) {
      sawData = true;
      continue;
    }
    sawData = true;
    if (fields.size() != 3) {
      error = where + std::to_string(fields.size()) + (fields.size() == 1 ? " column" : " columns") +
              " where three (r,g,b) belong";
      return false;
    }
    if (parsed.measured.red.size() == kMaxCurveEntries) {
      error = where + "more than 4096 rows";
      return false;
    }
    for (int c = 0; c < 3; ++c) {
      const std::string& field = fields[static_cast<std::size_t>(c)];
      std::vector<double>& curve = curveOf(parsed.measured, c);
      double value = 0.0;
      error.assign(where).append("the ").append(kChannelNames[c]).append(" value ");
      if (!toNumber(field, value) || !std::isfinite(value)) {
        error.append("\"").append(field).append("\" is not a number");
        return false;
      }
      if (value < 0.0 || value > 1.0) {
        error.append(field).append(" is outside 0 to 1");
        return false;
      }
      if (!curve.empty() && value < curve.back()) {
        error.append(field).append(" is below the one on line ").append(std::to_string(lastRowLine));
        error.append(" (").append(number(curve.back())).append("); a measured table never decreases");
        return false;
      }
      curve.push_back(value);
    }
    lastRowLine = lineNumber;
  }
  const std::size_t rows = parsed.measured.red.size();
  if (rows < kMinCurveEntries) {
    error = name + ": " + std::to_string(rows) + (rows == 1 ? " row" : " rows") + "; a table needs 2 to 4096 rows";
    return false;
  }
  for (int c = 0; c < 3; ++c) {
    const std::vector<double>& curve = curveOf(parsed.measured, c);
    if (!(curve.back() > curve.front())) {
      error = name + ": the " + kChannelNames[c] + " column never rises, so nothing can linearise it";
      return false;
    }
  }
  char checksum[16];
  std::snprintf(checksum, sizeof checksum, "0x%08lx", static_cast<unsigned long>(crc32(contents)));
  parsed.source = "table \"" + name + "\" (CRC-32 " + checksum + ", " + std::to_string(rows) + " rows)";
  response = parsed;
  return true;
}

bool readGammaTable(const std::string& path, DisplayResponse& response, std::string& error) {
  const std::string what = "the gamma table \"" + path + "\"";
  // Only a regular file: a directory reads as nothing, a FIFO waits for a
  // writer, and a device (/dev/zero) never ends.
  std::error_code code;
  const std::filesystem::file_status status = std::filesystem::status(path, code);
  if (code && status.type() != std::filesystem::file_type::not_found) {
    error = "cannot read " + what + ": " + code.message();
    return false;
  }
  if (status.type() == std::filesystem::file_type::directory) {
    error = "cannot read " + what + ": it is a directory";
    return false;
  }
  if (status.type() != std::filesystem::file_type::not_found && status.type() != std::filesystem::file_type::regular) {
    error = "cannot read " + what + ": it is not a regular file (a device, a FIFO or a socket)";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + what + ": " + std::strerror(errno);
    return false;
  }
  // Read no more than a table can be (however large the file, or if it grows).
  std::string contents(kMaxGammaTableBytes + 1, '\0');
  in.read(&contents[0], static_cast<std::streamsize>(contents.size()));
  if (in.bad()) {
    error = "cannot read " + what;
    return false;
  }
  contents.resize(static_cast<std::size_t>(in.gcount()));
  if (contents.size() > kMaxGammaTableBytes) {
    error = what + " is larger than " + std::to_string(kMaxGammaTableBytes / (std::size_t{1024} * 1024)) +
            " MB; a table of at most 4096 rows is far smaller";
    return false;
  }
  return parseGammaTable(contents, path, response, error);
}

bool checkCurves(const ChannelCurves& curves, std::string& error) {
  const std::size_t size = curves.red.size();
  for (int c = 0; c < 3; ++c) {
    const std::vector<double>& curve = curveOf(curves, c);
    const std::string channel = std::string("the ") + kChannelNames[c] + " curve";
    if (curve.size() < kMinCurveEntries || curve.size() > kMaxCurveEntries) {
      error = channel + " has " + std::to_string(curve.size()) + " entries; a table needs 2 to 4096";
      return false;
    }
    if (curve.size() != size) {
      error =
          channel + " has " + std::to_string(curve.size()) + " entries where the r curve has " + std::to_string(size);
      return false;
    }
    for (std::size_t i = 0; i < curve.size(); ++i) {
      const std::string entry = channel + " entry " + std::to_string(i);
      if (!std::isfinite(curve[i]) || curve[i] < 0.0 || curve[i] > 1.0) {
        error = entry + " (" + number(curve[i]) + ") is outside 0 to 1";
        return false;
      }
      if (i > 0 && curve[i] < curve[i - 1]) {
        error = entry + " (" + number(curve[i]) + ") is below the one before it";
        return false;
      }
    }
  }
  return true;
}

std::vector<std::uint16_t> inverseRamp(const DisplayResponse& response, int size) {
  std::vector<std::uint16_t> ramp;
  if (size < 2) return ramp;
  ramp.reserve(static_cast<std::size_t>(size) * 3);
  const double last = static_cast<double>(size - 1);
  for (int c = 0; c < 3; ++c) {
    const std::vector<double>& curve = curveOf(response.measured, c);
    std::size_t row = 0;
    for (int i = 0; i < size; ++i) {
      const double wanted = static_cast<double>(i) / last;
      if (curve.empty()) {
        ramp.push_back(toEntry(std::pow(wanted, 1.0 / response.exponents[c])));
      } else {
        // From the darkest to the brightest luminance this channel reaches.
        const double target = curve.front() + wanted * (curve.back() - curve.front());
        ramp.push_back(toEntry(levelReaching(curve, target, row)));
      }
    }
  }
  return ramp;
}

std::vector<std::uint16_t> resampleCurves(const ChannelCurves& curves, int size) {
  std::vector<std::uint16_t> ramp;
  if (size < 2) return ramp;
  ramp.reserve(static_cast<std::size_t>(size) * 3);
  for (int c = 0; c < 3; ++c) {
    const std::vector<double>& curve = curveOf(curves, c);
    const double span = static_cast<double>(curve.size() - 1);
    for (int i = 0; i < size; ++i) {
      const double position = static_cast<double>(i) * span / static_cast<double>(size - 1);
      const std::size_t below = static_cast<std::size_t>(position);
      if (below + 1 >= curve.size()) {
        ramp.push_back(toEntry(curve.back()));
        continue;
      }
      const double within = position - static_cast<double>(below);
      ramp.push_back(toEntry(curve[below] + within * (curve[below + 1] - curve[below])));
    }
  }
  return ramp;
}

std::uint32_t crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

}  // namespace Kestravon
