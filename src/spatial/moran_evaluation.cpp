#include "spatial/moran_evaluation.h"

#include <cfloat>

namespace kalveno {

// Every sum adds its terms in the order of the pairs (i = 1..N-1, then
// j = i+1..N) and every quotient is a true division, so the results are the
// same to the last bit as an evaluation pair by pair. What is done once
// instead of once per pair (the moments, the deviations from the mean, the
// pair geometry) gives the same bits too.
//
// Row by row: the selected pairs of row i and their geometry are gathered
// first, then each block of variable lanes runs over them with its
// regression sums held in registers. A variable's sums still see the pairs
// in order; only the variables take turns.
//
// Sums start at +0 and so never become -0; adding a +0 or -0 term leaves
// them unchanged. That lets the lanes of a variable that a pair does not use
// add zeros instead of branching.

namespace {

// kLaneBlock variables at once, in one vector register. Each lane's
// arithmetic is exactly the scalar arithmetic.
using Lanes = double __attribute__((vector_size(kLaneBlock * sizeof(double))));
Lanes lanes_of(double x) { return Lanes{} + x; }
// The same vector at the alignment of a double, for loads and stores in rows.
using UnalignedLanes = double __attribute__((vector_size(kLaneBlock * sizeof(double)), aligned(alignof(double))));
Lanes load(const double* p) { return *reinterpret_cast<const UnalignedLanes*>(p); }
void store(double* p, Lanes v) { *reinterpret_cast<UnalignedLanes*>(p) = v; }
void add_to(double* p, Lanes v) { *reinterpret_cast<UnalignedLanes*>(p) += v; }

// Positions come in random order: table rows are fetched this many pairs ahead.
constexpr int kFetchAhead = 16;

}  // namespace

void MoranEvaluation::run() {
  w_.class_sum_.fill(0);
  w_.class_used_.fill(0);
  w_.regression_.fill(0);
  w_.distance_sum_.fill(0);
  out_.class_pair_count.fill(0);
  if (!sum_all_pairs_) {
    for (int k = 0; k < s_.n_lanes_; ++k) {
      w_.class_sum_(0, k) = s_.all_pairs_(0, k);
      w_.class_used_(0, k) = s_.all_pairs_(1, k);
    }
  }
  for (int i = 1; i < s_.n_; ++i) {
    if (perm_[i] == 0) continue;  // no position: the sample sits out
    const int n_pairs = s_.geometry_.tabulated() ? gather_row<true>(i) : gather_row<false>(i);
    if (n_pairs == 0) continue;
    for (int k = 0; k < s_.quantitative_lanes_; k += kLaneBlock) add_row<true>(i, n_pairs, k);
    for (int k = s_.quantitative_lanes_; k < s_.n_lanes_; k += kLaneBlock) add_row<false>(i, n_pairs, k);
  }
  finish();
}

bool MoranEvaluation::selected(int i, int j) const { return s_.selects(i, j); }

// The selected pairs (i, j) of row i whose samples both have a position,
// with their geometry; counts them per class on the way. Returns how many.
template <bool kTabulated>
int MoranEvaluation::gather_row(int i) {
  const int n = s_.n_, a = perm_[i];
  const PairGeometry& geometry = s_.geometry_;
  const double* distance_row = nullptr;
  const double* log_row = nullptr;
  const int* code_row = nullptr;
  if constexpr (kTabulated) {
    distance_row = geometry.distance_row(a);
    log_row = geometry.log_distance_row(a);
    code_row = geometry.code_row(a);
  }
  int* pair_count = out_.class_pair_count.data();
  int n_pairs = 0;
  for (int j = i + 1; j <= n; ++j) {
    if constexpr (kTabulated) {
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
    const int c = PairCode::distance_class(code);
    ++pair_count[0];
    ++pair_count[c];
    w_.distance_sum_[c] += d;
    w_.row_sample_[n_pairs] = j;
    w_.row_code_[n_pairs] = code;
    w_.row_distance_[n_pairs] = d;
    w_.row_log_distance_[n_pairs] = log_d;
    ++n_pairs;
  }
  return n_pairs;
}

template <bool kQuantitative>
void MoranEvaluation::add_row(int i, int n_pairs, int k) {
  if (sum_all_pairs_) {
    if (s_.regression_restricted_)
      add_row_lanes<kQuantitative, true, true>(i, n_pairs, k);
    else
      add_row_lanes<kQuantitative, true, false>(i, n_pairs, k);
  } else {
    if (s_.regression_restricted_)
      add_row_lanes<kQuantitative, false, true>(i, n_pairs, k);
    else
      add_row_lanes<kQuantitative, false, false>(i, n_pairs, k);
  }
}

// Adds the gathered pairs of row i to lanes k..k+kLaneBlock-1. kSumAll: the
// sums over all selected pairs are made here; kRestricted: the regression
// keeps its own count and sum of Iij (without an interval they are those of
// all pairs).
template <bool kQuantitative, bool kSumAll, bool kRestricted>
void MoranEvaluation::add_row_lanes(int i, int n_pairs, int k) {
  const int lanes = s_.n_lanes_;
  const double* present = s_.present_.row(0) + k;
  const double* own = (kQuantitative ? s_.deviation_.row(0) : s_.state_.row(0)) + k;
  double* class_sum = w_.class_sum_.row(0) + k;
  double* class_used = w_.class_used_.row(0) + k;
  const int* sample = w_.row_sample_.data();
  const int* code = w_.row_code_.data();
  const double* distance = w_.row_distance_.data();
  const double* log_distance = w_.row_log_distance_.data();

  const Lanes present_i = load(present + i * lanes), own_i = load(own + i * lanes);
  const Lanes variance = load(s_.variance_.data() + k), unlike = load(s_.unlike_.data() + k);
  const Lanes inverse_n_minus_1 = lanes_of(s_.inverse_n_minus_1_), one = lanes_of(1.0), zero = lanes_of(0.0);

  Lanes all_sum = load(class_sum), all_used = load(class_used);
  Lanes reg[kRegressionSums];
  for (int r = 0; r < kRegressionSums; ++r) reg[r] = load(w_.regression_.row(r) + k);

  for (int e = 0; e < n_pairs; ++e) {
    const int j = sample[e];
    const Lanes used = present_i * load(present + j * lanes);
    Lanes iij;
    if constexpr (kQuantitative)
      iij = own_i * load(own + j * lanes) / variance + inverse_n_minus_1;
    else
      iij = own_i == load(own + j * lanes) ? one : unlike;
    const Lanes value = used != 0 ? iij : zero;

    const int c = PairCode::distance_class(code[e]);  // never 0, so never the lanes held in all_sum
    add_to(class_sum + c * lanes, value);
    add_to(class_used + c * lanes, used);
    if constexpr (kSumAll) {
      all_sum += value;
      all_used += used;
    }

    if (!PairCode::in_regression(code[e])) continue;
    if constexpr (kRestricted) {
      reg[kPairs] += used;
      reg[kSumI] += value;
    }
    const double d = distance[e], log_d = log_distance[e];
    if (d > 0 && d * d <= DBL_MAX) {
      // Every term is finite, so an unused lane (value and used 0) adds 0.
      reg[kSumId] += value * d;
      reg[kSumIlog] += value * log_d;
      reg[kSumD] += used * d;
      reg[kSumD2] += used * (d * d);
      reg[kSumLog] += used * log_d;
      reg[kSumLog2] += used * (log_d * log_d);
    } else {
      // Distance 0 has the logarithm -inf, and 0 * -inf is no zero: unused
      // lanes must add nothing at all.
      const auto is_used = used != 0;
      reg[kSumId] += is_used ? value * d : zero;
      reg[kSumIlog] += is_used ? value * log_d : zero;
      reg[kSumD] += is_used ? lanes_of(d) : zero;
      reg[kSumD2] += is_used ? lanes_of(d * d) : zero;
      reg[kSumLog] += is_used ? lanes_of(log_d) : zero;
      reg[kSumLog2] += is_used ? lanes_of(log_d * log_d) : zero;
    }
  }

  if constexpr (kSumAll) {
    store(class_sum, all_sum);
    store(class_used, all_used);
  }
  for (int r = 0; r < kRegressionSums; ++r) store(w_.regression_.row(r) + k, reg[r]);
}

void MoranEvaluation::finish() {
  const int n_classes = s_.n_classes_;
  for (int c = 1; c <= n_classes; ++c) {
    const int pairs = out_.class_pair_count[c];
    out_.class_mean_distance[c] = pairs == 0 ? 0 : w_.distance_sum_[c] / pairs;
  }
  for (int k = 0; k < s_.n_lanes_; ++k) {
    const int v = s_.lane_variable_[k];
    if (v == 0) continue;
    // Class means divide whatever the count: a class the variable never uses
    // gives 0 / 0. Beyond the last bound the sum stays a sum.
    for (int c = 0; c <= n_classes; ++c) out_.moran_matrix(v, c) = w_.class_sum_(c, k) / w_.class_used_(c, k);
    out_.moran_matrix(v, n_classes + 1) = w_.class_sum_(n_classes + 1, k);

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

}  // namespace kalveno
