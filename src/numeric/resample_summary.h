// The summary of an observed statistic against the values it took in the
// randomized replicates: mean, spread, empirical bounds and P values. All of
// it is single precision, as the replicate values are stored.
#pragma once
#include <cmath>
#include <cstdint>

#include "base/allocation.h"
#include "base/ranged_array.h"

namespace kalveno {

struct ResampleSummary {
  float obs;          // the observed value
  float mean;         // mean of the replicates
  float sd;           // their standard deviation, divisor n - 1
  float ci95_inf;     // central 95 % of the replicates; 0 when n < 40
  float ci95_sup;
  float ci99_inf;     // central 99 %; 0 when n < 200
  float ci99_sup;
  float p_less;       // P for "observed smaller than the replicates"
  float p_greater;    // P for "observed larger than the replicates"
  float p_two_sided;  // min(1, 2 min(p_less, p_greater))
  std::int32_t n_rep;        // n, the replicates summarised
  std::int32_t n_different;  // distinct values among them
};

// Whether the observed value could be compared with the replicates: against
// one that is not a number, or without a replicate that has a value, no P
// value means anything.
inline bool compared(const ResampleSummary& s) { return std::isfinite(s.obs) && s.n_rep > 0; }

inline RangedMatrix<ResampleSummary> summary_matrix(const Allocator& allocator, int row_lo, int row_hi, int col_lo,
                                                    int col_hi) {
  return allocator.matrix_of<ResampleSummary>(row_lo, row_hi, col_lo, col_hi, allocation_message::kSummaryMatrix);
}

// Summarises values[first..last] (callers pass first = 1, last = n >= 0)
// against observed into record; leaves values[1..n] sorted ascending.
// Without values the mean, spread, bounds and P values are not numbers.
void compute_resample_stat(RangedVector<float>& values, int first, int last, ResampleSummary& record,
                           float observed);

// The same summary of values[1..n] (numbers all) without sorting them, for
// callers with many summaries to make: the mean and spread as above, the P
// values by counting, the bounds from heaps of the few smallest and largest
// values, in about 2n comparisons for values in random order. The values
// are left in another order, n_different is not counted (0), and where both
// zeros, +0 and -0, are among the values a bound at zero may carry either
// sign.
void summarise_without_sorting(RangedVector<float>& values, int n, ResampleSummary& record, float observed);

// Shell sort of a[1..n] into ascending order, in place.
void shell_sort(int n, RangedVector<float>& a);

// Significance level of a P value against the number of replicates: 3 for
// P <= 0.001 with at least 4999 replicates, 2 for P <= 0.01 with 499, 1 for
// P <= 0.05 with 99, else 0. P and the thresholds are both single precision,
// so a P that reads 0.050000 (50/1000, stored as 0.0500000007) is <= 0.05.
int significance_level(float p, int n_rep);
// The mark after a value for its level: " ***", " **", " *" or nothing.
const char* significance_code(float p, int n_rep);
// The same for a test without replicates (an analytical one): the
// thresholds alone.
const char* significance_code(float p);

}  // namespace kalveno
