// The command line: arguments joined and split back as Windows reads them,
// and each mistake refused with what was wrong.
#include "library/base/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace Kestravon {
namespace {

TEST(CommandLineTest, JoinedArgumentsSplitBackUnchangedAsWindowsReadsThem) {
  const std::vector<std::string> arguments = {
      "--set", "Bar Width=8", "", "a\"b", "C:\\dir with space\\", "\\\\server\\share", "tab\there", "end\\\\\""};
  EXPECT_EQ(splitCommandLine(joinCommandLine(arguments).c_str()), arguments);
  // As a Windows shortcut or console would write them.
  EXPECT_EQ(splitCommandLine("  --record \"C:\\My Data\\s1.csv\"\t--set Bar\" Width=8\" \"a\\\"b\" \\\\x"),
            (std::vector<std::string>{"--record", "C:\\My Data\\s1.csv", "--set", "Bar Width=8", "a\"b", "\\\\x"}));
}

TEST(CommandLineTest, MistakesAreRefusedWithWhatWasWrong) {
  SessionOptions options;
  std::string error;
  const struct {
    std::vector<std::string> arguments;
    const char* says;
  } mistakes[] = {
      {{"--recrod", "a.csv"}, "unknown option \"--recrod\""},
      {{"--timing"}, "--timing needs a value"},
      {{"--record", ""}, "--record needs a value"},
      {{"--set", "Bar Width"}, "--set needs \"Label=value\""},
      {{"--record", "a", "--record", "b"}, "--record given twice"},
      {{"--record", "same.csv", "--timing", "same.csv"}, "name the same file"},
      {{"--priority", "fast"}, "--priority takes normal, high or realtime, not \"fast\""},
      {{"--priority"}, "--priority takes normal, high or realtime"},
      {{"--priority", "high", "--priority", "high"}, "--priority given twice"},
      // A forgotten value: the next option (or "-") is not taken as a file name.
      {{"--timing", "--record", "r.csv"}, "--timing needs a value, not \"--record\""},
      {{"--record", "--set", "SOA=3"}, "--record needs a value, not \"--set\""},
      {{"--record", "-"}, "--record needs a value, not \"-\""},
      {{"--set", "--help"}, "--set needs a value, not \"--help\""},
      // An adjustment session: numbers in their bounds, and nothing asked of a session that is not there.
      {{"--trials", "0", "--results", "r.csv"},
       "--trials takes a whole number of settings per condition from 1 to 1000, not \"0\""},
      {{"--trials", "1001", "--results", "r.csv"}, "from 1 to 1000, not \"1001\""},
      {{"--trials", "5"}, "--trials needs --results FILE"},
      {{"--results", "r.csv"}, "--results belongs to an adjustment session, which --trials N asks for"},
      {{"--trials", "5", "--results", "r.csv", "--gap", "10001"}, "--gap takes whole milliseconds from 0 to 10000"},
      {{"--trials", "5", "--results", "r.csv", "--gap", "0.5"}, "--gap takes whole milliseconds"},
      {{"--trials", "5", "--results", "r.csv", "--seed", "18446744073709551616"}, "--seed takes a whole number"},
      {{"--trials", "5", "--results", "r.csv", "--start", "0.6"}, "--start takes LO,HI"},
      {{"--trials", "5", "--results", "r.csv", "--start", "0.6,0.2"}, "LO below HI"},
      {{"--trials", "5", "--results", "r.csv", "--conditions", "SOA=1,,3"}, "--conditions needs \"Label=v1,v2,...\""},
      {{"--trials", "5", "--results", "r.csv", "--conditions", "=1,3"}, "--conditions needs"},
      {{"--trials", "5", "--results", "r.csv", "--trials", "6"}, "--trials given twice"},
      {{"--trials", "5", "--results", "r.csv", "--record", "r.csv"}, "--results and --record name the same file"},
  };
  for (const auto& mistake : mistakes) {
    EXPECT_FALSE(parseOptions(mistake.arguments, options, error));
    EXPECT_NE(error.find(mistake.says), std::string::npos) << error;
  }
  ASSERT_TRUE(parseOptions({"--set", "SOA=3", "--timing", "t.csv", "--set", "Bar Width=8", "--priority", "realtime"},
                           options, error));
  EXPECT_EQ(options.priority, platform::Priority::Realtime);
  EXPECT_EQ(options.settings, (std::vector<std::string>{"SOA=3", "Bar Width=8"}));
  EXPECT_EQ(options.timingPath, "t.csv");
  EXPECT_TRUE(options.recordPath.empty());
  EXPECT_FALSE(options.adjustment.requested());

  ASSERT_TRUE(parseOptions({"--trials", "1000", "--results", "r.csv", "--seed", "18446744073709551615", "--start",
                            "-1,0.25", "--gap", "0", "--adjust", "SOA"},
                           options, error))
      << error;
  EXPECT_EQ(options.adjustment.trials, 1000);
  EXPECT_EQ(options.adjustment.seed, 18446744073709551615u);
  EXPECT_TRUE(options.adjustment.seedGiven);
  EXPECT_EQ(options.adjustment.startLow, -1.0);
  EXPECT_EQ(options.adjustment.startHigh, 0.25);
  EXPECT_EQ(options.adjustment.gapMs, 0);
  EXPECT_EQ(options.adjustment.adjust, "SOA");
}

}  // namespace
}  // namespace Kestravon
