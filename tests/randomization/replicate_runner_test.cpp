// The summaries of a series over the replicates that have a value.
#include "randomization/replicate_runner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/allocation.h"

namespace kalveno {
namespace {

// Replicates 1, 2, 3, 4 of three statistics: all four with a value; two
// left without one (not a number, or the missing-value mark); none with one.
TEST(SummariseReplicates, SummarisesOverTheReplicatesThatHaveAValue) {
  const float none = std::numeric_limits<float>::quiet_NaN(), missing = std::numeric_limits<float>::infinity();
  const float values[3][4] = {{1, 2, 3, 4}, {1, none, 3, missing}, {none, none, missing, none}};
  RangedCube<float> replicates = Allocator().float_cube(0, 4, 1, 1, 1, 3);
  RangedMatrix<double> observed = Allocator().double_matrix(1, 1, 1, 3);
  for (int b = 1; b <= 3; ++b) {
    observed(1, b) = 2;
    for (int r = 1; r <= 4; ++r) replicates(r, 1, b) = values[b - 1][r - 1];
  }
  RangedMatrix<ResampleSummary> stats = summary_matrix(Allocator(), 1, 1, 1, 3);
  summarise_replicates(Allocator(), replicates, 4, observed, stats, 2, true);
  EXPECT_EQ(stats(1, 1).n_rep, 4);
  EXPECT_FLOAT_EQ(stats(1, 1).mean, 2.5f);
  EXPECT_EQ(stats(1, 2).n_rep, 2);
  EXPECT_FLOAT_EQ(stats(1, 2).mean, 2);
  EXPECT_FLOAT_EQ(stats(1, 2).p_greater, 2.0f / 3);  // 3 of the two replicates and the observed value
  EXPECT_EQ(stats(1, 3).n_rep, 0);
  EXPECT_TRUE(std::isnan(stats(1, 3).mean) && std::isnan(stats(1, 3).p_two_sided));
  EXPECT_FALSE(compared(stats(1, 3)));
  // Without only_finite every replicate counts, as the association tests have it.
  summarise_replicates(Allocator(), replicates, 4, observed, stats, 1, false);
  EXPECT_EQ(stats(1, 2).n_rep, 4);
}

}  // namespace
}  // namespace kalveno
