#include "spatial/pair_distances.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "base/parallel.h"
#include "base/text.h"

namespace kalveno {

namespace {

long long all_pairs(int n) { return static_cast<long long>(n) * (n - 1) / 2; }

// Runs pairs(worker, d, count) for the distances d[0..count-1] of every pair
// of samples, a piece of a row at a time, the rows shared out among the
// workers.
template <class Pairs>
void for_each_distance(const DataSet& data, int n_workers, Progress& progress, Pairs pairs) {
  const int n = data.n_samples;
  if (n < 2) return;
  parallel_for(n - 1, n_workers, [&](int worker, int item) {
    const int i = item + 1;
    constexpr int kChunk = 512;
    int samples[kChunk];
    double distances[kChunk];
    for (int first = i + 1; first <= n; first += kChunk) {
      const int count = std::min(kChunk, n + 1 - first);
      for (int e = 0; e < count; ++e) samples[e] = first + e;
      sample_distances(data, i, samples, count, distances);
      pairs(worker, distances, count);
    }
    progress.advance(n - i);
  });
}

// Selection works on each distance as the bounds read it, rounded to single
// precision (distance_within): that number is the smallest bound that keeps
// the pair in its class, and the k-th smallest of them is the bound of the
// k-th smallest distance. Non-negative floats order as their bits, so the
// bits are selected a part at a time, high then low.
constexpr int kLowBits = 15;  // the keys have 31 bits: 16 high, 15 low
constexpr int kHighBins = 1 << (31 - kLowBits), kLowBins = 1 << kLowBits;
constexpr std::uint32_t kLowMask = kLowBins - 1;
// The high parts whose low parts one pass counts: 64 x 256 KB a worker.
constexpr int kPartsPerPass = 64;

// A distance beyond the single-precision range rounds to infinity, whose
// bits come after every finite float's.
std::uint32_t bound_key(double d) { return std::bit_cast<std::uint32_t>(distance_for_bounds(d)); }

double key_bound(std::uint32_t key) { return std::bit_cast<float>(key); }

// The bin of counts[first..first + bins - 1] that holds the rank-th smallest
// key (rank from 1), and the key's rank within it.
void find_rank(const std::uint64_t* counts, int bins, std::uint64_t& rank, int& bin) {
  for (bin = 0; bin < bins - 1 && counts[bin] < rank; ++bin) rank -= counts[bin];
}

// Counts per worker, summed into the first.
void sum_counts(std::vector<std::vector<std::uint64_t>>& counts) {
  for (std::size_t w = 1; w < counts.size(); ++w)
    for (std::size_t b = 0; b < counts[0].size(); ++b) counts[0][b] += counts[w][b];
}

std::vector<std::vector<std::uint64_t>> zero_counts(int n_workers, std::size_t bins) {
  try {
    return std::vector<std::vector<std::uint64_t>>(static_cast<std::size_t>(n_workers),
                                                   std::vector<std::uint64_t>(bins));
  } catch (const std::bad_alloc&) {
    throw AllocationFailure{allocation_message::kDistanceClasses, {}};
  }
}

// Whether the rule takes a pair at distance d: every pair, or with MAX
// those within it.
bool rule_takes(const ClassRule& rule, double d) {
  return !(rule.max_distance > 0) || distance_within(d, rule.max_distance);
}

// Where the key of each class's bound lies: in which high part, and its
// rank among the keys of that part.
struct KeyPlace {
  std::vector<int> part;            // [c - 1]
  std::vector<std::uint64_t> rank;  // [c - 1], from 1
};

// The first pass: how many of the rule's pairs have keys of each high part.
std::vector<std::uint64_t> count_high_parts(const DataSet& data, const ClassRule& rule, int n_workers,
                                            Progress& progress) {
  progress.begin("Distance classes, pass 1", static_cast<double>(all_pairs(data.n_samples)));
  std::vector<std::vector<std::uint64_t>> high = zero_counts(n_workers, kHighBins);
  for_each_distance(data, n_workers, progress, [&](int worker, const double* d, int count) {
    std::uint64_t* counts = high[static_cast<std::size_t>(worker)].data();
    for (int e = 0; e < count; ++e)
      if (rule_takes(rule, d[e])) ++counts[bound_key(d[e]) >> kLowBits];
  });
  sum_counts(high);
  return std::move(high[0]);
}

// Bound c is the key of rank ceil(c x pairs / C).
KeyPlace place_keys(const std::vector<std::uint64_t>& high, std::uint64_t pairs, int n_classes) {
  KeyPlace place;
  for (int c = 1; c <= n_classes; ++c) {
    const unsigned __int128 product = static_cast<unsigned __int128>(c) * pairs;
    std::uint64_t r = static_cast<std::uint64_t>((product + n_classes - 1) / n_classes);
    int bin = 0;
    find_rank(high.data(), kHighBins, r, bin);
    place.part.push_back(bin);
    place.rank.push_back(r);
  }
  return place;
}

// One of the later passes: the low parts of the keys whose high part is
// parts[first..last - 1], which then give the bounds of the classes whose
// keys lie there. slot_of is -1 throughout before and after.
void select_low_parts(const DataSet& data, const ClassRule& rule, const KeyPlace& place, const std::vector<int>& parts,
                      std::size_t first, std::size_t last, std::vector<int>& slot_of, std::vector<double>& bounds,
                      int n_workers, Progress& progress) {
  for (std::size_t p = first; p < last; ++p) slot_of[static_cast<std::size_t>(parts[p])] = static_cast<int>(p - first);
  std::vector<std::vector<std::uint64_t>> low = zero_counts(n_workers, (last - first) * kLowBins);
  const int n_passes = static_cast<int>((parts.size() + kPartsPerPass - 1) / kPartsPerPass);
  progress.begin(format("Distance classes, pass %d of %d", static_cast<int>(2 + first / kPartsPerPass), 1 + n_passes),
                 static_cast<double>(all_pairs(data.n_samples)));
  for_each_distance(data, n_workers, progress, [&](int worker, const double* d, int count) {
    std::uint64_t* counts = low[static_cast<std::size_t>(worker)].data();
    for (int e = 0; e < count; ++e) {
      if (!rule_takes(rule, d[e])) continue;
      const std::uint32_t key = bound_key(d[e]);
      const int slot = slot_of[key >> kLowBits];
      if (slot >= 0) ++counts[static_cast<std::size_t>(slot) * kLowBins + (key & kLowMask)];
    }
  });
  sum_counts(low);
  for (std::size_t c = 0; c < bounds.size(); ++c) {
    const int slot = slot_of[static_cast<std::size_t>(place.part[c])];
    if (slot < 0) continue;
    std::uint64_t r = place.rank[c];
    int bin = 0;
    find_rank(low[0].data() + static_cast<std::size_t>(slot) * kLowBins, kLowBins, r, bin);
    bounds[c] = key_bound(static_cast<std::uint32_t>(place.part[c]) << kLowBits | static_cast<std::uint32_t>(bin));
  }
  for (std::size_t p = first; p < last; ++p) slot_of[static_cast<std::size_t>(parts[p])] = -1;
}

std::vector<double> equal_count_bounds(const DataSet& data, const ClassRule& rule, int n_workers,
                                       Progress& progress) {
  std::vector<std::uint64_t> high = count_high_parts(data, rule, n_workers, progress);
  std::uint64_t pairs = 0;
  for (std::uint64_t count : high) pairs += count;
  // No pair to choose from: one class, up to MAX or 0.
  if (pairs == 0) return std::vector<double>(1, key_bound(bound_key(rule.max_distance)));

  const KeyPlace place = place_keys(high, pairs, rule.n_classes);
  std::vector<int> parts = place.part;  // already in increasing order
  parts.erase(std::unique(parts.begin(), parts.end()), parts.end());
  std::vector<std::uint64_t>().swap(high);

  std::vector<double> bounds(static_cast<std::size_t>(rule.n_classes));
  std::vector<int> slot_of(kHighBins, -1);
  for (std::size_t first = 0; first < parts.size(); first += kPartsPerPass)
    select_low_parts(data, rule, place, parts, first, std::min(parts.size(), first + kPartsPerPass), slot_of, bounds,
                     n_workers, progress);
  return bounds;
}

std::vector<double> equal_width_bounds(int n_classes, double top) {
  std::vector<double> bounds(static_cast<std::size_t>(n_classes));
  for (int c = 1; c <= n_classes; ++c)
    bounds[static_cast<std::size_t>(c - 1)] = key_bound(bound_key(c == n_classes ? top : top * c / n_classes));
  return bounds;
}

}  // namespace

DistanceRange distance_range(const DataSet& data, int n_workers, Progress& progress) {
  const int n = data.n_samples;
  if (n < 2) return {};
  progress.begin("Distances between samples", static_cast<double>(all_pairs(n)));
  std::vector<DistanceRange> found(static_cast<std::size_t>(n_workers),
                                   DistanceRange{std::numeric_limits<double>::infinity(), 0});
  for_each_distance(data, n_workers, progress, [&](int worker, const double* d, int count) {
    DistanceRange& range = found[static_cast<std::size_t>(worker)];
    double smallest = range.smallest, largest = range.largest;
    for (int e = 0; e < count; ++e) {
      smallest = d[e] < smallest ? d[e] : smallest;
      largest = d[e] > largest ? d[e] : largest;
    }
    range = {smallest, largest};
  });
  DistanceRange range = found[0];
  for (const DistanceRange& other : found) {
    range.smallest = std::min(range.smallest, other.smallest);
    range.largest = std::max(range.largest, other.largest);
  }
  return range;
}

long long pairs_within(const DataSet& data, float max_distance, int n_workers, Progress& progress) {
  const int n = data.n_samples;
  if (max_distance <= 0) return n < 2 ? 0 : all_pairs(n);
  progress.begin("Pairs within the distance classes", static_cast<double>(all_pairs(n)));
  std::vector<long long> found(static_cast<std::size_t>(n_workers));
  for_each_distance(data, n_workers, progress, [&](int worker, const double* d, int count) {
    long long within = 0;
    for (int e = 0; e < count; ++e) within += distance_within(d[e], max_distance);
    found[static_cast<std::size_t>(worker)] += within;
  });
  long long pairs = 0;
  for (long long count : found) pairs += count;
  return pairs;
}

DistanceClasses choose_distance_classes(const Allocator& allocator, const DataSet& data, const ClassRule& rule,
                                        double largest, int n_workers, Progress& progress) {
  const double top = rule.max_distance > 0 ? rule.max_distance : largest;
  std::vector<double> bounds;
  switch (rule.kind) {
    case ClassRuleKind::kEqualCount: bounds = equal_count_bounds(data, rule, n_workers, progress); break;
    case ClassRuleKind::kEqualWidth: bounds = equal_width_bounds(rule.n_classes, top); break;
    case ClassRuleKind::kBounds: bounds.assign(rule.bounds.begin(), rule.bounds.end()); break;
    case ClassRuleKind::kSturges: {
      const long long pairs = pairs_within(data, rule.max_distance, n_workers, progress);
      const int n_classes = pairs <= 1 ? 1 : 1 + std::bit_width(static_cast<unsigned long long>(pairs - 1));
      bounds = equal_width_bounds(n_classes, top);
      break;
    }
  }
  bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
  DistanceClasses classes;
  classes.n_classes = static_cast<int>(bounds.size());
  classes.class_max = allocator.double_vector(1, classes.n_classes);
  for (int c = 1; c <= classes.n_classes; ++c) classes.class_max[c] = bounds[static_cast<std::size_t>(c - 1)];
  return classes;
}

}  // namespace kalveno
