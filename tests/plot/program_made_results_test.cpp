// kalveno-plot on results files written by kalveno itself: each kind of
// spatial section the program makes is drawn, well-formed, with one point per
// class that has a value and one band per detailed test.
#include <gtest/gtest.h>

#include "plot/plot_program.h"
#include "support/run_program.h"

namespace kalveno::testing {
namespace {

// Runs kalveno in folder with the answers, then kalveno-plot with options on
// its results file; returns the SVG text of the correlogram named file.
std::string drawn(const TempFolder& folder, const std::vector<std::string>& plot_options, const std::string& file) {
  std::vector<std::string> args = plot_options;
  args.insert(args.end(), {"out.txt", "plots"});
  PlotRun plot = run_kalveno_plot(folder.path(), args);
  EXPECT_EQ(plot.status, 0) << plot.errors;
  if (have_xmllint()) {
    EXPECT_EQ(xml_problems(folder.file("plots/" + file)), "") << file;
  }
  return folder.read("plots/" + file);
}

int points(const std::string& svg) { return count_of(svg, "<circle class=\"point"); }
int bands(const std::string& svg) { return count_of(svg, "<path class=\"band\""); }

TEST(PlotOfProgramResults, DrawsTheExampleObservedThenTestedInDetail) {
  TempFolder folder;
  folder.write("in.txt", source_file("examples/meuse.txt"));
  ASSERT_EQ(run_kalveno(folder.path(), {"in.txt", "out.txt"}, "1\n\n\n\n").status, 0);  // observed only
  std::string observed = drawn(folder, {}, "correlogram_01_cadmium.svg");
  EXPECT_EQ(points(observed), 10);
  EXPECT_EQ(bands(observed), 0);

  ASSERT_EQ(run_kalveno(folder.path(), {"in.txt", "out.txt"}, "\n1\n\n\n99\n1\n").status, 0);
  std::string tested = drawn(folder, {}, "correlogram_11_landuse.svg");  // the last run by default
  EXPECT_EQ(points(tested), 10);
  EXPECT_EQ(bands(tested), 1);
  EXPECT_GT(count_of(tested, "<circle class=\"point significant\""), 0);
  EXPECT_EQ(bands(drawn(folder, {"--run", "1"}, "correlogram_01_cadmium.svg")), 0);
}

// After Holm's correction (999 replicates: the smallest adjusted P is 0.02),
// points significant before it only are hollow rings with their code before
// it, a filled point carries its corrected code; a qualitative variable's
// correlogram shows its expectation -1/(N - 1).
TEST(PlotOfProgramResults, MarksWhatTheCorrectionKeepsAndTheQualitativeExpectation) {
  TempFolder folder;
  folder.write("in.txt", source_file("examples/meuse.txt"));
  ASSERT_EQ(run_kalveno(folder.path(), {"--spatial", "-r", "999", "--adjust=holm", "in.txt", "out.txt"}, "").status, 0);
  const std::string cadmium = drawn(folder, {}, "correlogram_01_cadmium.svg");
  EXPECT_EQ(count_of(cadmium, "<circle class=\"point significant\""), 1);  // class 1 only
  EXPECT_EQ(count_of(cadmium, "<circle class=\"point significant-before-correction\""), 3);
  // Class 1, *** before the correction, carries its corrected code; the rings keep theirs (one **).
  EXPECT_EQ(count_of(cadmium, "middle\">***<"), 0);
  EXPECT_EQ(count_of(cadmium, "middle\">**<"), 1);
  EXPECT_NE(cadmium.find("corrected across classes by Holm&apos;s method"), std::string::npos);
  EXPECT_EQ(cadmium.find("class=\"expectation\""), std::string::npos);
  const std::string soil = drawn(folder, {}, "correlogram_09_soil.svg");
  EXPECT_EQ(count_of(soil, "<line class=\"expectation\""), 1);
}

TEST(PlotOfProgramResults, DrawsTheToroidalTestOfGriddedData) {
  TempFolder folder;
  folder.write("in.txt", source_file("tests/data/spatial_grid.txt"));
  ASSERT_EQ(run_kalveno(folder.path(), {"in.txt", "out.txt"}, "1\n\n\n-19\n1\n").status, 0);
  std::string complete = drawn(folder, {}, "correlogram_1_moisture.svg");
  std::string toroidal = drawn(folder, {"--toroidal"}, "correlogram_1_moisture.svg");
  EXPECT_EQ(points(complete), 3);
  EXPECT_EQ(points(toroidal), 3);
  EXPECT_EQ(bands(toroidal), 1);
  EXPECT_NE(toroidal.find("WITHIN GROUP TOROIDAL randomization (19 replicates)"), std::string::npos);
}

TEST(PlotOfProgramResults, LeavesOutClassesWithoutAValue) {
  // Six samples 1 apart: no pair falls in the class from 1 to 1.5, and the
  // constant variable has no Moran's I in any class.
  TempFolder folder;
  folder.write("in.txt", "line\n6 0 2 NA\n3\t1\t1.5\t3\nn\tx\ty\theight\tflat\n"
                         "a\t0\t0\t1\t5\nb\t1\t0\t3\t5\nc\t2\t0\t2\t5\nd\t3\t0\t6\t5\ne\t4\t0\t4\t5\nf\t5\t0\t7\t5\n");
  ASSERT_EQ(run_kalveno(folder.path(), {"in.txt", "out.txt"}, "1\n\n\n19\n1\n").status, 0);
  EXPECT_EQ(points(drawn(folder, {}, "correlogram_1_height.svg")), 2);
  EXPECT_EQ(points(drawn(folder, {}, "correlogram_2_flat.svg")), 0);
}

}  // namespace
}  // namespace kalveno::testing
