// One evaluation of Moran's I shared out among workers, for the observed
// placement, which is evaluated once where the replicates are many.
//
// The pairs are cut, in their order, into parts. Gathering the geometry of a
// part (distance, logarithm, class: the costly part of a pair without the
// pair table) is a task any worker may take, a few parts ahead. Adding a
// gathered part to a unit of variable lanes is a task too, which any worker
// may take once the part is gathered and the unit has taken the part before.
// Every lane thus sees every pair in the order of the serial evaluation, and
// its sums come out the same to the bit whatever the number of workers or
// the order in which they take their tasks. No worker waits on another but
// for want of a task, so one held up by other work on the machine delays the
// rest little.
#include <algorithm>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "randomization/replicate_runner.h"
#include "spatial/moran_evaluation.h"

namespace kalveno {

// Named, not anonymous: the evaluation's member templates hold these.
namespace shared_pass {

// Pairs of a part: a few hundred kilobytes of gathered geometry, which stays
// in the caches from one task to the next.
constexpr int kPartPairs = 16384;
// Parts gathered ahead of the slowest unit of lanes.
constexpr int kSlots = 4;

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

// Which task comes next. Guarded by lock.
struct TaskBoard {
  std::mutex lock;
  std::condition_variable changed;
  int next_to_gather = 0;        // parts 0..next_to_gather-1 are gathered or being gathered
  std::vector<char> gathered;    // [slot]: the part of the slot is gathered
  std::vector<int> unit_next;    // [unit]: the next part the unit takes
  std::vector<char> unit_busy;   // [unit]
  long long at_zero = 0;
};

}  // namespace shared_pass

using shared_pass::cut_into_parts;
using shared_pass::kPartPairs;
using shared_pass::kSlots;
using shared_pass::lanes_of;
using shared_pass::PairParts;
using shared_pass::Segment;
using shared_pass::TaskBoard;

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
  // Units of the lanes one pass of the pair loop takes (two vectors), which
  // cost no more a pair than in the serial loop; whole cache lines of each
  // row of sums, so that two units taken at once write lines of their own.
  const int width = path == VectorPath::kAvx512 ? 16 : 8;
  std::vector<LaneGroup> units;
  const LaneGroup groups[2] = {lane_group(true, w_), lane_group(false, w_)};
  for (const LaneGroup& g : groups)
    for (int lane = 0; lane < g.n_lanes; lane += width)
      units.push_back(lanes_of(g, lane, std::min(width, g.n_lanes - lane)));
  // Without a distance lane the pair counts and distance sums are a unit of
  // their own, also in the order of the pairs.
  bool any_complete = false;
  for (int k = 0; k < s_.n_lanes_; ++k) any_complete = any_complete || (s_.complete_[k] && s_.lane_variable_[k] != 0);
  const bool pair_sums = s_.distance_lane_ < 0;
  const int n_units = static_cast<int>(units.size()) + (pair_sums ? 1 : 0);

  // A few small parts take a slot each, as large as they need.
  const long long pairs = static_cast<long long>(s_.n_) * (s_.n_ - 1) / 2;
  const int room = static_cast<int>(std::clamp<long long>(pairs, 1, kPartPairs));
  const int slots = std::clamp(parts.n_parts, 1, kSlots);
  RangedVector<int> sample = allocator.int_vector(0, slots * room - 1);
  RangedVector<int> code = allocator.int_vector(0, slots * room - 1);
  RangedVector<double> distance = allocator.double_vector(0, slots * room - 1);
  RangedVector<double> log_distance = allocator.double_vector(0, slots * room - 1);
  TaskBoard board;
  board.gathered.assign(static_cast<std::size_t>(slots), 0);
  board.unit_next.assign(static_cast<std::size_t>(n_units), 0);
  board.unit_busy.assign(static_cast<std::size_t>(n_units), 0);

  auto gather_part = [&](int p) {
    const int base = p % slots * room;
    long long zero = 0;
    for (int e = parts.first_segment[p]; e < parts.first_segment[p + 1]; ++e) {
      Segment& segment = parts.segments[e];
      const int at = base + segment.offset;
      const Gathered out{&sample[at], &code[at], &distance[at], &log_distance[at]};
      int j = segment.j_begin;
      segment.n_pairs = gather<kTabulated, kFiltered>(segment.i, j, segment.j_end, INT_MAX, out);
      for (int k = 0; k < segment.n_pairs; ++k) zero += (out.distance[k] == 0) & PairCode::in_regression(out.code[k]);
    }
    return zero;
  };
  auto add_part = [&](int p, int unit) {
    const int base = p % slots * room;
    for (int e = parts.first_segment[p]; e < parts.first_segment[p + 1]; ++e) {
      const Segment& segment = parts.segments[e];
      if (segment.n_pairs == 0) continue;
      const int at = base + segment.offset;
      RowPairs row;
      row.i = segment.i;
      row.perm = perm_.data();
      row.n = s_.n_;
      row.gathered = GatheredPairs{segment.n_pairs, &sample[at], &code[at], &distance[at], &log_distance[at]};
      if (unit < static_cast<int>(units.size()))
        add_pairs(path, row, units[static_cast<std::size_t>(unit)], false);
      else
        add_pair_sums(row.gathered, any_complete);
    }
  };

  // Each worker takes tasks until every unit has taken every part: the
  // unit task of the oldest part first, which frees a slot soonest.
  auto work = [&](int, int) {
    std::unique_lock<std::mutex> held(board.lock);
    while (true) {
      int oldest = parts.n_parts, unit = -1;
      for (int u = 0; u < n_units; ++u) oldest = std::min(oldest, board.unit_next[static_cast<std::size_t>(u)]);
      if (oldest == parts.n_parts) break;
      for (int u = 0; u < n_units; ++u) {
        const int p = board.unit_next[static_cast<std::size_t>(u)];
        const bool ready = !board.unit_busy[static_cast<std::size_t>(u)] && p < board.next_to_gather &&
                           board.gathered[p % slots];
        if (ready && (unit < 0 || p < board.unit_next[static_cast<std::size_t>(unit)])) unit = u;
      }
      if (unit >= 0) {
        const int p = board.unit_next[static_cast<std::size_t>(unit)];
        board.unit_busy[static_cast<std::size_t>(unit)] = 1;
        held.unlock();
        add_part(p, unit);
        held.lock();
        board.unit_busy[static_cast<std::size_t>(unit)] = 0;
        ++board.unit_next[static_cast<std::size_t>(unit)];
        // The last unit to take a part frees its slot.
        bool freed = true;
        for (int u = 0; u < n_units; ++u) freed = freed && board.unit_next[static_cast<std::size_t>(u)] > p;
        if (freed) {
          board.gathered[p % slots] = 0;
          progress.advance(1);
        }
        board.changed.notify_all();
      } else if (board.next_to_gather < parts.n_parts && board.next_to_gather < oldest + slots) {
        const int p = board.next_to_gather++;
        held.unlock();
        const long long zero = gather_part(p);
        held.lock();
        board.gathered[p % slots] = 1;
        board.at_zero += zero;
        board.changed.notify_all();
      } else {
        board.changed.wait(held);
      }
    }
  };
  parallel_for(n_workers, n_workers, work);
  at_zero = board.at_zero;
}

}  // namespace kalveno
