#include "randomization/permutation.h"

#include "base/results_headings.h"

namespace kalveno {

const char* randomization_name(Randomization randomization) {
  return randomization == Randomization::kComplete ? headings::kComplete : headings::kToroidal;
}

Permutation identity_permutation(int n_samples) {
  Permutation perm = Allocator().int_vector(0, n_samples);
  for (int s = 0; s <= n_samples; ++s) perm[s] = s;
  return perm;
}

void complete_permutation(int n_samples, Permutation& perm, Random& rng) {
  for (int s = 1; s <= n_samples; ++s) perm[s] = s;
  shuffle_range(perm, 1, n_samples, rng);
}

void toroidal_permutation(const SampleGrid& grid, int n_grids, Permutation& perm, Random& rng) {
  // A sample off every torus (grid position 0, or a cell another sample
  // took first) stays where it was observed, whatever an earlier replicate
  // left in its entry: two samples never share a position.
  for (int s = 1; s <= perm.hi(); ++s) perm[s] = s;
  for (int g = 1; g <= n_grids; ++g) {
    const int nx = grid.grid_nx[g], ny = grid.grid_ny[g];
    const int shift_x = static_cast<int>(uniform_deviate(rng) * nx);
    const int shift_y = static_cast<int>(uniform_deviate(rng) * ny);
    const bool mirror_x = lcg_rand(rng) % 2 == 1;
    const bool mirror_y = lcg_rand(rng) % 2 == 1;
    for (int x = 1; x <= nx; ++x) {
      int target_x = static_cast<int>((0LL + x + nx + shift_x - 1) % nx + 1);
      if (mirror_x) target_x = nx + 1 - target_x;
      for (int y = 1; y <= ny; ++y) {
        int target_y = static_cast<int>((0LL + y + ny + shift_y - 1) % ny + 1);
        if (mirror_y) target_y = ny + 1 - target_y;
        // An empty source cell writes into the scratch entry 0; an empty
        // target cell gives the entry 0, which names no sample.
        perm[grid.grid_cell(g, x, y)] = grid.grid_cell(g, target_x, target_y);
      }
    }
  }
}

double toroidal_placements(const SampleGrid& grid, int n_grids) {
  // A reflection of a cycle of one or two cells is one of its translations.
  auto along = [](int n) { return n <= 2 ? static_cast<double>(n) : 2.0 * n; };
  double placements = 1;
  for (int g = 1; g <= n_grids; ++g) placements *= along(grid.grid_nx[g]) * along(grid.grid_ny[g]);
  return placements;
}

}  // namespace kalveno
