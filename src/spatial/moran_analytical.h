// The analytical test of Moran's I in each distance class (Cliff and Ord),
// under the normality and the randomization assumptions: one pass over the
// pairs instead of a randomization series, and z values that compare across
// studies. The weights are binary and symmetric: w_ij = 1 for the selected
// pairs of the class among the n samples that have the variable. With k_i
// the pairs of sample i in the class, S0 = 2 pairs, S1 = 2 S0 and
// S2 = sum_i (2 k_i)^2. Quantitative variables only; the rows of the
// qualitative ones stay not a number.
#pragma once
#include <cstdint>

#include "base/allocation.h"
#include "base/ranged_array.h"
#include "data/data_set.h"
#include "spatial/moran.h"

namespace kalveno {

// The class weights of the observed placement, per variable and class
// [1..V][1..C]: the pairs used and the sum of k_i^2 over the samples. Both
// are whole numbers, exact whatever the number of workers.
struct ClassWeights {
  RangedMatrix<long long> pairs;
  RangedMatrix<std::uint64_t> k_squares;
};
// The qualitative variables' pairs too (their k_squares unused) when
// with_qualitative; their rows stay 0 otherwise.
ClassWeights class_weights(const MoranSetup& setup, const DataSet& data, int n_workers,
                           bool with_qualitative = false);

// One class of one variable under one assumption. Not a number where the
// class has no pair, the variable no spread, or fewer than four samples
// have it (the randomization variance divides by (n - 1)(n - 2)(n - 3)).
struct AnalyticalTest {
  double moran_i;   // I: the class value less 1 / (n - 1)
  double expected;  // E(I) = -1 / (n - 1)
  double sd;        // the root of Var(I)
  double z;         // (I - E(I)) / sd
  // From the normal tail, rounded to single precision; the two-sided P is
  // twice the smaller one, at most 1, as for the randomization tests.
  float p_less, p_greater, p_two_sided;
};

struct MoranAnalytical {
  RangedMatrix<AnalyticalTest> normality;      // [1..V][1..C]
  RangedMatrix<AnalyticalTest> randomization;  // [1..V][1..C]
};

// Every quantitative variable and class of the observed results, the class
// weights worked out by n_workers threads.
MoranAnalytical moran_analytical_tests(const MoranSetup& setup, const DataSet& data, const MoranResults& observed,
                                       int n_workers);

// The normal test of z: P(Z <= z), P(Z >= z) and the two-sided P, from erfc
// so that a far tail keeps its digits.
void normal_p_values(double z, AnalyticalTest& test);

}  // namespace kalveno
