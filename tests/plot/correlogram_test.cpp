// What a correlogram shows: which classes become points, with which codes,
// and how the band of the randomized values is split where it cannot go on.
#include <gtest/gtest.h>

#include "plot/correlogram.h"
#include "support/run_program.h"

namespace kalveno::plot {
namespace {

SpatialRun run_of(const std::string& name, int index = 0) {
  return read_spatial_runs(kalveno::testing::source_file("tests/data/plot/" + name)).at(index);
}

std::vector<int> classes_of(const Correlogram& figure) {
  std::vector<int> classes;
  for (const CorrelogramPoint& p : figure.points) classes.push_back(p.class_number);
  return classes;
}

TEST(MakeCorrelogram, ObservedValuesArePlacedAtTheMeanDistanceOfTheirClass) {
  const SpatialRun run = run_of("observed_only.txt");
  Correlogram figure = make_correlogram(run, 1, nullptr);
  EXPECT_EQ(figure.variable, "zinc");
  EXPECT_TRUE(figure.randomization.empty());
  ASSERT_EQ(figure.points.size(), 4u);
  EXPECT_DOUBLE_EQ(figure.points[1].distance, 488.501247);
  EXPECT_DOUBLE_EQ(figure.points[1].moran, 0.301145);
  EXPECT_EQ(figure.points[1].stars, -1);
  EXPECT_TRUE(figure.bands.empty());
}

TEST(MakeCorrelogram, PointsCarryTheCodesOfTheChosenTest) {
  const SpatialRun run = run_of("complete_toroidal.txt");
  Correlogram complete = make_correlogram(run, 1, &run.complete);
  Correlogram toroidal = make_correlogram(run, 1, &run.toroidal);
  EXPECT_EQ(complete.randomization, "COMPLETE");
  EXPECT_EQ(toroidal.randomization, "WITHIN GROUP TOROIDAL");
  EXPECT_EQ(complete.points[2].stars, 2);
  EXPECT_EQ(toroidal.points[0].stars, 1);
  ASSERT_EQ(toroidal.bands.size(), 1u);
  EXPECT_DOUBLE_EQ(toroidal.bands[0][1].high, 0.4);
  EXPECT_DOUBLE_EQ(complete.bands[0][1].high, 0.12);
}

TEST(MakeCorrelogram, BandNeedsADetailedTest) {
  const SpatialRun run = run_of("complete.txt");
  Correlogram figure = make_correlogram(run, 0, &run.complete);
  EXPECT_EQ(figure.points.size(), 4u);
  EXPECT_TRUE(figure.bands.empty());
}

// Class 2 has no pairs, class 4 a value that is not a number; the band's
// lower bound is not a number in class 4 either.
TEST(MakeCorrelogram, ClassesWithoutNumberOrPairsAreLeftOutAndBreakTheBand) {
  const SpatialRun run = run_of("nan_classes.txt");
  Correlogram height = make_correlogram(run, 0, &run.complete);
  EXPECT_EQ(classes_of(height), (std::vector<int>{1, 3, 5}));
  ASSERT_EQ(height.bands.size(), 3u);
  EXPECT_EQ(height.bands[1][0].class_number, 3);
  EXPECT_EQ(height.bands[1].size(), 1u);

  Correlogram flat = make_correlogram(run, 1, &run.complete);
  EXPECT_TRUE(flat.points.empty());
  EXPECT_TRUE(flat.bands.empty());
}

TEST(MakeCorrelogram, TestRowsOfOtherVariablesAreNotBorrowed) {
  SpatialRun run = run_of("complete_detailed.txt");
  run.complete.names[0] = "lead";
  run.complete.detail_names[0] = "lead";
  Correlogram figure = make_correlogram(run, 0, &run.complete);
  EXPECT_EQ(figure.points[0].stars, -1);
  EXPECT_TRUE(figure.bands.empty());
  EXPECT_EQ(make_correlogram(run, 1, &run.complete).points[0].stars, 3);
}

}  // namespace
}  // namespace kalveno::plot
