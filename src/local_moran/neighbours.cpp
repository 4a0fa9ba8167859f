#include "local_moran/neighbours.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "base/parallel.h"

namespace kalveno {

namespace {

// Samples per block of the search: each block gathers its lists on its own,
// and the blocks are then laid end to end in sample order.
constexpr int kBlock = 256;

// The neighbour lists are ints.
constexpr const char* kListFailure = allocation_message::kIntVector;

}  // namespace

NeighbourLists neighbours_within(const Allocator& allocator, const DataSet& data, double radius, int n_workers) {
  const int n = data.n_samples;
  const int n_blocks = (n + kBlock - 1) / kBlock;
  const float bound = static_cast<float>(radius);  // a radius is typed in single precision
  std::vector<std::vector<int>> found(static_cast<std::size_t>(n_blocks));
  NeighbourLists lists;
  lists.first = allocator.int_vector(1, n + 1);
  // Every distance is worked out from both ends, by the one distance
  // function, so that each list holds what a plain loop over the samples
  // would find.
  parallel_for(n_blocks, n_workers, [&](int, int block) {
    std::vector<int>& mine = found[static_cast<std::size_t>(block)];
    const int last = std::min(n, (block + 1) * kBlock);
    try {
      constexpr int kChunk = 512;
      int samples[kChunk];
      double distances[kChunk];
      for (int i = block * kBlock + 1; i <= last; ++i) {
        int count = 0;
        for (int first = 1; first <= n; first += kChunk) {
          const int chunk = std::min(kChunk, n + 1 - first);
          for (int e = 0; e < chunk; ++e) samples[e] = first + e;
          sample_distances(data, i, samples, chunk, distances);
          for (int e = 0; e < chunk; ++e) {
            const int j = first + e;
            if (j != i && distance_within(distances[e], bound)) {
              mine.push_back(j);
              ++count;
            }
          }
        }
        lists.first[i + 1] = count;  // counts for now, offsets below
      }
    } catch (const std::bad_alloc&) {
      throw AllocationFailure{kListFailure, {}};
    } catch (const std::length_error&) {
      throw AllocationFailure{kListFailure, {}};
    }
  });
  long long total = 0;
  lists.first[1] = 0;
  for (int i = 1; i <= n; ++i) {
    total += lists.first[i + 1];
    if (total > INT_MAX) throw AllocationFailure{kListFailure, {}};
    lists.first[i + 1] = static_cast<int>(total);
  }
  lists.list = allocator.int_vector(0, static_cast<int>(total) - 1);
  int at = 0;
  for (std::vector<int>& block : found) {
    for (int j : block) lists.list[at++] = j;
    std::vector<int>().swap(block);
  }
  return lists;
}

}  // namespace kalveno
