// The association coefficients: the worked cases, the treatment of missing
// data, empty states and permutation entries 0, and agreement to the bit
// with a plain evaluation of the rules.
#include "association/coefficients.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "association/association_plain.h"
#include "base/allocation.h"
#include "data/data_file.h"
#include "numeric/random.h"

namespace kalveno {
namespace {

// A small data set: kind[j] per variable and values[j][i] per sample.
struct Data {
  int v = 0, n = 0;
  RangedVector<int> kind;
  RangedMatrix<double> values;
  Data(const std::vector<int>& kinds, const std::vector<std::vector<double>>& rows)
      : v(static_cast<int>(kinds.size())), n(static_cast<int>(rows[0].size())) {
    kind = Allocator().int_vector(1, v);
    values = Allocator().double_matrix(0, v, 0, n);
    for (int j = 1; j <= v; ++j) {
      kind[j] = kinds[static_cast<std::size_t>(j - 1)];
      const std::vector<double>& row = rows[static_cast<std::size_t>(j - 1)];
      for (int i = 1; i <= n; ++i) values(j, i) = row[static_cast<std::size_t>(i - 1)];
    }
  }
};

using Result = testing::AssociationValues;

Result evaluate(const Data& d, const Permutation& perm) {
  AssociationInput input = prepare_association_input(Allocator(), d.v, d.kind, d.n, d.values, best_vector_path());
  AssociationScratch scratch(Allocator(), input);
  Result result{Allocator().double_matrix(1, d.v, 1, d.v), make_state_means(Allocator(), d.v, d.kind)};
  association_coefficients(input, perm, scratch, result.association, &result.means);
  return result;
}

Result evaluate(const Data& d) { return evaluate(d, identity_permutation(d.n)); }

const double M = MISSING_VALUE;

bool same_bits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

TEST(AssociationCoefficients, MatchThePlainEvaluationToTheBit) {
  // Quantitative variables (two blocks of them, the second without missing
  // data) with missing data and a constant one, qualitative variables of 1
  // to 5 states with missing data and states never seen. The observed
  // placement is also evaluated with its rows shared out among workers.
  const std::vector<int> kinds = {0, 3, 0, 0, 1, 5, 0, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const int n = 60, v = static_cast<int>(kinds.size());
  Random rng;
  rng.random_state = -7;
  std::vector<std::vector<double>> rows(static_cast<std::size_t>(v));
  for (int j = 1; j <= v; ++j) {
    auto& row = rows[static_cast<std::size_t>(j - 1)];
    const int kind = kinds[static_cast<std::size_t>(j - 1)];
    for (int i = 1; i <= n; ++i) {
      const double u = uniform_deviate(rng);
      if (uniform_deviate(rng) < 0.15 && j < 14) row.push_back(M);  // the last block complete
      else if (kind == 0) row.push_back(j == 4 ? 2.5 : std::round(1000 * (u - 0.3) * j) / 8);
      else if (kind == 4) row.push_back(1 + static_cast<int>(u * 3));  // state 4 never seen
      else row.push_back(1 + static_cast<int>(u * kind));
    }
  }
  Data d(kinds, rows);
  AssociationInput input = prepare_association_input(Allocator(), d.v, d.kind, d.n, d.values, best_vector_path());
  AssociationScratch scratch(Allocator(), input);  // reused across permutations, as a worker does
  // Every vector path this processor has gives the same bits.
  std::vector<VectorPath> paths;
  for (VectorPath path : {VectorPath::kSse2, VectorPath::kAvx2, VectorPath::kAvx512})
    if (vector_path_supported(path)) paths.push_back(path);
  Permutation perm = identity_permutation(n);
  for (int round = 0; round < 12; ++round) {
    if (round > 0) complete_permutation(n, perm, rng);
    if (round >= 6)
      for (int i = round; i <= n; i += 7) perm[i] = 0;  // sites whose target grid cell is empty
    Result plain = testing::plain_association(d.v, d.kind, d.n, d.values, perm);
    for (VectorPath path : paths) {
      input.path = path;
      Result fast{Allocator().double_matrix(1, v, 1, v), make_state_means(Allocator(), v, d.kind)};
      if (round == 0)
        association_coefficients(Allocator(), input, perm, fast.association, &fast.means, 3);
      else
        association_coefficients(input, perm, scratch, fast.association, &fast.means);
      for (int j = 1; j <= v; ++j) {
        for (int k = 1; k <= v; ++k)
          EXPECT_TRUE(same_bits(fast.association(j, k), plain.association(j, k)))
              << "round " << round << ", " << vector_path_name(path) << " (" << j << ", " << k
              << "): " << fast.association(j, k) << " vs " << plain.association(j, k);
        if (d.kind[j] < 2) continue;
        for (int k = 1; k <= v; ++k) {
          if (d.kind[k] != 0) continue;
          for (int a = 1; a <= d.kind[j]; ++a)
            EXPECT_TRUE(same_bits(fast.means[j](k, a), plain.means[j](k, a)));
        }
      }
    }
  }
}

TEST(AssociationCoefficients, IdentityWithoutMissingDataIsSymmetricWithUnitPearsonDiagonal) {
  Data d({0, 0, 2, 3}, {{1, 4, 2, 8, 5, 7}, {3, 1, 4, 1, 5, 9}, {1, 2, 1, 2, 2, 1}, {1, 2, 3, 1, 2, 3}});
  Result r = evaluate(d);
  EXPECT_NEAR(r.association(1, 1), 1, 1e-12);
  EXPECT_NEAR(r.association(2, 2), 1, 1e-12);
  for (int j = 1; j <= 4; ++j)
    for (int k = 1; k <= 4; ++k) EXPECT_NEAR(r.association(j, k), r.association(k, j), 1e-12);
}

TEST(PearsonCoefficient, IsThatOfTheUsablePairsWhateverTheOrigin) {
  // y = 2x on the three usable pairs: r = 1 both ways, and still 1 when a
  // constant is added to y (with moments of all four x it was negative).
  for (double shift : {0.0, 100.0}) {
    Result r = evaluate(Data({0, 0}, {{1, 2, 3, 4}, {2 + shift, 4 + shift, 6 + shift, M}}));
    EXPECT_NEAR(r.association(1, 2), 1, 1e-12) << shift;
    EXPECT_NEAR(r.association(2, 1), 1, 1e-12) << shift;
  }
  // By hand: the pairs (1, 2), (2, 1), (4, 4) give r = (20/3 - 49/9) / (14/9) = 11/14.
  Result r = evaluate(Data({0, 0}, {{1, 2, M, 4}, {2, 1, 5, 4}}));
  EXPECT_NEAR(r.association(1, 2), 11.0 / 14, 1e-12);
}

// Values far from 0, as single precision holds them (steps of 64 near 1e9,
// of 256 near 4e9): Pearson's r, with every value and with the usable pairs
// of a variable with a missing value, and the intra-class r are those of the
// same values without the offset, not the ruins of E(x^2) - m^2; to the
// rounding of a mean near 1e9 (1e-7), which the differences of the state
// means keep.
TEST(Moments, OfValuesFarFromZeroAreThoseOfTheValuesWithoutTheirOffset) {
  const std::vector<double> k = {0, 3, 1, 4, 1, 5, 9, 2, 6, 5}, j = {2, 7, 1, 8, 2, 8, 1, 8, 2, 8};
  const std::vector<double> states = {1, 2, 1, 2, 3, 1, 3, 2, 1, 3};
  for (const auto& [offset, step] : {std::pair{1e9, 64.0}, std::pair{4e9, 256.0}}) {
    std::vector<double> x, y, y_missing;
    for (std::size_t i = 0; i < k.size(); ++i) {
      x.push_back(offset + step * k[i]);
      y.push_back(offset + step * j[i]);
      y_missing.push_back(i == 4 ? M : y.back());
    }
    std::vector<double> j_missing = j;
    j_missing[4] = M;
    const Result far = evaluate(Data({0, 0, 0, 3}, {x, y, y_missing, states}));
    const Result near = evaluate(Data({0, 0, 0, 3}, {k, j, j_missing, states}));
    for (const auto& [a, b] : {std::pair{1, 2}, std::pair{1, 3}, std::pair{3, 1}, std::pair{1, 4}, std::pair{4, 3}})
      EXPECT_NEAR(far.association(a, b), near.association(a, b), 1e-9) << offset << " (" << a << ", " << b << ")";
  }
}

TEST(PearsonCoefficient, PermutesTheRowVariableOnly) {
  Data d({0, 0}, {{1, 2, 3}, {1, 2, 4}});
  Permutation perm = identity_permutation(3);
  perm[1] = 2, perm[2] = 3, perm[3] = 1;
  Result r = evaluate(d, perm);
  // (1, 2) pairs x at the sites (2, 3, 1) with y; (2, 1) pairs y at the
  // sites (2, 4, 1) with x. The moments stay those of the data.
  EXPECT_EQ(r.association(1, 2), evaluate(Data({0, 0}, {{2, 3, 1}, {1, 2, 4}})).association(1, 2));
  EXPECT_EQ(r.association(2, 1), evaluate(Data({0, 0}, {{1, 2, 3}, {2, 4, 1}})).association(2, 1));
  EXPECT_NE(r.association(1, 2), r.association(2, 1));
}

TEST(ChiSquare, TwoByTwoTableOfPerfectAssociationGivesTwenty) {
  std::vector<double> a, b;
  for (int i = 0; i < 20; ++i) a.push_back(i < 10 ? 1 : 2), b.push_back(i < 10 ? 1 : 2);
  Result r = evaluate(Data({2, 2}, {a, b}));
  EXPECT_DOUBLE_EQ(r.association(1, 2), 20);
  EXPECT_DOUBLE_EQ(r.association(1, 1), 20);
}

TEST(ChiSquare, ProportionalRowsGiveZero) {
  // Rows (2, 4) and (3, 6).
  std::vector<double> a = {1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2};
  std::vector<double> b = {1, 1, 2, 2, 2, 2, 1, 1, 1, 2, 2, 2, 2, 2, 2};
  Result r = evaluate(Data({2, 2}, {a, b}));
  EXPECT_NEAR(r.association(1, 2), 0, 1e-12);
  EXPECT_NEAR(r.association(2, 1), 0, 1e-12);
}

TEST(ChiSquare, AStateInNoUsablePairIsLeftOutOfTheTable) {
  // State 3 of the first variable occurs only where the second is missing:
  // its row of the table is empty and the statistic is that of the 2 x 2
  // table that remains, not a not-a-number.
  std::vector<double> a, b;
  for (int i = 0; i < 20; ++i) a.push_back(i < 10 ? 1 : 2), b.push_back(i < 10 ? 1 : 2);
  a.push_back(3), b.push_back(M);
  a.push_back(3), b.push_back(M);
  Result r = evaluate(Data({3, 2}, {a, b}));
  EXPECT_DOUBLE_EQ(r.association(1, 2), 20);
  EXPECT_DOUBLE_EQ(r.association(2, 1), 20);
  EXPECT_NEAR(r.association(1, 1), 44, 1e-12);  // a 3 x 3 diagonal table of 10, 10, 2: n (3 - 1)
}

TEST(ChiSquare, NoUsablePairAtAllIsNotANumber) {
  Result r = evaluate(Data({2, 2}, {{1, 2, M, M}, {M, M, 1, 2}}));
  EXPECT_TRUE(std::isnan(r.association(1, 2)));
}

TEST(IntraClass, WorkedExampleGivesFourteenEighteenths) {
  // States 1 (values 1, 3) and 2 (values 5, 7): W = 4, B = 16, n0 = 2.
  Result r = evaluate(Data({0, 2}, {{1, 3, 5, 7}, {1, 1, 2, 2}}));
  EXPECT_DOUBLE_EQ(r.association(2, 1), 14.0 / 18);
  EXPECT_DOUBLE_EQ(r.association(1, 2), 14.0 / 18);
  EXPECT_DOUBLE_EQ(r.means[2](1, 1), 2);
  EXPECT_DOUBLE_EQ(r.means[2](1, 2), 6);
}

TEST(IntraClass, OneObservedStateOrOnePairPerStateIsMissing) {
  // g = 1: state 2 occurs only where y is missing.
  Result one_state = evaluate(Data({0, 2}, {{1, 3, 5, M}, {1, 1, 1, 2}}));
  EXPECT_EQ(one_state.association(2, 1), M);
  EXPECT_EQ(one_state.association(1, 2), M);
  EXPECT_EQ(one_state.means[2](1, 2), M);  // a state without pairs has no mean
  EXPECT_DOUBLE_EQ(one_state.means[2](1, 1), 3);
  // n = g: two usable pairs in two states.
  Result n_is_g = evaluate(Data({0, 2}, {{1, 3, M}, {1, 2, 2}}));
  EXPECT_EQ(n_is_g.association(2, 1), M);
  EXPECT_EQ(n_is_g.association(1, 2), M);
}

TEST(IntraClass, AStateInNoUsablePairIsLeftOutOfTheGroups) {
  // State 3 occurs only where y is missing: the worked example again.
  Result r = evaluate(Data({0, 3}, {{1, 3, 5, 7, M}, {1, 1, 2, 2, 3}}));
  EXPECT_DOUBLE_EQ(r.association(2, 1), 14.0 / 18);
}

TEST(IntraClass, SingleStateVariableHasMissingCellsButAChiSquare) {
  Data d({0, 1, 2}, {{1, 3, 5, 7}, {1, 1, 1, 1}, {1, 2, 1, 2}});
  Result r = evaluate(d);
  EXPECT_EQ(r.association(2, 1), M);
  EXPECT_EQ(r.association(1, 2), M);
  EXPECT_DOUBLE_EQ(r.association(2, 3), 0);
  EXPECT_DOUBLE_EQ(r.association(3, 2), 0);
  EXPECT_LT(r.means[2].row_hi(), r.means[2].row_lo());  // no means for one state
}

TEST(IntraClass, LargeStateCountsDoNotOverflow) {
  // 48 000 pairs in state 1: the sum of squared counts passes 2^31.
  const int n = 50000;
  std::vector<double> y, s;
  for (int i = 0; i < n; ++i) {
    const bool first = i < 48000;
    s.push_back(first ? 1 : 2);
    y.push_back((first ? 0.0 : 1.0) + (i % 7) * 0.25);
  }
  Result r = evaluate(Data({0, 2}, {y, s}));
  // The same estimate in long double from the group sizes and sums.
  long double t1 = 0, t2 = 0, q1 = 0, q2 = 0;
  for (int i = 0; i < n; ++i) {
    const long double x = y[static_cast<std::size_t>(i)];
    if (i < 48000)
      t1 += x, q1 += x * x;
    else
      t2 += x, q2 += x * x;
  }
  const long double n1 = 48000, n2 = 2000, total = t1 + t2;
  const long double w = (q1 - t1 * t1 / n1) + (q2 - t2 * t2 / n2);
  const long double d1 = t1 / n1 - total / n, d2 = t2 / n2 - total / n;
  const long double b = n1 * d1 * d1 + n2 * d2 * d2;
  const long double msb = b, msw = w / (n - 2), n0 = n - (n1 * n1 + n2 * n2) / n;
  const long double expected = (msb - msw) / ((n0 - 1) * msw + msb);
  EXPECT_NEAR(r.association(2, 1), static_cast<double>(expected), 1e-9);
}

TEST(PermutationEntryZero, GivesNoUsablePairAtItsSite) {
  // Site 4 has no sample: the worked example on sites 1..3 and 5.
  Data d({0, 2}, {{1, 3, 9, 5, 7}, {1, 1, 2, 2, 2}});
  Permutation perm = identity_permutation(5);
  perm[4] = 0;
  Result with_gap = evaluate(d, perm);
  Result without = evaluate(Data({0, 2}, {{1, 3, 9, 5, 7}, {1, 1, 2, M, 2}}));
  EXPECT_DOUBLE_EQ(with_gap.association(2, 1), without.association(2, 1));
  Data two({2, 2}, {{1, 1, 2, 2, 1}, {1, 1, 2, 2, 2}});
  EXPECT_DOUBLE_EQ(evaluate(two, perm).association(1, 2),
                   evaluate(Data({2, 2}, {{1, 1, 2, M, 1}, {1, 1, 2, 2, 2}})).association(1, 2));
}

}  // namespace
}  // namespace kalveno
