#include "association/association_series.h"

#include <algorithm>
#include <vector>

namespace kalveno {

AssociationSeries make_association_series(const Allocator& allocator, int n_rep, int n_variables) {
  AssociationSeries series;
  series.stats = summary_matrix(allocator, 0, n_variables, 0, n_variables);
  series.replicates = allocator.float_cube(0, n_rep, 0, n_variables, 0, n_variables);
  return series;
}

void run_association_series(Console& console, ProcessGroup& group, const Allocator& allocator,
                            const AssociationInput& input, int n_rep, int n_workers, Permutation& work,
                            const DrawPermutation& draw, const RangedMatrix<double>& observed,
                            AssociationSeries& series) {
  const int v_count = input.n_variables;
  n_workers = std::max(1, std::min(n_workers, n_rep));
  // Scratch and a result matrix per worker: a worker has one replicate in
  // hand at a time, and its coefficients go to their slice as floats.
  std::vector<AssociationScratch> scratch;
  std::vector<RangedMatrix<double>> result;
  for (int w = 0; w < n_workers; ++w) {
    scratch.emplace_back(allocator, input);
    result.push_back(allocator.double_matrix(1, v_count, 1, v_count));
  }
  RangedCube<float>& replicates = series.replicates;
  auto evaluate = [&](int worker, int r, const Permutation& perm) {
    RangedMatrix<double>& m = result[static_cast<std::size_t>(worker)];
    association_coefficients(input, perm, scratch[static_cast<std::size_t>(worker)], m, nullptr);
    for (int j = 1; j <= v_count; ++j)
      for (int k = 1; k <= v_count; ++k) replicates(r, j, k) = static_cast<float>(m(j, k));
  };
  run_series(console, group, allocator, n_rep, n_workers, work, draw, evaluate, replicates, observed, series.stats);
}

}  // namespace kalveno
