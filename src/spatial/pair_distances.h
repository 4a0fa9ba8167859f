// Passes over the distances of every pair of samples, shared out among
// workers: the smallest and largest distance, and distance classes chosen
// from the distances themselves. Minima, maxima and counts do not depend on
// the order of the pairs, so the results are the same on any number of
// workers.
#pragma once
#include <vector>

#include "base/allocation.h"
#include "base/progress.h"
#include "data/data_set.h"

namespace kalveno {

// Smallest and largest distance between two samples; both 0 with fewer than
// two samples.
struct DistanceRange {
  double smallest = 0, largest = 0;
};
DistanceRange distance_range(const DataSet& data, int n_workers, Progress& progress);

// How the distance classes are chosen from the pairs of samples, every pair
// counting once, up to max_distance when that is above 0 (pairs beyond it
// lie beyond the last class).
enum class ClassRuleKind {
  kEqualCount,  // classes of as nearly as possible the same number of pairs
  kEqualWidth,  // classes of equal width from 0 to the largest distance
  kSturges,     // equal width, as many classes as 1 + log2(pairs) rounded up
  kBounds,      // the upper bounds themselves, increasing
};
struct ClassRule {
  ClassRuleKind kind = ClassRuleKind::kEqualWidth;
  int n_classes = 0;        // C, worked out from the pairs for kSturges
  float max_distance = 0;   // MAX, or 0
  std::vector<float> bounds;  // kBounds: as typed, in single precision
};

// The classes of the rule. Each bound is a single-precision number, as the
// data file's are: the distance the rule gives rounded to single precision,
// which keeps a pair at that distance in its class (distance_within), since
// pairs meet bounds rounded the same way. Equal-count bound c is
// the largest distance among the first ceil(c x pairs / C) pairs in
// increasing order of distance; equal-width bound c is c / C of the range.
// Tied distances make equal bounds, which would leave classes empty: a bound
// equal to the one before is left out, so there may be fewer classes than
// asked for. largest is the largest distance between two samples.
DistanceClasses choose_distance_classes(const Allocator& allocator, const DataSet& data, const ClassRule& rule,
                                        double largest, int n_workers, Progress& progress);

// The pairs within max_distance (distance_within; all of them when it is 0),
// for Sturges' rule.
long long pairs_within(const DataSet& data, float max_distance, int n_workers, Progress& progress);

}  // namespace kalveno
