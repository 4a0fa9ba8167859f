// Menu choice 2 through the real binary: which series run for which answer,
// in which order, and the results file byte for byte.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/run_program.h"

namespace kalveno::testing {
namespace {

// Runs choice 2 on a data file of the source tree with the count answer and, when
// the question comes, the detail answer; returns the screen output.
struct AssociationRun {
  TempFolder folder;
  ProgramRun run;
  AssociationRun(const std::string& data_file, const std::string& answers,
                 const std::map<std::string, std::string>& env = {}) {
    folder.write("in.txt", source_file(data_file));
    run = run_kalveno(folder.path(), {}, "\n\n2\n" + answers, env);
  }
  std::string results() const { return folder.read("out.txt"); }
  bool screen_has(const std::string& text) const { return run.output.find(text) != std::string::npos; }
};

const char* kDetailQuestion = "Enter 1 if you want a detailed report";

TEST(AssociationRun, GridsAndAPositiveCountRunTheToroidalSeriesOnly) {
  AssociationRun a("tests/data/assoc_grid.txt", "999\n1\n");
  EXPECT_EQ(a.run.status, 0);
  EXPECT_TRUE(a.screen_has("TESTED BY TORUS-TRANSLATIONS"));
  EXPECT_TRUE(a.screen_has("\n\nTest correlation between variables by 999 toroidal randomizations\n"
                           " 10 20 30 40 50 60 70 80 90 100 200 300 400 500 600 700 800 900"));
  EXPECT_FALSE(a.screen_has("complete randomizations"));
  EXPECT_EQ(a.results(), source_file("tests/data/expected/assoc_grid_toroidal.txt"));
}

TEST(AssociationRun, GridsAndANegativeCountRunToroidalThenComplete) {
  AssociationRun a("tests/data/assoc_grid.txt", "-999\n\n");
  EXPECT_EQ(a.run.status, 0);
  const std::string expected = source_file("tests/data/expected/assoc_grid_both.txt");
  EXPECT_EQ(a.results(), expected);
  EXPECT_LT(expected.find("WITHIN GROUP TOROIDAL randomization"), expected.find("COMPLETE randomization"));
  EXPECT_EQ(expected.find("DETAILS"), std::string::npos);
}

TEST(AssociationRun, ResultsDoNotDependOnTheNumberOfWorkersNorTheVectorInstructions) {
  const std::string expected = source_file("tests/data/expected/assoc_grid_both.txt");
  for (auto [name, value] : {std::pair{"KALVENO_THREADS", "1"}, std::pair{"KALVENO_THREADS", "4"},
                             std::pair{"KALVENO_VECTORS", "sse2"}}) {
    AssociationRun a("tests/data/assoc_grid.txt", "-999\n\n", {{name, value}});
    EXPECT_EQ(a.results(), expected) << name << "=" << value;
  }
}

TEST(AssociationRun, WithoutGridsEitherSignRunsTheCompleteSeriesOnly) {
  AssociationRun negative("tests/data/assoc_plain.txt", "-999\n1\n");
  EXPECT_EQ(negative.run.status, 0);
  EXPECT_TRUE(negative.screen_has("TESTED BY COMPLETE RANDOMIZATIONS"));
  EXPECT_TRUE(negative.screen_has("WARNING: no grid(s) defined for sample positions"));
  EXPECT_FALSE(negative.screen_has("toroidal randomizations"));
  EXPECT_EQ(negative.results(), source_file("tests/data/expected/assoc_plain_complete.txt"));
  AssociationRun positive("tests/data/assoc_plain.txt", "999\n1\n");
  EXPECT_EQ(positive.results(), negative.results());
}

TEST(AssociationRun, NoCountWritesTheObservedCoefficientsOnly) {
  const std::string expected = source_file("tests/data/expected/assoc_plain_observed.txt");
  for (const char* answer : {"\n", "0\n", "200000\n", "-100001\n"}) {
    AssociationRun a("tests/data/assoc_plain.txt", answer);
    EXPECT_EQ(a.run.status, 0);
    EXPECT_TRUE(a.screen_has("\n\nCompute correlation between variables")) << answer;
    EXPECT_FALSE(a.screen_has(kDetailQuestion)) << answer;
    EXPECT_EQ(a.results(), expected) << answer;
  }
}

TEST(AssociationRun, MinusOneOrAWordDoesNothing) {
  TempFolder untouched;
  untouched.write("in.txt", source_file("tests/data/assoc_plain.txt"));
  run_kalveno(untouched.path(), {}, "\n\n4\n");  // the start-up sections alone
  for (const char* answer : {"-1\n", "many\n"}) {
    AssociationRun a("tests/data/assoc_plain.txt", answer);
    EXPECT_EQ(a.run.status, 0);
    EXPECT_FALSE(a.screen_has("Compute correlation")) << answer;
    EXPECT_FALSE(a.screen_has(kDetailQuestion)) << answer;
    EXPECT_EQ(a.results(), untouched.read("out.txt")) << answer;
  }
}

TEST(AssociationRun, TheExampleDataRunsToTheEnd) {
  AssociationRun a("examples/meuse.txt", "-99\n\n");
  EXPECT_EQ(a.run.status, 0);
  const std::string results = a.results();
  EXPECT_NE(results.find("Tests of association between variables using COMPLETE randomization (99 replicates)"),
            std::string::npos);
  EXPECT_EQ(results.find("TOROIDAL"), std::string::npos);
}

}  // namespace
}  // namespace kalveno::testing
