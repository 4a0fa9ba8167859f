// The association analysis in the results file: the coefficients as
// observed with the means per state, and the result of each randomization
// test with its significance codes and, on request, every summary in detail.
// Each writer appends its section to the results file and closes it.
#pragma once
#include <string>

#include "association/coefficients.h"
#include "numeric/resample_summary.h"

namespace kalveno {

class Console;
struct DataSet;

// The Pearson, chi-square and intra-class matrices as observed (each only
// when there are variables of its kinds to fill it), then the mean of each
// quantitative variable for each state of each qualitative variable that has
// at least two states. The cell at row j, column k shows association(k, j).
void write_association_observed(Console& console, const std::string& results_path, const DataSet& data,
                                const RangedMatrix<double>& association, const StateMeans& state_means);

// One randomization test ("WITHIN GROUP TOROIDAL" or "COMPLETE") of n_rep
// replicates: the three matrices with their codes (two-sided with the sign
// of the departure for Pearson's r, one-sided "greater" for chi-square and
// intra-class r), then, when detailed_report, every summary line.
void write_association_tests(Console& console, const std::string& results_path, const char* randomization_name,
                             int n_rep, const DataSet& data, const RangedMatrix<resample_stat_type>& stats,
                             bool detailed_report);

}  // namespace kalveno
