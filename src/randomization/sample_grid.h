// The rectangular sampling grids: for each grid its extent and the sample in
// each of its cells, as toroidal randomization needs them. Grid positions run
// from 1; the torus of grid g is 1..grid_nx[g] x 1..grid_ny[g].
#pragma once
#include <functional>
#include <string>

#include "base/allocation.h"
#include "base/ranged_array.h"

namespace kalveno {

struct SampleGrid {
  RangedVector<int> grid_nx;   // [0..G]: columns of grid g (its largest grid X)
  RangedVector<int> grid_ny;   // [0..G]: rows of grid g (its largest grid Y)
  RangedCube<int> grid_cell;   // [g][X][Y]: the sample in that cell, 0 when empty
};

// Empty cells warned about one by one; the others are counted in one warning.
constexpr int kListedEmptyCells = 20;

// Makes the grid description of G grids for the N samples of sample_grid
// (row 0 grid 1..G, rows 1 and 2 grid X and Y >= 0). Hands warn a warning
// about each cell claimed twice (the first sample keeps it) and about each
// of the first kListedEmptyCells empty cells, as it finds them, then one
// with the number of further empty cells.
SampleGrid build_sample_grids(const Allocator& allocator, int n_samples, int n_grids,
                              const RangedMatrix<int>& sample_grid, int max_grid_x, int max_grid_y,
                              const std::function<void(const std::string& warning)>& warn);

}  // namespace kalveno
