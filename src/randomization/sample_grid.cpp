#include "randomization/sample_grid.h"

#include "base/text.h"

namespace kalveno {

SampleGrid build_sample_grids(const Allocator& allocator, int n_samples, int n_grids,
                              const RangedMatrix<int>& sample_grid, int max_grid_x, int max_grid_y,
                              const std::function<void(const std::string& warning)>& warn) {
  SampleGrid grid;
  grid.grid_cell = allocator.int_cube(0, n_grids, 0, max_grid_x, 0, max_grid_y);  // zero-filled: every cell empty
  grid.grid_nx = allocator.int_vector(0, n_grids);
  grid.grid_ny = allocator.int_vector(0, n_grids);
  for (int s = 1; s <= n_samples; ++s) {
    int g = sample_grid(0, s);
    if (sample_grid(1, s) > grid.grid_nx[g]) grid.grid_nx[g] = sample_grid(1, s);
    if (sample_grid(2, s) > grid.grid_ny[g]) grid.grid_ny[g] = sample_grid(2, s);
  }

  for (int s = 1; s <= n_samples; ++s) {
    int g = sample_grid(0, s), x = sample_grid(1, s), y = sample_grid(2, s);
    int& cell = grid.grid_cell(g, x, y);
    if (cell == 0) {
      cell = s;
    } else {
      warn(format("\nWarning: redefinition of group %i,X=%i,Y=%i of sample %i by sample %i", g, x, y, cell, s));
    }
  }
  // A mistyped grid position can leave millions of cells empty: the first
  // ones are listed, the others only counted.
  long long n_empty = 0;
  for (int g = 1; g <= n_grids; ++g) {
    for (int x = 1; x <= grid.grid_nx[g]; ++x) {
      for (int y = 1; y <= grid.grid_ny[g]; ++y) {
        if (grid.grid_cell(g, x, y) != 0) continue;
        if (++n_empty <= kListedEmptyCells)
          warn(format("\nWarning: lack sample for group %i, X=%i, Y=%i", g, x, y));
      }
    }
  }
  if (n_empty > kListedEmptyCells)
    warn(format("\nWarning: %lld more grid cells lack a sample (not listed); check the grid positions of the data "
                "file.", n_empty - kListedEmptyCells));
  return grid;
}

}  // namespace kalveno
