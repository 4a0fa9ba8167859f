// Local Moran's I: the values on a case worked by hand, against figures of
// an independent implementation on the example data, the conditional test's
// draws, the classification, and results that are the same bits however the
// work is shared out.
#include <gtest/gtest.h>

#include <cstring>

#include "local_moran/local_moran.h"
#include "spatial/spatial_data.h"
#include "support/load_data.h"
#include "support/run_program.h"

namespace kalveno {
namespace {

// Five samples on a line; b and c share a position, d is exactly 2 from b
// and c, e stands alone. Variable v: mean 4, z = -3 -2 3 -1 3, m2 = 32/5.
// Variable w, which c and e lack: mean 4, z = -2 -1 3, m2 = 14/3.
const char kFive[] = "five\n5 0 2 NA\n0\nn\tx\ty\tv\tw\n"
                     "a\t0\t0\t1\t2\nb\t1\t0\t2\t3\nc\t1\t0\t7\tNA\nd\t3\t0\t3\t7\ne\t10\t0\t7\tNA\n";

struct Computed {
  DataSet data;
  LocalMoranSetup setup;
  LocalMoranResults results;
};

Computed observed(const std::string& text, double radius) {
  Computed c{testing::load_data_set(text), {}, {}};
  c.setup = local_moran_setup(Allocator(), c.data, radius, 2);
  c.results = local_moran_observed(Allocator(), c.data, c.setup, 2);
  return c;
}

TEST(LocalMoran, ValuesLagsAndQuadrantsOfAHandWorkedCase) {
  Computed c = observed(kFive, 2);
  const LocalMoranResults& r = c.results;
  struct Expected {
    int v, i, k;
    double moran, lag;
    Quadrant quadrant;
  };
  const Expected cases[] = {
      {1, 1, 2, -3 / 6.4 * 1, 0.5, Quadrant::kLowHigh},        // b and c, at distance 1
      {1, 2, 3, -2 / 6.4 * -1, -1.0 / 3, Quadrant::kLowLow},   // c at distance 0 counts
      {1, 3, 3, 3 / 6.4 * -6, -2, Quadrant::kHighLow},
      {1, 4, 2, -1 / 6.4 * 1, 0.5, Quadrant::kLowHigh},        // b and c exactly at the radius
      {2, 1, 1, -2 / (14 / 3.0) * -1, -1, Quadrant::kLowLow},  // c lacks w
      {2, 2, 2, -1 / (14 / 3.0) * 1, 0.5, Quadrant::kLowHigh},
      {2, 4, 1, 3 / (14 / 3.0) * -1, -1, Quadrant::kHighLow},
  };
  for (const Expected& e : cases) {
    EXPECT_EQ(r.neighbours(e.v, e.i), e.k) << e.v << " " << e.i;
    EXPECT_DOUBLE_EQ(r.moran(e.v, e.i), e.moran) << e.v << " " << e.i;
    EXPECT_DOUBLE_EQ(r.lag(e.v, e.i), e.lag) << e.v << " " << e.i;
    EXPECT_EQ(r.quadrant(e.v, e.i), e.quadrant) << e.v << " " << e.i;
  }
  EXPECT_EQ(r.moran(1, 5), 0);
  EXPECT_EQ(r.lag(1, 5), MISSING_VALUE);
  EXPECT_EQ(r.quadrant(1, 5), Quadrant::kNoNeighbours);
  for (int i : {3, 5}) {
    EXPECT_EQ(r.moran(2, i), MISSING_VALUE);
    EXPECT_EQ(r.quadrant(2, i), Quadrant::kMissing);
  }
}

// localmoran(x, nb2listw(dnearneigh(xy, 0, 400), style = "B"))[, "Ii"] of
// spdep 1.2.7 on the example data, its values rounded to single precision
// first as the loader reads them (the variables om and dist are missing or
// tiny in places).
TEST(LocalMoran, AgreesWithAnIndependentImplementationOnTheExampleData) {
  Computed c = observed(testing::source_file("examples/meuse.txt"), 400);
  const struct {
    int v, i;
    double moran;
  } reference[] = {{1, 1, 8.3892687518806621},     {1, 2, 8.8321660758715304},
                   {1, 50, 2.8281069887368342},    {1, 155, -0.020094697658424053},
                   {6, 50, 33.237634933304868},    {7, 155, -0.27400927540102515}};
  for (const auto& ref : reference)
    EXPECT_NEAR(c.results.moran(ref.v, ref.i), ref.moran, 1e-9 * std::fabs(ref.moran)) << ref.v << " " << ref.i;
}

// Longitudes and latitudes: a degree of longitude is 111 km at the equator
// and 56 km at 60 degrees north, so within 100 km on the sphere only the
// northern pair are neighbours (in planar degrees every pair would be).
TEST(LocalMoran, NeighboursFollowGreatCircleDistances) {
  DataSet data = testing::load_data_set("sphere\n4 0 1 NA\n0\nn\tlon\tlat\tv\n"
                                        "a\t0\t0\t1\nb\t1\t0\t2\nc\t0\t60\t3\nd\t1\t60\t5\n");
  data.distance_kind = DistanceKind::kGreatCircle;
  make_sphere_points(Allocator(), data);
  const LocalMoranSetup setup = local_moran_setup(Allocator(), data, 100, 2);
  const LocalMoranResults r = local_moran_observed(Allocator(), data, setup, 2);
  EXPECT_EQ(std::vector<int>({r.neighbours(1, 1), r.neighbours(1, 2), r.neighbours(1, 3), r.neighbours(1, 4)}),
            std::vector<int>({0, 0, 1, 1}));
  EXPECT_EQ(r.quadrant(1, 4), Quadrant::kHighHigh);
}

// Every other sample is a neighbour, and the values are whole numbers with a
// whole mean: drawn without replacement from the others only, every
// replicate sums the same deviations, exactly. A draw that could take the
// sample itself, or take a value twice, would give other sums.
TEST(LocalMoran, ConditionalDrawsComeFromTheOtherSamplesWithoutReplacement) {
  Computed c = observed("all\n6 0 1 NA\n0\nn\tx\ty\tv\n"
                        "a\t0\t0\t1\nb\t1\t0\t2\nc\t2\t0\t3\nd\t0\t1\t4\ne\t1\t1\t5\nf\t2\t1\t9\n",
                        10);
  test_local_moran(Allocator(), c.setup, 199, 5, 1, 6, 2, c.results);
  for (int i = 1; i <= 6; ++i) {
    const ResampleSummary& s = c.results.test(1, i);
    EXPECT_EQ(s.n_rep, 199);
    EXPECT_EQ(s.sd, 0) << i;
    EXPECT_EQ(s.mean, s.obs) << i;
    EXPECT_EQ(s.p_less, 1) << i;
    EXPECT_EQ(s.p_greater, 1) << i;
  }
}

// Two families, one per variable, each adjusted over its tested samples
// only; an adjusted P of exactly 0.05 is significant.
TEST(LocalMoran, SamplesAreSignificantByTheirVariablesAdjustedP) {
  Computed c = observed(kFive, 2);
  LocalMoranResults& r = c.results;
  r.n_rep = 99;
  auto set_p = [&](int v, int i, float p) {
    r.test(v, i).n_rep = 99;
    r.test(v, i).p_two_sided = p;
  };
  // v: 0.01 0.02 0.5 0.04 adjust to 0.04 0.04 0.5 0.0533
  set_p(1, 1, 0.01f);
  set_p(1, 2, 0.02f);
  set_p(1, 3, 0.5f);
  set_p(1, 4, 0.04f);
  for (int i : {1, 2, 4}) set_p(2, i, 0.05f);
  classify_local_moran(c.setup, r);
  EXPECT_FLOAT_EQ(r.p_adjusted(1, 1), 0.04f);
  EXPECT_FLOAT_EQ(r.p_adjusted(1, 4), 0.04f * 4 / 3);
  EXPECT_TRUE(std::isnan(r.p_adjusted(1, 5)));
  const Quadrant v_quadrants[] = {Quadrant::kLowHigh, Quadrant::kLowLow, Quadrant::kNotSignificant,
                                  Quadrant::kNotSignificant, Quadrant::kNoNeighbours};
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(r.quadrant(1, i), v_quadrants[i - 1]) << i;
  EXPECT_EQ(r.p_adjusted(2, 1), 0.05f);
  EXPECT_EQ(r.quadrant(2, 1), Quadrant::kLowLow);
  EXPECT_EQ(r.quadrant(2, 3), Quadrant::kMissing);
}

bool same_bits(const ResampleSummary& a, const ResampleSummary& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Each sample draws from its own stream, and each variable takes what it
// needs from the draws: one worker or three, the samples in one call or
// two, and the variable alone or among others, the same bits.
TEST(LocalMoran, TestsAreTheSameBitsHoweverTheWorkIsShared) {
  testing::RandomDataShape shape;
  shape.n_samples = 60;
  shape.missing = 0.15;
  DataSet data = testing::random_data_set(shape, 7);
  const LocalMoranSetup setup = local_moran_setup(Allocator(), data, 25, 1);
  LocalMoranResults one = local_moran_observed(Allocator(), data, setup, 1);
  LocalMoranResults shared = local_moran_observed(Allocator(), data, setup, 3);
  test_local_moran(Allocator(), setup, 99, 12, 1, 60, 1, one);
  test_local_moran(Allocator(), setup, 99, 12, 1, 25, 3, shared);
  test_local_moran(Allocator(), setup, 99, 12, 26, 60, 3, shared);

  DataSet alone = testing::empty_data_set(60, 1, {});
  for (int i = 1; i <= 60; ++i) {
    alone.x[i] = data.x[i];
    alone.y[i] = data.y[i];
    alone.values(1, i) = data.values(2, i);
  }
  const LocalMoranSetup alone_setup = local_moran_setup(Allocator(), alone, 25, 2);
  LocalMoranResults by_itself = local_moran_observed(Allocator(), alone, alone_setup, 2);
  test_local_moran(Allocator(), alone_setup, 99, 12, 1, 60, 2, by_itself);

  int tested = 0;
  for (int v : setup.variables) {
    for (int i = 1; i <= 60; ++i) {
      EXPECT_TRUE(same_bits(one.test(v, i), shared.test(v, i))) << v << " " << i;
      EXPECT_EQ(one.moran(v, i), shared.moran(v, i));
      tested += one.tested(v, i);
      if (v == 2) {
        EXPECT_TRUE(same_bits(one.test(2, i), by_itself.test(1, i))) << i;
      }
    }
  }
  EXPECT_GT(tested, 100);
}

}  // namespace
}  // namespace kalveno
