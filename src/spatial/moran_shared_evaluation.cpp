// One evaluation of Moran's I shared out among workers, for the observed
// placement, which is evaluated once where the replicates are many.
//
// The pairs are taken in batches, in their order. A batch is cut into one
// part per worker; each worker gathers the geometry of its part's pairs
// (distance, logarithm, class: the costly part of a pair without the pair
// table), and once every part is gathered each worker adds all the pairs of
// the batch, in order, to the variable lanes it owns. Every lane thus sees
// every pair in the order of the serial evaluation, and its sums come out
// the same to the bit whatever the number of workers.
#include <algorithm>
#include <barrier>
#include <climits>
#include <optional>
#include <vector>

#include "randomization/replicate_runner.h"
#include "spatial/moran_evaluation.h"

namespace kalveno {

// Named, not anonymous: the evaluation's member templates hold these.
namespace shared_pass {

// Pairs of a part: a few hundred kilobytes of gathered geometry, which stays
// in the caches between the two steps.
constexpr int kPartPairs = 16384;

// The pairs (i, j) for j_begin <= j < j_end, a row or the piece of one that
// lies in one part, and where they are gathered: at offset in the part.
struct Segment {
  int i = 0, j_begin = 0, j_end = 0, offset = 0;
  int n_pairs = 0;  // gathered
};

// The pairs in order, cut into parts of kPartPairs pairs; part p is
// segments[first_segment[p] .. first_segment[p + 1] - 1].
struct PairParts {
  RangedVector<Segment> segments;
  RangedVector<int> first_segment;
  int n_parts = 0;
};

PairParts cut_into_parts(const Allocator& allocator, int n) {
  const long long pairs = n < 2 ? 0 : static_cast<long long>(n) * (n - 1) / 2;
  PairParts parts;
  if ((pairs + kPartPairs - 1) / kPartPairs >= INT_MAX || pairs + n >= INT_MAX)
    throw AllocationFailure{"\nallocation failure in the pair batches", {}};
  parts.n_parts = static_cast<int>((pairs + kPartPairs - 1) / kPartPairs);
  const int n_segments = static_cast<int>(std::max(0LL, static_cast<long long>(n) - 1 + parts.n_parts));
  parts.segments = allocator.vector_of<Segment>(0, n_segments - 1, "\nallocation failure in the pair batches");
  parts.first_segment = allocator.int_vector(0, parts.n_parts);
  long long at = 0;  // pairs cut so far
  int count = 0;
  for (int i = 1; i < n; ++i) {
    for (int j = i + 1; j <= n;) {
      const long long part = at / kPartPairs, room = (part + 1) * kPartPairs - at;
      const int take = static_cast<int>(std::min<long long>(room, n + 1 - j));
      if (at % kPartPairs == 0) parts.first_segment[static_cast<int>(part)] = count;
      parts.segments[count++] = Segment{i, j, j + take, static_cast<int>(at % kPartPairs), 0};
      at += take;
      j += take;
    }
  }
  parts.first_segment[parts.n_parts] = count;
  return parts;
}

// Lanes first .. first + count - 1 of group g, as a group of their own.
LaneGroup lanes_of(const LaneGroup& g, int first, int count) {
  LaneGroup part = g;
  part.n_lanes = count;
  part.own += first;
  part.present += first;
  part.bit_lane += first;
  part.variance += first;
  part.reciprocal += first;
  part.reciprocal_exact += first;
  part.unlike += first;
  part.complete += first;
  part.distance_flag += first;
  part.class_sum += first;
  part.class_used += first;
  part.regression += first;
  return part;
}

}  // namespace shared_pass

using shared_pass::cut_into_parts;
using shared_pass::kPartPairs;
using shared_pass::lanes_of;
using shared_pass::PairParts;
using shared_pass::Segment;

void MoranEvaluation::run_shared(int n_workers, Progress& progress, long long& at_zero) {
  reset();
  const bool filtered = !s_.takes_every_pair();
  if (s_.geometry_.tabulated())
    filtered ? run_shared_as<true, true>(n_workers, progress, at_zero)
             : run_shared_as<true, false>(n_workers, progress, at_zero);
  else
    filtered ? run_shared_as<false, true>(n_workers, progress, at_zero)
             : run_shared_as<false, false>(n_workers, progress, at_zero);
  if (counts_from_missing_) count_from_missing();
  finish();
}

template <bool kTabulated, bool kFiltered>
void MoranEvaluation::run_shared_as(int n_workers, Progress& progress, long long& at_zero) {
  const Allocator& allocator = s_.allocator_;
  PairParts parts = cut_into_parts(allocator, s_.n_);
  progress.begin("Moran's I of the data", parts.n_parts);
  const VectorPath path = s_.path_;
  // The lanes are shared out in units of one cache line on AVX-512 (a
  // vector), half a line otherwise, so that each worker's sums keep lines
  // of their own.
  const int unit = path == VectorPath::kAvx512 ? 8 : kLaneQuantum;
  const int quantitative_units = (s_.quantitative_lanes_ + unit - 1) / unit;
  const int n_units = quantitative_units + (s_.n_lanes_ - s_.quantitative_lanes_ + unit - 1) / unit;
  bool any_complete = false;
  for (int k = 0; k < s_.n_lanes_; ++k) any_complete = any_complete || (s_.complete_[k] && s_.lane_variable_[k] != 0);
  // Without a distance lane the pair counts and distance sums are made
  // apart, in the order of the pairs, by the worker with the fewest lanes.
  const bool pair_sums = s_.distance_lane_ < 0;

  int n = 1;  // the workers there are
  std::vector<MoranScratch> scratches;  // of workers 1..n-1
  std::vector<std::vector<LaneGroup>> lanes;  // [worker]
  RangedVector<int> sample, code;
  RangedVector<double> geometry;
  std::vector<long long> zeros;
  std::optional<std::barrier<>> sync;
  auto prepare = [&](int workers) {
    n = workers;
    const int batch = n * kPartPairs;
    sample = allocator.int_vector(0, batch - 1);
    code = allocator.int_vector(0, batch - 1);
    geometry = allocator.double_vector(0, 4 * batch - 1);
    zeros.assign(static_cast<std::size_t>(n), 0);
    scratches.reserve(static_cast<std::size_t>(n - 1));
    for (int w = 1; w < n; ++w) scratches.emplace_back(s_);
    lanes.resize(static_cast<std::size_t>(n));
    for (int w = 0; w < n; ++w) {
      MoranScratch& scratch = w == 0 ? w_ : scratches[static_cast<std::size_t>(w - 1)];
      const LaneGroup groups[2] = {lane_group(true, scratch), lane_group(false, scratch)};
      // Worker w takes units [first, last), the last workers the larger
      // shares; with more workers than units, the first ones only gather.
      const int first = w * n_units / n, last = (w + 1) * n_units / n;
      for (int u = first; u < last; ++u) {
        const bool quantitative = u < quantitative_units;
        const LaneGroup& g = groups[quantitative ? 0 : 1];
        const int lane = (quantitative ? u : u - quantitative_units) * unit;
        const int count = std::min(unit, g.n_lanes - lane);
        std::vector<LaneGroup>& own = lanes[static_cast<std::size_t>(w)];
        // Adjacent units of a group make one run of lanes, whose passes
        // take two blocks at a time.
        if (!own.empty() && own.back().quantitative == quantitative && own.back().n_lanes == lane - (own.back().bit_lane - g.bit_lane))
          own.back().n_lanes += count;
        else
          own.push_back(lanes_of(g, lane, count));
      }
    }
    sync.emplace(n);
  };

  auto work = [&](int w) {
    const std::vector<LaneGroup>& own = lanes[static_cast<std::size_t>(w)];
    long long zero = 0;
    for (int first_part = 0; first_part < parts.n_parts; first_part += n) {
      const int end_part = std::min(parts.n_parts, first_part + n);
      // Gathering: part first_part + w.
      if (const int p = first_part + w; p < end_part) {
        const int base = w * kPartPairs;
        for (int e = parts.first_segment[p]; e < parts.first_segment[p + 1]; ++e) {
          Segment& segment = parts.segments[e];
          const int at = base + segment.offset;
          const Gathered out{&sample[at], &code[at], &geometry[4 * at]};
          int j = segment.j_begin;
          segment.n_pairs = gather<kTabulated, kFiltered>(segment.i, j, segment.j_end, INT_MAX, out);
          for (int k = 0; k < segment.n_pairs; ++k)
            zero += out.geometry[4 * k] == 0 && PairCode::in_regression(out.code[k]);
        }
      }
      sync->arrive_and_wait();
      // Adding: every pair of the batch, in order, to this worker's lanes.
      for (int p = first_part; p < end_part; ++p) {
        const int base = (p - first_part) * kPartPairs;
        for (int e = parts.first_segment[p]; e < parts.first_segment[p + 1]; ++e) {
          const Segment& segment = parts.segments[e];
          if (segment.n_pairs == 0) continue;
          const int at = base + segment.offset;
          RowPairs row;
          row.i = segment.i;
          row.perm = perm_.data();
          row.n = s_.n_;
          row.gathered = GatheredPairs{segment.n_pairs, &sample[at], &code[at], &geometry[4 * at]};
          for (const LaneGroup& g : own) add_pairs(path, row, g, false);
          if (pair_sums && w == 0) add_pair_sums(row.gathered, any_complete);
        }
      }
      if (w == 0) progress.advance(end_part - first_part);
      sync->arrive_and_wait();
    }
    zeros[static_cast<std::size_t>(w)] = zero;
  };
  run_together(n_workers, prepare, work);

  // Each worker's lanes back into the evaluation's scratch.
  const int last_class = s_.n_classes_ + 1, first_class = sum_all_pairs_ ? 0 : 1;
  for (int w = 1; w < n; ++w) {
    const MoranScratch& scratch = scratches[static_cast<std::size_t>(w - 1)];
    for (const LaneGroup& g : lanes[static_cast<std::size_t>(w)]) {
      const int first = static_cast<int>(g.class_sum - scratch.class_sum_.row(0));
      for (int k = first; k < first + g.n_lanes; ++k) {
        for (int c = first_class; c <= last_class; ++c) {
          w_.class_sum_(c, k) = scratch.class_sum_(c, k);
          if (g.count_used) w_.class_used_(c, k) = scratch.class_used_(c, k);
        }
        for (int r = 0; r < kRegressionSums; ++r) w_.regression_(r, k) = scratch.regression_(r, k);
      }
    }
  }
  at_zero = 0;
  for (long long zero : zeros) at_zero += zero;
}

}  // namespace kalveno
