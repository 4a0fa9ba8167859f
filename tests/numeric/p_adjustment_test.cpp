// Adjusted P values against a worked example (the same figures as R's
// p.adjust), with a P value that is no number left out of the family.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "numeric/p_adjustment.h"

namespace kalveno {
namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
// Six P values with a tie, and one that is not a number.
const std::vector<float> kFamily = {0.01f, 0.04f, 0.03f, kNaN, 0.005f, 0.2f, 0.04f};

void expect_values(const std::vector<float>& got, const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    if (std::isnan(want[i]))
      EXPECT_TRUE(std::isnan(got[i])) << i;
    else
      EXPECT_FLOAT_EQ(got[i], static_cast<float>(want[i])) << i;
  }
}

TEST(PAdjustment, HolmStepsDownAndKeepsTheOrderMonotone) {
  expect_values(holm_adjusted(kFamily), {0.05, 0.12, 0.12, NAN, 0.03, 0.2, 0.12});
}

TEST(PAdjustment, BenjaminiHochbergStepsUp) {
  expect_values(benjamini_hochberg_adjusted(kFamily), {0.03, 0.048, 0.048, NAN, 0.03, 0.2, 0.048});
}

TEST(PAdjustment, BonferroniAndProgressiveCapAtOne) {
  EXPECT_FLOAT_EQ(bonferroni_family(kFamily), 0.03f);
  EXPECT_TRUE(std::isnan(bonferroni_family({kNaN})));
  EXPECT_EQ(bonferroni_family({0.5f, 0.9f}), 1.0f);
  expect_values(progressive_adjusted({0.01f, kNaN, 0.3f, 0.2f}), {0.01, NAN, 0.9, 0.8});
  expect_values(holm_adjusted({}), {});
}

}  // namespace
}  // namespace kalveno
