// The association analysis in the results file: the coefficients as
// observed with the means per state, and the result of each randomization
// test with its significance codes and, on request, every summary in detail.
// Each writer appends its section to an open results file.
#pragma once
#include <string>
#include <vector>

#include "association/coefficients.h"
#include "base/files.h"
#include "data/data_set.h"
#include "numeric/resample_summary.h"
#include "randomization/permutation.h"

namespace kalveno {

// The variables of one kind, in increasing order: the rows and columns of
// the matrices.
std::vector<int> quantitative_variables(const DataSet& data);
std::vector<int> qualitative_variables(const DataSet& data);

// The code of a two-sided test with the side of the departure, as the
// Pearson matrices show it after a value: "+**", "-*", or empty when the
// value earns no level or equals the replicates' mean.
std::string signed_significance_code(const ResampleSummary& s, int n_rep);

// The Pearson, chi-square and intra-class matrices as observed (each only
// when there are variables of its kinds to fill it), then the mean of each
// quantitative variable for each state of each qualitative variable that has
// at least two states. The cell at row j, column k shows association(k, j).
void write_association_observed(OutputFile& out, const DataSet& data, const RangedMatrix<double>& association,
                                const StateMeans& state_means);

// One randomization test of n_rep replicates: the three matrices with their
// codes (two-sided with the sign of the departure for Pearson's r, one-sided
// "greater" for chi-square and intra-class r), then, when detailed_report,
// every summary line.
void write_association_tests(OutputFile& out, Randomization randomization, int n_rep, const DataSet& data,
                             const RangedMatrix<ResampleSummary>& stats, bool detailed_report);

}  // namespace kalveno
