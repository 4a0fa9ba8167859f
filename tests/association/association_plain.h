// The association coefficients evaluated the plain way: the rules applied to
// one pair of variables at a time, with fresh arrays for every pair and
// nothing worked out ahead. The fast evaluation must agree with it to the
// last bit; the tests and the engines fuzzing target compare the two.
#pragma once
#include <cmath>
#include <cstdint>
#include <utility>

#include "association/coefficients.h"
#include "base/allocation.h"
#include "data/data_set.h"
#include "randomization/permutation.h"

namespace kalveno::testing {

struct AssociationValues {
  RangedMatrix<double> association;  // [1..V][1..V]
  StateMeans means;
};

// The rules, one kind of pair of variables at a time: values(j, i) is
// variable j of sample i, kind[j] its number of states (0: quantitative), as
// prepare_association_input takes them.
struct PlainAssociation {
  int v, n_samples;
  const RangedVector<int>& kind;
  const RangedMatrix<double>& values;
  const Permutation& perm;
  AssociationValues out{Allocator().double_matrix(1, v, 1, v), make_state_means(Allocator(), v, kind)};
  static constexpr double M = MISSING_VALUE;

  double permuted(int j, int i) const { return perm[i] == 0 ? M : values(j, perm[i]); }

  void pearson() {
    // x is the deviation of the permuted variable from its mean over its
    // values. The means of the usable pairs come first: the sums over every
    // present value (y's in sample order, x's in site order) less those of
    // the sites where the other variable is missing, in site order; then the
    // moments of the deviations from them, in site order.
    RangedVector<double> sum = Allocator().double_vector(1, v), mean = Allocator().double_vector(1, v);
    for (int j = 1; j <= v; ++j) {
      if (kind[j] != 0) continue;
      int n = 0;
      for (int i = 1; i <= n_samples; ++i)
        if (values(j, i) != M) ++n, sum[j] += values(j, i);
      mean[j] = sum[j] / n;
    }
    for (int j = 1; j <= v; ++j) {
      for (int k = 1; k <= v; ++k) {
        if (kind[j] != 0 || kind[k] != 0) continue;
        auto x = [&](int i) { return permuted(j, i) - mean[j]; };
        double x_sum = 0, y_sum = sum[k];
        for (int i = 1; i <= n_samples; ++i)
          if (permuted(j, i) != M) x_sum += x(i);
        int n = 0;
        for (int i = 1; i <= n_samples; ++i) {
          if (permuted(j, i) != M && values(k, i) == M) x_sum -= x(i);
          if (permuted(j, i) == M && values(k, i) != M) y_sum -= values(k, i);
          n += permuted(j, i) != M && values(k, i) != M;
        }
        const double mx = x_sum / n, my = y_sum / n;
        double products = 0, x_squares = 0, y_squares = 0;
        for (int i = 1; i <= n_samples; ++i) {
          if (permuted(j, i) == M || values(k, i) == M) continue;
          const double dx = x(i) - mx, dy = values(k, i) - my;
          products += dx * dy, x_squares += dx * dx, y_squares += dy * dy;
        }
        out.association(j, k) = (products / n) / (std::sqrt(x_squares / n) * std::sqrt(y_squares / n));
      }
    }
  }

  void chi_square() {
    for (int j = 1; j <= v; ++j) {
      for (int k = 1; k <= v; ++k) {
        if (kind[j] == 0 || kind[k] == 0) continue;
        RangedMatrix<int> t = Allocator().int_matrix(0, kind[j], 0, kind[k]);
        for (int i = 1; i <= n_samples; ++i) {
          if (permuted(j, i) == M || values(k, i) == M) continue;
          const int a = static_cast<int>(permuted(j, i)), b = static_cast<int>(values(k, i));
          ++t(a, b), ++t(0, b), ++t(a, 0), ++t(0, 0);
        }
        const int n = t(0, 0);
        double chi = 0;
        for (int a = 1; a <= kind[j]; ++a) {
          for (int b = 1; b <= kind[k]; ++b) {
            double o = static_cast<double>(t(a, b)) / n;
            double e = (static_cast<double>(t(a, 0)) / n) * (static_cast<double>(t(0, b)) / n);
            if (e != 0) chi = chi + (o - e) * (o - e) * n / e;
          }
        }
        out.association(j, k) = chi;
      }
    }
  }

  void intra_class() {
    for (int j = 1; j <= v; ++j) {
      if (kind[j] == 0) continue;
      for (int k = 1; k <= v; ++k) {
        if (kind[k] != 0) continue;
        if (kind[j] == 1) {
          out.association(j, k) = out.association(k, j) = M;
          continue;
        }
        const int s = kind[j];
        RangedVector<int> count = Allocator().int_vector(0, s);
        RangedVector<double> sum = Allocator().double_vector(0, s), squares = Allocator().double_vector(0, s);
        int n = 0;
        double total = 0;
        for (int i = 1; i <= n_samples; ++i) {
          if (permuted(j, i) == M || values(k, i) == M) continue;
          const int a = static_cast<int>(permuted(j, i));
          ++count[a], sum[a] += values(k, i), ++n;
        }
        for (int a = 1; a <= s; ++a) total += sum[a];  // the mean of every pair from the states' sums
        for (int i = 1; i <= n_samples; ++i) {
          if (permuted(j, i) == M || values(k, i) == M) continue;
          const int a = static_cast<int>(permuted(j, i));
          const double deviation = values(k, i) - sum[a] / count[a];
          squares[a] += deviation * deviation;
        }
        int g = 0;
        double w = 0, b = 0;
        std::int64_t sum_n2 = 0;
        for (int a = 1; a <= s; ++a) {
          sum_n2 += static_cast<std::int64_t>(count[a]) * count[a];
          if (count[a] == 0) continue;
          ++g;
          w += squares[a];
          b += count[a] * ((sum[a] / count[a] - total / n) * (sum[a] / count[a] - total / n));
        }
        if (g < 2 || n <= g) {
          out.association(j, k) = out.association(k, j) = M;
        } else {
          double msb = b / (g - 1), msw = w / (n - g), n0 = (n - static_cast<double>(sum_n2) / n) / (g - 1);
          out.association(j, k) = out.association(k, j) = (msb - msw) / ((n0 - 1) * msw + msb);
        }
        for (int a = 1; a <= s; ++a) out.means[j](k, a) = count[a] > 0 ? sum[a] / count[a] : M;
      }
    }
  }
};

inline AssociationValues plain_association(int v, const RangedVector<int>& kind, int n_samples,
                                           const RangedMatrix<double>& values, const Permutation& perm) {
  PlainAssociation plain{v, n_samples, kind, values, perm};
  plain.pearson();
  plain.chi_square();
  plain.intra_class();
  return std::move(plain.out);
}

}  // namespace kalveno::testing
