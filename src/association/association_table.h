// The association analysis as rows of the tidy statistics table. A row
// holds the coefficient of the ordered pair (variable, variable2), the
// first variable being the one whose samples are permuted, as the detailed
// report lists them: Pearson's r ("pearson_r") and chi-square
// ("chi_square") for each ordered pair of distinct variables of one kind,
// the intra-class correlation ("intraclass_r") of each quantitative
// variable by each qualitative one, and, observed only, the mean of each
// quantitative variable in each state ("state_mean").
#pragma once
#include <vector>

#include "association/coefficients.h"
#include "data/data_set.h"
#include "numeric/statistics_table.h"
#include "randomization/permutation.h"

namespace kalveno {

// The coefficients and state means as observed.
void add_association_observed_rows(std::vector<StatisticRow>& rows, const DataSet& data,
                                   const RangedMatrix<double>& association, const StateMeans& state_means);

// One test of n_rep replicates: each coefficient's summary, coded as the
// test section codes it.
void add_association_test_rows(std::vector<StatisticRow>& rows, Randomization randomization, int n_rep,
                               const DataSet& data, const RangedMatrix<ResampleSummary>& stats);

}  // namespace kalveno
