// Index-ranged arrays, and the error log through which a failed allocation
// ends the run.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "base/console.h"
#include "base/program_end.h"
#include "base/allocation.h"
#include "support/run_program.h"

namespace kalveno {
namespace {

TEST(RangedArrays, AddressTheirNominalRangesIncludingNegativeBounds) {
  RangedMatrix<double> table = matrix(1, 2, -2, 3);
  for (int r = 1; r <= 2; ++r)
    for (int c = -2; c <= 3; ++c) table(r, c) = 10 * r + c;
  EXPECT_EQ(table(1, -2), 8);
  EXPECT_EQ(table(2, 3), 23);
  EXPECT_EQ(table.row(2)[0], 18);  // row() starts at the lowest column
  RangedVector<int> one = ivector(0, 0);
  one[0] = 7;
  EXPECT_EQ(one[0], 7);
  RangedCube<int> cube = f3tensor<int>(0, 1, 0, 2, -1, 1);
  cube(1, 2, -1) = 5;
  EXPECT_EQ(cube.row(1, 2)[0], 5);
  EXPECT_EQ(cube(0, 0, 0), 0);  // new arrays are zero-filled
}

TEST(RangedArrays, AcceptAnEmptyRange) {
  RangedVector<double> none = dvector(1, 0);
  EXPECT_TRUE(none.empty());
}

// Runs an allocation that must fail, in a folder of its own, and returns the
// exit status, what was printed and what error.txt holds.
struct Failure {
  int status = -1;
  std::string printed, logged;
};

template <class Allocate>
Failure failing_allocation(const testing::TempFolder& folder, Allocate allocate) {
  std::istringstream in;
  std::ostringstream out;
  Console console(in, out);
  Console::Scope scope(console);
  std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  Failure failure;
  try {
    allocate();
  } catch (const ProgramEnd& end) {
    failure.status = end.status;
  }
  std::filesystem::current_path(here);
  failure.printed = out.str();
  failure.logged = folder.read("error.txt");
  return failure;
}

TEST(AllocationFailure, PrintsAndLogsItsMessageThenEndsWithStatusOne) {
  testing::TempFolder folder;
  Failure first = failing_allocation(folder, [] { matrix(0, 1, 0, -5); });
  EXPECT_EQ(first.status, kAllocationFailure);
  EXPECT_EQ(first.printed, "\nallocation failure 2 in matrix()");
  EXPECT_EQ(first.logged, "\nallocation failure 2 in matrix()");
  // A second failed run appends its message behind the first one's.
  Failure second = failing_allocation(folder, [] { f3tensor<float>(0, 1 << 30, 0, 1 << 30, 0, 1 << 30); });
  EXPECT_EQ(second.logged, "\nallocation failure 2 in matrix()\nallocation failure 3 in f3tensor()");
}

TEST(AllocationFailure, RefusesBlocksBeyondTheMemoryBudgetAtOnce) {
  testing::TempFolder folder;
  std::size_t budget = memory_budget();
  set_memory_budget(1 << 20);
  Failure failure = failing_allocation(folder, [] { ivector(1, 1 << 20); });
  set_memory_budget(budget);
  EXPECT_EQ(failure.status, kAllocationFailure);
  EXPECT_EQ(failure.logged, "\nallocation failure in ivector()");
}

TEST(AllocationFailure, EndsWithStatusThreeWhenTheLogCannotBeWritten) {
  testing::TempFolder folder;
  std::filesystem::create_directory(folder.file("error.txt"));  // a folder cannot be appended to
  Failure failure = failing_allocation(folder, [] { dvector(5, 0); });
  EXPECT_EQ(failure.status, kErrorLogUnwritable);
  EXPECT_EQ(failure.printed,
            "\nallocation failure in dvector()error in writing \nallocation failure in dvector() : cannot open file");
}

}  // namespace
}  // namespace kalveno
