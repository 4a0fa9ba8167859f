// Index-ranged arrays, and the failure an allocator reports.
#include <gtest/gtest.h>

#include <string>

#include "base/allocation.h"

namespace kalveno {
namespace {

TEST(RangedArrays, AddressTheirNominalRangesIncludingNegativeBounds) {
  RangedMatrix<double> table = Allocator().double_matrix(1, 2, -2, 3);
  for (int r = 1; r <= 2; ++r)
    for (int c = -2; c <= 3; ++c) table(r, c) = 10 * r + c;
  EXPECT_EQ(table(1, -2), 8);
  EXPECT_EQ(table(2, 3), 23);
  EXPECT_EQ(table.row(2)[0], 18);  // row() starts at the lowest column
  RangedVector<int> one = Allocator().int_vector(0, 0);
  one[0] = 7;
  EXPECT_EQ(one[0], 7);
  RangedCube<int> cube = Allocator().int_cube(0, 1, 0, 2, -1, 1);
  cube(1, 2, -1) = 5;
  EXPECT_EQ(cube.row(1, 2)[0], 5);
  EXPECT_EQ(cube(0, 0, 0), 0);  // new arrays are zero-filled
}

TEST(RangedArrays, AcceptAnEmptyRange) {
  RangedVector<double> none = Allocator().double_vector(1, 0);
  EXPECT_TRUE(none.empty());
}

// The message an allocation that must fail throws.
template <class Allocate>
std::string failure_of(Allocate allocate) {
  try {
    allocate();
  } catch (const AllocationFailure& failure) {
    return failure.message;
  }
  return "(no failure)";
}

TEST(AllocationFailure, CarriesTheMessageOfItsAllocator) {
  const Allocator any;
  EXPECT_EQ(failure_of([&] { any.double_matrix(0, 1, 0, -5); }), "\nallocation failure 2 in matrix()");
  EXPECT_EQ(failure_of([&] { any.float_cube(0, 1 << 30, 0, 1 << 30, 0, 1 << 30); }),
            "\nallocation failure 3 in f3tensor()");
  EXPECT_EQ(failure_of([&] { any.double_vector(5, 0); }), "\nallocation failure in dvector()");
}

TEST(AllocationFailure, RefusesBlocksBeyondTheMemoryBudgetAtOnce) {
  const Allocator small(1 << 20);
  EXPECT_EQ(failure_of([&] { small.int_vector(1, 1 << 20); }), "\nallocation failure in ivector()");
  EXPECT_EQ(small.int_vector(1, (1 << 18) - 1).hi(), (1 << 18) - 1);  // a block of 1 MB, less 4 bytes
}

}  // namespace
}  // namespace kalveno
