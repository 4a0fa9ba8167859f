// The correction across a correlogram's classes: one family per variable,
// the method asked for, and the randomizations a corrected P needs.
#include "spatial/moran_correction.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kalveno {
namespace {

TEST(CorrectCorrelograms, AdjustsEachVariableOnItsOwnWithoutItsEmptyClasses) {
  RangedMatrix<float> p = Allocator().matrix_of<float>(1, 2, 1, 3, "");
  const float rows[2][3] = {{0.01f, NAN, 0.04f}, {0.2f, 0.02f, 0.03f}};
  for (int v = 1; v <= 2; ++v)
    for (int c = 1; c <= 3; ++c) p(v, c) = rows[v - 1][c - 1];
  const CorrelogramCorrection holm = correct_correlograms(Allocator(), p, PAdjustment::kHolm);
  EXPECT_FLOAT_EQ(holm.whole[1], 0.02f);  // two classes in the family
  EXPECT_FLOAT_EQ(holm.adjusted(1, 1), 0.02f);
  EXPECT_TRUE(std::isnan(holm.adjusted(1, 2)));
  EXPECT_FLOAT_EQ(holm.adjusted(1, 3), 0.04f);
  EXPECT_FLOAT_EQ(holm.whole[2], 0.06f);
  EXPECT_FLOAT_EQ(holm.adjusted(2, 3), 0.06f);
  // Without a method asked for, the table still gets Holm's.
  EXPECT_EQ(correct_correlograms(Allocator(), p, PAdjustment::kNone).adjusted(2, 1), holm.adjusted(2, 1));
  const CorrelogramCorrection progressive = correct_correlograms(Allocator(), p, PAdjustment::kProgressive);
  EXPECT_FLOAT_EQ(progressive.adjusted(1, 3), 0.12f);
  EXPECT_FLOAT_EQ(progressive.adjusted(2, 2), 0.04f);
  EXPECT_FLOAT_EQ(progressive.whole[2], 0.06f);
}

TEST(CorrectionReach, NeedsTwoOverNPlusOneTimesTheClassesWithinFivePercent) {
  // {classes, randomizations needed}: k x 2 / (n + 1) <= 0.05, and 99 at least.
  const int needed[][2] = {{1, 99}, {2, 99}, {3, 120}, {10, 399}, {2499, 99959}};
  for (const auto& [k, n] : needed) EXPECT_EQ(replicates_to_reach_correction(k, 100000), n) << k;
  EXPECT_EQ(replicates_to_reach_correction(2501, 100000), 0);
  EXPECT_EQ(first_class_beyond_reach(10, 199), 6);
  EXPECT_EQ(first_class_beyond_reach(10, 399), 11);
}

}  // namespace
}  // namespace kalveno
