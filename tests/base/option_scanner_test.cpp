// The one reader of command lines: what it hands each program, in order,
// and the wording of its refusals, the same for every program.
#include "base/option_scanner.h"

#include <gtest/gtest.h>

namespace kalveno {
namespace {

const OptionName kCount{"count", 'c', true}, kQuiet{"quiet", 'q'}, kDry{"dry", 'n'}, kUnits{"units", 0, true},
    kMaps{"maps"};
const OptionName* const kWithShortForms[] = {&kCount, &kQuiet, &kDry};
const OptionName* const kLongOnly[] = {&kUnits, &kMaps};

struct Scan {
  std::string taken;  // "spelled=value;" for each option taken
  std::vector<std::string> operands;
  std::optional<std::string> problem;
};

Scan scan(std::span<const OptionName* const> names, const std::vector<std::string>& args) {
  Scan result;
  result.problem = scan_options(names, args, result.operands, [&](std::size_t, const std::string& spelled,
                                                                  const std::string& value) {
    if (value == "bad") return std::optional<std::string>(invalid_value(spelled, value, "good is expected"));
    result.taken += spelled + "=" + value + ";";
    return std::optional<std::string>();
  });
  return result;
}

TEST(OptionScanner, ReadsTheGnuForms) {
  struct Case {
    std::vector<std::string> args;
    std::string taken;
    std::vector<std::string> operands;
  };
  const Case cases[] = {
      {{"--count=3", "a", "--count", "4", "b"}, "--count=3;--count=4;", {"a", "b"}},
      {{"-qn", "-c5", "-qc", "6"}, "-q=;-n=;-c=5;-q=;-c=6;", {}},
      {{"-", "--", "--quiet", "-q"}, "", {"-", "--quiet", "-q"}},
      {{"--count", "--quiet"}, "--count=--quiet;", {}},
  };
  for (const Case& c : cases) {
    const Scan result = scan(kWithShortForms, c.args);
    EXPECT_EQ(result.problem, std::nullopt) << c.taken;
    EXPECT_EQ(result.taken, c.taken);
    EXPECT_EQ(result.operands, c.operands) << c.taken;
  }
  // Without one-letter forms a word with a single "-" is a file name.
  const Scan long_only = scan(kLongOnly, {"-x", "--units", "m", "-"});
  EXPECT_EQ(long_only.taken, "--units=m;");
  EXPECT_EQ(long_only.operands, (std::vector<std::string>{"-x", "-"}));
}

TEST(OptionScanner, WordsEachMistakeOneWay) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--colour"}, "unrecognized option '--colour'"},
      {{"-qx"}, "invalid option '-x'"},
      {{"--quiet=yes"}, "option '--quiet' takes no value"},
      {{"a", "--count"}, "option '--count' needs a value"},
      {{"-c"}, "option '-c' needs a value"},
      {{"-c", "bad", "--colour"}, "invalid value 'bad' for -c: good is expected"},
  };
  for (const auto& [args, problem] : cases) EXPECT_EQ(scan(kWithShortForms, args).problem, problem) << problem;
  EXPECT_EQ(scan(kLongOnly, {"--units"}).problem, "option '--units' needs a value");
}

}  // namespace
}  // namespace kalveno
