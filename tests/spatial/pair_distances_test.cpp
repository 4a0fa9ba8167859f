// Passes over all pairs of samples: the distance range and the distance
// classes chosen from the pairs, against plain evaluations.
#include "spatial/pair_distances.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "spatial/spatial_data.h"

namespace kalveno::testing {
namespace {

DataSet placed(const std::vector<std::pair<double, double>>& at) {
  DataSet data = empty_data_set(static_cast<int>(at.size()), 0, {});
  for (int s = 1; s <= data.n_samples; ++s) {
    data.x[s] = at[static_cast<std::size_t>(s - 1)].first;
    data.y[s] = at[static_cast<std::size_t>(s - 1)].second;
  }
  return data;
}

std::vector<double> bounds(const DistanceClasses& classes) {
  return std::vector<double>(classes.class_max.data(), classes.class_max.data() + classes.n_classes);
}

std::vector<double> chosen(const DataSet& data, ClassRuleKind kind, int n_classes, float max = 0, int workers = 2) {
  Progress none;
  const double largest = distance_range(data, workers, none).largest;
  return bounds(choose_distance_classes(Allocator(), data, ClassRule{kind, n_classes, max, {}}, largest, workers, none));
}

TEST(DistanceRange, IsThatOfEveryPairOnAnyNumberOfWorkers) {
  const DataSet data = random_data_set(RandomDataShape{.n_samples = 300, .coincident = 0}, 7);
  double smallest = INFINITY, largest = 0;
  for (int i = 1; i < data.n_samples; ++i)
    for (int k = i + 1; k <= data.n_samples; ++k) {
      smallest = std::min(smallest, sample_distance(data, i, k));
      largest = std::max(largest, sample_distance(data, i, k));
    }
  for (int workers : {1, 3}) {
    Progress none;
    const DistanceRange range = distance_range(data, workers, none);
    EXPECT_EQ(range.smallest, smallest);
    EXPECT_EQ(range.largest, largest);
  }
}

// Samples at 0, 1, 2 and 4 on a line: pair distances 1, 1, 2, 2, 3, 4.
TEST(ClassRules, GiveTheBoundsWorkedOutByHandTiesKeptInOneClass) {
  const DataSet line = placed({{0, 0}, {1, 0}, {2, 0}, {4, 0}});
  using K = ClassRuleKind;
  EXPECT_EQ(chosen(line, K::kEqualCount, 3), (std::vector<double>{1, 2, 4}));
  EXPECT_EQ(chosen(line, K::kEqualCount, 4), (std::vector<double>{1, 2, 3, 4}));
  // Six classes of one pair each would split the ties: four bounds.
  EXPECT_EQ(chosen(line, K::kEqualCount, 6), (std::vector<double>{1, 2, 3, 4}));
  EXPECT_EQ(chosen(line, K::kEqualCount, 2, 2.5f), (std::vector<double>{1, 2}));
  EXPECT_EQ(chosen(line, K::kEqualWidth, 4), (std::vector<double>{1, 2, 3, 4}));
  EXPECT_EQ(chosen(line, K::kEqualWidth, 3, 3), (std::vector<double>{1, 2, 3}));
  // Six pairs: 1 + log2(6) rounded up, 4 classes; four pairs within 2.5: 3
  // classes, their bounds 2.5 / 3 and 5 / 3 rounded to single precision.
  EXPECT_EQ(chosen(line, K::kSturges, 0), (std::vector<double>{1, 2, 3, 4}));
  EXPECT_EQ(chosen(line, K::kSturges, 0, 2.5f), (std::vector<double>{0x1.aaaaaap-1, 0x1.aaaaaap+0, 2.5}));
  // Distances sqrt 2, sqrt 5 and 3: bounds rounded to the nearest float,
  // below sqrt 2 for the first, which keeps each pair in its class since a
  // pair meets a bound rounded the same way.
  const DataSet corner = placed({{0, 0}, {1, 1}, {3, 0}});
  EXPECT_EQ(chosen(corner, K::kEqualCount, 3), (std::vector<double>{0x1.6a09e6p+0, 0x1.1e377ap+1, 3}));
  EXPECT_TRUE(distance_within(sample_distance(corner, 1, 2), 0x1.6a09e6p+0f));

}

// Many classes, more high parts than one counting pass takes, and a
// maximum: each bound is the selected one of the sorted distances.
TEST(ClassRules, EqualCountBoundsAreTheOrderStatisticsOfThePairs) {
  RandomDataShape shape;
  shape.n_samples = 400;
  shape.extent = 1e6;
  shape.coincident = 0.05;
  const DataSet data = random_data_set(shape, 11);
  for (float max : {0.0f, 4e5f}) {
    std::vector<double> distances;
    for (int i = 1; i < data.n_samples; ++i)
      for (int k = i + 1; k <= data.n_samples; ++k)
        if (max == 0 || distance_within(sample_distance(data, i, k), max))
          distances.push_back(sample_distance(data, i, k));
    std::sort(distances.begin(), distances.end());
    const long long pairs = static_cast<long long>(distances.size());
    std::vector<double> expected;
    for (int c = 1; c <= 300; ++c) {
      const float bound = static_cast<float>(distances[static_cast<std::size_t>((c * pairs + 299) / 300 - 1)]);
      if (expected.empty() || bound > expected.back()) expected.push_back(bound);
    }
    EXPECT_EQ(chosen(data, ClassRuleKind::kEqualCount, 300, max, 1), expected) << max;
    EXPECT_EQ(chosen(data, ClassRuleKind::kEqualCount, 300, max, 3), expected) << max;
  }
}

}  // namespace
}  // namespace kalveno::testing
