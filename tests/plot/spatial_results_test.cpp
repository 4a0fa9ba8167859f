// Reading the spatial autocorrelation sections back from results files:
// which runs there are, what belongs to each, and values that are not
// numbers.
#include <cmath>

#include <gtest/gtest.h>

#include "plot/spatial_results.h"
#include "support/run_program.h"

namespace kalveno::plot {
namespace {

using kalveno::testing::source_file;

std::vector<SpatialRun> runs_of(const std::string& name) {
  return read_spatial_runs(source_file("tests/data/plot/" + name));
}

TEST(ReadSpatialRuns, ObservedSectionGivesClassesAndValuesWithoutTests) {
  std::vector<SpatialRun> runs = runs_of("observed_only.txt");
  ASSERT_EQ(runs.size(), 1u);
  const SpatialRun& run = runs[0];
  EXPECT_EQ(run.data_file, "in.txt");
  EXPECT_EQ(run.pairs, "all sample pairs");
  EXPECT_EQ(run.class_max, (std::vector<double>{370, 600, 770, 960}));
  EXPECT_EQ(run.pair_count, (std::vector<long long>{1109, 1402, 1021, 1018}));
  EXPECT_DOUBLE_EQ(run.mean_distance[3], 866.090014);
  ASSERT_EQ(run.variables.size(), 3u);
  EXPECT_EQ(run.variables[2].name, "ffreq");
  EXPECT_DOUBLE_EQ(run.variables[0].moran[3], -0.031234);
  EXPECT_FALSE(run.complete.present);
  EXPECT_FALSE(run.toroidal.present);
}

TEST(ReadSpatialRuns, CodedTableGivesTheStarsOfEveryClass) {
  const SpatialRun run = runs_of("complete.txt").at(0);
  ASSERT_TRUE(run.complete.present);
  EXPECT_EQ(run.complete.n_rep, 999);
  EXPECT_EQ(run.complete.randomization, "COMPLETE");
  EXPECT_FALSE(run.complete.detailed);
  EXPECT_EQ(run.complete.names, (std::vector<std::string>{"cadmium", "zinc", "ffreq"}));
  EXPECT_EQ(run.complete.stars[2], (std::vector<int>{2, 1, 0, 0}));
}

TEST(ReadSpatialRuns, BothTestsOfAGriddedRunKeepTheirOwnBands) {
  const SpatialRun run = runs_of("complete_toroidal.txt").at(0);
  EXPECT_EQ(run.pairs, "samples with state [A] at variable [habitat]");  // the regression note is not part of it
  ASSERT_TRUE(run.complete.present && run.toroidal.present);
  EXPECT_EQ(run.toroidal.randomization, "WITHIN GROUP TOROIDAL");
  EXPECT_EQ(run.complete.stars[0], (std::vector<int>{2, 0, 1}));
  EXPECT_EQ(run.toroidal.stars[0], (std::vector<int>{0, 0, 0}));
  ASSERT_TRUE(run.complete.detailed && run.toroidal.detailed);
  EXPECT_EQ(run.toroidal.detail_names, (std::vector<std::string>{"ph", "moisture"}));
  EXPECT_DOUBLE_EQ(run.complete.ci95_sup[0][2], 0.1);
  EXPECT_DOUBLE_EQ(run.toroidal.ci95_inf[1][0], -0.4);
}

TEST(ReadSpatialRuns, NotANumberIsReadAsNaNInEverySpelling) {
  const SpatialRun run = runs_of("nan_classes.txt").at(0);
  EXPECT_TRUE(std::isnan(run.variables[0].moran[1]));  // "nan"
  EXPECT_TRUE(std::isnan(run.variables[0].moran[3]));  // "-nan"
  EXPECT_DOUBLE_EQ(run.variables[0].moran[4], -0.05);
  EXPECT_EQ(run.pair_count[1], 0);
  EXPECT_EQ(run.complete.stars[0], (std::vector<int>{1, 0, 0, 0, 0}));  // "nan" without a code has none
  EXPECT_TRUE(std::isnan(run.complete.ci95_inf[0][3]));
}

TEST(ReadSpatialRuns, SeveralProgramRunsGiveOneSpatialRunEach) {
  std::vector<SpatialRun> runs = runs_of("several_runs.txt");
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].n_classes(), 4);
  EXPECT_EQ(runs[0].complete.n_rep, 99);
  EXPECT_EQ(runs[1].data_file, "site2.txt");
  EXPECT_EQ(runs[1].n_classes(), 5);
  EXPECT_EQ(runs[1].variables.size(), 1u);
  // The association test of a later program run is not a test of the first.
  EXPECT_FALSE(runs[1].complete.present);
}

TEST(ReadSpatialRuns, FileWithoutSpatialAnalysisHasNoRun) {
  EXPECT_TRUE(runs_of("no_spatial.txt").empty());
  EXPECT_TRUE(read_spatial_runs("").empty());
}

TEST(ReadSpatialRuns, CarriageReturnsBeforeLineEndsAreIgnored) {
  std::string text = source_file("tests/data/plot/complete_detailed.txt"), crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  std::vector<SpatialRun> runs = read_spatial_runs(crlf);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].variables.size(), 3u);
  EXPECT_EQ(runs[0].complete.stars[0], (std::vector<int>{3, 3, 2, 0}));
  EXPECT_DOUBLE_EQ(runs[0].complete.ci95_sup[2][3], 0.039);
}

// A run cut short (a full disk, a killed run) yields what was written, and
// says what is missing; the next program run in the file is still found.
TEST(ReadSpatialRuns, SectionCutShortKeepsWhatWasWrittenAndTheRunsAfterIt) {
  std::string text = source_file("tests/data/plot/complete.txt");
  std::string cut = text.substr(0, text.find("\nzinc\t", text.find("Tests of spatial")));
  std::vector<SpatialRun> runs = read_spatial_runs(cut + source_file("tests/data/plot/observed_only.txt"));
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].complete.names, (std::vector<std::string>{"cadmium"}));
  EXPECT_NE(runs[0].problem.find("the test section does not hold a row for each variable"), std::string::npos);
  EXPECT_EQ(runs[1].problem, "");
  EXPECT_EQ(runs[1].variables.size(), 3u);
  EXPECT_FALSE(runs[1].complete.present);

  std::string heading_only = text.substr(0, text.find("\nCoding:"));
  runs = read_spatial_runs(heading_only + source_file("tests/data/plot/observed_only.txt"));
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_TRUE(runs[0].complete.names.empty());
  EXPECT_EQ(runs[1].variables.size(), 3u);
}

}  // namespace
}  // namespace kalveno::plot
