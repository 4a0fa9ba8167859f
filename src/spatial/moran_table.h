// The spatial autocorrelation analysis as rows of the tidy statistics table:
// per variable, Moran's I of each distance class, then the slopes of Iij on
// distance ("slope_distance") and on ln(distance) ("slope_log_distance").
#pragma once
#include <vector>

#include "data/data_set.h"
#include "numeric/statistics_table.h"
#include "randomization/permutation.h"
#include "spatial/moran.h"

namespace kalveno {

// The observed values, as the observed section of the results file shows them.
void add_moran_observed_rows(std::vector<StatisticRow>& rows, const DataSet& data, const DistanceClasses& classes,
                             const MoranResults& observed);

// One test: each statistic's summary from moran_stats [1..V][-2..C], coded
// as the test section codes it (Moran's I two-sided, slopes by P<).
void add_moran_test_rows(std::vector<StatisticRow>& rows, Randomization randomization, int n_rep,
                         const DataSet& data, const DistanceClasses& classes, const MoranResults& observed,
                         const RangedMatrix<ResampleSummary>& moran_stats);

}  // namespace kalveno
