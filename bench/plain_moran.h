// The plain pair-by-pair evaluation of Moran's I, compiled on its own at -O2:
// what a straightforward program would run, for the benchmarks to compare with.
#pragma once
#include "data/data_set.h"
#include "randomization/permutation.h"
#include "spatial/moran.h"

namespace kalveno::bench {

void plain_moran_statistics(const DataSet& data, Randomization randomization, const Permutation& p,
                            const DistanceClasses& classes, const PairFilter& filter,
                            const RegressionInterval& interval, MoranResults& out);

}  // namespace kalveno::bench
