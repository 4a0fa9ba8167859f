#include "spatial/moran.h"

#include <cmath>

#include "numeric/allocation.h"

namespace kalveno {

// Every sum below adds its terms in the order of the pairs (i = 1..N-1,
// j = i+1..N) and every quotient is a true division, so the results are the
// same to the last bit as a direct evaluation pair by pair; only work that
// does not change a bit (the moments, the pair geometry, the deviations from
// the mean) is done once instead of once per call or per pair. Sums start at
// +0 and so never become -0: adding a +-0 term leaves them unchanged, which
// lets the lanes of unused pairs add zeros instead of branching.

namespace {

int round_up(int n, int block) { return (n + block - 1) / block * block; }

// Lanes of variables worked on together, as one vector of doubles. Each
// lane's arithmetic is exactly the scalar arithmetic.
Lanes lanes_of(double x) { return Lanes{} + x; }
// The same vector at the alignment of a double, for loads and stores in rows.
using UnalignedLanes = double __attribute__((vector_size(sizeof(Lanes)), aligned(alignof(double))));
Lanes load(const double* p) { return *reinterpret_cast<const UnalignedLanes*>(p); }
void add_to(double* p, Lanes v) { *reinterpret_cast<UnalignedLanes*>(p) += v; }

// Rows of the regression sums in MoranScratch::regression_.
enum RegressionSum { kPairs, kSumI, kSumId, kSumIlog, kSumD, kSumD2, kSumLog, kSumLog2, kRegressionSums };

}  // namespace

MoranSetup::MoranSetup(const DataSet& data, const DistanceClasses& classes, const PairFilter& filter,
                       const RegressionInterval& interval, std::size_t geometry_table_limit)
    : n_(data.n_samples),
      n_variables_(data.n_variables),
      n_classes_(classes.n_classes),
      regression_restricted_(interval.restricted()),
      filter_(filter),
      geometry_(data, classes, interval, geometry_table_limit) {
  const int n = n_;
  int n_quantitative = 0, n_qualitative = 0;
  for (int v = 1; v <= n_variables_; ++v) (data.is_qualitative(v) ? n_qualitative : n_quantitative)++;
  quantitative_lanes_ = round_up(n_quantitative, kLaneBlock);
  n_lanes_ = quantitative_lanes_ + round_up(n_qualitative, kLaneBlock);
  if (n_lanes_ == 0) n_lanes_ = kLaneBlock;  // no variable: one block of padding keeps the rows non-empty
  const int last_lane = n_lanes_ - 1;

  lane_variable_ = ivector(0, last_lane);
  variance_ = dvector(0, last_lane);
  unlike_ = dvector(0, last_lane);
  deviation_ = matrix(0, n, 0, last_lane);
  state_ = matrix(0, n, 0, last_lane);
  present_ = matrix(0, n, 0, last_lane);
  variance_.fill(1);
  int quantitative_lane = 0, qualitative_lane = quantitative_lanes_;
  for (int v = 1; v <= n_variables_; ++v)
    lane_variable_[data.is_qualitative(v) ? qualitative_lane++ : quantitative_lane++] = v;

  for (int k = 0; k <= last_lane; ++k) {
    const int v = lane_variable_[k];
    if (v == 0) continue;
    // Mean and population variance of the present values; a qualitative
    // variable also gets the sum of its squared state frequencies, P.
    int count = 0;
    double sum = 0, squares = 0;
    for (int s = 1; s <= n; ++s) {
      const double value = data.values(v, s);
      if (value == MISSING_VALUE) continue;
      ++count;
      sum += value;
      squares += value * value;
      present_(s, k) = 1;
    }
    const double mean = sum / count;
    variance_[k] = squares / count - mean * mean;
    for (int s = 1; s <= n; ++s) {
      if (present_(s, k) == 0) continue;
      deviation_(s, k) = data.values(v, s) - mean;
      state_(s, k) = data.values(v, s);
    }
    if (data.is_qualitative(v)) {
      const int n_states = data.var_kind[v];
      RangedVector<int> in_state = ivector(1, n_states);
      for (int s = 1; s <= n; ++s)
        if (present_(s, k) != 0) ++in_state[static_cast<int>(data.values(v, s))];
      double p = 0;
      for (int state = 1; state <= n_states; ++state) {
        const double frequency = static_cast<double>(in_state[state]) / count;
        p += frequency * frequency;
      }
      unlike_[k] = -p / (1 - p);
    }
  }
  inverse_n_minus_1_ = 1.0 / (n - 1);

  selector_ = dvector(0, n);
  if (filter_.mode >= 1 && filter_.mode <= 4)
    for (int s = 1; s <= n; ++s) selector_[s] = data.values(filter_.variable, s);
  sum_all_pairs();
}

MoranScratch::MoranScratch(const MoranSetup& setup) {
  const int last_class = setup.n_classes() + 1, last_lane = setup.n_lanes() - 1;
  class_sum_ = matrix(0, last_class, 0, last_lane);
  class_used_ = matrix(0, last_class, 0, last_lane);
  regression_ = matrix(0, kRegressionSums - 1, 0, last_lane);
  distance_sum_ = dvector(0, last_class);
}

MoranResults make_moran_results(int n_variables, int n_classes) {
  MoranResults results;
  results.moran_matrix = matrix(1, n_variables, -2, n_classes + 1);
  results.class_pair_count = ivector(0, n_classes + 1);
  results.class_mean_distance = dvector(0, n_classes + 1);
  return results;
}

// One call of moran_statistics: the pair loop and what follows it.
class MoranEvaluation {
 public:
  // With sum_all_pairs false, the sums over all selected pairs (column 0)
  // are copied from the setup, which worked them out once: they do not
  // depend on where the samples stand as long as every sample has a position.
  MoranEvaluation(const MoranSetup& setup, const Permutation& perm, MoranScratch& scratch, MoranResults& results,
                  bool sum_all_pairs)
      : s_(setup), perm_(perm), w_(scratch), out_(results), sum_all_pairs_(sum_all_pairs) {
    all_sum_ = w_.class_sum_.row(0);
    all_used_ = w_.class_used_.row(0);
    for (int r = 0; r < kRegressionSums; ++r) regression_[r] = w_.regression_.row(r);
  }

  void run() {
    w_.class_sum_.fill(0);
    w_.class_used_.fill(0);
    w_.regression_.fill(0);
    w_.distance_sum_.fill(0);
    out_.class_pair_count.fill(0);
    if (!sum_all_pairs_) {
      for (int k = 0; k < s_.n_lanes_; ++k) {
        all_sum_[k] = s_.all_pairs_(0, k);
        all_used_[k] = s_.all_pairs_(1, k);
      }
    }
    if (s_.geometry_.tabulated())
      pair_loop<true>();
    else
      pair_loop<false>();
    finish();
  }

 private:
  bool selected(int i, int j) const {
    const double ti = s_.selector_[i], tj = s_.selector_[j];
    const double first = s_.filter_.first_class, second = s_.filter_.second_class;
    switch (s_.filter_.mode) {
      case 1: return ti == tj;
      case 2: return ti != tj;
      case 3: return ti == first && tj == first;
      case 4: return (ti == first && tj == second) || (ti == second && tj == first);
      default: return true;
    }
  }

  static constexpr int kFetchAhead = 16;

  template <bool kTabulated>
  void pair_loop() {
    const int n = s_.n_;
    const PairGeometry& geometry = s_.geometry_;
    for (int i = 1; i < n; ++i) {
      const int a = perm_[i];
      if (a == 0) continue;
      const double* distance_row = nullptr;
      const double* log_row = nullptr;
      const int* code_row = nullptr;
      if constexpr (kTabulated) {
        distance_row = geometry.distance_row(a);
        log_row = geometry.log_distance_row(a);
        code_row = geometry.code_row(a);
      }
      for (int j = i + 1; j <= n; ++j) {
        if constexpr (kTabulated) {
          // The positions come in random order: fetch a few pairs ahead so
          // the table's rows do not stall the loop.
          if (j + kFetchAhead <= n) {
            const int ahead = perm_[j + kFetchAhead];
            __builtin_prefetch(distance_row + ahead);
            __builtin_prefetch(log_row + ahead);
            __builtin_prefetch(code_row + ahead);
          }
        }
        if (!selected(i, j)) continue;
        const int b = perm_[j];
        if (b == 0) continue;
        double d, log_d;
        int code;
        if constexpr (kTabulated) {
          d = distance_row[b];
          log_d = log_row[b];
          code = code_row[b];
        } else {
          geometry.work_out(a, b, d, log_d, code);
        }
        add_pair(i, j, d, log_d, code);
      }
    }
  }

  void add_pair(int i, int j, double d, double log_d, int code) {
    const int c = PairCode::distance_class(code);
    ++out_.class_pair_count[0];
    ++out_.class_pair_count[c];
    w_.distance_sum_[c] += d;

    PairTerms t;
    t.class_sum = w_.class_sum_.row(c);
    t.class_used = w_.class_used_.row(c);
    t.in_regression = PairCode::in_regression(code);
    t.d = d;
    t.log_d = log_d;
    t.d2 = d * d;
    t.log_d2 = log_d * log_d;
    // Unused lanes hold 0, so their products with the distance terms are
    // zeros, except against an infinite distance or the -inf logarithm of
    // distance 0: such pairs take the road that tests every lane.
    t.finite = d > 0 && t.d2 < HUGE_VAL;

    const double* present_i = s_.present_.row(i);
    const double* present_j = s_.present_.row(j);
    const double* deviation_i = s_.deviation_.row(i);
    const double* deviation_j = s_.deviation_.row(j);
    const double* state_i = s_.state_.row(i);
    const double* state_j = s_.state_.row(j);
    const double* variance = s_.variance_.data();
    const double* unlike = s_.unlike_.data();
    const Lanes inverse_n_minus_1 = lanes_of(s_.inverse_n_minus_1_), one = lanes_of(1.0), zero = lanes_of(0.0);
    int k = 0;
    for (; k < s_.quantitative_lanes_; k += kLaneBlock) {
      const Lanes used = load(present_i + k) * load(present_j + k);
      const Lanes iij = load(deviation_i + k) * load(deviation_j + k) / load(variance + k) + inverse_n_minus_1;
      add_lanes(t, k, used != 0 ? iij : zero, used);
    }
    for (; k < s_.n_lanes_; k += kLaneBlock) {
      const Lanes used = load(present_i + k) * load(present_j + k);
      const Lanes iij = load(state_i + k) == load(state_j + k) ? one : load(unlike + k);
      add_lanes(t, k, used != 0 ? iij : zero, used);
    }
  }

  // What one pair adds to every lane.
  struct PairTerms {
    double* class_sum;
    double* class_used;
    bool in_regression, finite;
    double d, log_d, d2, log_d2;
  };

  // Adds the pair's Iij (value, 0 where unused) and use (1 or 0) in lanes
  // k..k+kLaneBlock-1 to the sums of its class and of all classes, and to the
  // regression sums when the pair is in the regression.
  __attribute__((always_inline)) void add_lanes(const PairTerms& t, int k, Lanes value, Lanes used) {
    add_to(t.class_sum + k, value);
    add_to(t.class_used + k, used);
    if (sum_all_pairs_) {
      add_to(all_sum_ + k, value);
      add_to(all_used_ + k, used);
    }
    if (!t.in_regression) return;
    if (s_.regression_restricted_) {
      add_to(regression_[kSumI] + k, value);
      add_to(regression_[kPairs] + k, used);
    }
    if (t.finite) {
      add_to(regression_[kSumId] + k, value * t.d);
      add_to(regression_[kSumIlog] + k, value * t.log_d);
      add_to(regression_[kSumD] + k, used * t.d);
      add_to(regression_[kSumD2] + k, used * t.d2);
      add_to(regression_[kSumLog] + k, used * t.log_d);
      add_to(regression_[kSumLog2] + k, used * t.log_d2);
      return;
    }
    for (int l = 0; l < kLaneBlock; ++l) {
      if (used[l] == 0) continue;
      regression_[kSumId][k + l] += value[l] * t.d;
      regression_[kSumIlog][k + l] += value[l] * t.log_d;
      regression_[kSumD][k + l] += t.d;
      regression_[kSumD2][k + l] += t.d2;
      regression_[kSumLog][k + l] += t.log_d;
      regression_[kSumLog2][k + l] += t.log_d2;
    }
  }

  void finish() {
    const int n_classes = s_.n_classes_;
    for (int c = 1; c <= n_classes; ++c) {
      const int pairs = out_.class_pair_count[c];
      out_.class_mean_distance[c] = pairs == 0 ? 0 : w_.distance_sum_[c] / pairs;
    }
    for (int k = 0; k < s_.n_lanes_; ++k) {
      const int v = s_.lane_variable_[k];
      if (v == 0) continue;
      // Class means divide whatever the count: an unused class gives 0 / 0.
      for (int c = 0; c <= n_classes; ++c)
        out_.moran_matrix(v, c) = w_.class_sum_(c, k) / w_.class_used_(c, k);
      out_.moran_matrix(v, n_classes + 1) = w_.class_sum_(n_classes + 1, k);

      // Without an interval every used pair enters the regression, so its
      // count and sum of Iij are those of column 0.
      const bool restricted = s_.regression_restricted_;
      const int pairs = static_cast<int>(restricted ? w_.regression_(kPairs, k) : w_.class_used_(0, k));
      const double sum_i = restricted ? w_.regression_(kSumI, k) : w_.class_sum_(0, k);
      if (pairs == 0) {
        out_.moran_matrix(v, -2) = MISSING_VALUE;
        out_.moran_matrix(v, -1) = MISSING_VALUE;
        continue;
      }
      const double mean_i = sum_i / pairs;
      const double mean_d = w_.regression_(kSumD, k) / pairs;
      const double mean_log = w_.regression_(kSumLog, k) / pairs;
      out_.moran_matrix(v, -2) = (w_.regression_(kSumId, k) / pairs - mean_i * mean_d) /
                                 (w_.regression_(kSumD2, k) / pairs - mean_d * mean_d);
      out_.moran_matrix(v, -1) = (w_.regression_(kSumIlog, k) / pairs - mean_i * mean_log) /
                                 (w_.regression_(kSumLog2, k) / pairs - mean_log * mean_log);
    }
  }

  const MoranSetup& s_;
  const Permutation& perm_;
  MoranScratch& w_;
  MoranResults& out_;
  const bool sum_all_pairs_;
  double* all_sum_;                       // class 0: every selected pair
  double* all_used_;
  double* regression_[kRegressionSums];  // the rows of w_.regression_
};

void MoranSetup::sum_all_pairs() {
  all_pairs_ = matrix(0, 1, 0, n_lanes_ - 1);
  MoranScratch scratch(*this);
  MoranResults results = make_moran_results(n_variables_, n_classes_);
  MoranEvaluation(*this, identity_permutation(n_), scratch, results, true).run();
  for (int k = 0; k < n_lanes_; ++k) {
    all_pairs_(0, k) = scratch.class_sum_(0, k);
    all_pairs_(1, k) = scratch.class_used_(0, k);
  }
}

void moran_statistics(const MoranSetup& setup, const Permutation& permutation, MoranScratch& scratch,
                      MoranResults& results) {
  bool every_sample_placed = true;
  for (int s = 1; s <= setup.n_samples(); ++s)
    if (permutation[s] == 0) every_sample_placed = false;
  MoranEvaluation(setup, permutation, scratch, results, !every_sample_placed).run();
}

void moran_statistics(const DataSet& data, const Permutation& permutation, const DistanceClasses& classes,
                      const PairFilter& filter, const RegressionInterval& interval, MoranResults& results) {
  // One placement needs no table: each pair is worked out as it comes.
  MoranSetup setup(data, classes, filter, interval, 0);
  MoranScratch scratch(setup);
  moran_statistics(setup, permutation, scratch, results);
}

}  // namespace kalveno
