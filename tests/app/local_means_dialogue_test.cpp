// Menu choice 3 through the binary: the threshold question and newvar.txt.
#include <gtest/gtest.h>

#include "support/run_program.h"

namespace kalveno::testing {
namespace {

// Samples on a line at 0, 1, 2 and 3.
const char kLine[] = "line\n4 0 2 NA\n0\nn\tx\ty\tv\tw\n"
                     "a\t0\t0\t1\t10\nb\t1\t0\t2\tNA\nc\t2\t0\t3\t30\nd\t3\t0\t4\t40\n";

TEST(NewVariables, FollowTheDataFileLayoutByteForByte) {
  TempFolder folder;
  folder.write("in.txt", "soils\r\n3 0 3 -9\n0\nn\tx\ty\tpH\t$soil\tdepth\n"
                         "p1\t0\t0\t6.5\tclay\t-9\np2\t3\t4\t7.5\tsand\t20\np3\t30\t40\t5\tclay\t-9\n");
  ProgramRun run = run_kalveno(folder.path(), {"in.txt", "out.txt"}, "3\n-5\n\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("\nNew variables written in file: newvar.txt"), std::string::npos);
  EXPECT_EQ(folder.read("newvar.txt"),
            "New variables created from file \"in.txt\" with first line text: soils\n"
            "3\t0\t2\t-9\n"
            "Average values of each original variable within a circle of radius= 5 (focal site excluded)\n"
            "Sample\tpH(d<=-5.000000)\tdepth(d<=-5.000000)\n"
            "p1\t7.500000\t20.000000\np2\t6.500000\t-9\np3\t-9\t-9");
}

TEST(NewVariables, AnAnswerWithoutANumberWritesNothing) {
  TempFolder folder;
  folder.write("in.txt", kLine);
  for (const char* answer : {"\n", "near\n", ""}) {
    ProgramRun run = run_kalveno(folder.path(), {"in.txt", "out.txt"}, std::string("3\n") + answer);
    EXPECT_EQ(run.status, 0);
    EXPECT_FALSE(folder.exists("newvar.txt")) << answer;
  }
}

TEST(NewVariables, NeverReplaceTheDataOrTheResults) {
  TempFolder folder;
  folder.write("newvar.txt", kLine);
  ProgramRun run = run_kalveno(folder.path(), {"newvar.txt", "out.txt"}, "3\n2\n");
  EXPECT_EQ(run.status, 5);
  EXPECT_NE(run.output.find("\nWARNING: newvar.txt is the data file or the results file of this run"),
            std::string::npos);
  EXPECT_EQ(folder.read("newvar.txt"), kLine);
}

}  // namespace
}  // namespace kalveno::testing
