// The summary of an observed value against its replicates, and the
// significance code of its P value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "base/allocation.h"
#include "numeric/resample_summary.h"

namespace kalveno {
namespace {

ResampleSummary summarise(std::vector<float> replicates, float observed) {
  RangedVector<float> values = Allocator().float_vector(0, static_cast<int>(replicates.size()));
  for (std::size_t i = 0; i < replicates.size(); ++i) values[static_cast<int>(i) + 1] = replicates[i];
  ResampleSummary record{};
  compute_resample_stat(values, 1, static_cast<int>(replicates.size()), record, observed);
  return record;
}

std::vector<float> one_to(int n) {
  std::vector<float> values;
  for (int i = n; i >= 1; --i) values.push_back(static_cast<float>(i));  // descending: the sort has work
  return values;
}

TEST(ResampleSummary, GivesOneSidedAndTwoSidedPValues) {
  // Replicates 1..n against an observed value; the observed arrangement
  // counts as one of those drawn, so no P value is 0, and the two-sided P
  // is twice the smaller one-sided P, at most 1.
  struct Case {
    int n;
    float observed, p_less, p_greater, p_two_sided;
  };
  const Case cases[] = {
      {9, 5, 0.6f, 0.6f, 1},                // both sides above one half
      {9, 2.5f, 0.3f, 0.8f, 0.6f},
      {9, 0, 0.1f, 1, 0.2f},                // below every replicate
      {9, 10, 1, 0.1f, 0.2f},               // above every replicate
      {999, 24.5f, 0.025f, 0.976f, 0.05f},  // 25/1000 doubled is the float of 50/1000
      {999, 975.5f, 0.976f, 0.025f, 0.05f},
  };
  for (const Case& c : cases) {
    const ResampleSummary s = summarise(one_to(c.n), c.observed);
    EXPECT_EQ(s.p_less, c.p_less) << c.n << " " << c.observed;
    EXPECT_EQ(s.p_greater, c.p_greater) << c.n << " " << c.observed;
    EXPECT_EQ(s.p_two_sided, c.p_two_sided) << c.n << " " << c.observed;
  }
  const ResampleSummary low = summarise(one_to(9), 2.5f);
  EXPECT_FLOAT_EQ(low.mean, 5);
  EXPECT_FLOAT_EQ(low.sd, std::sqrt(7.5f));
  EXPECT_EQ(low.n_rep, 9);
  EXPECT_EQ(low.n_different, 9);
  ResampleSummary ties = summarise({2, 2, 2}, 2);
  EXPECT_EQ(ties.p_less, 1);
  EXPECT_EQ(ties.p_greater, 1);
  EXPECT_EQ(ties.p_two_sided, 1);
  EXPECT_EQ(ties.n_different, 1);
}

TEST(ResampleSummary, TakesBoundsFromTheirRanksOnlyWithEnoughReplicates) {
  // Replicates 1..n: each bound is its own rank. {n, 95 % inf, sup, 99 % inf, sup}.
  const int expected[][5] = {{39, 0, 0, 0, 0},    {40, 2, 40, 0, 0},      {99, 3, 98, 0, 0},
                             {199, 5, 196, 0, 0}, {200, 6, 197, 1, 200}, {999, 25, 976, 5, 996}};
  for (const auto& [n, inf95, sup95, inf99, sup99] : expected) {
    ResampleSummary record = summarise(one_to(n), 0);
    EXPECT_EQ(record.ci95_inf, inf95) << n;
    EXPECT_EQ(record.ci95_sup, sup95) << n;
    EXPECT_EQ(record.ci99_inf, inf99) << n;
    EXPECT_EQ(record.ci99_sup, sup99) << n;
  }
}

TEST(ResampleSummary, SummarisesASingleReplicate) {
  ResampleSummary one = summarise({3}, 1);
  EXPECT_TRUE(std::isnan(one.sd));
  EXPECT_EQ(one.n_different, 1);
  EXPECT_EQ(one.ci95_inf, 0);
  EXPECT_EQ(one.ci99_sup, 0);
  EXPECT_EQ(one.p_less, 0.5f);
}

TEST(ResampleSummary, LeavesTheReplicatesSortedWithoutTheObservedValue) {
  RangedVector<float> values = Allocator().float_vector(0, 6);
  const float given[] = {0, 5, -1, 3, 3, 9, 0.5f};
  for (int i = 0; i <= 6; ++i) values[i] = given[i];
  ResampleSummary record{};
  compute_resample_stat(values, 1, 6, record, 4);
  const float sorted[] = {-1, 0.5f, 3, 3, 5, 9};
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(values[i], sorted[i - 1]);
  EXPECT_EQ(values[0], 0);
  EXPECT_EQ(record.n_different, 5);
}

// The summary found without sorting is the summary, n_different aside: on
// values with ties in a scrambled order and in descending order, at each
// replicate count where the bounds start, and with the observed value on a
// tie, between values and beyond them all.
TEST(ResampleSummary, WithoutSortingGivesTheSameRecord) {
  for (int n : {1, 2, 39, 40, 199, 200, 999}) {
    std::vector<float> replicates;
    for (int i = 1; i <= n; ++i) replicates.push_back(static_cast<float>((i * 7919) % 97) / 8);
    for (float observed : {replicates[0], 3.01f, -1.0f, 20.0f, -20.0f}) {
      if (observed == -20.0f) {
        std::sort(replicates.begin(), replicates.end(), std::greater<float>());
        observed = replicates[static_cast<std::size_t>(n / 2)];
      }
      ResampleSummary sorted = summarise(replicates, observed);
      RangedVector<float> values = Allocator().float_vector(1, n);
      for (int i = 1; i <= n; ++i) values[i] = replicates[static_cast<std::size_t>(i - 1)];
      ResampleSummary selected{};
      summarise_without_sorting(values, n, selected, observed);
      selected.n_different = sorted.n_different;
      EXPECT_EQ(std::memcmp(&sorted, &selected, sizeof sorted), 0) << n << " " << observed;
    }
  }
}

TEST(ShellSort, SortsEveryLengthAndLeavesShortVectorsAlone) {
  for (int n = 0; n <= 130; ++n) {
    RangedVector<float> values = Allocator().float_vector(0, n);
    for (int i = 1; i <= n; ++i) values[i] = static_cast<float>((i * 37) % 11) - 5;
    shell_sort(n, values);
    for (int i = 2; i <= n; ++i) ASSERT_LE(values[i - 1], values[i]) << n;
  }
}

// P values as the summary stores them: a quotient formed in double, kept in
// single precision.
float stored_p(double count, double n_rep_plus_1) { return static_cast<float>(count / n_rep_plus_1); }

TEST(SignificanceCode, APValueExactlyAtAThresholdMeetsIt) {
  // {count, n + 1, replicates, code}: P = count / (n + 1) as stored.
  struct Case {
    double count, n_plus_1;
    int n_rep;
    const char* code;
  };
  const Case cases[] = {
      {50, 1000, 999, " *"},      {51, 1000, 999, ""},       // 0.05 is stored as 0.0500000007
      {10, 1000, 999, " **"},     {11, 1000, 999, " *"},
      {5, 5000, 4999, " ***"},    {6, 5000, 4999, " **"},    // 0.001 is stored as 0.0010000000475
      {250, 5000, 4999, " *"},    {251, 5000, 4999, ""},
  };
  for (const Case& c : cases)
    EXPECT_STREQ(significance_code(stored_p(c.count, c.n_plus_1), c.n_rep), c.code) << c.count << "/" << c.n_plus_1;
}

TEST(SignificanceCode, TooFewReplicatesEarnNoCodeEvenAtTheSmallestP) {
  // The smallest P value of n replicates, 1 / (n + 1), against each threshold count.
  EXPECT_STREQ(significance_code(stored_p(1, 99), 98), "");
  EXPECT_STREQ(significance_code(stored_p(1, 100), 99), " *");
  EXPECT_STREQ(significance_code(stored_p(1, 500), 499), " **");
  EXPECT_STREQ(significance_code(stored_p(1, 4999), 4998), " **");
  EXPECT_STREQ(significance_code(stored_p(1, 5000), 4999), " ***");
}

}  // namespace
}  // namespace kalveno
