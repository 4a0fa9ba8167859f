#include "plain_moran.h"

#include "spatial/moran_plain.h"

namespace kalveno::bench {

void plain_moran_statistics(const DataSet& data, Randomization randomization, const Permutation& p,
                            const DistanceClasses& classes, const PairFilter& filter,
                            const RegressionInterval& interval, MoranResults& out) {
  testing::plain_moran_statistics(data, randomization, p, classes, filter, interval, out);
}

}  // namespace kalveno::bench
