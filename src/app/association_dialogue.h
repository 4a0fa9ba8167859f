// Menu choice 2: association between variables, from its dialogue to its
// reports, and the randomization series it runs.
#pragma once
#include <functional>

#include "association/coefficients.h"
#include "numeric/resample_summary.h"

namespace kalveno {

class Console;
struct Session;

// Asks for the number of randomizations (and whether to detail the tests),
// writes the coefficients as observed, then tests them: by toroidal
// randomization when the data have grids, then by complete randomization
// when asked for (always when there is no grid).
void run_association(Session& session);

// The arrays of a series of n_rep replicates of V variables, made once and
// used by every series of the run in turn.
struct AssociationSeries {
  RangedCube<float> replicates;           // [r][j][k]: coefficient (j, k) of replicate r, 1..n_rep
  RangedMatrix<resample_stat_type> stats;  // [j][k]: coefficient (j, k) against its replicates
};
AssociationSeries make_association_series(int n_rep, int n_variables);

// Runs n_rep replicates on n_workers threads, each drawn into work by draw
// (in replicate order, from what the previous draw left), with progress
// marks on console, then summarises every coefficient (j, k) against
// observed(j, k) into series.stats. The same whatever n_workers.
void run_association_series(Console& console, const AssociationInput& input, int n_rep, int n_workers,
                            Permutation& work, const std::function<void(Permutation&)>& draw,
                            const RangedMatrix<double>& observed, AssociationSeries& series);

}  // namespace kalveno
