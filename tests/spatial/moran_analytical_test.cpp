// The analytical test of Moran's I: the example data against figures worked
// out once with R's spdep 1.2.7 (moran.test on binary weights of
// dnearneigh(xy[present, ], lower, upper, bounds = c("GT", "LE"))), and the
// class weights against a plain count, whatever the threads and the table.
#include "spatial/moran_analytical.h"

#include <gtest/gtest.h>

#include <cmath>

#include "randomization/permutation.h"
#include "spatial/spatial_data.h"
#include "support/load_data.h"
#include "support/run_program.h"

namespace kalveno::testing {
namespace {

MoranAnalytical analytical(const DataSet& data, const PairFilter& filter, std::size_t table_limit, int n_workers) {
  const MoranSetup setup(Allocator(), data, data.classes, filter, RegressionInterval{}, table_limit,
                         best_vector_path(), n_workers);
  MoranResults observed = make_moran_results(Allocator(), data.n_variables, data.classes.n_classes);
  observed_moran_statistics(setup, observed);
  return moran_analytical_tests(setup, data, observed, n_workers);
}

TEST(MoranAnalytical, AgreesWithTheReferenceOnTheExampleData) {
  // Variable 1 is cadmium, 7 is om (two samples lack it): I, Var_N, Var_R,
  // z_N, z_R.
  struct Reference {
    int v, c;
    double moran_i, variance_n, variance_r, z_n, z_r;
  };
  const Reference references[] = {
      {1, 1, 0.249222594218, 0.000904937639163, 0.000886287051759, 8.50058368827, 8.58955908107},
      {1, 2, 0.0278028020433, 0.000796817060852, 0.000780357161132, 1.21497702442, 1.22772377889},
      {1, 5, -0.0957931915693, 0.000907238187266, 0.000888799751408, -2.96475811337, -2.99535268323},
      {1, 10, -0.0816621691867, 0.000711870606598, 0.000697295782088, -2.81732074613, -2.84661219002},
      {7, 1, 0.271848320857, 0.000932403225988, 0.000929489174745, 9.11821614083, 9.13249826302},
      {7, 5, -0.114545821961, 0.000937568505565, 0.000934681959138, -3.5260545317, -3.5314950315},
  };
  const DataSet data = load_data_set(source_file("examples/meuse.txt"));
  const MoranAnalytical tests = analytical(data, PairFilter{}, 0, 1);
  for (const Reference& r : references) {
    const AnalyticalTest& normal = tests.normality(r.v, r.c);
    const AnalyticalTest& randomized = tests.randomization(r.v, r.c);
    // The data file's values are read in single precision, R's in double.
    EXPECT_NEAR(normal.moran_i, r.moran_i, 1e-7) << r.v << " " << r.c;
    EXPECT_DOUBLE_EQ(normal.expected, r.v == 1 ? -1.0 / 154 : -1.0 / 152);
    EXPECT_NEAR(normal.sd * normal.sd / r.variance_n, 1, 1e-6);
    EXPECT_NEAR(randomized.sd * randomized.sd / r.variance_r, 1, 1e-6);
    EXPECT_NEAR(normal.z, r.z_n, 1e-6);
    EXPECT_NEAR(randomized.z, r.z_r, 1e-6);
  }
  // R's P values: 1.8863975024e-17 and 0.00302921006541 two-sided.
  EXPECT_FLOAT_EQ(tests.normality(1, 1).p_two_sided, 1.8863975e-17f);
  EXPECT_FLOAT_EQ(tests.normality(1, 5).p_two_sided, 0.0030292101f);
  EXPECT_TRUE(std::isnan(tests.normality(8, 1).z));  // ffreq is qualitative
}

// Every sample's pairs in every class, counted one pair at a time.
ClassWeights plain_weights(const DataSet& data, const MoranSetup& setup) {
  const int n_variables = data.n_variables, n_classes = data.classes.n_classes;
  ClassWeights w{Allocator().matrix_of<long long>(1, n_variables, 1, n_classes, ""),
                 Allocator().matrix_of<std::uint64_t>(1, n_variables, 1, n_classes, "")};
  for (int v = 1; v <= n_variables; ++v) {
    if (data.is_qualitative(v)) continue;
    for (int i = 1; i <= data.n_samples; ++i) {
      std::vector<long long> k(static_cast<std::size_t>(n_classes) + 2, 0);
      for (int j = 1; j <= data.n_samples; ++j) {
        if (j == i || data.values(v, i) == MISSING_VALUE || data.values(v, j) == MISSING_VALUE) continue;
        if (!setup.selects(i, j)) continue;
        ++k[static_cast<std::size_t>(setup.geometry().class_of(i, j))];
      }
      for (int c = 1; c <= n_classes; ++c) {
        const long long kc = k[static_cast<std::size_t>(c)];
        w.pairs(v, c) += kc;
        w.k_squares(v, c) += static_cast<std::uint64_t>(kc * kc);
      }
    }
    for (int c = 1; c <= n_classes; ++c) w.pairs(v, c) /= 2;
  }
  return w;
}

TEST(ClassWeights, AgreeWithAPlainCountOnEveryThreadCountWithAndWithoutTheTable) {
  RandomDataShape shape;
  shape.n_samples = 150;
  shape.n_quantitative = 3;
  shape.n_qualitative = 1;
  shape.missing = 0.1;
  DataSet data = random_data_set(shape, 7);
  // One variable that most samples lack, so that the pairs are counted from
  // those that have it.
  for (int s = 1; s <= data.n_samples; ++s)
    if (s % 5 != 0) data.values(3, s) = MISSING_VALUE;
  for (const PairFilter& filter : {PairFilter{}, PairFilter{PairSelection::kSameState, 4, 0, 0}}) {
    const MoranSetup reference(Allocator(), data, data.classes, filter, RegressionInterval{}, 0);
    const ClassWeights plain = plain_weights(data, reference);
    for (std::size_t table_limit : {std::size_t{0}, std::size_t{1} << 30}) {
      for (int n_workers : {1, 3}) {
        const MoranSetup setup(Allocator(), data, data.classes, filter, RegressionInterval{}, table_limit,
                               best_vector_path(), n_workers);
        const ClassWeights w = class_weights(setup, data, n_workers);
        for (int v = 1; v <= 3; ++v) {
          for (int c = 1; c <= data.classes.n_classes; ++c) {
            EXPECT_EQ(w.pairs(v, c), plain.pairs(v, c)) << v << " " << c;
            EXPECT_EQ(w.k_squares(v, c), plain.k_squares(v, c)) << v << " " << c;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace kalveno::testing
