#include "library/shell/record_format.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>

#include "library/base/priority.h"
#include "platform/platform.h"

namespace Kestravon {

// ---- Line ------------------------------------------------------------------

Line& Line::text(const char* s) { return text(s, std::strlen(s)); }

Line& Line::text(const char* s, std::size_t n) {
  if (n > sizeof buffer_ - used_) n = sizeof buffer_ - used_;
  std::memcpy(buffer_ + used_, s, n);
  used_ += n;
  return *this;
}

Line& Line::integer(long long value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return text(digits, static_cast<std::size_t>(end - digits));
}

Line& Line::milliseconds(double ms) {
  long long thousandths = std::llround(ms * 1000.0);
  if (thousandths < 0) {
    text("-");
    thousandths = -thousandths;
  }
  integer(thousandths / 1000);
  char fraction[4] = {'.', static_cast<char>('0' + thousandths % 1000 / 100),
                      static_cast<char>('0' + thousandths % 100 / 10), static_cast<char>('0' + thousandths % 10)};
  return text(fraction, 4);
}

Line& Line::number(double value) {
  char digits[32];
  const auto end = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 6).ptr;
  return text(digits, static_cast<std::size_t>(end - digits));
}

Line& Line::field(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return text(value.c_str(), value.size());
  text("\"");
  for (char c : value) {
    if (c == '"') text("\"");
    text(&c, 1);
  }
  return text("\"");
}

// ---- what every file of a run says first ------------------------------------

std::string startedNow() {
  char started[32] = {};
  const std::time_t t = std::time(nullptr);
  if (const std::tm* utc = std::gmtime(&t)) std::strftime(started, sizeof started, "%Y-%m-%dT%H:%M:%SZ", utc);
  return started;
}

namespace {

const char* describeSync(platform::SwapSync sync) {
  switch (sync) {
    case platform::SwapSync::ByDriver: return "swaps synchronised by the display driver";
    case platform::SwapSync::ByBackend:
      return "swaps paced to the refresh period by the program (the driver cannot sync)";
    case platform::SwapSync::Unsynchronised: break;
  }
  return "swaps not synchronised";
}

}  // namespace

std::string runDescription(int width, int height, int bitsPerPixel, double refreshRate,
                           const std::string& displayLines) {
  std::string lines = displayLines;
  platform::DisplayMode obtained;
  const platform::SwapSync sync = platform::describeDisplay(obtained);
  Line display;
  display.text("# display asked ").integer(width).text("x").integer(height).text(", ").integer(bitsPerPixel);
  display.text(" bits, ").integer(std::lround(refreshRate)).text(" Hz; obtained ").integer(obtained.width);
  display.text("x").integer(obtained.height).text(", ").integer(obtained.bitsPerPixel).text(" bits, ");
  if (obtained.frequency > 0) {
    display.integer(obtained.frequency).text(" Hz\n");
  } else {
    display.text("rate unknown\n");
  }
  display.text("# ").text(describeSync(sync)).text("\n");
  lines.append(display.data(), display.size());
  // What was asked of the driver and the system, and what they granted.
  Line granted;
  const platform::SwapCheck check = platform::describeSwapCheck();
  if (check.intervalAsked || check.testSwaps > 0) {
    granted.text("# swap interval 1 ");
    if (check.intervalAsked) {
      granted.text(check.intervalAccepted ? "asked of the driver: accepted" : "asked of the driver: refused");
    } else {
      granted.text("not offered by the driver");
    }
    if (check.testSwaps > 0) {
      granted.text("; ").integer(check.testSwaps).text(" blank test swaps when shown: ");
      granted.milliseconds(check.testSwapMs).text(" ms apart");
    }
    granted.text("\n");
  }
  const std::string scheduling = schedulingObtained();
  granted.text("# priority asked ").text(priorityName(priorityAsked())).text("; obtained ").text(scheduling.c_str());
  granted.text("\n");
  lines.append(granted.data(), granted.size());
  return lines;
}

}  // namespace Kestravon
