// Association between every ordered pair of variables, for one assignment of
// samples to sites: Pearson's correlation between quantitative variables, the
// chi-square statistic between qualitative ones, and the intra-class
// correlation of a quantitative variable classified by a qualitative one,
// with the mean of each quantitative variable within each state.
//
// For the pair (j, k) the value of j at site i is that of sample perm[i] and
// the value of k is that of sample i itself; between a quantitative and a
// qualitative variable the qualitative one is the permuted one. A site gives
// a usable pair when both values are present; a permutation entry 0 (a site
// whose target grid cell is empty) gives none.
#pragma once
#include <cstdint>

#include "base/allocation.h"
#include "base/ranged_array.h"
#include "base/vector_path.h"
#include "randomization/permutation.h"

namespace kalveno {

// The data as the coefficients read it, prepared once and shared read-only by
// every worker: which variables are of which kind, their values laid out by
// sample, and the sum and mean of each quantitative variable (which no
// permutation changes).
struct AssociationInput {
  int n_variables = 0;  // V
  int n_samples = 0;    // N
  VectorPath path = VectorPath::kSse2;  // the vector instructions of the replicate loop
  RangedVector<int> var_kind;           // [1..V]: 0 quantitative, S > 0 qualitative with S states
  RangedVector<int> quantitative;       // [1..n_quantitative]: their variable numbers, in order
  RangedVector<int> qualitative;        // [1..n_qualitative]
  int n_quantitative = 0, n_qualitative = 0;
  // The quantitative values twice: by variable ([q][i], q-th quantitative
  // variable, sample i), MISSING_VALUE kept, and by sample ([i][q]), a
  // missing value held as 0. By sample, rows are padded to a whole number
  // of blocks of kBlock columns (value and mask 0), and present_mask is all
  // ones where the value is present, 0 where it is missing.
  static constexpr int kBlock = 8;
  int padded_quantitative = 0;               // n_quantitative rounded up to a multiple of kBlock
  RangedMatrix<double> by_variable;          // [1..n_quantitative][1..N]
  RangedMatrix<double> by_sample;            // [1..N][1..padded_quantitative]
  RangedMatrix<std::uint64_t> present_mask;  // [1..N][1..padded_quantitative]
  // The samples where quantitative variable q is missing, in order:
  // missing_samples[missing_start[q] .. missing_start[q + 1] - 1].
  RangedVector<int> missing_samples;
  RangedVector<int> missing_start;           // [1..n_quantitative + 1]
  RangedMatrix<int> state;              // [1..n_qualitative][1..N]: state 1..S, 0 for a missing datum
  RangedVector<double> sum, mean;       // [1..n_quantitative]: over every present value, in sample order
  RangedVector<int> n_present;          // [1..n_quantitative]: the present values the moments rest on
};

// values(j, i) is variable j of sample i (rows 1..V, columns 1..N are read);
// path, which the processor must have, is kept for the replicate loop.
AssociationInput prepare_association_input(const Allocator& allocator, int n_variables,
                                           const RangedVector<int>& var_kind, int n_samples,
                                           const RangedMatrix<double>& values, VectorPath path);

// Working arrays of one evaluation, kept between calls so that a replicate
// allocates nothing. One per worker thread; nothing in it outlives a call.
struct AssociationScratch {
  AssociationScratch(const Allocator& allocator, const AssociationInput& input);

  RangedVector<double> permuted_value;   // [1..N]: the permuted quantitative variable at each site
  RangedVector<int> permuted_state;      // [1..N]: the permuted qualitative variable's state, 0 if none
  RangedVector<int> x_missing_sites;     // [0..N-1]: the sites where the permuted variable is missing
  // Pearson's moments of the usable pairs of the permuted variable with each
  // quantitative variable, [1..padded_quantitative]: their counts, their
  // means, and the sums of the products and of the squares of the
  // deviations from those means.
  RangedVector<int> usable_pairs;
  RangedVector<double> mean_x, mean_y, products, x_squares, y_squares;
  RangedMatrix<int> table;               // contingency table, [0..most states][0..most states]
  RangedVector<int> sites_by_state;      // [0..N-1]: the sites grouped by permuted state
  RangedVector<int> group_end;           // [0..most states]: where each group ends in sites_by_state
  // [0..most states][1..padded_quantitative]: pairs per state, held as
  // doubles (exact far beyond any N), the divisors of the sums.
  RangedMatrix<double> state_count;
  // Sum, and sum of squared deviations from the state's mean, per state, same shape.
  RangedMatrix<double> state_sum, state_squares;
};

// The per-state means: entry j, for a qualitative variable j with at least
// two states, is a matrix [1..V][0..S_j] whose element (k, a) is the mean of
// quantitative variable k over the usable pairs where the permuted state of
// j is a (MISSING_VALUE for a state that has none). Other entries are empty.
using StateMeans = RangedVector<RangedMatrix<double>>;
StateMeans make_state_means(const Allocator& allocator, int n_variables, const RangedVector<int>& var_kind);

// Fills association(j, k) for every ordered pair j, k = 1..V (association
// covers at least [1..V][1..V]):
//   both quantitative: Pearson's r, j permuted, the product-moment
//     correlation of the usable pairs, from their deviations from the
//     pairs' own means, which are worked out first: with x_i the deviation
//     of j's permuted value from j's mean over its values, the mean of x
//     (of k's values) over the usable pairs is the sum over every present
//     x (every value of k, in sample order) less those of the sites where
//     the other variable is missing, taken away in site order, divided by
//     the number of pairs; the sums of the products and squares of the
//     deviations from them run over the usable pairs in site order;
//   both qualitative: chi-square of the table of j (permuted) by k; a cell
//     whose expected count is 0 adds nothing, and with no usable pair at all
//     the statistic is not a number;
//   qualitative j with two states or more and quantitative k: the intra-class
//     correlation of k classified by the observed states of j (permuted), in
//     (j, k) and (k, j); MISSING_VALUE in both when fewer than two states are
//     observed or there are no more usable pairs than observed states;
//   qualitative j with one state and quantitative k: MISSING_VALUE in both.
// When means is given, also fills the per-state means. Sums run over sites
// i = 1..N in order, so the result does not depend on how it is computed.
void association_coefficients(const AssociationInput& input, const Permutation& perm, AssociationScratch& scratch,
                              RangedMatrix<double>& association, StateMeans* means);
// The same, the rows of each variable shared out among n_workers threads
// with scratch of their own, for the observed data: the same results.
void association_coefficients(const Allocator& allocator, const AssociationInput& input, const Permutation& perm,
                              RangedMatrix<double>& association, StateMeans* means, int n_workers);

}  // namespace kalveno
