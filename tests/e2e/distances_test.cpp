// Longitudes and latitudes through the real binary: great-circle distances,
// and the note that suggests them.
#include <gtest/gtest.h>

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
