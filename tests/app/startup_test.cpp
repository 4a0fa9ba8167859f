// Start-up: the settings read once, the header block, the distance range,
// and the top of the program where an allocation failure ends the run.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <new>
#include <sstream>

#include "base/allocation.h"
#include "base/console.h"
#include "data/data_set.h"
#include "support/run_program.h"

namespace kalveno {
namespace {

TEST(StartUp, DefaultNamesAnalyseTheExampleAndWriteTheHeader) {
  testing::TempFolder folder;
  folder.write("in.txt", testing::source_file("examples/meuse.txt"));
  testing::ProgramRun run = testing::run_kalveno(folder.path(), {}, "\n\n4\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("  Data file: in.txt"), std::string::npos);
  EXPECT_NE(run.output.find("  Results file: out.txt"), std::string::npos);
  EXPECT_EQ(folder.read("out.txt"), testing::source_file("tests/data/expected/meuse_start.txt"));
}

// Three samples at distances 5, 5 and 10.
const char kTriangle[] = "three\n3 0 1 NA\n0\nn\tx\ty\tv\na\t0\t0\t1\nb\t3\t4\t2\nc\t6\t8\t3\n";

TEST(StartUp, ShowsTheDistanceRangeAndWritesItInTheHeader) {
  testing::TempFolder folder;
  folder.write("in.txt", kTriangle);
  testing::ProgramRun run = testing::run_kalveno(folder.path(), {"in.txt", "out.txt"}, "4\n");
  EXPECT_NE(run.output.find("\nMin & max distances between samples: 5 - 10"), std::string::npos);
  EXPECT_NE(folder.read("out.txt").find("\nMinimal and maximal distance between samples: 5.000000 - "
                                        "10.000000\n\nBASIC STATISTICS"),
            std::string::npos);
}

TEST(StartUp, ARefusedDataFileEndsWithStatusTwoAndAddsNothingToTheResults) {
  testing::TempFolder folder;
  folder.write("in.txt", "title\n3 0 1\n");
  folder.write("out.txt", "earlier results");
  testing::ProgramRun run = testing::run_kalveno(folder.path(), {"in.txt", "out.txt"}, "\n");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(folder.read("out.txt"), "earlier results");
}

TEST(RunSeed, TakesAValidSeedAndWarnsAboutOthers) {
  std::istringstream in;
  std::ostringstream out;
  Console console(in, out);
  RunSettings settings;
  settings.seed = "2147483646";
  bool from_clock = true;
  EXPECT_EQ(run_seed(console, settings, from_clock), 2147483646);
  EXPECT_FALSE(from_clock);
  EXPECT_EQ(out.str(), "");
  for (const char* bad : {"0", "2147483647", "12x", "", "-5"}) {
    settings.seed = bad;
    std::int32_t seed = run_seed(console, settings, from_clock);
    EXPECT_TRUE(from_clock);
    EXPECT_GE(seed, 1);
    EXPECT_LE(seed, 80063);
  }
  EXPECT_NE(out.str().find("\nWarning: KALVENO_SEED=\"12x\" is not an integer from 1 to 2147483646; the clock "
                           "seeds this run."),
            std::string::npos);
}

// A run in a folder of its own, with a memory budget too small for the
// first array of the example data.
struct Ended {
  int status;
  std::string printed;
};
Ended run_out_of_memory(const testing::TempFolder& folder) {
  folder.write("in.txt", testing::source_file("examples/meuse.txt"));
  std::istringstream in;
  std::ostringstream out;
  Console console(in, out);
  RunSettings settings;
  settings.memory_budget = 64;
  const std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  const int status = run_kalveno(console, {"in.txt", "out.txt"}, settings);
  std::filesystem::current_path(here);
  return {status, out.str()};
}

TEST(AllocationFailure, IsPrintedAndLoggedAtTheTopThenEndsWithStatusOne) {
  testing::TempFolder folder;
  Ended first = run_out_of_memory(folder);
  EXPECT_EQ(first.status, 1);
  const std::string message = "\nallocation failure in dvector()";  // the distance classes
  EXPECT_EQ(first.printed.substr(first.printed.size() - message.size()), message);
  run_out_of_memory(folder);  // a second failed run appends its message
  EXPECT_EQ(folder.read("error.txt"), message + message);
}

TEST(AllocationFailure, EndsWithStatusThreeWhenTheLogCannotBeWritten) {
  testing::TempFolder folder;
  std::filesystem::create_directory(folder.file("error.txt"));  // a folder cannot be appended to
  Ended ended = run_out_of_memory(folder);
  EXPECT_EQ(ended.status, 3);
  const std::string tail = "error in writing \nallocation failure in dvector() : cannot open file";
  EXPECT_EQ(ended.printed.substr(ended.printed.size() - tail.size()), tail);
}

// A std::bad_alloc from outside the allocators (a std::vector that grows,
// say) ends the run as the allocation failure it is, not in std::terminate.
// (Under the sanitizers a block too large for the machine ends the process
// at once, so the failure is thrown here.)
TEST(AllocationFailure, AStandardBadAllocEndsTheRunTheSameWay) {
  testing::TempFolder folder;
  std::istringstream in;
  std::ostringstream out;
  Console console(in, out);
  const std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  const int status = status_of_run(console, true, [] { throw std::bad_alloc(); });
  std::filesystem::current_path(here);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(folder.read("error.txt"), "\nallocation failure in operator new()");
  EXPECT_NE(out.str().find("\nallocation failure in operator new()\nNote: the run needed more memory"),
            std::string::npos);
}

}  // namespace
}  // namespace kalveno
