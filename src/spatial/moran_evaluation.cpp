#include "spatial/moran_evaluation.h"

#include <algorithm>

namespace kalveno {

// Every sum adds its terms in the order of the pairs (i = 1..N-1, then
// j = i+1..N) and every quotient is the correctly rounded one, so the results
// are the same to the last bit as an evaluation pair by pair. What is done
// once instead of once per pair (the moments, the deviations from the mean,
// the pair geometry) gives the same bits too.
//
// Row by row: the pair loop of lane_kernels.h runs over the pairs of row i
// for each group of variable lanes, reading their geometry from the pair
// table; with a filter, or without a table, the selected pairs and their
// geometry are gathered first, a stretch at a time. A variable's sums still
// see the pairs in order; only the variables take turns.

namespace {

// Positions come in random order: table entries are fetched this many pairs ahead.
constexpr int kFetchAhead = 24;

}  // namespace

void MoranEvaluation::run() {
  reset();
  const bool filtered = !s_.takes_every_pair();
  if (s_.geometry_.tabulated())
    filtered ? run_rows<true, true>() : run_rows<true, false>();
  else
    filtered ? run_rows<false, true>() : run_rows<false, false>();
  if (counts_from_missing_) count_from_missing();
  finish();
}

void MoranEvaluation::reset() {
  w_.class_sum_.fill(0);
  w_.class_used_.fill(0);
  w_.regression_.fill(0);
  w_.distance_sum_.fill(0);
  w_.shared_.fill(0);
  out_.class_pair_count.fill(0);
  if (!sum_all_pairs_) {
    for (int k = 0; k < s_.n_lanes_; ++k) {
      w_.class_sum_(0, k) = s_.all_pairs_(0, k);
      w_.class_used_(0, k) = s_.all_pairs_(1, k);
    }
  }
  // The setup allows counts from missing values only where no filter selects.
  counts_from_missing_ = s_.counts_from_missing_ && !sum_all_pairs_ && moves_samples_only();
}

// Whether the placement puts every sample on a position of its own: then its
// pairs of samples are the pairs of positions, each once.
bool MoranEvaluation::moves_samples_only() {
  const int n = s_.n_;
  unsigned char* placed = w_.placed_.data();
  std::fill(placed, placed + n + 1, 0);
  for (int s = 1; s <= n; ++s) {
    const int b = perm_[s];
    if (b < 1 || b > n || placed[b] != 0) return false;
    placed[b] = 1;
  }
  return true;
}

// The pairs each lane uses, per class and in the regression: all pairs of
// positions, less those of each sample that lacks the lane's variable, plus
// those between two such samples, which were taken off twice. Whole numbers
// far below 2^53, so exact in doubles whatever the order.
void MoranEvaluation::count_from_missing() {
  const int beyond = s_.n_classes_ + 1, in_regression = beyond + 1;
  for (int k = 0; k < s_.n_lanes_; ++k) {
    for (int c = 1; c <= beyond; ++c) w_.class_used_(c, k) = s_.all_position_pairs_[c];
    double regression_pairs = s_.all_position_pairs_[in_regression];
    const int end = s_.missing_start_[k + 1];
    for (int e = s_.missing_start_[k]; e < end; ++e) {
      const int a = perm_[s_.missing_samples_[e]];
      for (int c = 1; c <= beyond; ++c) w_.class_used_(c, k) -= s_.position_pairs_(a, c);
      regression_pairs -= s_.position_pairs_(a, in_regression);
      const std::uint16_t* codes = s_.geometry_.code_row(a);
      for (int f = e + 1; f < end; ++f) {
        const int code = PairCode::from_table(codes[perm_[s_.missing_samples_[f]]]);
        w_.class_used_(PairCode::distance_class(code), k) += 1;
        if (PairCode::in_regression(code)) regression_pairs += 1;
      }
    }
    if (s_.regression_restricted_) w_.regression_(kPairs, k) = regression_pairs;
  }
}

LaneGroup MoranEvaluation::lane_group(bool quantitative, MoranScratch& scratch) const {
  const int first = quantitative ? 0 : s_.quantitative_lanes_;
  LaneGroup g;
  g.n_lanes = quantitative ? s_.quantitative_lanes_ : s_.n_lanes_ - s_.quantitative_lanes_;
  g.lane_stride = s_.present_.stride();  // the stride of every LaneRows of the setup and scratch but own's
  g.own_stride = s_.deviation_.stride();
  g.quantitative = quantitative;
  g.own = (quantitative ? s_.deviation_.row(0) : s_.state_.row(0)) + first;
  g.present = s_.present_.row(0) + first;
  g.present_bits = s_.present_bits_.data();
  g.bit_stride = s_.n_ + 1;
  g.bit_lane = first;
  g.variance = s_.variance_.data() + first;
  g.reciprocal = s_.reciprocal_.data() + first;
  g.reciprocal_exact = s_.reciprocal_exact_.data() + first;
  g.unlike = s_.unlike_.data() + first;
  g.complete = s_.complete_.data() + first;
  g.distance_flag = s_.distance_flag_.data() + first;
  g.inverse_n_minus_1 = s_.inverse_n_minus_1_;
  g.sum_all = sum_all_pairs_;
  g.restricted = s_.regression_restricted_;
  g.count_used = !counts_from_missing_;
  g.class_sum = scratch.class_sum_.row(0) + first;
  g.class_used = scratch.class_used_.row(0) + first;
  g.regression = scratch.regression_.row(0) + first;
  return g;
}

template <bool kTabulated, bool kFiltered>
void MoranEvaluation::run_rows() {
  const LaneGroup groups[2] = {lane_group(true, w_), lane_group(false, w_)};
  RowPairs row;
  GatheredPairs& gathered = row.gathered;
  gathered.sample = w_.row_sample_.data();
  gathered.code = w_.row_code_.data();
  gathered.distance = w_.row_distance_.data();
  gathered.log_distance = w_.row_log_distance_.data();
  // Without a filter, the pair loop reads the table itself: every pair of
  // the row is taken.
  constexpr bool kStraightFromTable = kTabulated && !kFiltered;
  row.from_table = kStraightFromTable;
  row.perm = perm_.data();
  row.n = s_.n_;
  row.pair_count = out_.class_pair_count.data();
  row.distance_sum = w_.distance_sum_.data();
  bool any_complete = false;
  for (int k = 0; k < s_.n_lanes_; ++k) any_complete = any_complete || (s_.complete_[k] && s_.lane_variable_[k] != 0);
  row.shared = any_complete ? w_.shared_.data() : nullptr;
  const Gathered out{w_.row_sample_.data(), w_.row_code_.data(), w_.row_distance_.data(),
                     w_.row_log_distance_.data()};
  const VectorPath path = s_.path_;
  for (int i = 1; i < s_.n_; ++i) {
    if (perm_[i] == 0) continue;  // no position: the sample sits out
    row.i = i;
    if constexpr (kStraightFromTable) {
      row.first_j = i + 1;
      row.places = &s_.geometry_.place_row(perm_[i])->distance;
      row.codes = s_.geometry_.code_row(perm_[i]);
      // The distance lane, where there is one, counts the pairs.
      bool count = s_.distance_lane_ < 0;
      for (const LaneGroup& g : groups) {
        if (g.n_lanes == 0) continue;
        add_pairs(path, row, g, count);
        count = false;
      }
    } else {
      for (int j = i + 1; j <= s_.n_;) {
        gathered.n_pairs = gather<kTabulated, kFiltered>(i, j, s_.n_ + 1, kStretch, out);
        if (gathered.n_pairs == 0) continue;
        add_pair_sums(gathered, any_complete);
        for (const LaneGroup& g : groups)
          if (g.n_lanes > 0) add_pairs(path, row, g, false);
      }
    }
  }
}

bool MoranEvaluation::selected(int i, int j) const { return s_.selects(i, j); }

template <bool kTabulated, bool kFiltered>
int MoranEvaluation::gather(int i, int& j, int j_end, int max_pairs, const Gathered& out) const {
  const int a = perm_[i];
  const PairGeometry& geometry = s_.geometry_;
  const int* perm = perm_.data();  // [0..N]
  int n_pairs = 0;
  if constexpr (kTabulated) {
    const PairPlace* place_row = geometry.place_row(a);
    const std::uint16_t* code_row = geometry.code_row(a);
    for (; j < j_end && n_pairs < max_pairs; ++j) {
      if (j + kFetchAhead < j_end) {
        const int ahead = perm[j + kFetchAhead];
        __builtin_prefetch(place_row + ahead);
        __builtin_prefetch(code_row + ahead);
      }
      if constexpr (kFiltered)
        if (!selected(i, j)) continue;
      const int b = perm[j];
      if (b == 0) continue;
      out.sample[n_pairs] = j;
      out.code[n_pairs] = PairCode::from_table(code_row[b]);
      out.distance[n_pairs] = place_row[b].distance;
      out.log_distance[n_pairs] = place_row[b].log_distance;
      ++n_pairs;
    }
  } else {
    // The positions first, in code; then their geometry over them.
    for (; j < j_end && n_pairs < max_pairs; ++j) {
      if constexpr (kFiltered)
        if (!selected(i, j)) continue;
      const int b = perm[j];
      if (b == 0) continue;
      out.sample[n_pairs] = j;
      out.code[n_pairs] = b;
      ++n_pairs;
    }
    geometry.work_out(a, out.code, n_pairs, out.distance, out.log_distance, out.code);
  }
  return n_pairs;
}

void MoranEvaluation::add_pair_sums(const GatheredPairs& pairs, bool share) {
  int* pair_count = out_.class_pair_count.data();
  double* distance_sum = w_.distance_sum_.data();
  double* shared = w_.shared_.data();
  for (int e = 0; e < pairs.n_pairs; ++e) {
    const int code = pairs.code[e], c = PairCode::distance_class(code);
    const double d = pairs.distance[e], log_d = pairs.log_distance[e];
    ++pair_count[c];
    distance_sum[c] += d;
    if (share && PairCode::in_regression(code)) {
      shared[kPairs] += 1;
      shared[kSumD] += d;
      shared[kSumD2] += d * d;
      shared[kSumLog] += log_d;
      shared[kSumLog2] += log_d * log_d;
    }
  }
  pair_count[0] += pairs.n_pairs;
}

void MoranEvaluation::finish() {
  const int n_classes = s_.n_classes_;
  if (const int k = s_.distance_lane_; k >= 0) {
    // The distance lane summed d and counted the pairs, per class in the
    // order of the pairs, and made the sums of distances that lanes without
    // missing data share.
    out_.class_pair_count[0] = 0;
    for (int c = 1; c <= n_classes + 1; ++c) {
      out_.class_pair_count[c] = static_cast<int>(w_.class_used_(c, k));
      out_.class_pair_count[0] += out_.class_pair_count[c];
      w_.distance_sum_[c] = w_.class_sum_(c, k);
    }
    w_.shared_[kPairs] = s_.regression_restricted_ ? w_.regression_(kPairs, k) : out_.class_pair_count[0];
    for (RegressionSum sum : {kSumD, kSumD2, kSumLog, kSumLog2}) w_.shared_[sum] = w_.regression_(sum, k);
  }
  // Lanes without missing data use every pair: their counts and sums of
  // distances are the shared ones, made once per pair in the same order.
  for (int k = 0; k < s_.n_lanes_; ++k) {
    if (!s_.complete_[k]) continue;
    for (int c = sum_all_pairs_ ? 0 : 1; c <= n_classes + 1; ++c) w_.class_used_(c, k) = out_.class_pair_count[c];
    for (RegressionSum sum : {kPairs, kSumD, kSumD2, kSumLog, kSumLog2}) w_.regression_(sum, k) = w_.shared_[sum];
  }
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

// The shared evaluation (moran_shared_evaluation.cpp) gathers with these.
template int MoranEvaluation::gather<true, true>(int, int&, int, int, const Gathered&) const;
template int MoranEvaluation::gather<true, false>(int, int&, int, int, const Gathered&) const;
template int MoranEvaluation::gather<false, true>(int, int&, int, int, const Gathered&) const;
template int MoranEvaluation::gather<false, false>(int, int&, int, int, const Gathered&) const;

}  // namespace kalveno
