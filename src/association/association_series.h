// A randomization series of the association coefficients: the replicates of
// every coefficient, each summarised against its observed value.
#pragma once
#include "association/coefficients.h"
#include "base/allocation.h"
#include "numeric/resample_summary.h"
#include "randomization/replicate_runner.h"

namespace kalveno {

class Console;

// The arrays of a series of n_rep replicates of V variables, made once and
// used by every series of the run in turn.
struct AssociationSeries {
  RangedCube<float> replicates;            // [r][j][k]: coefficient (j, k) of replicate r, 1..n_rep
  RangedMatrix<ResampleSummary> stats;     // [j][k]: coefficient (j, k) against its replicates
};
AssociationSeries make_association_series(const Allocator& allocator, int n_rep, int n_variables);

// Runs n_rep replicates, this process's range of them on n_workers threads,
// each drawn into work by draw (in replicate order, from what the previous
// draw left), with progress marks on console; then, on the first process of
// group, summarises every coefficient (j, k) against observed(j, k) into
// series.stats. The same whatever n_workers and however many processes.
void run_association_series(Console& console, ProcessGroup& group, const Allocator& allocator,
                            const AssociationInput& input, int n_rep, int n_workers, Permutation& work,
                            const DrawPermutation& draw, const RangedMatrix<double>& observed,
                            AssociationSeries& series);

}  // namespace kalveno
