#include "spatial/moran_analytical.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "base/parallel.h"

namespace kalveno {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Rows of pairs (i, every j) that a worker takes at a time.
constexpr int kRowsPerTask = 32;

// The samples that have a quantitative variable, and those that lack it.
struct Presence {
  int v;
  std::vector<int> present, missing;
};

std::vector<Presence> presence(const DataSet& data, bool with_qualitative) {
  std::vector<Presence> list;
  for (int v = 1; v <= data.n_variables; ++v) {
    if (data.is_qualitative(v) && !with_qualitative) continue;
    Presence p{v, {}, {}};
    for (int s = 1; s <= data.n_samples; ++s) (data.values(v, s) == MISSING_VALUE ? p.missing : p.present).push_back(s);
    list.push_back(std::move(p));
  }
  return list;
}

// The sums of one worker: twice the pairs (each pair is met from both
// samples) and the squares of k_i.
struct WeightSums {
  WeightSums(const Allocator& allocator, int n_samples, int n_variables, int n_classes)
      : row_class(allocator.int_vector(0, n_samples)),
        all(allocator.vector_of<long long>(0, n_classes + 1, allocation_message::kIntVector)),
        counts(allocator.vector_of<long long>(0, n_classes + 1, allocation_message::kIntVector)),
        ends(allocator.matrix_of<long long>(1, n_variables, 1, n_classes, allocation_message::kIntMatrix)),
        k_squares(allocator.matrix_of<std::uint64_t>(1, n_variables, 1, n_classes, allocation_message::kIntMatrix)) {}
  RangedVector<int> row_class;  // [1..N]: the class of (i, j), 0 when the pair is not one
  RangedVector<long long> all, counts;  // [0..C+1]: the row's pairs per class, and a variable's
  RangedMatrix<long long> ends;
  RangedMatrix<std::uint64_t> k_squares;
};

// Row i: the class of every pair (i, j) once, then each variable's k_i per
// class from it: all the row's pairs less those with the samples that lack
// the variable, or, where those are the more, the pairs with the samples
// that have it.
void add_row(const MoranSetup& setup, const std::vector<Presence>& variables, int i, WeightSums& w) {
  const int n = setup.n_samples(), n_classes = setup.n_classes();
  const PairGeometry& geometry = setup.geometry();
  RangedVector<int>& row_class = w.row_class;
  const bool every_pair = setup.takes_every_pair();
  for (int j = 1; j <= n; ++j)
    row_class[j] = j != i && (every_pair || setup.selects(i, j)) ? geometry.class_of(i, j) : 0;

  RangedVector<long long>& all = w.all;
  for (int c = 0; c <= n_classes + 1; ++c) all[c] = 0;
  for (int j = 1; j <= n; ++j) ++all[row_class[j]];
  RangedVector<long long>& k = w.counts;
  for (const Presence& p : variables) {
    if (std::binary_search(p.missing.begin(), p.missing.end(), i)) continue;
    if (p.missing.size() <= p.present.size()) {
      for (int c = 0; c <= n_classes + 1; ++c) k[c] = all[c];
      for (int m : p.missing) --k[row_class[m]];
    } else {
      for (int c = 0; c <= n_classes + 1; ++c) k[c] = 0;
      for (int j : p.present) ++k[row_class[j]];
    }
    for (int c = 1; c <= n_classes; ++c) {
      w.ends(p.v, c) += k[c];
      w.k_squares(p.v, c) += static_cast<std::uint64_t>(k[c]) * static_cast<std::uint64_t>(k[c]);
    }
  }
}

// n sum z^4 / (sum z^2)^2 of the samples that have variable v.
double kurtosis(const DataSet& data, int v) {
  double sum = 0;
  int n = 0;
  for (int s = 1; s <= data.n_samples; ++s)
    if (data.values(v, s) != MISSING_VALUE) sum += data.values(v, s), ++n;
  const double mean = sum / n;
  double squares = 0, fourth = 0;
  for (int s = 1; s <= data.n_samples; ++s) {
    if (data.values(v, s) == MISSING_VALUE) continue;
    const double z2 = (data.values(v, s) - mean) * (data.values(v, s) - mean);
    squares += z2;
    fourth += z2 * z2;
  }
  return n * fourth / (squares * squares);
}

AnalyticalTest not_tested() { return {kNaN, kNaN, kNaN, kNaN, NAN, NAN, NAN}; }

}  // namespace

ClassWeights class_weights(const MoranSetup& setup, const DataSet& data, int n_workers, bool with_qualitative) {
  const Allocator& allocator = setup.allocator();
  const int n = setup.n_samples(), n_variables = setup.n_variables(), n_classes = setup.n_classes();
  const std::vector<Presence> variables = presence(data, with_qualitative);
  const int n_tasks = variables.empty() ? 0 : (n + kRowsPerTask - 1) / kRowsPerTask;
  n_workers = std::max(1, std::min(n_workers, n_tasks));
  std::vector<WeightSums> sums;
  for (int w = 0; w < n_workers; ++w) sums.emplace_back(allocator, n, n_variables, n_classes);
  parallel_for(n_tasks, n_workers, [&](int worker, int task) {
    const int first = 1 + task * kRowsPerTask, last = std::min(n, first + kRowsPerTask - 1);
    for (int i = first; i <= last; ++i) add_row(setup, variables, i, sums[static_cast<std::size_t>(worker)]);
  });

  // Whole numbers: the sum is the same whichever worker took which rows.
  ClassWeights weights{
      allocator.matrix_of<long long>(1, n_variables, 1, n_classes, allocation_message::kIntMatrix),
      allocator.matrix_of<std::uint64_t>(1, n_variables, 1, n_classes, allocation_message::kIntMatrix)};
  for (const WeightSums& w : sums) {
    for (int v = 1; v <= n_variables; ++v) {
      for (int c = 1; c <= n_classes; ++c) {
        weights.pairs(v, c) += w.ends(v, c);
        weights.k_squares(v, c) += w.k_squares(v, c);
      }
    }
  }
  for (int v = 1; v <= n_variables; ++v)
    for (int c = 1; c <= n_classes; ++c) weights.pairs(v, c) /= 2;
  return weights;
}

void normal_p_values(double z, AnalyticalTest& test) {
  test.p_less = static_cast<float>(0.5 * std::erfc(-z / std::sqrt(2.0)));
  test.p_greater = static_cast<float>(0.5 * std::erfc(z / std::sqrt(2.0)));
  test.p_two_sided = std::isnan(z) ? NAN : std::min(1.0f, 2 * std::min(test.p_less, test.p_greater));
}

MoranAnalytical moran_analytical_tests(const MoranSetup& setup, const DataSet& data, const MoranResults& observed,
                                       int n_workers) {
  const Allocator& allocator = setup.allocator();
  const int n_variables = data.n_variables, n_classes = setup.n_classes();
  MoranAnalytical tests{allocator.matrix_of<AnalyticalTest>(1, n_variables, 1, n_classes, allocation_message::kMatrix),
                        allocator.matrix_of<AnalyticalTest>(1, n_variables, 1, n_classes, allocation_message::kMatrix)};
  const ClassWeights weights = class_weights(setup, data, n_workers);

  for (int v = 1; v <= n_variables; ++v) {
    int present = 0;
    for (int s = 1; s <= data.n_samples; ++s) present += data.values(v, s) != MISSING_VALUE;
    const double n = present, b2 = data.is_qualitative(v) ? kNaN : kurtosis(data, v);
    const double shift = 1 / (n - 1);  // the class value is I + 1 / (n - 1)
    for (int c = 1; c <= n_classes; ++c) {
      AnalyticalTest& normal = tests.normality(v, c);
      AnalyticalTest& randomized = tests.randomization(v, c);
      normal = randomized = not_tested();
      if (data.is_qualitative(v)) continue;
      const double s0 = 2.0 * static_cast<double>(weights.pairs(v, c)), s1 = 2 * s0;
      const double s2 = 4.0 * static_cast<double>(weights.k_squares(v, c));
      const double moran_i = observed.moran_matrix(v, c) - shift;
      const double expected = -1 / (n - 1);
      const double variance_n =
          (n * n * s1 - n * s2 + 3 * s0 * s0) / (s0 * s0 * (n * n - 1)) - expected * expected;
      const double variance_r =
          (n * ((n * n - 3 * n + 3) * s1 - n * s2 + 3 * s0 * s0) - b2 * ((n * n - n) * s1 - 2 * n * s2 + 6 * s0 * s0)) /
              ((n - 1) * (n - 2) * (n - 3) * s0 * s0) -
          expected * expected;
      // A variance that is not positive leaves z without meaning, and so
      // does the randomization variance of fewer than four samples.
      const bool defined[] = {variance_n > 0, variance_r > 0 && n >= 4};
      const double variances[] = {variance_n, variance_r};
      AnalyticalTest* const both[] = {&normal, &randomized};
      for (int a = 0; a < 2; ++a) {
        AnalyticalTest& test = *both[a];
        test.moran_i = moran_i;
        test.expected = expected;
        if (weights.pairs(v, c) == 0 || !defined[a]) continue;
        test.sd = std::sqrt(variances[a]);
        test.z = (moran_i - expected) / test.sd;
        normal_p_values(test.z, test);
      }
    }
  }
  return tests;
}

}  // namespace kalveno
