// One rule wherever a distance meets a bound: rounded to single precision,
// the precision of the bounds. Decimal grids whose spacings come out a bit
// above or below the bound in double precision, through every place that
// compares: the classes of the pair geometry (its table, filled eight pairs
// at a time, and its pair-by-pair path), the regression interval, the
// classes --classes chooses, Sturges' pair count, the local means and the
// neighbours of local Moran's I.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "descriptive/local_means.h"
#include "local_moran/neighbours.h"
#include "spatial/pair_distances.h"
#include "spatial/pair_geometry.h"
#include "spatial/spatial_data.h"

namespace kalveno::testing {
namespace {

// The coordinates as a data file's cells give them: the decimal read in
// double precision.
double typed(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", value);
  return scan_double(text).value;
}

// A side x side grid of the given spacing from (x0, y0), one variable.
DataSet grid(int side, double spacing, double x0, double y0, const std::vector<double>& bounds) {
  DataSet data = empty_data_set(side * side, 1, bounds);
  for (int s = 1; s <= data.n_samples; ++s) {
    data.x[s] = typed(x0 + spacing * ((s - 1) % side));
    data.y[s] = typed(y0 + spacing * ((s - 1) / side));
  }
  return data;
}

// Pairs per class 1..C + 1 as the geometry gives them, and those in the
// regression interval.
std::vector<long long> class_counts(const PairGeometry& geometry, int n, int n_classes, long long& in_regression) {
  std::vector<long long> counts(static_cast<std::size_t>(n_classes) + 2);
  in_regression = 0;
  for (int a = 1; a < n; ++a) {
    for (int b = a + 1; b <= n; ++b) {
      ++counts[static_cast<std::size_t>(geometry.class_of(a, b))];
      double d, log_d;
      int code;
      geometry.work_out(a, &b, 1, &d, &log_d, &code);
      in_regression += PairCode::in_regression(code);
    }
  }
  return counts;
}

TEST(DistanceRule, DecimalGridsKeepTheirSpacingsInTheClassOfTheirBound) {
  struct Case {
    const char* what;
    DataSet data;
    RegressionInterval interval;
    std::vector<long long> counts;  // classes 0 (unused), 1..C + 1
    long long in_regression;
    bool double_precision_count;  // counts that comparisons in double precision give too
  };
  // 10 x 10 grids (4950 pairs): 180 pairs one spacing apart, 162 diagonals.
  // At 0.7 every spacing, 0.69999999999999996 or 0.7000000000000002, is
  // above the bound 0.7f = 0.699999988 in double precision: 0.7f rounded.
  // At 0.25 m near a northing of 5 123 456 m (rows held apart in double
  // precision), 160 pairs at 0.5 and 288 at 0.559 besides, as a count in
  // double precision gives them.
  Case cases[] = {
      {"0.1 grid", grid(10, 0.1, 0, 0, {0.1f, 0.15f}), {0.1f, 0.1f}, {0, 180, 162, 4608}, 180, false},
      {"0.7 grid", grid(10, 0.7, 0, 0, {0.7f, 1.0f}), {0.7f, 0.7f}, {0, 180, 162, 4608}, 180, false},
      {"0.25 m grid", grid(10, 0.25, 612345, 5123456, {0.25, 0.5, 0.6}), {0.25f, 0.5f}, {0, 180, 322, 288, 4160},
       502, true},
  };
  for (Case& c : cases) {
    const int n = c.data.n_samples, n_classes = c.data.classes.n_classes;
    if (c.double_precision_count) {
      std::vector<long long> counts(static_cast<std::size_t>(n_classes) + 2);
      for (int a = 1; a < n; ++a) {
        for (int b = a + 1; b <= n; ++b) {
          int k = 1;
          while (k <= n_classes && sample_distance(c.data, a, b) > c.data.classes.class_max[k]) ++k;
          ++counts[static_cast<std::size_t>(k)];
        }
      }
      EXPECT_EQ(counts, c.counts) << c.what;
    }
    for (std::size_t table_limit : {std::size_t{0}, PairGeometry::table_bytes(n)}) {
      const PairGeometry geometry(Allocator(), c.data, c.data.classes, c.interval, table_limit);
      long long in_regression = 0;
      EXPECT_EQ(class_counts(geometry, n, n_classes, in_regression), c.counts)
          << c.what << (table_limit ? ", table" : "");
      EXPECT_EQ(in_regression, c.in_regression) << c.what;
    }
  }
}

TEST(DistanceRule, ChosenClassesAndRadiiTakeTheSpacingOfTheirBound) {
  // Spacings of 0.7 that lie above 0.7f in double precision.
  DataSet data = grid(10, 0.7, 0, 0, {});
  Progress none;
  const double largest = distance_range(data, 2, none).largest;
  // Equal counts of 165 pairs: the first class ends at the pairs at 0.7.
  const DistanceClasses chosen =
      choose_distance_classes(Allocator(), data, ClassRule{ClassRuleKind::kEqualCount, 30, 0, {}}, largest, 2, none);
  EXPECT_EQ(chosen.class_max[1], static_cast<double>(0.7f));
  EXPECT_EQ(pairs_within(data, 0.7f, 2, none), 180);

  // Value s at sample s of the first row: the mean of the neighbours within
  // 0.7 is s for a sample inside the row, the one neighbour's at its ends.
  for (int s = 1; s <= data.n_samples; ++s) data.values(1, s) = s <= 10 ? s : MISSING_VALUE;
  const LocalMeans local = local_means(Allocator(), data, -0.7f);
  for (int s = 1; s <= 10; ++s) EXPECT_EQ(local.means(1, s), s == 1 ? 2 : s == 10 ? 9 : s) << s;
  const NeighbourLists neighbours = neighbours_within(Allocator(), data, 0.7f, 2);
  EXPECT_EQ(neighbours.first[data.n_samples + 1], 360);  // each pair at 0.7 from both ends
}

}  // namespace
}  // namespace kalveno::testing
