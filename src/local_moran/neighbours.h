// The neighbours of each sample within a radius: every other sample at a
// distance of at most the radius (distance_within: the radius is a
// single-precision number), those at the very same position included.
// The lists are kept end to end, each in increasing sample order.
#pragma once
#include "base/allocation.h"
#include "data/data_set.h"

namespace kalveno {

struct NeighbourLists {
  // The neighbours of sample i are list[first[i]] .. list[first[i + 1] - 1].
  RangedVector<int> first;  // [1..N + 1]
  RangedVector<int> list;   // [0..total - 1]

  int count(int i) const { return first[i + 1] - first[i]; }
  const int* begin(int i) const { return list.data() + first[i]; }
  const int* end(int i) const { return list.data() + first[i + 1]; }
};

// The neighbours within radius of every sample of data, found on up to
// n_workers threads; the same lists whatever their number. More neighbours
// in all than a list can index fail as an allocation does.
NeighbourLists neighbours_within(const Allocator& allocator, const DataSet& data, double radius, int n_workers);

}  // namespace kalveno
