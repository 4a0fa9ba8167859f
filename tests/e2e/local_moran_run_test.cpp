// Local Moran's I through the real binary: the file of values per sample,
// the results-file section and the table rows of a small run, checked by
// hand once; the same bytes on one thread; an interrupted test.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/run_program.h"

namespace kalveno::testing {
namespace {

// Twelve plots on a 4 x 3 grid, 1 apart, with high cover in one corner and
// low in the other, depth the other way round and missing in one plot, a
// qualitative soil, and a plot far from the others.
TEST(LocalMoranRun, WritesItsValuesItsSectionAndItsTableRows) {
  TempFolder folder, one_thread;
  const std::vector<std::string> args = {"--local-moran=1.5", "-r", "999",  "--table=t.csv",
                                         "--local-file=values.txt", "in.txt", "out.txt"};
  for (const TempFolder* f : {&folder, &one_thread}) f->write("in.txt", source_file("tests/data/local_patch.txt"));
  const ProgramRun run = run_kalveno(folder.path(), args, "");
  EXPECT_EQ(run.status, 0) << run.output << run.errors;
  EXPECT_EQ(folder.read("values.txt"), source_file("tests/data/expected/local_patch_values.txt"));
  EXPECT_EQ(folder.read("out.txt"), source_file("tests/data/expected/local_patch_results.txt"));
  EXPECT_EQ(folder.read("t.csv"), source_file("tests/data/expected/local_patch_table.csv"));
  EXPECT_TRUE(run.output.ends_with("\nNote: the results were written to \"out.txt\", the table to \"t.csv\", the local "
                                   "Moran's I per sample to \"values.txt\".\n"))
      << run.output;

  run_kalveno(one_thread.path(), args, "", {{"KALVENO_THREADS", "1"}});
  for (const char* name : {"values.txt", "out.txt", "t.csv"}) EXPECT_EQ(one_thread.read(name), folder.read(name));
}

// A variable without any value is left out with a Note; a constant one
// keeps its columns, its I_i (0/0) written as the missing-data word. A
// value exactly at the mean, among neighbours whose deviations sum to 0, is
// low-low. Randomizations too few for one sample alone to pass the
// false-discovery adjustment get a Note with the number needed.
TEST(LocalMoranRun, AVariableWithoutValuesOrOfOneValueIsNamed) {
  TempFolder folder;
  folder.write("in.txt", "t\n3 0 3 NA\n0\nn\tx\ty\ta\tnone\tsame\n"
                         "s\t0\t0\t1\tNA\t5\nt\t1\t0\t2\tNA\t5\nu\t2\t0\t3\tNA\t5\n");
  EXPECT_NE(run_kalveno(folder.path(), {"--local-moran=1.5", "-r", "99", "in.txt", "out.txt"}, "")
                .output.find("no single sample of 3 can reach the false-discovery threshold (its smallest P, 2/100, "
                             "is above 0.05/3): only several together can be significant; 119 randomizations"),
            std::string::npos);
  const ProgramRun run = run_kalveno(folder.path(), {"--local-moran=1.5", "in.txt", "out.txt"}, "");
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_NE(run.output.find("\nNote: none has no value in any sample: it is left out."), std::string::npos);
  EXPECT_NE(run.output.find("\nNote: same has the same value in every sample that has it"), std::string::npos);
  const std::string values = folder.read("localmoran.txt");
  EXPECT_EQ(values.find("none_"), std::string::npos);
  EXPECT_EQ(values.find("nan"), std::string::npos) << values;
  EXPECT_NE(values.find("\nt\t1.000000\t0.000000\t0.000000\t0.000000\tNA\tNA\tlow-low\t"), std::string::npos);
  EXPECT_TRUE(values.ends_with("\tNA\t0.000000\tNA\tNA\tnot significant\n")) << values;
}

// Ctrl+C during the test: the batch under way ends, the results file says
// how many samples were done, and no file of values is written.
TEST(LocalMoranRun, AnInterruptedTestSaysHowFarItGot) {
  TempFolder folder;
  folder.write("in.txt", source_file("examples/meuse.txt"));
  folder.write("out.txt", kEarlier);
  const ProgramRun run =
      run_kalveno(folder.path(), {"--local-moran=400", "-r", "100000", "in.txt", "out.txt"}, "", {}, {"sample\n 1 2"});
  EXPECT_EQ(run.status, 130) << run.errors;
  const std::string results = folder.read("out.txt");
  const std::string end = " of 155 samples of the conditional randomization test; no results of this test were "
                          "written.\n";
  ASSERT_TRUE(results.ends_with(end)) << results.substr(results.size() - 300);
  const int done = std::atoi(results.c_str() + results.rfind(" after ") + 7);
  EXPECT_TRUE(done >= 2 && done < 155) << done;
  EXPECT_FALSE(folder.exists("localmoran.txt"));
}

}  // namespace
}  // namespace kalveno::testing
