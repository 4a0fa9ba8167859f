// Moran's I by distance class evaluated the plain way: every step for every
// pair, in the order the algorithm states, with nothing worked out ahead.
// The engine must agree with it to the last bit; the tests and the engines
// fuzzing target compare the two, and the benchmark measures the engine
// against it.
#pragma once
#include <algorithm>
#include <cmath>
#include <vector>

#include "base/allocation.h"
#include "data/data_file.h"
#include "randomization/permutation.h"
#include "spatial/moran.h"

namespace kalveno::testing {

namespace plain {

// Whether states a and b of two samples select their pair.
inline bool selects(const PairFilter& filter, double a, double b) {
  const double first = filter.first_state, second = filter.second_state;
  switch (filter.selection) {
    case PairSelection::kSameState: return a == b;
    case PairSelection::kDistinctStates: return a != b;
    case PairSelection::kOneState: return a == first && b == first;
    case PairSelection::kTwoStates: return (a == first && b == second) || (a == second && b == first);
    case PairSelection::kAllPairs:
    case PairSelection::kUnnamedAll: return true;
  }
  return true;
}

// The data as one placement sets them out: place x of the pair loop stands
// at position[x] (0: nowhere) and holds value[k][x] of each variable and
// state[k][x], the selecting state that goes with it; pair_state[x] is the
// one that selects the pairs counted per class.
struct Placed {
  std::vector<int> position;
  std::vector<std::vector<double>> value, state;
  std::vector<double> pair_state;
};

// The samples that have (every sample when k is 0), and the same samples in
// the order of their positions, ties in sample order.
inline void place_in_order(const DataSet& data, const Permutation& p, int k, const std::vector<double>& from,
                           std::vector<double>& to) {
  std::vector<int> have;
  for (int s = 1; s <= data.n_samples; ++s)
    if (k == 0 || data.values(k, s) != MISSING_VALUE) have.push_back(s);
  std::vector<int> by_position = have;
  std::stable_sort(by_position.begin(), by_position.end(), [&](int a, int b) { return p[a] < p[b]; });
  for (std::size_t e = 0; e < have.size(); ++e) to[have[e]] = from[by_position[e]];
}

// Each sample's selecting state (0 for all of them without a filter).
inline std::vector<double> own_states(const DataSet& data, const PairFilter& filter) {
  std::vector<double> state(static_cast<std::size_t>(data.n_samples) + 1, 0);
  const bool every_pair =
      filter.selection == PairSelection::kAllPairs || filter.selection == PairSelection::kUnnamedAll;
  if (!every_pair)
    for (int s = 1; s <= data.n_samples; ++s) state[s] = data.values(filter.variable, s);
  return state;
}

inline Placed place(const DataSet& data, Randomization randomization, const Permutation& p,
                    const PairFilter& filter) {
  const int n = data.n_samples, n_var = data.n_variables;
  const std::vector<double> own_state = own_states(data, filter);
  Placed out;
  out.position.assign(n + 1, 0);
  out.value.assign(n_var + 1, std::vector<double>(n + 1, MISSING_VALUE));
  out.state.assign(n_var + 1, own_state);
  out.pair_state = own_state;
  for (int s = 1; s <= n; ++s) {
    out.position[s] = randomization == Randomization::kComplete ? s : p[s];
    for (int k = 1; k <= n_var; ++k) out.value[k][s] = data.values(k, s);
  }
  if (randomization == Randomization::kToroidal) return out;
  for (int k = 1; k <= n_var; ++k) {
    const std::vector<double> own_value = out.value[k];
    place_in_order(data, p, k, own_value, out.value[k]);
    place_in_order(data, p, k, own_state, out.state[k]);
  }
  place_in_order(data, p, 0, own_state, out.pair_state);
  return out;
}

// Moments from the deviations from the mean, and the sum of squared state
// frequencies of qualitative variables; Iij of two values.
struct Moments {
  std::vector<double> mean, variance, p_sum;
  std::vector<int> count;

  explicit Moments(const DataSet& data) {
    const int n = data.n_samples, n_var = data.n_variables;
    mean.assign(n_var + 1, 0);
    variance.assign(n_var + 1, 0);
    p_sum.assign(n_var + 1, 0);
    count.assign(n_var + 1, 0);
    for (int k = 1; k <= n_var; ++k) {
      double sum = 0, squares = 0;
      std::vector<int> in_state(static_cast<std::size_t>(std::max(data.var_kind[k], 0)) + 1);
      for (int s = 1; s <= n; ++s) {
        if (data.values(k, s) == MISSING_VALUE) continue;
        ++count[k];
        sum += data.values(k, s);
        if (data.var_kind[k] > 0) ++in_state[static_cast<int>(data.values(k, s))];
      }
      mean[k] = sum / count[k];
      for (int s = 1; s <= n; ++s) {
        const double deviation = data.values(k, s) - mean[k];
        if (data.values(k, s) != MISSING_VALUE) squares += deviation * deviation;
      }
      variance[k] = squares / count[k];
      for (int state = 1; state <= data.var_kind[k]; ++state) {
        const double f = static_cast<double>(in_state[state]) / count[k];
        p_sum[k] += f * f;
      }
    }
  }

  double iij(const DataSet& data, int k, double a, double b) const {
    if (data.var_kind[k] == 0) return (a - mean[k]) * (b - mean[k]) / variance[k] + 1.0 / (count[k] - 1);
    return a == b ? 1.0 : -p_sum[k] / (1 - p_sum[k]);
  }
};

// The sums over the pairs of places, each variable's per class and in the
// regression, and the pairs counted per class.
struct PairSums {
  std::vector<double> distance_sum;
  RangedMatrix<double> moran;
  RangedMatrix<int> used;
  std::vector<int> reg_n;
  std::vector<double> s_i, s_id, s_il, s_d, s_d2, s_l, s_l2;

  PairSums(int n_var, int n_classes)
      : distance_sum(n_classes + 2),
        moran(Allocator().double_matrix(1, n_var, 0, n_classes + 1)),
        used(Allocator().int_matrix(1, n_var, 0, n_classes + 1)),
        reg_n(n_var + 1),
        s_i(n_var + 1), s_id(n_var + 1), s_il(n_var + 1), s_d(n_var + 1), s_d2(n_var + 1), s_l(n_var + 1),
        s_l2(n_var + 1) {}

  void add(int k, int c, double value, double d, double l, bool in_regression) {
    moran(k, c) += value;
    ++used(k, c);
    if (!in_regression) return;
    ++reg_n[k];
    s_i[k] += value;
    s_id[k] += value * d;
    s_il[k] += value * l;
    s_d[k] += d;
    s_d2[k] += d * d;
    s_l[k] += l;
    s_l2[k] += l * l;
  }
};

}  // namespace plain

// The sums over all selected pairs, the pairs of samples where the data
// place them, in their order: the same pairs of values in any placement that
// leaves no sample out.
inline void plain_all_pair_sums(const DataSet& data, const Permutation& p, const PairFilter& filter,
                                const plain::Moments& moments, std::vector<double>& sum, std::vector<int>& used) {
  const int n = data.n_samples, n_var = data.n_variables;
  const std::vector<double> state = plain::own_states(data, filter);
  sum.assign(n_var + 1, 0);
  used.assign(n_var + 1, 0);
  for (int i = 1; i < n; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      if (p[i] == 0 || p[j] == 0) continue;  // a sample without a position sits out
      if (!plain::selects(filter, state[i], state[j])) continue;
      for (int k = 1; k <= n_var; ++k) {
        const double a = data.values(k, i), b = data.values(k, j);
        if (a == MISSING_VALUE || b == MISSING_VALUE) continue;
        sum[k] += moments.iij(data, k, a, b);
        ++used[k];
      }
    }
  }
}

// Every pair of places in order.
inline void plain_pair_sums(const DataSet& data, const plain::Placed& placed, const DistanceClasses& classes,
                            const PairFilter& filter, const RegressionInterval& interval,
                            const plain::Moments& moments, plain::PairSums& sums, MoranResults& out) {
  const int n = data.n_samples, n_classes = classes.n_classes;
  out.class_pair_count.fill(0);
  for (int x = 1; x < n; ++x) {
    for (int y = x + 1; y <= n; ++y) {
      if (placed.position[x] == 0 || placed.position[y] == 0) continue;
      const double d = sample_distance(data, placed.position[x], placed.position[y]);
      const double l = std::log(d);
      int c = 1;
      while (c <= n_classes && !distance_within(d, static_cast<float>(classes.class_max[c]))) ++c;
      if (plain::selects(filter, placed.pair_state[x], placed.pair_state[y])) {
        ++out.class_pair_count[0];
        ++out.class_pair_count[c];
        sums.distance_sum[c] += d;
      }
      const bool in_regression = (interval.min_distance == 0 && interval.max_distance == 0) ||
                                 (interval.min_distance <= distance_for_bounds(d) &&
                                  distance_within(d, interval.max_distance));
      for (int k = 1; k <= data.n_variables; ++k) {
        const double a = placed.value[k][x], b = placed.value[k][y];
        if (a == MISSING_VALUE || b == MISSING_VALUE) continue;
        if (!plain::selects(filter, placed.state[k][x], placed.state[k][y])) continue;
        sums.add(k, c, moments.iij(data, k, a, b), d, l, in_regression);
      }
    }
  }
}

inline void plain_moran_statistics(const DataSet& data, Randomization randomization, const Permutation& p,
                                   const DistanceClasses& classes, const PairFilter& filter,
                                   const RegressionInterval& interval, MoranResults& out) {
  const int n_var = data.n_variables, n_classes = classes.n_classes;
  const plain::Moments moments(data);
  std::vector<double> all_sum;
  std::vector<int> all_used;
  plain_all_pair_sums(data, p, filter, moments, all_sum, all_used);
  plain::PairSums sums(n_var, n_classes);
  plain_pair_sums(data, plain::place(data, randomization, p, filter), classes, filter, interval, moments, sums, out);

  RangedMatrix<double>& moran = out.moran_matrix;
  for (int c = 1; c <= n_classes; ++c)
    out.class_mean_distance[c] = out.class_pair_count[c] == 0 ? 0 : sums.distance_sum[c] / out.class_pair_count[c];
  for (int k = 1; k <= n_var; ++k) {
    for (int c = 1; c <= n_classes; ++c) moran(k, c) = sums.moran(k, c) / sums.used(k, c);
    moran(k, n_classes + 1) = sums.moran(k, n_classes + 1);
    moran(k, 0) = all_sum[k] / all_used[k];
    // Without an interval the regression takes every pair: its count and
    // sum of Iij are those over all pairs.
    const int m = interval.restricted() ? sums.reg_n[k] : all_used[k];
    const double sum_i = interval.restricted() ? sums.s_i[k] : all_sum[k];
    if (m == 0) {
      moran(k, -2) = moran(k, -1) = MISSING_VALUE;
      continue;
    }
    const double mean_i = sum_i / m, mean_d = sums.s_d[k] / m, mean_l = sums.s_l[k] / m;
    moran(k, -2) = (sums.s_id[k] / m - mean_i * mean_d) / (sums.s_d2[k] / m - mean_d * mean_d);
    moran(k, -1) = (sums.s_il[k] / m - mean_i * mean_l) / (sums.s_l2[k] / m - mean_l * mean_l);
  }
}

}  // namespace kalveno::testing
