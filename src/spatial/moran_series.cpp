#include "spatial/moran_series.h"

#include <vector>

namespace kalveno {

namespace {

// The results of one worker's evaluations, and its working storage.
struct WorkerState {
  explicit WorkerState(const MoranSetup& setup)
      : scratch(setup), results(make_moran_results(setup.allocator(), setup.n_variables(), setup.n_classes())) {}
  MoranScratch scratch;
  MoranResults results;
};

}  // namespace

MoranSeries make_moran_series(const Allocator& allocator, int n_rep, int n_variables, int n_classes) {
  MoranSeries series;
  series.replicates = allocator.float_cube(0, n_rep, 0, n_variables, -2, n_classes + 1);
  series.stats = summary_matrix(allocator, 0, n_variables, -2, n_classes + 1);
  return series;
}

void run_moran_series(Console& console, ProcessGroup& group, const MoranSetup& setup, Randomization randomization,
                      int n_rep, int n_workers, Permutation& work, const DrawPermutation& draw,
                      const MoranResults& observed, MoranSeries& series) {
  const int n_variables = setup.n_variables(), last_column = setup.n_classes() + 1;
  std::vector<WorkerState> workers;
  workers.reserve(static_cast<std::size_t>(n_workers));
  for (int w = 0; w < n_workers; ++w) workers.emplace_back(setup);
  RangedCube<float>& replicates = series.replicates;
  auto evaluate = [&](int worker, int r, const Permutation& perm) {
    WorkerState& state = workers[static_cast<std::size_t>(worker)];
    moran_statistics(setup, randomization, perm, state.scratch, state.results);
    // Stored in single precision, as the summary uses them.
    for (int k = 1; k <= n_variables; ++k)
      for (int c = -2; c <= last_column; ++c)
        replicates(r, k, c) = static_cast<float>(state.results.moran_matrix(k, c));
  };
  // A replicate whose selected pairs leave a class without a pair of a
  // variable gives it no value there (not a number), and no regression
  // without pairs in the interval (MISSING_VALUE).
  run_series(console, group, setup.allocator(), n_rep, n_workers, work, draw, evaluate, replicates,
             observed.moran_matrix, series.stats, true);
}

}  // namespace kalveno
