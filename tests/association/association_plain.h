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
    // Moments about a mean worked out first, in sample or site order; x is
    // taken as its deviation from its whole mean.
    RangedVector<double> mean = Allocator().double_vector(1, v), sd = Allocator().double_vector(1, v);
    RangedVector<int> n_present = Allocator().int_vector(1, v);
    for (int j = 1; j <= v; ++j) {
      if (kind[j] != 0) continue;
      int n = 0;
      double sum = 0, squares = 0;
      for (int i = 1; i <= n_samples; ++i)
        if (values(j, i) != M) ++n, sum += values(j, i);
      n_present[j] = n;
      mean[j] = sum / n;
      for (int i = 1; i <= n_samples; ++i)
        if (values(j, i) != M) squares += (values(j, i) - mean[j]) * (values(j, i) - mean[j]);
      sd[j] = std::sqrt(squares / n);
    }
    for (int j = 1; j <= v; ++j) {
      for (int k = 1; k <= v; ++k) {
        if (kind[j] != 0 || kind[k] != 0) continue;
        auto usable = [&](int i) { return permuted(j, i) != M && values(k, i) != M; };
        int n = 0;
        double products = 0, x_sum = 0, y_sum = 0;
        for (int i = 1; i <= n_samples; ++i) {
          if (!usable(i)) continue;
          const double x = permuted(j, i) - mean[j], y = values(k, i);
          ++n;
          products += x * (y - mean[k]), x_sum += x, y_sum += y;
        }
        if (n == n_present[j] && n == n_present[k]) {
          out.association(j, k) = (products / n) / (sd[j] * sd[k]);
          continue;
        }
        const double mx = x_sum / n, my = y_sum / n;
        double own_products = 0, x_squares = 0, y_squares = 0;
        for (int i = 1; i <= n_samples; ++i) {
          if (!usable(i)) continue;
          const double ex = (permuted(j, i) - mean[j]) - mx, ey = values(k, i) - my;
          own_products += ex * ey, x_squares += ex * ex, y_squares += ey * ey;
        }
        out.association(j, k) = (own_products / n) / (std::sqrt(x_squares / n) * std::sqrt(y_squares / n));
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
          ++count[a], sum[a] += values(k, i), ++n, total += values(k, i);
        }
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
