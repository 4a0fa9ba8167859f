// Menu choice 1 through the real binary: the dialogue, the observed section
// and the randomization series, compared with results files checked by hand.
#include <gtest/gtest.h>

#include <string>

#include "support/run_program.h"

namespace kalveno::testing {
namespace {

// The file-name answers (defaults), then menu choice 1.
const std::string kStart = "\n\n1\n";

// What choice 1 appended to the results file: everything from its first
// section on.
std::string spatial_sections(const std::string& results) {
  std::size_t start = results.find("\n\nSPATIAL AUTOCORRELATION ANALYSIS");
  return start == std::string::npos ? std::string() : results.substr(start);
}

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

struct SpatialRunResult {
  ProgramRun program;
  std::string results;
};

SpatialRunResult run_on(const std::string& data_file, const std::string& answers, const std::map<std::string, std::string>& env = {}) {
  TempFolder folder;
  folder.write("in.txt", source_file(data_file));
  SpatialRunResult run;
  run.program = run_kalveno(folder.path(), {}, answers, env);
  run.results = folder.read("out.txt");
  return run;
}

// Four samples on a line at 0, 1, 3 and 6, two classes (up to 1.5 and 3.5):
// the values were worked out by hand.
TEST(SpatialRun, ObservedSectionOfATinyTransect) {
  SpatialRunResult run = run_on("tests/data/spatial_line.txt", kStart + "\n\n\n");
  EXPECT_EQ(run.program.status, 0);
  EXPECT_EQ(spatial_sections(run.results), source_file("tests/data/expected/spatial_line_observed.txt"));
  EXPECT_NE(run.program.output.find("\nComputing Moran's I statistics"), std::string::npos);
  // Without grids the count question has no hint about toroidal tests, and
  // without a test no detailed-report question is asked.
  EXPECT_EQ(run.program.output.find("use negative #"), std::string::npos);
  EXPECT_EQ(run.program.output.find("detailed report"), std::string::npos);
}

// Two grids, one with an empty cell and a sample outside its torus; distinct
// habitats, a regression interval, 99 replicates of each kind, details.
TEST(SpatialRun, CompleteAndToroidalSeriesOnGrids) {
  SpatialRunResult run = run_on("tests/data/spatial_grid.txt", kStart + "habitat\n2\n0 40\n-99\n1\n");
  EXPECT_EQ(run.program.status, 0);
  EXPECT_EQ(spatial_sections(run.results), source_file("tests/data/expected/spatial_grid_tests.txt"));
  EXPECT_NE(run.program.output.find("use negative # (e.g. -999)"), std::string::npos);
  // Grids of 3 x 2 and 2 x 2 cells have 12 x 4 placements, which 99 replicates
  // draw again and again.
  EXPECT_NE(run.program.output.find("\n\nTest spatial autocorrelation by 99 complete randomizations\n 1 2 3 4 5 6 7 8 9 "
                                    "10 20 30 40 50 60 70 80 90\nNote: the toroidal randomization has only 48 "
                                    "distinct placements of the grids; with 99 randomizations about 2.1 replicates "
                                    "repeat the observed placement, and the test cannot resolve P values below "
                                    "1/48.\nTest spatial autocorrelation by 99 toroidal randomizations\n 1 2"),
            std::string::npos);
}

TEST(SpatialRun, ResultsDoNotDependOnTheNumberOfWorkersNorTheVectorInstructions) {
  const std::string answers = kStart + "\n\n-99\n1\n";
  SpatialRunResult one = run_on("tests/data/spatial_grid.txt", answers, {{"KALVENO_THREADS", "1"}});
  SpatialRunResult four = run_on("tests/data/spatial_grid.txt", answers, {{"KALVENO_THREADS", "4"}});
  EXPECT_EQ(one.program.status, 0);
  EXPECT_EQ(count_of(one.results, "\n\nTests of"), 2u);
  EXPECT_EQ(one.results, four.results);
  EXPECT_EQ(one.program.output, four.program.output);

  // Plain SSE2, which every processor has.
  SpatialRunResult plain = run_on("tests/data/spatial_grid.txt", answers, {{"KALVENO_VECTORS", "sse2"}});
  EXPECT_EQ(one.results, plain.results);
  EXPECT_EQ(one.program.output, plain.program.output);

  // The example data, in several batches of replicates.
  const std::string example = kStart + "\n0 1000\n299\n1\n";
  one = run_on("examples/meuse.txt", example, {{"KALVENO_THREADS", "1"}});
  four = run_on("examples/meuse.txt", example, {{"KALVENO_THREADS", "4"}});
  EXPECT_NE(one.results.find("(299 replicates)"), std::string::npos);
  EXPECT_EQ(one.results, four.results);
}

// The bundled example: samples of the same soil type, 99 replicates.
TEST(SpatialRun, ExampleDataWithAPairFilter) {
  SpatialRunResult run = run_on("examples/meuse.txt", kStart + "soil\n1\n\n99\n\n", {{"KALVENO_THREADS", "3"}});
  EXPECT_EQ(run.program.status, 0);
  EXPECT_EQ(spatial_sections(run.results), source_file("tests/data/expected/meuse_moran.txt"));
}

TEST(SpatialRun, NegativeCountRunsBothKindsOnlyWithGrids) {
  SpatialRunResult grids = run_on("tests/data/spatial_grid.txt", kStart + "\n\n-999\n\n");
  EXPECT_NE(grids.results.find("COMPLETE randomization (999 replicates)"), std::string::npos);
  EXPECT_NE(grids.results.find("TOROIDAL randomization (999 replicates)"), std::string::npos);
  EXPECT_NE(grids.program.output.find("by 999 toroidal randomizations"), std::string::npos);

  SpatialRunResult no_grids = run_on("tests/data/spatial_line.txt", kStart + "\n\n-999\n\n");
  EXPECT_NE(no_grids.results.find("COMPLETE randomization (999 replicates)"), std::string::npos);
  EXPECT_EQ(no_grids.results.find("TOROIDAL"), std::string::npos);
  EXPECT_EQ(no_grids.program.output.find("toroidal randomizations\n"), std::string::npos);
}

TEST(SpatialRun, MinusOneOrAWordRunsNothing) {
  SpatialRunResult no_analysis = run_on("tests/data/spatial_line.txt", "\n\n4\n");
  for (const char* answer : {"-1\n", "many\n"}) {
    SpatialRunResult run = run_on("tests/data/spatial_line.txt", kStart + "\n\n" + answer);
    EXPECT_EQ(run.program.status, 0);
    EXPECT_EQ(run.results, no_analysis.results) << answer;
    EXPECT_EQ(run.program.output.find("Computing Moran"), std::string::npos) << answer;
  }
}

TEST(SpatialRun, CountsBeyondTheLimitGiveTheObservedSectionOnly) {
  SpatialRunResult observed_only = run_on("tests/data/spatial_line.txt", kStart + "\n\n\n");
  for (const char* answer : {"200000\n", "0\n", "-100001\n"}) {
    SpatialRunResult run = run_on("tests/data/spatial_line.txt", kStart + "\n\n" + answer);
    EXPECT_EQ(run.results, observed_only.results) << answer;
  }
}

TEST(SpatialRun, NinetyEightReplicatesAreNeverCoded) {
  // Moisture is strongly structured: with 99 replicates some values earn a code.
  SpatialRunResult coded = run_on("tests/data/spatial_grid.txt", kStart + "\n\n99\n\n");
  SpatialRunResult uncoded = run_on("tests/data/spatial_grid.txt", kStart + "\n\n98\n\n");
  const std::string table = "\nVariable\tMoran's I:";
  auto test_table = [&](const std::string& results) {
    return results.substr(results.find(table, results.find("Tests of")));
  };
  EXPECT_NE(test_table(coded.results).find(" *"), std::string::npos);
  EXPECT_EQ(test_table(uncoded.results).find(" *"), std::string::npos);
  EXPECT_NE(uncoded.results.find("COMPLETE randomization (98 replicates)"), std::string::npos);
}

TEST(SpatialRun, UnknownNamesAndBadIntervalsAreAskedAgain) {
  // A quantitative name, then the qualitative one; a class name with a
  // trailing blank, then the right one; four unusable intervals, then none.
  SpatialRunResult run = run_on("tests/data/spatial_grid.txt",
                   kStart + "moisture\nhabitat\n3\nwet \nwet\n5 2\n-1 3\n5\nabc\n\n\n");
  EXPECT_EQ(run.program.status, 0);
  const std::string& out = run.program.output;
  EXPECT_NE(out.find("\nVariable not recognized. List of qualitative variables:   habitat\n"), std::string::npos);
  EXPECT_NE(out.find("\n\"wet \" is not recognized as a class name; it must be one of the following name:\n  wet  dry"),
            std::string::npos);
  EXPECT_EQ(count_of(out, "Enter the name of the selected class : "), 2u);
  EXPECT_EQ(count_of(out, "To restrict the regression"), 5u);
  EXPECT_NE(run.results.find("Sample pairs considered: samples with state [wet] at variable [habitat]\n"),
            std::string::npos);
}

TEST(SpatialRun, PairSelectionIsAskedAgainUntilItIsOneToFour) {
  SpatialRunResult retried = run_on("tests/data/spatial_grid.txt", kStart + "habitat\n7\nsame\n-1\n1\n\n\n");
  SpatialRunResult direct = run_on("tests/data/spatial_grid.txt", kStart + "habitat\n1\n\n\n");
  EXPECT_EQ(count_of(retried.program.output, "\nAnswer 1, 2, 3 or 4."), 3u);
  EXPECT_EQ(spatial_sections(retried.results), spatial_sections(direct.results));
  EXPECT_NE(direct.results.find("Sample pairs considered: samples with the same state at variable [habitat]"),
            std::string::npos);
}

TEST(SpatialRun, InputEndingAtTheClassQuestionStops) {
  SpatialRunResult run = run_on("tests/data/spatial_grid.txt", kStart + "habitat\n4\nwet\n");
  EXPECT_EQ(run.program.status, 4);
  EXPECT_NE(run.program.output.find("Enter the name of the second selected class : "), std::string::npos);
  EXPECT_EQ(spatial_sections(run.results), "");
}

}  // namespace
}  // namespace kalveno::testing
