// Start-up through the real binary: file names, the existing-results
// question, the header block and the basic statistics.
#include <gtest/gtest.h>

#include "support/run_program.h"

namespace kalveno::testing {
namespace {

TEST(StartUp, DefaultNamesAnalyseTheExampleAndWriteTheHeader) {
  TempFolder folder;
  folder.write("in.txt", source_file("examples/meuse.txt"));
  ProgramRun run = run_kalveno(folder.path(), {}, "\n\n4\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("  Data file: in.txt"), std::string::npos);
  EXPECT_NE(run.output.find("  Results file: out.txt"), std::string::npos);
  EXPECT_EQ(folder.read("out.txt"), source_file("tests/data/expected/meuse_start.txt"));
}

}  // namespace
}  // namespace kalveno::testing
