// A randomization series of Moran's I: the replicates of every variable and
// column of the Moran matrix, each summarised against its observed value.
#pragma once
#include "base/allocation.h"
#include "numeric/resample_summary.h"
#include "randomization/replicate_runner.h"
#include "spatial/moran.h"

namespace kalveno {

class Console;

// The arrays of a series of n_rep replicates, made once and used by every
// series of the run in turn.
struct MoranSeries {
  RangedCube<float> replicates;            // [r][v][-2..C+1]: Moran matrix of replicate r, 1..n_rep
  RangedMatrix<ResampleSummary> stats;     // [v][-2..C+1]: each statistic against its replicates
};
MoranSeries make_moran_series(const Allocator& allocator, int n_rep, int n_variables, int n_classes);

// Runs n_rep replicates of randomization, this process's range of them on
// n_workers threads, each drawn into work by draw, with progress marks on
// console; then, on the first process of group, summarises every statistic
// against observed into series.stats. The same whatever n_workers and
// however many processes.
void run_moran_series(Console& console, ProcessGroup& group, const MoranSetup& setup, Randomization randomization,
                      int n_rep, int n_workers, Permutation& work, const DrawPermutation& draw,
                      const MoranResults& observed, MoranSeries& series);

}  // namespace kalveno
