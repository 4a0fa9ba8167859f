// The grid description built once after loading, and its warnings.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "base/allocation.h"
#include "randomization/sample_grid.h"

namespace kalveno {
namespace {

struct Built {
  SampleGrid grid;
  std::string printed;
};

// Samples given as {grid, X, Y}.
Built build(int n_grids, const std::vector<std::array<int, 3>>& samples) {
  const int n = static_cast<int>(samples.size());
  RangedMatrix<int> positions = Allocator().int_matrix(0, 2, 0, n);
  int max_x = 0, max_y = 0;
  for (int s = 1; s <= n; ++s) {
    for (int row = 0; row < 3; ++row) positions(row, s) = samples[static_cast<std::size_t>(s - 1)][static_cast<std::size_t>(row)];
    max_x = std::max(max_x, positions(1, s));
    max_y = std::max(max_y, positions(2, s));
  }
  Built built;
  built.grid = build_sample_grids(Allocator(), n, n_grids, positions, max_x, max_y,
                                  [&](const std::string& warning) { built.printed += warning; });
  return built;
}

TEST(SampleGrids, AFullRectangleGivesNoWarning) {
  Built b = build(1, {{1, 1, 1}, {1, 1, 2}, {1, 2, 1}, {1, 2, 2}, {1, 3, 1}, {1, 3, 2}});
  EXPECT_EQ(b.printed, "");
  EXPECT_EQ(b.grid.grid_nx[1], 3);
  EXPECT_EQ(b.grid.grid_ny[1], 2);
  EXPECT_EQ(b.grid.grid_cell(1, 3, 1), 5);
}

TEST(SampleGrids, TheFirstSampleListedKeepsACellClaimedTwice) {
  Built b = build(1, {{1, 1, 1}, {1, 1, 1}});
  EXPECT_EQ(b.printed, "\nWarning: redefinition of group 1,X=1,Y=1 of sample 1 by sample 2");
  EXPECT_EQ(b.grid.grid_cell(1, 1, 1), 1);
}

TEST(SampleGrids, ReportsHolesInGridThenXThenYOrder) {
  Built b = build(2, {{1, 2, 2}, {2, 1, 2}});
  EXPECT_EQ(b.printed,
            "\nWarning: lack sample for group 1, X=1, Y=1\nWarning: lack sample for group 1, X=1, Y=2"
            "\nWarning: lack sample for group 1, X=2, Y=1\nWarning: lack sample for group 2, X=1, Y=1");
}

TEST(SampleGrids, AGridWithoutSamplesIsEmptyAndQuiet) {
  Built b = build(3, {{1, 1, 1}, {3, 1, 1}});
  EXPECT_EQ(b.printed, "");
  EXPECT_EQ(b.grid.grid_nx[2], 0);
  EXPECT_EQ(b.grid.grid_ny[2], 0);
}

TEST(SampleGrids, PositionZeroLiesOutsideTheTorusWithoutWarning) {
  Built b = build(1, {{1, 0, 1}, {1, 1, 1}});
  EXPECT_EQ(b.printed, "");
  EXPECT_EQ(b.grid.grid_cell(1, 0, 1), 1);
  EXPECT_EQ(b.grid.grid_nx[1], 1);
}

}  // namespace
}  // namespace kalveno
