// Moran's I by distance class evaluated the plain way: every step for every
// pair, in the order the algorithm states, with nothing worked out ahead.
// The engine must agree with it to the last bit; the tests and the engines
// fuzzing target compare the two, and the benchmark measures the engine
// against it.
#pragma once
#include <cmath>

#include "base/allocation.h"
#include "data/data_file.h"
#include "randomization/permutation.h"
#include "spatial/moran.h"

namespace kalveno::testing {

inline void plain_moran_statistics(const DataSet& data, const Permutation& p, const DistanceClasses& classes,
                                   const PairFilter& filter, const RegressionInterval& interval,
                                   MoranResults& out) {
  const int n = data.n_samples, n_var = data.n_variables, n_classes = classes.n_classes;
  RangedMatrix<double>& moran = out.moran_matrix;

  // Moments, and the sum of squared state frequencies of qualitative variables.
  RangedVector<double> mean = Allocator().double_vector(1, n_var), variance = Allocator().double_vector(1, n_var), p_sum = Allocator().double_vector(1, n_var);
  for (int k = 1; k <= n_var; ++k) {
    int count = 0;
    double sum = 0, squares = 0;
    for (int s = 1; s <= n; ++s) {
      double v = data.values(k, s);
      if (v == MISSING_VALUE) continue;
      ++count;
      sum += v;
      squares += v * v;
    }
    mean[k] = sum / count;
    variance[k] = squares / count - mean[k] * mean[k];
  }
  for (int k = 1; k <= n_var; ++k) {
    const int n_states = data.var_kind[k];
    if (n_states <= 0) continue;
    RangedVector<int> in_state = Allocator().int_vector(1, n_states);
    int total = 0;
    for (int s = 1; s <= n; ++s) {
      double v = data.values(k, s);
      if (v == MISSING_VALUE) continue;
      ++in_state[static_cast<int>(v)];
      ++total;
    }
    for (int state = 1; state <= n_states; ++state) {
      double f = static_cast<double>(in_state[state]) / total;
      p_sum[k] += f * f;
    }
  }

  // Reset.
  RangedVector<double> distance_sum = Allocator().double_vector(0, n_classes + 1);
  RangedMatrix<int> used = Allocator().int_matrix(0, n_classes + 1, 1, n_var);
  RangedVector<int> reg_n = Allocator().int_vector(1, n_var);
  RangedVector<double> s_i = Allocator().double_vector(1, n_var), s_id = Allocator().double_vector(1, n_var), s_il = Allocator().double_vector(1, n_var),
                       s_d = Allocator().double_vector(1, n_var), s_d2 = Allocator().double_vector(1, n_var), s_l = Allocator().double_vector(1, n_var),
                       s_l2 = Allocator().double_vector(1, n_var);
  out.class_pair_count.fill(0);
  for (int k = 1; k <= n_var; ++k)
    for (int c = 0; c <= n_classes + 1; ++c) moran(k, c) = 0;

  // Pairs.
  for (int i = 1; i < n; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      if (filter.selection != PairSelection::kAllPairs && filter.selection != PairSelection::kUnnamedAll) {
        double ti = data.values(filter.variable, i), tj = data.values(filter.variable, j);
        const double first = filter.first_state, second = filter.second_state;
        bool take = false;
        if (filter.selection == PairSelection::kSameState) take = ti == tj;
        if (filter.selection == PairSelection::kDistinctStates) take = ti != tj;
        if (filter.selection == PairSelection::kOneState) take = ti == first && tj == first;
        if (filter.selection == PairSelection::kTwoStates)
          take = (ti == first && tj == second) || (ti == second && tj == first);
        if (!take) continue;
      }
      if (p[i] == 0 || p[j] == 0) continue;  // a sample without a position sits out
      double d = sample_distance(data, p[i], p[j]);
      double l = std::log(d);
      ++out.class_pair_count[0];
      int c = 1;
      while (c <= n_classes && !distance_within(d, static_cast<float>(classes.class_max[c]))) ++c;
      ++out.class_pair_count[c];
      distance_sum[c] += d;
      for (int k = 1; k <= n_var; ++k) {
        double a = data.values(k, i), b = data.values(k, j);
        if (a == MISSING_VALUE || b == MISSING_VALUE) continue;
        double iij;
        if (data.var_kind[k] == 0)
          iij = (a - mean[k]) * (b - mean[k]) / variance[k] + 1.0 / (n - 1);
        else
          iij = a == b ? 1.0 : -p_sum[k] / (1 - p_sum[k]);
        moran(k, c) += iij;
        moran(k, 0) += iij;
        ++used(c, k);
        ++used(0, k);
        bool in_regression = (interval.min_distance == 0 && interval.max_distance == 0) ||
                             (interval.min_distance <= distance_for_bounds(d) &&
                              distance_within(d, interval.max_distance));
        if (in_regression) {
          ++reg_n[k];
          s_i[k] += iij;
          s_id[k] += iij * d;
          s_il[k] += iij * l;
          s_d[k] += d;
          s_d2[k] += d * d;
          s_l[k] += l;
          s_l2[k] += l * l;
        }
      }
    }
  }

  for (int c = 1; c <= n_classes; ++c)
    out.class_mean_distance[c] = out.class_pair_count[c] == 0 ? 0 : distance_sum[c] / out.class_pair_count[c];
  for (int c = 0; c <= n_classes; ++c)
    for (int k = 1; k <= n_var; ++k) moran(k, c) /= used(c, k);
  for (int k = 1; k <= n_var; ++k) {
    if (reg_n[k] == 0) {
      moran(k, -2) = moran(k, -1) = MISSING_VALUE;
      continue;
    }
    int m = reg_n[k];
    double mean_i = s_i[k] / m, mean_d = s_d[k] / m, mean_l = s_l[k] / m;
    moran(k, -2) = (s_id[k] / m - mean_i * mean_d) / (s_d2[k] / m - mean_d * mean_d);
    moran(k, -1) = (s_il[k] / m - mean_i * mean_l) / (s_l2[k] / m - mean_l * mean_l);
  }
}

}  // namespace kalveno::testing
