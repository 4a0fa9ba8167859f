// Moran's I by distance class. For one placement of the samples, every
// selected pair (i, j) gives each variable the statistic Iij; the means of
// Iij per distance class are the variable's class values, and the
// least-squares slopes of Iij on distance and on ln(distance) sum up how it
// fades with distance. A quantitative variable's Iij is z_i z_j / s^2 +
// 1 / (n - 1), z the deviations from its mean and s^2 their mean square over
// the n samples that have it, so that a class value is I - E(I): Moran's I
// less its expectation -1 / (n - 1) when nothing goes with distance. A
// qualitative variable's Iij is 1 for two samples in the same state, and
// -P / (1 - P) otherwise (P the sum of its squared state frequencies).
//
// A placement is a Permutation p, read after the randomization it comes
// from; the identity is the data either way.
// - Toroidal: sample i, with its values and the state that selects pairs,
//   stands at the position of sample p[i]. An entry 0 names no position (a
//   sample whose translated grid cell is empty): that sample sits the
//   replicate out, and every pair containing it is counted nowhere. A
//   sample that lacks a variable moves too: a grid moves with its holes.
// - Complete: each variable's values move among the samples that have it.
//   With o_1 < ... < o_n the samples that have the variable and t_1, ...,
//   t_n the same samples in the order of p[t] (ties in sample order), the
//   value of t_k, and its selecting state, stand at the position of o_k.
//   The pairs a variable uses are then those of the data; without missing
//   values this is the toroidal reading of a permutation.
//
// Results, per call, for V variables and C distance classes:
//   moran_matrix [1..V][-2..C+1]: column -2 the slope of Iij on distance,
//     -1 the slope on ln(distance) (MISSING_VALUE when no pair enters the
//     regression), 0 the mean Iij of all selected pairs, 1..C the mean Iij
//     of class c, C+1 the sum (not the mean) of Iij beyond the last bound;
//   class_pair_count [0..C+1]: selected pairs in all, per class, beyond;
//   class_mean_distance [0..C+1]: entries 1..C, 0 for an empty class.
// The selected pairs of the counts are those of a variable that every
// sample has. A variable uses only the pairs where both samples have it, so
// a class mean may rest on fewer pairs than class_pair_count shows.
// Quotients are not guarded: an empty class or a constant variable gives a
// not-a-number.
//
// Every sum adds its terms in the order of the pairs: of the samples (i, j),
// i < j, in a toroidal placement, of the positions in a complete one (the
// same order for the identity). The sum of Iij over all selected pairs, the
// same pairs of values in every placement that leaves no sample out, is the
// one of the data.
#pragma once
#include <cstddef>

#include "base/allocation.h"
#include "base/progress.h"
#include "base/ranged_array.h"
#include "data/data_set.h"
#include "randomization/permutation.h"
#include "spatial/lane_kernels.h"
#include "spatial/pair_geometry.h"

namespace kalveno {

// Which sample pairs are taken, by the states of a qualitative variable. A
// missing state compares like a state of its own.
enum class PairSelection {
  kAllPairs,        // every pair
  kSameState,       // both samples in the same state
  kDistinctStates,  // in two different states
  kOneState,        // both in first_state
  kTwoStates,       // one in first_state, the other in second_state
  kUnnamedAll,      // every pair, after an answer that chose none of the above: the report names no pair set
};

struct PairFilter {
  PairSelection selection = PairSelection::kAllPairs;
  int variable = 0;     // the qualitative variable whose states select
  int first_state = 0;  // state numbers 1..k of that variable
  int second_state = 0;
};

class MoranScratch;
struct MoranResults;

// Rows first_row..last_row of n_lanes doubles, made zero. By default each row
// starts on a 64-byte boundary (one cache line, one AVX-512 vector) so that no
// vector load or store of the pair loop straddles two cache lines. Packed
// rows (stride n_lanes rounded up to four) leave that for fewer bytes: the
// pair loop streams the rows of every sample, and the sums, which it stores
// to, keep whole lines.
class LaneRows {
 public:
  LaneRows() = default;
  LaneRows(const Allocator& allocator, int first_row, int last_row, int n_lanes, bool packed = false);
  LaneRows(LaneRows&&) = default;  // the block stays where it is
  LaneRows& operator=(LaneRows&&) = default;

  int stride() const { return stride_; }
  double* row(int r) { return base_ + static_cast<std::ptrdiff_t>(r - first_row_) * stride_; }
  const double* row(int r) const { return base_ + static_cast<std::ptrdiff_t>(r - first_row_) * stride_; }
  double& operator()(int r, int k) { return row(r)[k]; }
  double operator()(int r, int k) const { return row(r)[k]; }
  void fill(double value);

 private:
  RangedVector<double> storage_;
  double* base_ = nullptr;
  int first_row_ = 0, n_rows_ = 0, stride_ = 0;
};

// Everything that no placement changes, worked out once per data set: the
// variables' moments and state frequencies, each sample's deviations and
// selecting state, the pair geometry, and the sums over all selected pairs.
// Shared read-only by every worker. path chooses the vector instructions of
// the pair loop (the best the processor has when it lacks the one asked for);
// every path gives the same bits. n_workers threads work out the pair table
// and the observed placement, showing their pace on progress when given.
class MoranSetup {
 public:
  // With the pair geometry tabulated when it fits the allocator's default
  // table limit.
  MoranSetup(const Allocator& allocator, const DataSet& data, const DistanceClasses& classes,
             const PairFilter& filter, const RegressionInterval& interval);
  MoranSetup(const Allocator& allocator, const DataSet& data, const DistanceClasses& classes,
             const PairFilter& filter, const RegressionInterval& interval, std::size_t geometry_table_limit,
             VectorPath path = best_vector_path(), int n_workers = 1, Progress* progress = nullptr);

  // Whether the filter takes every pair, whatever the states.
  bool takes_every_pair() const {
    return filter_.selection == PairSelection::kAllPairs || filter_.selection == PairSelection::kUnnamedAll;
  }
  // Whether the pair of samples i and j is one the filter selects.
  bool selects(int i, int j) const {
    const double ti = selector_[i], tj = selector_[j];
    const double first = filter_.first_state, second = filter_.second_state;
    switch (filter_.selection) {
      case PairSelection::kSameState: return ti == tj;
      case PairSelection::kDistinctStates: return ti != tj;
      case PairSelection::kOneState: return ti == first && tj == first;
      case PairSelection::kTwoStates: return (ti == first && tj == second) || (ti == second && tj == first);
      case PairSelection::kAllPairs:
      case PairSelection::kUnnamedAll: return true;
    }
    return true;
  }
  // The selected pairs of samples, where the data place them, that lie at
  // distance 0 inside the regression: the logarithm of their distance is
  // -inf, which makes the slope on ln(distance) not a number for every
  // variable that both samples have. Counted with the observed placement.
  long long regression_pairs_at_distance_zero() const { return regression_pairs_at_distance_zero_; }

  // The pairs a variable uses, per class, are counted in the pair loop, or,
  // where the placement puts every sample on a position of its own and no
  // filter selects, worked out from the samples that lack the variable: all
  // pairs of the class, less those of each such sample, plus those between
  // two of them. Both give the same integers. The setup chooses the second
  // where looking up the pairs between lacking samples costs less than it
  // saves; true forces counting in the loop, false the other way wherever it
  // applies (for tests and benchmarks). A complete placement needs neither:
  // its pairs are those of the data.
  void count_in_pair_loop(bool in_loop) { counts_from_missing_ = counts_from_missing_possible_ && !in_loop; }
  bool counts_from_missing() const { return counts_from_missing_; }

  int n_samples() const { return n_; }
  int n_variables() const { return n_variables_; }
  int n_classes() const { return n_classes_; }
  int n_lanes() const { return n_lanes_; }
  // The samples that have variable v: the n of its expectation -1 / (n - 1).
  int samples_with(int v) const { return samples_with_[v]; }
  VectorPath path() const { return path_; }
  const PairGeometry& geometry() const { return geometry_; }
  const Allocator& allocator() const { return allocator_; }

 private:
  friend class MoranEvaluation;
  friend class MoranScratch;
  friend void observed_moran_statistics(const MoranSetup&, MoranResults&);

  // The steps of the constructor, in order.
  void allot_lanes(const DataSet& data);
  void take_moments(const DataSet& data, int k);
  void finish_lanes();
  void prepare_selection(const DataSet& data);
  void prepare_placement();
  void prepare_counts_from_missing(int n_workers);
  void sum_all_pairs(int n_workers, Progress& progress);

  Allocator allocator_;
  int n_, n_variables_, n_classes_;
  bool regression_restricted_;
  PairFilter filter_;
  VectorPath path_;
  RangedVector<double> selector_;  // [0..N]: each sample's state of the filter variable
  RangedVector<int> samples_with_;  // [1..V]
  PairGeometry geometry_;

  // Variables are worked on in lanes numbered from 0: the quantitative ones
  // in lanes 0..quantitative_lanes_-1, the qualitative ones after them, in
  // each group those without missing data first. Both groups are padded to a
  // multiple of kLaneQuantum with lanes that hold no data.
  int quantitative_lanes_ = 0, n_lanes_ = 0;
  RangedVector<int> lane_variable_;  // [lanes]: the variable, 0 for padding
  RangedVector<double> variance_;    // [lanes]: s^2 of a quantitative variable
  RangedVector<double> reciprocal_;  // [lanes]: 1 / s^2, rounded
  // [lanes]: 1 where every quotient of the lane is the correctly rounded one
  // when formed from reciprocal_ (see moran.cpp).
  RangedVector<unsigned char> reciprocal_exact_;
  RangedVector<double> unlike_;      // [lanes]: Iij of distinct states, -P / (1 - P)
  RangedVector<double> inverse_n_minus_1_;  // [lanes]: 1 / (n - 1) of a quantitative variable, else 0
  // [lanes]: 1 where the variable is present in every sample, or the lane is
  // padding. Within each group these lanes come first.
  RangedVector<unsigned char> complete_;
  // A padding lane, where there is one, carries the pair's distance in place
  // of Iij and is present in every sample: its class sums and counts are the
  // class distance sums and pair counts, its regression sums of distances the
  // shared ones, all made by the vector loop. -1 when every lane is taken;
  // with a filter there always is one.
  int distance_lane_ = -1;
  RangedVector<double> distance_flag_;  // [lanes]: 1 in the distance lane
  LaneRows deviation_;  // [0..N][lanes]: value - mean, 0 when missing (packed)
  LaneRows state_;      // [0..N][lanes]: state of a qualitative variable (packed)
  LaneRows present_;    // [0..N][lanes]: 1 where the sample has the variable, else 0
  // present_ as bits, a byte a sample for every fourth lane (LaneGroup::present_bits).
  RangedVector<unsigned char> present_bits_;
  // Sums of Iij (row 0) and pairs used (row 1) over all selected pairs: the
  // same for every placement that leaves no sample out.
  RangedMatrix<double> all_pairs_;   // [0..1][lanes]
  // The results of the identity placement, the observed data, worked out
  // with those sums.
  RangedMatrix<double> identity_moran_;
  RangedVector<int> identity_pair_count_;
  RangedVector<double> identity_mean_distance_;
  long long regression_pairs_at_distance_zero_ = 0;

  // Complete placements. Lane k places its values onto the samples of
  // placed_samples_[placed_start_[k] .. placed_start_[k + 1] - 1], those
  // that have its variable in order; a lane that every sample has (padding
  // included) onto every sample, and lists none.
  RangedVector<int> placed_samples_;
  RangedVector<int> placed_start_;  // [0..lanes]
  Permutation identity_;
  // With a filter, the state of each sample [0..N] as a key and a mate (see
  // LaneGroup::key), and a lane of zeros for every lane's completeness: the
  // lanes then all select their own pairs.
  RangedVector<double> key_, mate_;
  RangedVector<unsigned char> none_complete_;
  // Without a filter, the pairs each lane uses and their geometry, as the
  // observed placement leaves them in a MoranScratch: the class counts and
  // the regression sums of distances (those of Iij are 0), the class sums
  // of distances and the shared regression sums.
  LaneRows fixed_used_, fixed_regression_;
  RangedVector<double> fixed_distance_sum_, fixed_shared_;

  // The pair counts worked out from the lacking samples (see count_in_pair_loop).
  bool counts_from_missing_possible_ = false, counts_from_missing_ = false;
  // [1..N][1..C+2]: the pairs of each position with every other position,
  // per class (1..C+1) and in the regression interval (C+2); [1..C+2] their
  // totals over all pairs of positions.
  RangedMatrix<int> position_pairs_;
  RangedVector<double> all_position_pairs_;
  // The samples that lack the variable of each lane, lane by lane: those of
  // lane k are missing_samples_[missing_start_[k] .. missing_start_[k + 1] - 1].
  RangedVector<int> missing_samples_;
  RangedVector<int> missing_start_;  // [0..lanes]
};

// The working storage of one evaluation at a time: make one per thread and
// reuse it for every call.
class MoranScratch {
 public:
  explicit MoranScratch(const MoranSetup& setup);

 private:
  friend class MoranEvaluation;
  friend class MoranSetup;
  LaneRows class_sum_;   // [0..C+1][lanes]: sums of Iij
  LaneRows class_used_;  // [0..C+1][lanes]: pairs used, counted in doubles (exact)
  LaneRows regression_;  // [0..7][lanes]: the eight regression sums
  RangedVector<double> distance_sum_;  // [0..C+1]
  RangedVector<double> shared_;        // [0..7]: regression sums of the lanes without missing data
  RangedVector<unsigned char> taken_;  // [0..N]: positions taken, to tell a placement that moves samples only
  // A complete placement: the samples in the order of their positions
  // [1..N], with the counts of a counting sort [0..N+1], each lane's next
  // place to fill, and each position's deviation (quantitative lanes) or
  // state (qualitative ones), and, with a filter, key and mate.
  RangedVector<int> order_, order_count_, next_place_;
  LaneRows placed_, placed_key_, placed_mate_;
  // The selected pairs (i, j) of the current row i, a stretch of j at a
  // time, with the geometry of their positions.
  RangedVector<int> row_sample_;       // j
  RangedVector<int> row_code_;         // PairCode
  RangedVector<double> row_distance_, row_log_distance_;  // d and ln d of each pair
};

// The three result arrays, made once by the caller and rewritten by each call.
struct MoranResults {
  RangedMatrix<double> moran_matrix;         // [1..V][-2..C+1]
  RangedVector<int> class_pair_count;        // [0..C+1]
  RangedVector<double> class_mean_distance;  // [0..C+1]
};
MoranResults make_moran_results(const Allocator& allocator, int n_variables, int n_classes);

// The results of the observed placement, which the setup worked out.
void observed_moran_statistics(const MoranSetup& setup, MoranResults& results);

// One placement, read after randomization (see the top of this file), with
// the shared setup and the calling thread's scratch; no allocation.
void moran_statistics(const MoranSetup& setup, Randomization randomization, const Permutation& permutation,
                      MoranScratch& scratch, MoranResults& results);

// One placement on its own: sets up, evaluates and releases.
void moran_statistics(const Allocator& allocator, const DataSet& data, Randomization randomization,
                      const Permutation& permutation, const DistanceClasses& classes, const PairFilter& filter,
                      const RegressionInterval& interval, MoranResults& results);

}  // namespace kalveno
