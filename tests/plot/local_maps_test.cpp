// Maps of local Moran's I: the section and the file of values read back,
// the marks each sample gets, and kalveno-plot --maps on the files of the
// program's own run (tests/e2e keeps them equal to what it writes).
#include <gtest/gtest.h>

#include <cstdlib>

#include "plot/local_results.h"
#include "plot/plot_program.h"
#include "plot/svg_map.h"
#include "support/run_program.h"

namespace kalveno::plot {
namespace {

using testing::count_of;
using testing::source_file;
using testing::TempFolder;

const std::string kResults = "tests/data/expected/local_patch_results.txt";
const std::string kValues = "tests/data/expected/local_patch_values.txt";

TEST(LocalMaps, ReadTheSectionAndItsValuesAndMarkEverySample) {
  const std::vector<LocalRun> runs = read_local_runs(source_file(kResults));
  ASSERT_EQ(runs.size(), 1u);
  const LocalRun& run = runs[0];
  EXPECT_EQ(run.data_file, "in.txt");
  EXPECT_EQ(run.radius, 1.5);
  EXPECT_EQ(run.n_rep, 999);
  EXPECT_EQ(run.values_file, "values.txt");
  EXPECT_EQ(run.variables, (std::vector<std::string>{"cover", "depth"}));
  EXPECT_EQ(run.radius_degrees, 0);
  // Great-circle distances: the radius in km, and in degrees of latitude,
  // the unit of a map of longitudes and latitudes.
  const std::vector<LocalRun> sphere = read_local_runs(
      "LOCAL MORAN'S I\nSettings: neighbours within distance 1000.000000 km (great-circle, 8.993204 degrees of "
      "latitude) (binary weights); no randomization test: quadrants by the signs alone\n");
  ASSERT_EQ(sphere.size(), 1u);
  EXPECT_EQ(sphere[0].radius, 1000);
  EXPECT_EQ(sphere[0].radius_degrees, 8.993204);
  // A count beyond any whole number of randomizations (an edited file) is none.
  EXPECT_EQ(read_local_runs("LOCAL MORAN'S I\nSettings: neighbours within distance 1.000000 (binary weights); "
                            "99999999999 conditional randomizations of each sample (seed 1)\n")[0].n_rep, 0);

  LocalValues values;
  ASSERT_EQ(read_local_values(source_file(kValues), values), "");
  EXPECT_EQ(values.settings, run.settings);
  ASSERT_EQ(values.samples.size(), 13u);
  EXPECT_EQ(values.x[12], 50);
  const LocalMap cover = make_local_map(run, values, 0);
  // p1 is significant high-high; p12 is not significant but low (I > 0)
  // among low (lag < 0); "far" has no neighbours; p3 lacks depth.
  EXPECT_EQ(cover.points[0].mark, MapMark::kHighHigh);
  EXPECT_TRUE(cover.points[0].significant);
  EXPECT_EQ(cover.points[11].mark, MapMark::kLowLow);
  EXPECT_FALSE(cover.points[11].significant);
  EXPECT_EQ(cover.points[12].mark, MapMark::kNoNeighbours);
  EXPECT_EQ(make_local_map(run, values, 1).points[2].mark, MapMark::kMissing);

  std::string problem = read_local_values("title\nsettings\n1\t1\t0\tNA\nSample\tX\tY\tv_Ii\tv_lag\n", values);
  EXPECT_NE(problem.find("fourth line"), std::string::npos) << problem;
}

// At 60 degrees north a degree of longitude is half a degree of latitude
// long: on the map, one degree east is as far as half a degree north.
TEST(LocalMaps, LongitudesShrinkWithTheLatitude) {
  LocalMap map;
  map.variable = "v";
  map.radius = 100;
  map.radius_degrees = 100 / 111.19508;
  map.points = {{"a", 0, 59.75, MapMark::kHighHigh, true, 1, 0.01},
                {"b", 1, 59.75, MapMark::kHighHigh, true, 1, 0.01},
                {"c", 0, 60.25, MapMark::kHighHigh, true, 1, 0.01}};
  const std::string svg = local_map_svg(map, "");
  std::vector<double> cx, cy;
  for (std::size_t at = svg.find("significant\" cx=\""); at != std::string::npos;
       at = svg.find("significant\" cx=\"", at + 1)) {
    cx.push_back(std::atof(svg.c_str() + at + 17));
    cy.push_back(std::atof(svg.c_str() + svg.find("cy=\"", at) + 4));
  }
  ASSERT_EQ(cx.size(), 3u);
  EXPECT_NEAR((cx[1] - cx[0]) / (cy[0] - cy[2]), 1, 1e-3);
}

TEST(LocalMaps, KalvenoPlotDrawsOneMapPerVariable) {
  TempFolder folder;
  folder.write("results.txt", source_file(kResults));
  folder.write("values.txt", source_file(kValues));
  const testing::PlotRun run = testing::run_kalveno_plot(folder.path(), {"--maps", "--units", "m", "results.txt", "maps"});
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_NE(run.output.find("maps/map_1_cover.svg  (13 samples, 3 significant)"), std::string::npos) << run.output;
  EXPECT_EQ(count_of(folder.read("maps/map_1_cover.svg"), " significant\""), 3);
  const std::string svg = folder.read("maps/map_2_depth.svg");
  EXPECT_EQ(count_of(svg, " significant\""), 0);
  EXPECT_EQ(count_of(svg, " not-significant\""), 11);
  EXPECT_EQ(count_of(svg, "class=\"point missing\""), 1);
  EXPECT_EQ(count_of(svg, "class=\"point no-neighbours\""), 1);
  EXPECT_NE(svg.find(">neighbour radius 1.5 m<"), std::string::npos);
  if (testing::have_xmllint()) {
    EXPECT_EQ(testing::xml_problems(folder.file("maps/map_2_depth.svg")), "");
  }
}

TEST(LocalMaps, KalvenoPlotRefusesWhatItCannotMap) {
  TempFolder folder;
  folder.write("results.txt", source_file(kResults));
  folder.write("other.txt", source_file("tests/data/plot/complete.txt"));
  std::string values = source_file(kValues);
  values.replace(values.find("(seed 1)"), 8, "(seed 2)");
  folder.write("values.txt", values);
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--maps", "other.txt"}, "holds no local Moran's I analysis"},
      {{"--maps", "results.txt"}, "holds the values of another run"},
      {{"--maps", "--local-file=absent.txt", "results.txt"}, "cannot read the file of local Moran's I \"absent.txt\""},
      {{"--maps", "--local-file=other.txt", "results.txt"}, "is no file of local Moran's I"},
      {{"--maps", "--toroidal", "results.txt"}, "--toroidal marks correlograms"},
      {{"--local-file=values.txt", "results.txt"}, "--local-file needs --maps"},
  };
  for (const auto& c : cases) {
    const testing::PlotRun run = testing::run_kalveno_plot(folder.path(), c.args);
    EXPECT_EQ(run.status, 2) << c.message;
    EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
  }
  EXPECT_FALSE(folder.exists("map_1_cover.svg"));
}

}  // namespace
}  // namespace kalveno::plot
