#include "association/coefficients.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "flow/data_file.h"
#include "numeric/allocation.h"

namespace kalveno {

// Every sum below runs over the sites i = 1..N in order. The inner loops run
// over the quantitative variables for one site at a time, so that they keep
// one running sum per variable; a site without a usable pair adds +0.0 (or 0
// to a count), which leaves a sum that starts at +0.0 exactly as it was. The
// results are thus those of adding the usable pairs one after the other.

AssociationInput prepare_association_input(int n_variables, const RangedVector<int>& var_kind, int n_samples,
                                           const RangedMatrix<double>& values) {
  AssociationInput in;
  in.n_variables = n_variables;
  in.n_samples = n_samples;
  in.var_kind = ivector(1, n_variables);
  for (int j = 1; j <= n_variables; ++j) {
    in.var_kind[j] = var_kind[j];
    if (var_kind[j] == 0)
      ++in.n_quantitative;
    else
      ++in.n_qualitative;
  }
  in.quantitative = ivector(1, in.n_quantitative);
  in.qualitative = ivector(1, in.n_qualitative);
  int q = 0, c = 0;
  for (int j = 1; j <= n_variables; ++j) {
    if (var_kind[j] == 0)
      in.quantitative[++q] = j;
    else
      in.qualitative[++c] = j;
  }

  in.by_variable = matrix(1, in.n_quantitative, 1, n_samples);
  in.by_sample = matrix(1, n_samples, 1, in.n_quantitative);
  in.mean = dvector(1, in.n_quantitative);
  in.sd = dvector(1, in.n_quantitative);
  for (q = 1; q <= in.n_quantitative; ++q) {
    const int j = in.quantitative[q];
    int n = 0;
    double sum = 0, squares = 0;
    for (int i = 1; i <= n_samples; ++i) {
      const double x = values(j, i);
      in.by_variable(q, i) = x;
      in.by_sample(i, q) = x;
      if (x == MISSING_VALUE) continue;
      ++n;
      sum += x;
      squares += x * x;
    }
    in.mean[q] = sum / n;
    in.sd[q] = std::sqrt(squares / n - in.mean[q] * in.mean[q]);
  }

  in.state = imatrix(1, in.n_qualitative, 1, n_samples);
  for (c = 1; c <= in.n_qualitative; ++c) {
    const int j = in.qualitative[c];
    for (int i = 1; i <= n_samples; ++i) {
      const double x = values(j, i);
      in.state(c, i) = x == MISSING_VALUE ? 0 : static_cast<int>(x);
    }
  }
  return in;
}

AssociationScratch::AssociationScratch(const AssociationInput& in) {
  int max_states = 1;
  for (int c = 1; c <= in.n_qualitative; ++c) max_states = std::max(max_states, in.var_kind[in.qualitative[c]]);
  const int nq = in.n_quantitative;
  permuted_value = dvector(1, in.n_samples);
  permuted_state = ivector(1, in.n_samples);
  product_sum = dvector(1, nq);
  pair_count = ivector(1, nq);
  table = imatrix(0, max_states, 0, max_states);
  state_count = imatrix(0, max_states, 1, nq);
  state_sum = matrix(0, max_states, 1, nq);
  state_squares = matrix(0, max_states, 1, nq);
  grand_sum = dvector(1, nq);
}

StateMeans make_state_means(int n_variables, const RangedVector<int>& var_kind) {
  StateMeans means = make_vector<RangedMatrix<double>>(1, n_variables, "\nallocation failure 1 in matrix()");
  for (int j = 1; j <= n_variables; ++j)
    if (var_kind[j] >= 2) means[j] = matrix(1, n_variables, 0, var_kind[j]);
  return means;
}

namespace {

// Pearson's r for every ordered pair of quantitative variables.
void pearson(const AssociationInput& in, const Permutation& perm, AssociationScratch& s,
             RangedMatrix<double>& association) {
  const int n_samples = in.n_samples, nq = in.n_quantitative;
  RangedVector<double>&permuted_value = s.permuted_value, &product_sum = s.product_sum;
  RangedVector<int>& pair_count = s.pair_count;
  for (int p = 1; p <= nq; ++p) {
    // Variable j at site i is that of sample perm[i]; entry 0 names no sample.
    for (int i = 1; i <= n_samples; ++i)
      permuted_value[i] = perm[i] == 0 ? MISSING_VALUE : in.by_variable(p, perm[i]);
    std::fill(product_sum.data(), product_sum.data() + nq, 0.0);
    std::fill(pair_count.data(), pair_count.data() + nq, 0);
    double* sums = product_sum.data();
    int* counts = pair_count.data();
    for (int i = 1; i <= n_samples; ++i) {
      const double x = permuted_value[i];
      if (x == MISSING_VALUE) continue;
      const double* y = in.by_sample.row(i);
      for (int q = 0; q < nq; ++q) {
        const bool usable = y[q] != MISSING_VALUE;
        sums[q] += usable ? x * y[q] : 0.0;
        counts[q] += usable;
      }
    }
    const int j = in.quantitative[p];
    for (int q = 1; q <= nq; ++q) {
      const int k = in.quantitative[q];
      association(j, k) = (product_sum[q] / pair_count[q] - in.mean[p] * in.mean[q]) / (in.sd[p] * in.sd[q]);
    }
  }
}

// Chi-square of the table of qualitative variable c (permuted, states in
// permuted_state) by every qualitative variable.
void chi_square_row(const AssociationInput& in, int c, AssociationScratch& s, RangedMatrix<double>& association) {
  const int n_samples = in.n_samples, j = in.qualitative[c], rows = in.var_kind[j];
  const RangedVector<int>& permuted_state = s.permuted_state;
  RangedMatrix<int>& table = s.table;
  for (int d = 1; d <= in.n_qualitative; ++d) {
    const int k = in.qualitative[d], cols = in.var_kind[k];
    for (int a = 0; a <= rows; ++a)
      for (int b = 0; b <= cols; ++b) table(a, b) = 0;
    for (int i = 1; i <= n_samples; ++i) {
      const int a = permuted_state[i], b = in.state(d, i);
      if (a == 0 || b == 0) continue;
      ++table(a, b);
      ++table(0, b);
      ++table(a, 0);
      ++table(0, 0);
    }
    // Proportions, in this order; a cell whose expected count is 0 (a state
    // seen in no usable pair) adds nothing. With no usable pair at all the
    // expected counts are 0/0, not 0, and the statistic is not a number.
    const int n = table(0, 0);
    double chi = 0;
    for (int a = 1; a <= rows; ++a) {
      for (int b = 1; b <= cols; ++b) {
        const double o = static_cast<double>(table(a, b)) / n;
        const double e = (static_cast<double>(table(a, 0)) / n) * (static_cast<double>(table(0, b)) / n);
        if (e == 0) continue;
        chi += (o - e) * (o - e) * n / e;
      }
    }
    association(j, k) = chi;
  }
}

// Intra-class r of every quantitative variable classified by the states of
// qualitative variable c (permuted, states in permuted_state), and the means
// per state when asked for.
void intra_class_row(const AssociationInput& in, int c, AssociationScratch& s, RangedMatrix<double>& association,
                     StateMeans* means) {
  const int n_samples = in.n_samples, nq = in.n_quantitative, j = in.qualitative[c], n_states = in.var_kind[j];
  const RangedVector<int>& permuted_state = s.permuted_state;
  RangedMatrix<int>& state_count = s.state_count;
  RangedMatrix<double>&state_sum = s.state_sum, &state_squares = s.state_squares;
  RangedVector<int>& usable = s.pair_count;
  RangedVector<double>& grand_sum = s.grand_sum;
  for (int a = 0; a <= n_states; ++a) {
    std::fill(state_count.row(a), state_count.row(a) + nq, 0);
    std::fill(state_sum.row(a), state_sum.row(a) + nq, 0.0);
    std::fill(state_squares.row(a), state_squares.row(a) + nq, 0.0);
  }
  std::fill(usable.data(), usable.data() + nq, 0);
  std::fill(grand_sum.data(), grand_sum.data() + nq, 0.0);
  int* n = usable.data();
  double* total = grand_sum.data();
  for (int i = 1; i <= n_samples; ++i) {
    const int a = permuted_state[i];
    if (a == 0) continue;
    const double* y = in.by_sample.row(i);
    int* count = state_count.row(a);
    double* sum = state_sum.row(a);
    double* squares = state_squares.row(a);
    for (int q = 0; q < nq; ++q) {
      const bool present = y[q] != MISSING_VALUE;
      count[q] += present;
      sum[q] += present ? y[q] : 0.0;
      squares[q] += present ? y[q] * y[q] : 0.0;
      n[q] += present;
      total[q] += present ? y[q] : 0.0;
    }
  }

  for (int q = 1; q <= nq; ++q) {
    const int k = in.quantitative[q], n_pairs = usable[q];
    const double grand = grand_sum[q];
    // One-way analysis of variance over the observed states.
    int g = 0;
    double within = 0, between = 0;
    std::int64_t sum_squared_counts = 0;
    for (int a = 1; a <= n_states; ++a) {
      const int n_a = state_count(a, q);
      sum_squared_counts += static_cast<std::int64_t>(n_a) * n_a;
      if (n_a == 0) continue;
      ++g;
      const double t_a = state_sum(a, q), q_a = state_squares(a, q);
      within += q_a - t_a * t_a / n_a;
      const double deviation = t_a / n_a - grand / n_pairs;
      between += n_a * (deviation * deviation);
    }
    if (g < 2 || n_pairs <= g) {
      association(j, k) = association(k, j) = MISSING_VALUE;
    } else {
      const double msb = between / (g - 1), msw = within / (n_pairs - g);
      const double n0 = (n_pairs - static_cast<double>(sum_squared_counts) / n_pairs) / (g - 1);
      association(j, k) = association(k, j) = (msb - msw) / ((n0 - 1) * msw + msb);
    }
    if (means != nullptr) {
      RangedMatrix<double>& m = (*means)[j];
      for (int a = 1; a <= n_states; ++a) {
        const int n_a = state_count(a, q);
        m(k, a) = n_a > 0 ? state_sum(a, q) / n_a : MISSING_VALUE;
      }
    }
  }
}

}  // namespace

void association_coefficients(const AssociationInput& in, const Permutation& perm, AssociationScratch& s,
                              RangedMatrix<double>& association, StateMeans* means) {
  pearson(in, perm, s, association);
  for (int c = 1; c <= in.n_qualitative; ++c) {
    const int j = in.qualitative[c];
    for (int i = 1; i <= in.n_samples; ++i) s.permuted_state[i] = perm[i] == 0 ? 0 : in.state(c, perm[i]);
    chi_square_row(in, c, s, association);
    if (in.var_kind[j] >= 2) {
      if (in.n_quantitative > 0) intra_class_row(in, c, s, association, means);
    } else {
      // One state: nothing to classify by.
      for (int q = 1; q <= in.n_quantitative; ++q) {
        const int k = in.quantitative[q];
        association(j, k) = association(k, j) = MISSING_VALUE;
      }
    }
  }
}

}  // namespace kalveno
