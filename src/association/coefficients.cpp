#include "association/coefficients.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "data/data_set.h"
#include "base/parallel.h"
#include "randomization/replicate_runner.h"

namespace kalveno {

// Every sum below adds its terms in increasing order of the sites i, one
// after the other, so the results are those of the plain formulas. Moments
// are taken about a mean worked out first (two passes), never as
// E(x^2) - m^2, which loses every digit of the spread of values far from 0
// (1e9 + 64 k) and can even turn negative. For
// speed the inner loops take a block of kBlock quantitative variables at a
// time, one running sum per variable held in registers, and take every
// variable of the block without a test: a term is masked to +0.0 where its
// pair is not usable (or is a zero from a missing value held as 0), and
// adding a zero of either sign leaves a sum that starts at +0.0 exactly as
// it was (such a sum is never -0.0).

namespace {

// value where mask is all ones, +0.0 where it is 0.
inline double masked(double value, std::uint64_t mask) {
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(value) & mask);
}

// The three kernels below are kept out of line: inlined into their callers
// they lose their register accumulators and run at half the speed.

// Vectors of 2, 4 or 8 variables' values, and their masks, as wide as one
// register of the unit that uses them. Each lane's arithmetic is exactly the
// scalar arithmetic, so every width gives the same bits.
struct TwoLanes {
  static constexpr int kLanes = 2;
  using Values = double __attribute__((vector_size(2 * sizeof(double))));
  using Masks = std::uint64_t __attribute__((vector_size(2 * sizeof(double))));
};
struct FourLanes {
  static constexpr int kLanes = 4;
  using Values = double __attribute__((vector_size(4 * sizeof(double))));
  using Masks = std::uint64_t __attribute__((vector_size(4 * sizeof(double))));
};
struct EightLanes {
  static constexpr int kLanes = 8;
  using Values = double __attribute__((vector_size(8 * sizeof(double))));
  using Masks = std::uint64_t __attribute__((vector_size(8 * sizeof(double))));
};

// One vector from a row aligned only as its elements are. Copied rather than
// read through a pointer to the vector type, whose alignment is the whole
// vector's: compilers make the copy one unaligned load.
template <class Vector, class T>
[[gnu::always_inline]] inline void load_lanes(Vector& v, const T* p) {
  std::memcpy(&v, p, sizeof v);
}

// Pearson's moments of the usable pairs of the permuted deviations
// x[0..n-1] with each of the kBlock quantitative variables from column
// `first` of the sample rows, about the means of those pairs (mean_x and
// mean_y, worked out first): the sums of the products and of the squares of
// the deviations from them. A term whose y is missing is masked. Running
// sums in registers of L, kRegisters of them per sum, across the block.
template <class L, int kRegisters>
[[gnu::always_inline]] inline void add_pair_moments(const AssociationInput& in, const double* x, int first,
                                                    AssociationScratch& s) {
  using Values = typename L::Values;
  using Masks = typename L::Masks;
  static_assert(L::kLanes * kRegisters == AssociationInput::kBlock);
  const int stride = in.padded_quantitative;
  const double* y = &in.by_sample(1, first);
  const std::uint64_t* present = &in.present_mask(1, first);
  Values mean_x[kRegisters], mean_y[kRegisters], xy[kRegisters] = {}, xx[kRegisters] = {}, yy[kRegisters] = {};
  for (int r = 0; r < kRegisters; ++r) {
    load_lanes(mean_x[r], &s.mean_x[first + r * L::kLanes]);
    load_lanes(mean_y[r], &s.mean_y[first + r * L::kLanes]);
  }
  for (int i = 0; i < in.n_samples; ++i, y += stride, present += stride) {
    if (x[i] == MISSING_VALUE) continue;
    const Values xi = Values{} + x[i];
    for (int r = 0; r < kRegisters; ++r) {
      Values yi;
      Masks m;
      load_lanes(yi, y + r * L::kLanes);
      load_lanes(m, present + r * L::kLanes);
      const Values dx = xi - mean_x[r], dy = yi - mean_y[r];
      xy[r] += (Values)((Masks)(dx * dy) & m);
      xx[r] += (Values)((Masks)(dx * dx) & m);
      yy[r] += (Values)((Masks)(dy * dy) & m);
    }
  }
  for (int r = 0; r < kRegisters; ++r) {
    for (int b = 0; b < L::kLanes; ++b) {
      const int q = first + r * L::kLanes + b;
      s.products[q] = xy[r][b], s.x_squares[q] = xx[r][b], s.y_squares[q] = yy[r][b];
    }
  }
}

[[gnu::noinline, gnu::target("avx512f")]] void add_pair_moments_avx512(const AssociationInput& in, const double* x,
                                                                      int first, AssociationScratch& s) {
  add_pair_moments<EightLanes, 1>(in, x, first, s);
}
[[gnu::noinline, gnu::target("avx2")]] void add_pair_moments_avx2(const AssociationInput& in, const double* x,
                                                                 int first, AssociationScratch& s) {
  add_pair_moments<FourLanes, 2>(in, x, first, s);
}
[[gnu::noinline]] void add_pair_moments_sse2(const AssociationInput& in, const double* x, int first,
                                             AssociationScratch& s) {
  add_pair_moments<TwoLanes, 4>(in, x, first, s);
}

// The sum and the sum of squared deviations from their mean of the present
// values of the kBlock quantitative variables from column `first`, over the
// samples sites[0..n-1] (in increasing order), count[b] of them present:
// the sums first, then the deviations from their means, each kept in
// registers over the samples.
[[gnu::noinline]] void add_group(const AssociationInput& in, const int* sites, int n, int first, const double* count,
                                 double* sum, double* squares) {
  constexpr int kBlock = AssociationInput::kBlock;
  const std::size_t stride = static_cast<std::size_t>(in.padded_quantitative);
  const double* y0 = &in.by_sample(1, first);
  const std::uint64_t* present0 = &in.present_mask(1, first);
  double t[kBlock] = {}, mean[kBlock], q[kBlock] = {};
  for (int m = 0; m < n; ++m) {
    const std::size_t offset = static_cast<std::size_t>(sites[m] - 1) * stride;
    for (int b = 0; b < kBlock; ++b) t[b] += masked(y0[offset + b], present0[offset + b]);
  }
  for (int b = 0; b < kBlock; ++b) mean[b] = t[b] / count[b];
  for (int m = 0; m < n; ++m) {
    const std::size_t offset = static_cast<std::size_t>(sites[m] - 1) * stride;
    for (int b = 0; b < kBlock; ++b) {
      const double deviation = y0[offset + b] - mean[b];
      q[b] += masked(deviation * deviation, present0[offset + b]);
    }
  }
  for (int b = 0; b < kBlock; ++b) sum[b] = t[b], squares[b] = q[b];
}

// The quantitative values laid out by variable and by sample, the samples
// that lack each, and the sum and mean of each.
void lay_out_quantitative(const Allocator& allocator, const RangedMatrix<double>& values, AssociationInput& in) {
  const int n_samples = in.n_samples, block = AssociationInput::kBlock;
  in.by_variable = allocator.double_matrix(1, in.n_quantitative, 1, n_samples);
  in.padded_quantitative = (in.n_quantitative + block - 1) / block * block;
  in.by_sample = allocator.double_matrix(1, n_samples, 1, in.padded_quantitative);
  in.present_mask = allocator.matrix_of<std::uint64_t>(1, n_samples, 1, in.padded_quantitative,
                                                       allocation_message::kMatrix);
  int n_missing = 0;
  for (int q = 1; q <= in.n_quantitative; ++q)
    for (int i = 1; i <= n_samples; ++i) n_missing += values(in.quantitative[q], i) == MISSING_VALUE;
  in.missing_samples = allocator.int_vector(0, n_missing);
  in.missing_start = allocator.int_vector(1, in.n_quantitative + 1);
  n_missing = 0;
  in.sum = allocator.double_vector(1, in.n_quantitative);
  in.mean = allocator.double_vector(1, in.n_quantitative);
  in.n_present = allocator.int_vector(1, in.n_quantitative);
  for (int q = 1; q <= in.n_quantitative; ++q) {
    const int j = in.quantitative[q];
    in.missing_start[q] = n_missing;
    int n = 0;
    double sum = 0;
    for (int i = 1; i <= n_samples; ++i) {
      const double x = values(j, i);
      in.by_variable(q, i) = x;
      in.by_sample(i, q) = x == MISSING_VALUE ? 0 : x;
      in.present_mask(i, q) = x == MISSING_VALUE ? 0 : ~std::uint64_t{0};
      if (x == MISSING_VALUE) {
        in.missing_samples[n_missing++] = i;
        continue;
      }
      ++n;
      sum += x;
    }
    in.n_present[q] = n;
    in.sum[q] = sum;
    in.mean[q] = sum / n;
  }
  in.missing_start[in.n_quantitative + 1] = n_missing;
}

}  // namespace

AssociationInput prepare_association_input(const Allocator& allocator, int n_variables,
                                           const RangedVector<int>& var_kind, int n_samples,
                                           const RangedMatrix<double>& values, VectorPath path) {
  AssociationInput in;
  in.n_variables = n_variables;
  in.n_samples = n_samples;
  in.path = path;
  in.var_kind = allocator.int_vector(1, n_variables);
  for (int j = 1; j <= n_variables; ++j) {
    in.var_kind[j] = var_kind[j];
    if (var_kind[j] == 0)
      ++in.n_quantitative;
    else
      ++in.n_qualitative;
  }
  in.quantitative = allocator.int_vector(1, in.n_quantitative);
  in.qualitative = allocator.int_vector(1, in.n_qualitative);
  int q = 0, c = 0;
  for (int j = 1; j <= n_variables; ++j) {
    if (var_kind[j] == 0)
      in.quantitative[++q] = j;
    else
      in.qualitative[++c] = j;
  }
  lay_out_quantitative(allocator, values, in);

  in.state = allocator.int_matrix(1, in.n_qualitative, 1, n_samples);
  for (c = 1; c <= in.n_qualitative; ++c) {
    const int j = in.qualitative[c];
    for (int i = 1; i <= n_samples; ++i) {
      const double x = values(j, i);
      in.state(c, i) = x == MISSING_VALUE ? 0 : static_cast<int>(x);
    }
  }
  return in;
}

AssociationScratch::AssociationScratch(const Allocator& allocator, const AssociationInput& in) {
  int max_states = 1;
  for (int c = 1; c <= in.n_qualitative; ++c) max_states = std::max(max_states, in.var_kind[in.qualitative[c]]);
  const int padded = in.padded_quantitative;
  permuted_value = allocator.double_vector(1, in.n_samples);
  permuted_state = allocator.int_vector(1, in.n_samples);
  x_missing_sites = allocator.int_vector(0, std::max(0, in.n_samples - 1));
  mean_x = allocator.double_vector(1, padded);
  mean_y = allocator.double_vector(1, padded);
  products = allocator.double_vector(1, padded);
  x_squares = allocator.double_vector(1, padded);
  y_squares = allocator.double_vector(1, padded);
  usable_pairs = allocator.int_vector(1, padded);
  table = allocator.int_matrix(0, max_states, 0, max_states);
  state_count = allocator.double_matrix(0, max_states, 1, padded);
  state_sum = allocator.double_matrix(0, max_states, 1, padded);
  state_squares = allocator.double_matrix(0, max_states, 1, padded);
  sites_by_state = allocator.int_vector(0, std::max(0, in.n_samples - 1));
  group_end = allocator.int_vector(0, max_states);
}

StateMeans make_state_means(const Allocator& allocator, int n_variables, const RangedVector<int>& var_kind) {
  StateMeans means = allocator.vector_of<RangedMatrix<double>>(1, n_variables, allocation_message::kList);
  for (int j = 1; j <= n_variables; ++j)
    if (var_kind[j] >= 2) means[j] = allocator.double_matrix(1, n_variables, 0, var_kind[j]);
  return means;
}

namespace {

// The usable pairs of the permuted deviations x with each quantitative
// variable, and their means: the sums over every present value, less the
// values of the sites that leave them out (those where the other variable
// is missing), each taken away in site order. x holds x_present values
// summing to x_total; x_missing[0..n_x_missing - 1] are the other sites.
void usable_pair_means(const AssociationInput& in, const double* x, int x_present, double x_total,
                       const int* x_missing, int n_x_missing, AssociationScratch& s) {
  double* y_sum = s.mean_y.data();  // [q - 1], the sums until they are divided
  for (int q = 1; q <= in.n_quantitative; ++q) y_sum[q - 1] = in.sum[q];
  // Site by site, along the sample rows.
  for (int t = 0; t < n_x_missing; ++t) {
    const double* y = &in.by_sample(x_missing[t], 1);
    const std::uint64_t* present = &in.present_mask(x_missing[t], 1);
    for (int q = 0; q < in.n_quantitative; ++q) y_sum[q] -= masked(y[q], present[q]);
  }
  for (int q = 1; q <= in.n_quantitative; ++q) {
    int n = x_present;
    double x_sum = x_total;
    for (int m = in.missing_start[q]; m < in.missing_start[q + 1]; ++m) {
      const double xm = x[in.missing_samples[m] - 1];
      if (xm == MISSING_VALUE) continue;
      --n;
      x_sum -= xm;
    }
    s.usable_pairs[q] = n;
    s.mean_x[q] = x_sum / n;
    s.mean_y[q] = y_sum[q - 1] / n;
  }
}

// Pearson's r of quantitative variable p (permuted) with every quantitative
// variable: the product-moment correlation of their usable pairs, about
// those pairs' own means.
void pearson_row(const AssociationInput& in, const Permutation& perm, int p, AssociationScratch& s,
                 RangedMatrix<double>& association) {
  const int n_samples = in.n_samples, nq = in.n_quantitative;
  double* x = s.permuted_value.data();  // sites 1..N
  // Variable j at site i is that of sample perm[i]; entry 0 names no sample.
  // x holds the deviations from the variable's mean over its values, which
  // keeps the sums below near 0 whatever the values' distance from 0.
  int x_present = 0, n_x_missing = 0;
  double x_total = 0;
  const double* row = n_samples > 0 ? in.by_variable.row(p) : nullptr;  // sample i at row[i - 1]
  for (int i = 1; i <= n_samples; ++i) {
    const double value = perm[i] == 0 ? MISSING_VALUE : row[perm[i] - 1];
    if (value == MISSING_VALUE) {
      x[i - 1] = MISSING_VALUE;
      s.x_missing_sites[n_x_missing++] = i;
      continue;
    }
    x[i - 1] = value - in.mean[p];
    x_total += x[i - 1];
    ++x_present;
  }
  usable_pair_means(in, x, x_present, x_total, s.x_missing_sites.data(), n_x_missing, s);
  for (int first = 1; first < in.padded_quantitative && n_samples > 0; first += AssociationInput::kBlock) {
    switch (in.path) {
      case VectorPath::kAvx512: add_pair_moments_avx512(in, x, first, s); break;
      case VectorPath::kAvx2: add_pair_moments_avx2(in, x, first, s); break;
      case VectorPath::kSse2: add_pair_moments_sse2(in, x, first, s); break;
    }
  }
  const int j = in.quantitative[p];
  for (int q = 1; q <= nq; ++q) {
    const int n = s.usable_pairs[q];
    const double sd_x = std::sqrt(s.x_squares[q] / n), sd_y = std::sqrt(s.y_squares[q] / n);
    association(j, in.quantitative[q]) = (s.products[q] / n) / (sd_x * sd_y);
  }
}

// Chi-square of the table of qualitative variable c (permuted, states in
// permuted_state) by every qualitative variable.
void chi_square_row(const AssociationInput& in, int c, AssociationScratch& s, RangedMatrix<double>& association) {
  const int n_samples = in.n_samples, j = in.qualitative[c], rows = in.var_kind[j];
  RangedMatrix<int>& table = s.table;
  for (int d = 1; d <= in.n_qualitative; ++d) {
    const int k = in.qualitative[d], cols = in.var_kind[k];
    for (int a = 0; a <= rows; ++a)
      for (int b = 0; b <= cols; ++b) table(a, b) = 0;
    // A site without a usable pair counts in row or column 0, which the
    // totals below then overwrite.
    if (n_samples > 0) {
      const int stride = table.col_hi() + 1;
      int* cells = &table(0, 0);
      const int* row_state = s.permuted_state.data();  // sites 1..N
      const int* column_state = &in.state(d, 1);
      for (int i = 0; i < n_samples; ++i) ++cells[row_state[i] * stride + column_state[i]];
    }
    // Row totals in column 0, column totals in row 0, n in (0, 0).
    int n = 0;
    for (int a = 1; a <= rows; ++a) {
      int total = 0;
      for (int b = 1; b <= cols; ++b) total += table(a, b);
      table(a, 0) = total;
      n += total;
    }
    for (int b = 1; b <= cols; ++b) {
      int total = 0;
      for (int a = 1; a <= rows; ++a) total += table(a, b);
      table(0, b) = total;
    }
    table(0, 0) = n;
    // Proportions, in this order; a cell whose expected count is 0 (a state
    // seen in no usable pair) adds nothing. With no usable pair at all the
    // expected counts are 0/0, not 0, and the statistic is not a number.
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

// The sites grouped by the permuted states of qualitative variable c, each
// group in increasing order: group a is sites_by_state[group_end[a - 1] ..
// group_end[a] - 1]. Then the pairs of each state with each quantitative
// variable, the group less its sites where the variable is missing, and
// their sums and squared deviations.
void group_by_state(const AssociationInput& in, int n_states, AssociationScratch& s) {
  const int n_samples = in.n_samples;
  RangedVector<int>& group_end = s.group_end;
  for (int a = 0; a <= n_states; ++a) group_end[a] = 0;
  for (int i = 1; i <= n_samples; ++i) ++group_end[s.permuted_state[i]];
  for (int a = 1; a <= n_states; ++a) group_end[a] += group_end[a - 1];
  for (int i = n_samples; i >= 1; --i) s.sites_by_state[--group_end[s.permuted_state[i]]] = i;
  for (int a = 0; a <= n_states; ++a) group_end[a] = a < n_states ? group_end[a + 1] : n_samples;

  for (int a = 1; a <= n_states; ++a)
    for (int q = 1; q <= in.padded_quantitative; ++q) s.state_count(a, q) = group_end[a] - group_end[a - 1];
  for (int q = 1; q <= in.n_quantitative; ++q)
    for (int m = in.missing_start[q]; m < in.missing_start[q + 1]; ++m)
      if (const int a = s.permuted_state[in.missing_samples[m]]; a != 0) s.state_count(a, q) -= 1;
  for (int first = 1; first < in.padded_quantitative && n_samples > 0; first += AssociationInput::kBlock)
    for (int a = 1; a <= n_states; ++a)
      add_group(in, s.sites_by_state.data() + group_end[a - 1], group_end[a] - group_end[a - 1], first,
                &s.state_count(a, first), &s.state_sum(a, first), &s.state_squares(a, first));
}

// Intra-class r of every quantitative variable classified by the states of
// qualitative variable c (permuted, states in permuted_state), and the means
// per state when asked for.
void intra_class_row(const AssociationInput& in, int c, AssociationScratch& s, RangedMatrix<double>& association,
                     StateMeans* means) {
  const int nq = in.n_quantitative, j = in.qualitative[c], n_states = in.var_kind[j];
  group_by_state(in, n_states, s);
  for (int q = 1; q <= nq; ++q) {
    const int k = in.quantitative[q];
    // The mean of every usable pair, from the sums of the states in order.
    int n_pairs = 0;
    double grand = 0;
    for (int a = 1; a <= n_states; ++a) n_pairs += static_cast<int>(s.state_count(a, q)), grand += s.state_sum(a, q);
    // One-way analysis of variance over the observed states.
    int g = 0;
    double within = 0, between = 0;
    std::int64_t sum_squared_counts = 0;
    for (int a = 1; a <= n_states; ++a) {
      const int n_a = static_cast<int>(s.state_count(a, q));
      sum_squared_counts += static_cast<std::int64_t>(n_a) * n_a;
      if (n_a == 0) continue;
      ++g;
      within += s.state_squares(a, q);
      const double deviation = s.state_sum(a, q) / n_a - grand / n_pairs;
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
        const int n_a = static_cast<int>(s.state_count(a, q));
        m(k, a) = n_a > 0 ? s.state_sum(a, q) / n_a : MISSING_VALUE;
      }
    }
  }
}

// The chi-square statistics of qualitative variable c (permuted) with every
// qualitative variable, and its intra-class correlations with every
// quantitative one.
void qualitative_row(const AssociationInput& in, const Permutation& perm, int c, AssociationScratch& s,
                     RangedMatrix<double>& association, StateMeans* means) {
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

// Row item of the coefficients: the quantitative variables first, then the
// qualitative ones. Rows write entries of their own only.
void association_row(const AssociationInput& in, const Permutation& perm, int item, AssociationScratch& s,
                     RangedMatrix<double>& association, StateMeans* means) {
  if (item < in.n_quantitative)
    pearson_row(in, perm, item + 1, s, association);
  else
    qualitative_row(in, perm, item - in.n_quantitative + 1, s, association, means);
}

}  // namespace

void association_coefficients(const AssociationInput& in, const Permutation& perm, AssociationScratch& s,
                              RangedMatrix<double>& association, StateMeans* means) {
  for (int item = 0; item < in.n_quantitative + in.n_qualitative; ++item)
    association_row(in, perm, item, s, association, means);
}

void association_coefficients(const Allocator& allocator, const AssociationInput& in, const Permutation& perm,
                              RangedMatrix<double>& association, StateMeans* means, int n_workers) {
  const int n_items = in.n_quantitative + in.n_qualitative;
  n_workers = std::max(1, std::min(n_workers, n_items));
  std::vector<AssociationScratch> scratch;
  for (int w = 0; w < n_workers; ++w) scratch.emplace_back(allocator, in);
  parallel_for(n_items, n_workers, [&](int worker, int item) {
    association_row(in, perm, item, scratch[static_cast<std::size_t>(worker)], association, means);
  });
}

}  // namespace kalveno
