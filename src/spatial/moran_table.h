// The spatial autocorrelation analysis as rows of the tidy statistics table:
// per variable, Moran's I of each distance class, then, for a test, the
// correlogram as a whole ("correlogram"), then the slopes of Iij on distance
// ("slope_distance") and on ln(distance) ("slope_log_distance").
#pragma once
#include <vector>

#include "data/data_set.h"
#include "numeric/statistics_table.h"
#include "randomization/permutation.h"
#include "spatial/moran.h"
#include "spatial/moran_analytical.h"
#include "spatial/moran_correction.h"

namespace kalveno {

// Every moran_i row holds Moran's I itself in observed, and in expected its
// expectation -1/(n - 1), n the samples that have the variable: the class
// value of the results file (I - E(I) of a quantitative variable) plus E(I),
// and a test's summary shifted by the same E(I), its P values unchanged. A
// qualitative variable's score is written as it is, its expectation beside
// it. variable_pairs are the pairs of each class a variable uses
// (class_weights with the qualitative variables).

// The observed values, as the observed section of the results file shows them.
void add_moran_observed_rows(std::vector<StatisticRow>& rows, const DataSet& data, const DistanceClasses& classes,
                             const MoranResults& observed, const ClassWeights& variable_pairs);

// One test: each statistic's summary from moran_stats [1..V][-2..C], coded
// as the test section codes it (Moran's I two-sided, slopes by P<), the
// classes with their adjusted P and the correlogram with its P from
// correction.
void add_moran_test_rows(std::vector<StatisticRow>& rows, Randomization randomization, int n_rep,
                         const DataSet& data, const DistanceClasses& classes, const MoranResults& observed,
                         const ClassWeights& variable_pairs, const RangedMatrix<ResampleSummary>& moran_stats,
                         const CorrelogramCorrection& correction);

// The analytical tests of the quantitative variables, under normality
// (test "normality") then randomization ("randomization"): Moran's I itself
// (the class value less 1 / (n - 1)) per class, then the correlogram.
void add_moran_analytical_rows(std::vector<StatisticRow>& rows, const DataSet& data, const DistanceClasses& classes,
                               const MoranResults& observed, const ClassWeights& variable_pairs,
                               const MoranAnalytical& tests,
                               const CorrelogramCorrection& normality, const CorrelogramCorrection& randomization);

}  // namespace kalveno
