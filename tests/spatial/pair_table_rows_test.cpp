// The pair table's own block of memory: refused beyond the budget with the
// caller's message, rows laid end to end, and a large block starting on a
// huge-page boundary so that the system can back it with huge pages.
#include "spatial/pair_table_rows.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "base/allocation.h"

namespace kalveno {
namespace {

TEST(PairTableRows, BeyondTheBudgetFailsWithTheCallersMessage) {
  try {
    PairTableRows<double> rows(Allocator(1000), 20, "\nno room for the table");
    ADD_FAILURE() << "no failure";
  } catch (const AllocationFailure& failure) {
    EXPECT_EQ(failure.message, "\nno room for the table");
  }
}

TEST(PairTableRows, RowsFollowEachOtherAndALargeTableStartsOnAHugePage) {
  for (int n : {3, 1500}) {  // 128 bytes, then 18 MB
    PairTableRows<double> rows(Allocator(std::size_t{1} << 30), n, "");
    rows(n, n) = 1.5;  // the last entry is there to be written
    EXPECT_EQ(rows.row(1), rows.row(0) + n + 1);
    if (n > 1000) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(rows.row(0)) % (std::uintptr_t{2} << 20), 0u);
    }
  }
}

}  // namespace
}  // namespace kalveno
