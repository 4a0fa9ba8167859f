// Ways of reassigning samples for one randomization replicate. Entry s of a
// Permutation names the sample whose position (or values) sample s takes in
// the replicate; the identity stands for the data as observed. An entry 0
// names no sample: a site whose target grid cell is empty.
#pragma once
#include "base/allocation.h"
#include "base/ranged_array.h"
#include "numeric/random.h"
#include "randomization/sample_grid.h"

namespace kalveno {

using Permutation = RangedVector<int>;  // [0..N]; entry 0 is a scratch slot

// The two ways of reassigning samples in a randomization test.
enum class Randomization { kComplete, kToroidal };
// Its name in the results file: "COMPLETE" or "WITHIN GROUP TOROIDAL".
const char* randomization_name(Randomization randomization);

// The identity over samples 1..n. It needs no memory budget: the data
// already hold arrays of n + 1 doubles.
Permutation identity_permutation(int n_samples);

// Any sample may land anywhere: the identity shuffled, N - 1 draws.
void complete_permutation(int n_samples, Permutation& perm, Random& rng);

// Each grid moves as a block: a random torus translation (two deviates) and
// reflection (two reflection draws), for every grid in order. Samples that
// occupy no cell of a torus keep their own positions.
void toroidal_permutation(const SampleGrid& grid, int n_grids, Permutation& perm, Random& rng);

// The distinct placements toroidal randomization draws from, the observed
// one included: for each grid 2 n translations and reflections along an
// axis of n >= 3 cells (2 along one of two cells, 1 along one of one), so
// 4 x columns x rows for most grids, multiplied over the grids.
double toroidal_placements(const SampleGrid& grid, int n_grids);

}  // namespace kalveno
