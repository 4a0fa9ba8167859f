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
  // The setup allows counts from missing values only where no filter selects.
  counts_from_missing_ = s_.counts_from_missing_ && !sum_all_pairs_ && moves_samples_only();
  const bool filtered = !s_.takes_every_pair();
  if (s_.geometry_.tabulated())
    filtered ? run_rows<true, true>() : run_rows<true, false>();
  else
    filtered ? run_rows<false, true>() : run_rows<false, false>();
  if (counts_from_missing_) count_from_missing();
  finish();
}

void MoranEvaluation::run_placing_values() {
  positions_ = s_.identity_.data();
  place_values();
  reset();
  // Without a filter the pairs each lane uses are those of the data; with
  // one, the lanes select and count their own, and the distance lane those
  // of the placement as a whole.
  if (s_.takes_every_pair()) take_fixed_pairs();
  s_.geometry_.tabulated() ? run_placed_rows<true>() : run_placed_rows<false>();
  finish();
}

// The samples in the order of their positions (a counting sort, stable in
// sample number), then each lane's values, in that order, onto the samples
// that have its variable, in theirs; with a filter the keys and mates too.
void MoranEvaluation::place_values() {
  const int n = s_.n_, n_lanes = s_.n_lanes_;
  int* count = w_.order_count_.data();  // [0..N+1]
  std::fill(count, count + n + 2, 0);
  for (int s = 1; s <= n; ++s) ++count[perm_[s] + 1];
  for (int b = 1; b <= n + 1; ++b) count[b] += count[b - 1];
  int* order = w_.order_.data();  // [0..N]
  for (int s = 1; s <= n; ++s) order[1 + count[perm_[s]]++] = s;

  int* next = w_.next_place_.data();
  for (int k = 0; k < n_lanes; ++k) next[k] = s_.placed_start_[k];
  const bool selecting = !s_.takes_every_pair();
  const int* listed = s_.placed_samples_.data();
  for (int rank = 1; rank <= n; ++rank) {
    const int t = order[rank];
    const double* deviation = s_.deviation_.row(t);
    const double* state = s_.state_.row(t);
    const double* present = s_.present_.row(t);
    double* placed = w_.placed_.row(0);
    const int stride = w_.placed_.stride();
    for (int k = 0; k < n_lanes; ++k) {
      // A lane that every sample has places the rank-th sample's value onto
      // the rank-th sample; the others onto their next sample.
      int place = rank;
      if (s_.placed_start_[k] != s_.placed_start_[k + 1]) {
        if (present[k] == 0) continue;
        place = listed[next[k]++];
      }
      placed[static_cast<long>(place) * stride + k] = k < s_.quantitative_lanes_ ? deviation[k] : state[k];
      if (selecting) {
        w_.placed_key_(place, k) = s_.key_[t];
        w_.placed_mate_(place, k) = s_.mate_[t];
      }
    }
  }
}

// The pair counts and sums of distances of the observed placement.
void MoranEvaluation::take_fixed_pairs() {
  const int n_lanes = s_.n_lanes_, last_class = s_.n_classes_ + 1;
  for (int c = 1; c <= last_class; ++c) {
    std::copy(s_.fixed_used_.row(c), s_.fixed_used_.row(c) + n_lanes, w_.class_used_.row(c));
    out_.class_pair_count[c] = s_.identity_pair_count_[c];
  }
  out_.class_pair_count[0] = s_.identity_pair_count_[0];
  for (RegressionSum sum : {kPairs, kSumD, kSumD2, kSumLog, kSumLog2})
    std::copy(s_.fixed_regression_.row(sum), s_.fixed_regression_.row(sum) + n_lanes, w_.regression_.row(sum));
  for (int c = 0; c <= last_class; ++c) w_.distance_sum_[c] = s_.fixed_distance_sum_[c];
  for (int sum = 0; sum < kRegressionSums; ++sum) w_.shared_[sum] = s_.fixed_shared_[sum];
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
}

// Whether the placement puts every sample on a position of its own: then its
// pairs of samples are the pairs of positions, each once.
bool MoranEvaluation::moves_samples_only() {
  const int n = s_.n_;
  unsigned char* taken = w_.taken_.data();
  std::fill(taken, taken + n + 1, 0);
  for (int s = 1; s <= n; ++s) {
    const int b = perm_[s];
    if (b < 1 || b > n || taken[b] != 0) return false;
    taken[b] = 1;
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
  g.inverse_n_minus_1 = s_.inverse_n_minus_1_.data() + first;
  g.sum_all = sum_all_pairs_;
  g.restricted = s_.regression_restricted_;
  g.count_used = !counts_from_missing_;
  g.class_sum = scratch.class_sum_.row(0) + first;
  g.class_used = scratch.class_used_.row(0) + first;
  g.regression = scratch.regression_.row(0) + first;
  return g;
}

// The lanes reading the placed values and, with a filter, the placed keys:
// then every lane selects its own pairs, complete or not.
LaneGroup MoranEvaluation::placed_lane_group(bool quantitative) {
  LaneGroup g = lane_group(quantitative, w_);
  const int first = quantitative ? 0 : s_.quantitative_lanes_;
  g.own = w_.placed_.row(0) + first;
  g.own_stride = w_.placed_.stride();
  g.fixed_pairs = s_.takes_every_pair();
  g.count_used = !g.fixed_pairs;
  if (!g.fixed_pairs) {
    g.key = w_.placed_key_.row(0) + first;
    g.mate = w_.placed_mate_.row(0) + first;
    g.select_unequal = s_.filter_.selection == PairSelection::kDistinctStates;
    g.complete = s_.none_complete_.data() + first;
  }
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

// The rows of positions in order: each row of the table read straight
// through, or, without it, the pairs of the row worked out a stretch at a
// time. Every pair of positions is taken; the lanes' masks leave out those a
// variable does not use.
template <bool kTabulated>
void MoranEvaluation::run_placed_rows() {
  const LaneGroup groups[2] = {placed_lane_group(true), placed_lane_group(false)};
  RowPairs row;
  row.from_table = kTabulated;
  row.perm = positions_;
  row.n = s_.n_;
  GatheredPairs& gathered = row.gathered;
  const Gathered out{w_.row_sample_.data(), w_.row_code_.data(), w_.row_distance_.data(),
                     w_.row_log_distance_.data()};
  gathered.sample = out.sample;
  gathered.code = out.code;
  gathered.distance = out.distance;
  gathered.log_distance = out.log_distance;
  const VectorPath path = s_.path_;
  for (int i = 1; i < s_.n_; ++i) {
    row.i = i;
    if constexpr (kTabulated) {
      row.first_j = i + 1;
      row.places = &s_.geometry_.place_row(i)->distance;
      row.codes = s_.geometry_.code_row(i);
      for (const LaneGroup& g : groups)
        if (g.n_lanes > 0) add_pairs(path, row, g, false);
    } else {
      for (int j = i + 1; j <= s_.n_;) {
        gathered.n_pairs = gather<false, false>(i, j, s_.n_ + 1, kStretch, out);
        for (const LaneGroup& g : groups)
          if (g.n_lanes > 0) add_pairs(path, row, g, false);
      }
    }
  }
}

bool MoranEvaluation::selected(int i, int j) const { return s_.selects(i, j); }

template <bool kTabulated, bool kFiltered>
int MoranEvaluation::gather(int i, int& j, int j_end, int max_pairs, const Gathered& out) const {
  const int* perm = positions_;  // [0..N]
  const int a = perm[i];
  const PairGeometry& geometry = s_.geometry_;
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
