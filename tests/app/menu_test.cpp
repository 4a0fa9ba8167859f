// The shared rules of the tested analyses, and the menu through the binary.
#include <gtest/gtest.h>

#include <sstream>

#include "app/menu.h"
#include "base/console.h"
#include "support/run_program.h"

namespace kalveno {
namespace {

void expect_count(const std::string& answer, int n_rep, bool both_kinds) {
  RandomizationCount count = read_randomization_count(answer);
  EXPECT_EQ(count.n_rep, n_rep) << '"' << answer << '"';
  EXPECT_EQ(count.both_kinds, both_kinds) << '"' << answer << '"';
}

TEST(RandomizationCount, FollowsTheCountRule) {
  expect_count("", 0, false);
  expect_count("   ", 0, false);
  expect_count("999", 999, false);
  expect_count("-999", 999, true);
  expect_count("-2", 2, true);
  expect_count("-100000", 100000, true);
  expect_count("100000", 100000, false);
  expect_count("100001", 0, false);
  expect_count("-100001", 0, false);
  expect_count("99999999999", 0, false);
  expect_count("-1", -1, false);
  expect_count("0", 0, false);
  expect_count("0999", 0, false);  // octal, stopping at the 9
  expect_count("0x10", 16, false);
  expect_count("many", -1, false);
}

TEST(DetailedReport, AnyNonBlankAnswerAsksForIt) {
  for (const auto& [answer, detailed] :
       std::vector<std::pair<std::string, bool>>{{"", false}, {"  ", false}, {"0", true}, {"x", true}}) {
    std::istringstream in(answer + "\n");
    std::ostringstream out;
    Console console(in, out);
    EXPECT_EQ(ask_detailed_report(console), detailed) << '"' << answer << '"';
    EXPECT_EQ(out.str(), "\n\nEnter 1 if you want a detailed report of randomization tests\n  otherwise press "
                         "RETURN (significant values indicated by * only)\n");
  }
}

TEST(Menu, AnyOtherAnswerEndsTheRunWithANoteRightAfterTheMenu) {
  for (const char* answer : {"4\n", "0\n", "\n", "word\n", "4294967297\n", ""}) {
    testing::TempFolder folder;  // a fresh one, lest the answer go to the existing-results question
    folder.write("in.txt", testing::source_file("examples/meuse.txt"));
    testing::ProgramRun run = testing::run_kalveno(folder.path(), {"in.txt", "out.txt"}, answer);
    EXPECT_EQ(run.status, 0);
    const std::string menu =
        "\n\n\nSelect the analysis to perform:\n  1-Spatial autocorrelation\n  2-Correlation between variables"
        "\n    (Warning: no toroidal tests available without grid defined)"
        "\n  3-Computing local means for quantitative variable\n"
        "\nNote: the answer chose no analysis (1, 2 or 3): the run ends.\n"
        "\nNote: the results were written to \"out.txt\".\n";
    ASSERT_GE(run.output.size(), menu.size());
    EXPECT_EQ(run.output.substr(run.output.size() - menu.size()), menu) << answer;
  }
}

}  // namespace
}  // namespace kalveno
