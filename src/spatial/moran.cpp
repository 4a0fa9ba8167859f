#include "spatial/moran.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "base/parallel.h"
#include "spatial/moran_evaluation.h"

namespace kalveno {

namespace {

int round_up(int n, int block) { return (n + block - 1) / block * block; }

// The quotient x / s^2 may be formed as q0 = x * r with r = 1 / s^2 rounded,
// then q0 + (x - q0 * s^2) * r with the remainder exact in a fused
// multiply-add: with r within half a unit in the last place of 1 / s^2 and q0
// within one unit of x / s^2, that rounds to the correctly rounded quotient,
// so long as nothing underflows or overflows. These ranges ensure it: with
// |deviation| in [2^-250, 2^250], the products x of two deviations lie in
// [2^-500, 2^500], every quotient, remainder and reciprocal stays a normal
// number far from both ends, and the remainder, a multiple of about
// 2^-605, is exact. A product x of 0 gives a quotient of +0 or -0, which the
// following + 1 / (N - 1) turns into the same Iij either way.
bool within_reciprocal_range(double variance) {
  return variance >= std::ldexp(1.0, -400) && variance <= std::ldexp(1.0, 400);
}
bool within_deviation_range(double deviation) {
  const double size = std::fabs(deviation);
  return deviation == 0 || (size >= std::ldexp(1.0, -250) && size <= std::ldexp(1.0, 250));
}

}  // namespace

LaneRows::LaneRows(const Allocator& allocator, int first_row, int last_row, int n_lanes, bool packed)
    : first_row_(first_row), n_rows_(last_row - first_row + 1), stride_(round_up(n_lanes, packed ? 4 : 8)) {
  constexpr int kLine = 64 / sizeof(double);
  if (static_cast<long long>(n_rows_) * stride_ > INT_MAX - kLine)
    throw AllocationFailure{allocation_message::kDoubleVector, {}};
  storage_ = allocator.double_vector(0, n_rows_ * stride_ + kLine - 1);
  const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(storage_.data());
  base_ = storage_.data() + (64 - address % 64) % 64 / sizeof(double);
}

void LaneRows::fill(double value) { std::fill(base_, base_ + static_cast<std::ptrdiff_t>(n_rows_) * stride_, value); }

MoranSetup::MoranSetup(const Allocator& allocator, const DataSet& data, const DistanceClasses& classes,
                       const PairFilter& filter, const RegressionInterval& interval)
    : MoranSetup(allocator, data, classes, filter, interval, PairGeometry::default_table_limit(allocator.budget())) {}

MoranSetup::MoranSetup(const Allocator& allocator, const DataSet& data, const DistanceClasses& classes,
                       const PairFilter& filter, const RegressionInterval& interval, std::size_t geometry_table_limit,
                       VectorPath path, int n_workers, Progress* progress)
    : allocator_(allocator),
      n_(data.n_samples),
      n_variables_(data.n_variables),
      n_classes_(classes.n_classes),
      regression_restricted_(interval.restricted()),
      filter_(filter),
      path_(vector_path_supported(path) ? path : best_vector_path()),
      geometry_(allocator, data, classes, interval, geometry_table_limit, n_workers, progress) {
  allot_lanes(data);
  samples_with_ = allocator_.int_vector(1, n_variables_);
  for (int k = 0; k < n_lanes_; ++k)
    if (lane_variable_[k] != 0) take_moments(data, k);
  finish_lanes();
  prepare_selection(data);
  prepare_placement();
  prepare_counts_from_missing(n_workers);
  Progress quiet;
  sum_all_pairs(n_workers, progress != nullptr ? *progress : quiet);
}

// The lanes of each group, the variables in them, and storage for the rest.
void MoranSetup::allot_lanes(const DataSet& data) {
  int n_quantitative = 0, n_qualitative = 0;
  for (int v = 1; v <= n_variables_; ++v) (data.is_qualitative(v) ? n_qualitative : n_quantitative)++;
  quantitative_lanes_ = round_up(n_quantitative, kLaneQuantum);
  n_lanes_ = quantitative_lanes_ + round_up(n_qualitative, kLaneQuantum);
  if (n_lanes_ == 0) n_lanes_ = kLaneQuantum;  // no variable: padding keeps the rows non-empty
  auto has_padding = [&] { return n_quantitative + n_qualitative < n_lanes_; };
  // Without a padding lane there is no distance lane. On AVX-512 a last group
  // of four lanes on a whole cache line costs as much as one of eight, so it
  // grows by four padding lanes.
  const int qualitative_lanes = n_lanes_ - quantitative_lanes_;
  if (path_ == VectorPath::kAvx512 && !has_padding()) {
    if (qualitative_lanes == 0 && quantitative_lanes_ % 8 == 4) {
      quantitative_lanes_ += kLaneQuantum;
      n_lanes_ += kLaneQuantum;
    } else if (quantitative_lanes_ % 8 == 0 && qualitative_lanes % 8 == 4) {
      n_lanes_ += kLaneQuantum;
    }
  }
  // A filter whose states move with the values selects pairs lane by lane:
  // the distance lane then counts the pairs of the placement as a whole.
  if (!takes_every_pair() && !has_padding()) n_lanes_ += kLaneQuantum;
  const int last_lane = n_lanes_ - 1, n = n_;

  lane_variable_ = allocator_.int_vector(0, last_lane);
  variance_ = allocator_.double_vector(0, last_lane);
  reciprocal_ = allocator_.double_vector(0, last_lane);
  reciprocal_exact_ = allocator_.vector_of<unsigned char>(0, last_lane, allocation_message::kIntVector);
  unlike_ = allocator_.double_vector(0, last_lane);
  inverse_n_minus_1_ = allocator_.double_vector(0, last_lane);
  deviation_ = LaneRows(allocator_, 0, n, n_lanes_, true);
  state_ = LaneRows(allocator_, 0, n, n_lanes_, true);
  present_ = LaneRows(allocator_, 0, n, n_lanes_);
  variance_.fill(1);
  complete_ = allocator_.vector_of<unsigned char>(0, last_lane, allocation_message::kIntVector);
  complete_.fill(1);
  auto has_every_value = [&](int v) {
    for (int s = 1; s <= n; ++s)
      if (data.values(v, s) == MISSING_VALUE) return false;
    return true;
  };
  int quantitative_lane = 0, qualitative_lane = quantitative_lanes_;
  for (bool complete : {true, false}) {
    for (int v = 1; v <= n_variables_; ++v) {
      if (has_every_value(v) != complete) continue;
      const int k = data.is_qualitative(v) ? qualitative_lane++ : quantitative_lane++;
      lane_variable_[k] = v;
      complete_[k] = complete ? 1 : 0;
    }
  }
}

// The moments of lane k's variable over the samples that have it, from the
// deviations from its mean in sample order, so that a large common offset
// leaves the variance as it is; a qualitative variable also gets the sum of
// its squared state frequencies, P.
void MoranSetup::take_moments(const DataSet& data, int k) {
  const int n = n_, v = lane_variable_[k];
  int count = 0;
  double sum = 0;
  for (int s = 1; s <= n; ++s) {
    const double value = data.values(v, s);
    if (value == MISSING_VALUE) continue;
    ++count;
    sum += value;
    present_(s, k) = 1;
  }
  const double mean = sum / count;
  double squares = 0;
  for (int s = 1; s <= n; ++s) {
    if (present_(s, k) == 0) continue;
    deviation_(s, k) = data.values(v, s) - mean;
    state_(s, k) = data.values(v, s);
    squares += deviation_(s, k) * deviation_(s, k);
  }
  variance_[k] = squares / count;
  samples_with_[v] = count;
  bool exact = within_reciprocal_range(variance_[k]);
  for (int s = 1; s <= n; ++s) exact = exact && within_deviation_range(deviation_(s, k));
  reciprocal_exact_[k] = exact ? 1 : 0;
  if (!data.is_qualitative(v)) {
    inverse_n_minus_1_[k] = 1.0 / (count - 1);
    return;
  }
  const int n_states = data.var_kind[v];
  RangedVector<int> in_state = allocator_.int_vector(1, n_states);
  for (int s = 1; s <= n; ++s)
    if (present_(s, k) != 0) ++in_state[static_cast<int>(data.values(v, s))];
  double p = 0;
  for (int state = 1; state <= n_states; ++state) {
    const double frequency = static_cast<double>(in_state[state]) / count;
    p += frequency * frequency;
  }
  unlike_[k] = -p / (1 - p);
}

// The reciprocals, the distance lane and the presence bits.
void MoranSetup::finish_lanes() {
  const int n = n_, last_lane = n_lanes_ - 1;
  for (int k = 0; k <= last_lane; ++k) {
    reciprocal_[k] = 1.0 / variance_[k];
    if (lane_variable_[k] == 0) reciprocal_exact_[k] = 1;  // padding: deviations 0, variance 1
  }
  distance_flag_ = allocator_.double_vector(0, last_lane);
  for (int k = 0; k <= last_lane && distance_lane_ < 0; ++k) {
    if (lane_variable_[k] != 0) continue;
    distance_lane_ = k;
    distance_flag_[k] = 1;
    complete_[k] = 0;
    for (int s = 0; s <= n; ++s) present_(s, k) = 1;
  }
  const int n_quads = present_.stride() / 4;
  present_bits_ = allocator_.vector_of<unsigned char>(0, n_quads * (n + 1) - 1, allocation_message::kIntVector);
  for (int q = 0; q < n_quads; ++q)
    for (int s = 0; s <= n; ++s)
      for (int b = 0; b < 8 && 4 * q + b <= last_lane; ++b)
        if (present_(s, 4 * q + b) != 0) present_bits_[q * (n + 1) + s] |= static_cast<unsigned char>(1u << b);
}

// Each sample's selecting state, and the key and mate it gives in a lane:
// the pair (i, j) is selected where the key of i equals the mate of j, or,
// for distinct states, differs from it. A sample in neither state of a
// filter that names states gets a key and a mate that match nothing.
void MoranSetup::prepare_selection(const DataSet& data) {
  const int n = n_;
  selector_ = allocator_.double_vector(0, n);
  if (takes_every_pair()) return;
  for (int s = 1; s <= n; ++s) selector_[s] = data.values(filter_.variable, s);
  key_ = allocator_.double_vector(0, n);
  mate_ = allocator_.double_vector(0, n);
  const double first = filter_.first_state, second = filter_.second_state;
  for (int s = 0; s <= n; ++s) {
    const double state = selector_[s];
    switch (filter_.selection) {
      case PairSelection::kOneState:
        key_[s] = state == first ? 1 : -1;
        mate_[s] = state == first ? 1 : -2;
        break;
      case PairSelection::kTwoStates:
        key_[s] = state == first ? 1 : state == second ? 2 : -1;
        mate_[s] = state == second ? 1 : state == first ? 2 : -2;
        break;
      default:  // the same or distinct states
        key_[s] = mate_[s] = state;
    }
  }
  none_complete_ = allocator_.vector_of<unsigned char>(0, n_lanes_ - 1, "\nallocation failure in ivector()");
}

// The samples each lane places its values onto in a complete placement.
void MoranSetup::prepare_placement() {
  identity_ = identity_permutation(n_);
  placed_start_ = allocator_.int_vector(0, n_lanes_);
  long long listed = 0;
  for (int k = 0; k < n_lanes_; ++k) {
    placed_start_[k] = static_cast<int>(listed);
    if (lane_variable_[k] != 0 && !complete_[k]) listed += samples_with_[lane_variable_[k]];
    if (listed > INT_MAX) throw AllocationFailure{"\nallocation failure in ivector()", {}};
  }
  placed_start_[n_lanes_] = static_cast<int>(listed);
  placed_samples_ = allocator_.int_vector(0, static_cast<int>(std::max(listed, 1LL)) - 1);
  for (int k = 0; k < n_lanes_; ++k) {
    int e = placed_start_[k];
    if (e == placed_start_[k + 1]) continue;
    for (int s = 1; s <= n_; ++s)
      if (present_(s, k) != 0) placed_samples_[e++] = s;
  }
}

void MoranSetup::prepare_counts_from_missing(int n_workers) {
  // position_pairs_ holds N x (C + 2) counts: with more classes than this the
  // loop counts.
  constexpr int kMostClasses = 254;
  if (!geometry_.tabulated() || !takes_every_pair() || n_classes_ > kMostClasses || n_ < 2) return;
  const int n = n_, last = n_classes_ + 2;

  // Padding and the distance lane lack nothing that counts.
  missing_start_ = allocator_.int_vector(0, n_lanes_);
  long long lacking = 0, between = 0;
  for (int k = 0; k < n_lanes_; ++k) {
    missing_start_[k] = static_cast<int>(lacking);
    if (lane_variable_[k] == 0 || complete_[k]) continue;
    long long in_lane = 0;
    for (int s = 1; s <= n; ++s) in_lane += present_(s, k) == 0;
    lacking += in_lane;
    between += in_lane * (in_lane - 1) / 2;
  }
  missing_start_[n_lanes_] = static_cast<int>(lacking);
  missing_samples_ = allocator_.int_vector(0, static_cast<int>(std::max(lacking, 1LL)) - 1);
  for (int k = 0, e = 0; k < n_lanes_; ++k) {
    if (missing_start_[k] == missing_start_[k + 1]) continue;
    for (int s = 1; s <= n; ++s)
      if (present_(s, k) == 0) missing_samples_[e++] = s;
  }

  position_pairs_ = allocator_.int_matrix(1, n, 1, last);
  parallel_for(n, n_workers, [&](int, int item) {
    const int a = item + 1;
    for (int c = 1; c <= last; ++c) position_pairs_(a, c) = 0;
    const std::uint16_t* codes = geometry_.code_row(a);
    for (int b = 1; b <= n; ++b) {
      if (b == a) continue;
      const int code = PairCode::from_table(codes[b]);
      ++position_pairs_(a, PairCode::distance_class(code));
      if (PairCode::in_regression(code)) ++position_pairs_(a, last);
    }
  });
  all_position_pairs_ = allocator_.double_vector(1, last);
  for (int c = 1; c <= last; ++c) {
    long long twice = 0;  // each pair counted from both of its positions
    for (int a = 1; a <= n; ++a) twice += position_pairs_(a, c);
    all_position_pairs_[c] = static_cast<double>(twice / 2);
  }

  counts_from_missing_possible_ = true;
  // Each pair between two lacking samples is one look-up at a random place in
  // the table, which costs as much as the counting saves on a few dozen pairs.
  const long long pairs = static_cast<long long>(n) * (n - 1) / 2;
  counts_from_missing_ = between <= pairs / 32;
}

MoranScratch::MoranScratch(const MoranSetup& setup) {
  const int last_class = setup.n_classes() + 1;
  const Allocator& allocator = setup.allocator();
  class_sum_ = LaneRows(allocator, 0, last_class, setup.n_lanes());
  class_used_ = LaneRows(allocator, 0, last_class, setup.n_lanes());
  regression_ = LaneRows(allocator, 0, kRegressionSums - 1, setup.n_lanes());
  distance_sum_ = allocator.double_vector(0, last_class);
  shared_ = allocator.double_vector(0, kRegressionSums - 1);
  const int n = setup.n_samples();
  taken_ = allocator.vector_of<unsigned char>(0, n, allocation_message::kIntVector);
  order_ = allocator.int_vector(0, n);
  order_count_ = allocator.int_vector(0, n + 1);
  next_place_ = allocator.int_vector(0, setup.n_lanes());
  // Deviations of quantitative lanes and states of qualitative ones share
  // the rows: the lanes are apart. A place no value reaches keeps its 0.
  placed_ = LaneRows(allocator, 0, n, setup.n_lanes(), true);
  if (!setup.takes_every_pair()) {
    placed_key_ = LaneRows(allocator, 0, n, setup.n_lanes());
    placed_mate_ = LaneRows(allocator, 0, n, setup.n_lanes());
  }
  const int last = MoranEvaluation::kStretch - 1;
  row_sample_ = allocator.int_vector(0, last);
  row_code_ = allocator.int_vector(0, last);
  row_distance_ = allocator.double_vector(0, last);
  row_log_distance_ = allocator.double_vector(0, last);
}

MoranResults make_moran_results(const Allocator& allocator, int n_variables, int n_classes) {
  MoranResults results;
  results.moran_matrix = allocator.double_matrix(1, n_variables, -2, n_classes + 1);
  results.class_pair_count = allocator.int_vector(0, n_classes + 1);
  results.class_mean_distance = allocator.double_vector(0, n_classes + 1);
  return results;
}

// The observed placement, which also leaves the sums over all pairs and,
// without a filter, the pairs of every complete placement.
void MoranSetup::sum_all_pairs(int n_workers, Progress& progress) {
  all_pairs_ = allocator_.double_matrix(0, 1, 0, n_lanes_ - 1);
  MoranScratch scratch(*this);
  MoranResults results = make_moran_results(allocator_, n_variables_, n_classes_);
  MoranEvaluation(*this, identity_, scratch, results, true)
      .run_shared(n_workers, progress, regression_pairs_at_distance_zero_);
  for (int k = 0; k < n_lanes_; ++k) {
    all_pairs_(0, k) = scratch.class_sum_(0, k);
    all_pairs_(1, k) = scratch.class_used_(0, k);
  }
  if (takes_every_pair()) {
    for (RegressionSum sum : {kSumI, kSumId, kSumIlog})
      std::fill(scratch.regression_.row(sum), scratch.regression_.row(sum) + n_lanes_, 0.0);
    fixed_used_ = std::move(scratch.class_used_);
    fixed_regression_ = std::move(scratch.regression_);
    fixed_distance_sum_ = std::move(scratch.distance_sum_);
    fixed_shared_ = std::move(scratch.shared_);
  }
  identity_moran_ = std::move(results.moran_matrix);
  identity_pair_count_ = std::move(results.class_pair_count);
  identity_mean_distance_ = std::move(results.class_mean_distance);
}

void observed_moran_statistics(const MoranSetup& setup, MoranResults& results) {
  const int v_count = setup.n_variables(), last_class = setup.n_classes() + 1;
  for (int v = 1; v <= v_count; ++v)
    for (int c = -2; c <= last_class; ++c) results.moran_matrix(v, c) = setup.identity_moran_(v, c);
  for (int c = 0; c <= last_class; ++c) {
    results.class_pair_count[c] = setup.identity_pair_count_[c];
    results.class_mean_distance[c] = setup.identity_mean_distance_[c];
  }
}

void moran_statistics(const MoranSetup& setup, Randomization randomization, const Permutation& permutation,
                      MoranScratch& scratch, MoranResults& results) {
  bool every_sample_placed = true, identity = true;
  for (int s = 1; s <= setup.n_samples(); ++s) {
    if (permutation[s] == 0) every_sample_placed = false;
    if (permutation[s] != s) identity = false;
  }
  // The observed placement, the same either way: its results were made with
  // the setup.
  if (identity) return observed_moran_statistics(setup, results);
  if (randomization == Randomization::kComplete)
    MoranEvaluation(setup, permutation, scratch, results, false).run_placing_values();
  else
    MoranEvaluation(setup, permutation, scratch, results, !every_sample_placed).run();
}

void moran_statistics(const Allocator& allocator, const DataSet& data, Randomization randomization,
                      const Permutation& permutation, const DistanceClasses& classes, const PairFilter& filter,
                      const RegressionInterval& interval, MoranResults& results) {
  // One placement needs no table: each pair is worked out as it comes.
  MoranSetup setup(allocator, data, classes, filter, interval, 0);
  MoranScratch scratch(setup);
  moran_statistics(setup, randomization, permutation, scratch, results);
}

}  // namespace kalveno
