// Longitudes and latitudes through the real binary: great-circle distances,
// and the note that suggests them.
#include <gtest/gtest.h>

#include "base/text.h"
#include "support/run_program.h"

namespace kalveno::testing {
namespace {

// Eight capitals, classes up to 500, 1000 and 1500 km: the pairs per class
// of an independent haversine computation on the same sphere.
TEST(GreatCircle, PutsThePairsOfLongitudesAndLatitudesInTheirClassesInKilometres) {
  TempFolder folder;
  folder.write("in.txt", source_file("tests/data/capitals.txt"));
  const ProgramRun run = run_kalveno(folder.path(), {"--great-circle", "--spatial", "in.txt", "out.txt"}, "");
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string results = folder.read("out.txt");
  EXPECT_NE(results.find("\tNumber of pairs in class:\t3\t7\t11\n"), std::string::npos) << results;
  EXPECT_NE(results.find("distance between samples: 343.530"), std::string::npos) << results;
  EXPECT_NE(results.find(" km (great-circle)\n"), std::string::npos);
  EXPECT_EQ(run.output.find("look like longitudes"), std::string::npos);
}

// Decimal grids typed in a data file, through the binary: a grid of 0.25 m
// far from the origin keeps its ten rows (in single precision 5123456.25
// would read 5123456), and its pairs fall in their classes as a count in
// double precision has them; at a spacing of 0.1 every one of the 180 pairs
// 0.1 apart is in the class of bound 0.1.
TEST(PlanarGrid, KeepsItsRowsAndItsPairsInTheClassesOfTheirDistances) {
  struct Grid {
    double spacing, x0, y0;
    const char* classes;
    const char* range;
    const char* pairs;
  } grids[] = {
      {0.25, 612345, 5123456, "3\t0.25\t0.5\t0.6", "distances between samples: 0.25 - 3.18",
       "\tNumber of pairs in class:\t180\t322\t288\n"},
      {0.1, 0, 0, "2\t0.1\t0.15", "distances between samples: 0.1 - 1.27",
       "\tNumber of pairs in class:\t180\t162\n"},
  };
  for (const Grid& g : grids) {
    std::string text = std::string("grid\n100 0 1 NA\n") + g.classes + "\nn\tx\ty\tv\n";
    for (int s = 0; s < 100; ++s)
      text += format("s%d\t%.2f\t%.2f\t%d\n", s, g.x0 + g.spacing * (s % 10), g.y0 + g.spacing * (s / 10), s * 37 % 11);
    TempFolder folder;
    folder.write("in.txt", text);
    const ProgramRun run = run_kalveno(folder.path(), {"--spatial", "in.txt", "out.txt"}, "");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find(g.range), std::string::npos) << run.output;
    const std::string results = folder.read("out.txt");
    EXPECT_NE(results.find(g.pairs), std::string::npos) << results;
  }
}

// The note that suggests the option (a scripted problem in
// bad_input_test.cpp) needs columns named for longitudes and latitudes.
TEST(GreatCircle, IsNotSuggestedForColumnsNamedOtherwise) {
  TempFolder folder;
  std::string renamed = source_file("tests/data/capitals.txt");
  renamed.replace(renamed.find("lon\tlat"), 7, "x\ty");
  folder.write("in.txt", renamed);
  const ProgramRun run = run_kalveno(folder.path(), {"--spatial", "in.txt", "out.txt"}, "");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output.find("look like"), std::string::npos);
}

}  // namespace
}  // namespace kalveno::testing
