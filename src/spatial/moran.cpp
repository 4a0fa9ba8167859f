#include "spatial/moran.h"

#include "spatial/moran_evaluation.h"

namespace kalveno {

namespace {

int round_up(int n, int block) { return (n + block - 1) / block * block; }

}  // namespace

MoranSetup::MoranSetup(const Allocator& allocator, const DataSet& data, const DistanceClasses& classes,
                       const PairFilter& filter, const RegressionInterval& interval)
    : MoranSetup(allocator, data, classes, filter, interval, PairGeometry::default_table_limit(allocator.budget())) {}

MoranSetup::MoranSetup(const Allocator& allocator, const DataSet& data, const DistanceClasses& classes,
                       const PairFilter& filter, const RegressionInterval& interval, std::size_t geometry_table_limit)
    : allocator_(allocator),
      n_(data.n_samples),
      n_variables_(data.n_variables),
      n_classes_(classes.n_classes),
      regression_restricted_(interval.restricted()),
      filter_(filter),
      geometry_(allocator, data, classes, interval, geometry_table_limit) {
  const int n = n_;
  int n_quantitative = 0, n_qualitative = 0;
  for (int v = 1; v <= n_variables_; ++v) (data.is_qualitative(v) ? n_qualitative : n_quantitative)++;
  quantitative_lanes_ = round_up(n_quantitative, kLaneBlock);
  n_lanes_ = quantitative_lanes_ + round_up(n_qualitative, kLaneBlock);
  if (n_lanes_ == 0) n_lanes_ = kLaneBlock;  // no variable: one block of padding keeps the rows non-empty
  const int last_lane = n_lanes_ - 1;

  lane_variable_ = allocator_.int_vector(0, last_lane);
  variance_ = allocator_.double_vector(0, last_lane);
  unlike_ = allocator_.double_vector(0, last_lane);
  deviation_ = allocator_.double_matrix(0, n, 0, last_lane);
  state_ = allocator_.double_matrix(0, n, 0, last_lane);
  present_ = allocator_.double_matrix(0, n, 0, last_lane);
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
  }
  inverse_n_minus_1_ = 1.0 / (n - 1);

  selector_ = allocator_.double_vector(0, n);
  if (filter_.selection != PairSelection::kAllPairs && filter_.selection != PairSelection::kUnnamedAll)
    for (int s = 1; s <= n; ++s) selector_[s] = data.values(filter_.variable, s);
  sum_all_pairs();
}

long long MoranSetup::regression_pairs_at_distance_zero() const {
  long long count = 0;
  for (int i = 1; i < n_; ++i) {
    for (int j = i + 1; j <= n_; ++j) {
      if (geometry_.distance(i, j) != 0 || !selects(i, j)) continue;
      double d, log_d;
      int code;
      geometry_.place(i, j, d, log_d, code);
      if (d == 0 && PairCode::in_regression(code)) ++count;
    }
  }
  return count;
}

MoranScratch::MoranScratch(const MoranSetup& setup) {
  const int last_class = setup.n_classes() + 1, last_lane = setup.n_lanes() - 1;
  class_sum_ = setup.allocator().double_matrix(0, last_class, 0, last_lane);
  class_used_ = setup.allocator().double_matrix(0, last_class, 0, last_lane);
  regression_ = setup.allocator().double_matrix(0, kRegressionSums - 1, 0, last_lane);
  distance_sum_ = setup.allocator().double_vector(0, last_class);
  const int n = setup.n_samples();
  row_sample_ = setup.allocator().int_vector(0, n);
  row_code_ = setup.allocator().int_vector(0, n);
  row_distance_ = setup.allocator().double_vector(0, n);
  row_log_distance_ = setup.allocator().double_vector(0, n);
}

MoranResults make_moran_results(const Allocator& allocator, int n_variables, int n_classes) {
  MoranResults results;
  results.moran_matrix = allocator.double_matrix(1, n_variables, -2, n_classes + 1);
  results.class_pair_count = allocator.int_vector(0, n_classes + 1);
  results.class_mean_distance = allocator.double_vector(0, n_classes + 1);
  return results;
}

void MoranSetup::sum_all_pairs() {
  all_pairs_ = allocator_.double_matrix(0, 1, 0, n_lanes_ - 1);
  MoranScratch scratch(*this);
  MoranResults results = make_moran_results(allocator_, n_variables_, n_classes_);
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

void moran_statistics(const Allocator& allocator, const DataSet& data, const Permutation& permutation,
                      const DistanceClasses& classes, const PairFilter& filter, const RegressionInterval& interval,
                      MoranResults& results) {
  // One placement needs no table: each pair is worked out as it comes.
  MoranSetup setup(allocator, data, classes, filter, interval, 0);
  MoranScratch scratch(setup);
  moran_statistics(setup, permutation, scratch, results);
}

}  // namespace kalveno
