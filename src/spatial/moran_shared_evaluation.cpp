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
#include <vector>

#include "base/parallel.h"
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
    throw AllocationFailure{allocation_message::kPairBatches, {}};
  parts.n_parts = static_cast<int>((pairs + kPartPairs - 1) / kPartPairs);
  const int n_segments = static_cast<int>(std::max(0LL, static_cast<long long>(n) - 1 + parts.n_parts));
  parts.segments = allocator.vector_of<Segment>(0, n_segments - 1, allocation_message::kPairBatches);
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

// The geometry of the parts being gathered: a slot of room pairs for each
// of a few parts, part p in slot p % n_slots.
struct GatheredSlots {
  int n_slots = 0, room = 0;
  RangedVector<int> sample, code;
  RangedVector<double> distance, log_distance;

  int base(int p) const { return p % n_slots * room; }
};

GatheredSlots make_slots(const Allocator& allocator, int n, int n_parts) {
  // A few small parts take a slot each, as large as they need.
  const long long pairs = static_cast<long long>(n) * (n - 1) / 2;
  GatheredSlots slots;
  slots.room = static_cast<int>(std::clamp<long long>(pairs, 1, kPartPairs));
  slots.n_slots = std::clamp(n_parts, 1, kSlots);
  const int last = slots.n_slots * slots.room - 1;
  slots.sample = allocator.int_vector(0, last);
  slots.code = allocator.int_vector(0, last);
  slots.distance = allocator.double_vector(0, last);
  slots.log_distance = allocator.double_vector(0, last);
  return slots;
}

// Units of the lanes one pass of the pair loop takes (two vectors), which
// cost no more a pair than in the serial loop; whole cache lines of each
// row of sums, so that two units taken at once write lines of their own.
std::vector<LaneGroup> lane_units(VectorPath path, const LaneGroup (&groups)[2]) {
  const int width = path == VectorPath::kAvx512 ? 16 : 8;
  std::vector<LaneGroup> units;
  for (const LaneGroup& g : groups)
    for (int lane = 0; lane < g.n_lanes; lane += width)
      units.push_back(g.lanes(lane, std::min(width, g.n_lanes - lane)));
  return units;
}

// A task of the pass: gathering part, or adding it to unit.
struct PassTask {
  int part = 0;
  int unit = -1;          // -1: gathering
  long long at_zero = 0;  // gathered pairs at distance 0 in the regression
};

// Which task comes next, for the workers of the pass: the unit task of the
// oldest part first, which frees a slot soonest, else the gathering of the
// next part while a slot is free. A unit takes the parts one after the
// other, so that its lanes see the pairs in their order.
class PassBoard {
 public:
  using Task = PassTask;

  PassBoard(int n_parts, int n_slots, int n_units, Progress& progress)
      : n_parts_(n_parts),
        n_slots_(n_slots),
        progress_(progress),
        gathered_(static_cast<std::size_t>(n_slots), 0),
        unit_next_(static_cast<std::size_t>(n_units), 0),
        unit_busy_(static_cast<std::size_t>(n_units), 0) {}

  long long at_zero() const { return at_zero_; }

  Turn next(int, Task& task) {
    int oldest = n_parts_, unit = -1;
    for (int p : unit_next_) oldest = std::min(oldest, p);
    if (oldest == n_parts_) return Turn::kDone;
    for (std::size_t u = 0; u < unit_next_.size(); ++u) {
      const int p = unit_next_[u];
      const bool ready = !unit_busy_[u] && p < next_to_gather_ && gathered_[static_cast<std::size_t>(p % n_slots_)];
      if (ready && (unit < 0 || p < unit_next_[static_cast<std::size_t>(unit)])) unit = static_cast<int>(u);
    }
    if (unit >= 0) {
      unit_busy_[static_cast<std::size_t>(unit)] = 1;
      task = {unit_next_[static_cast<std::size_t>(unit)], unit, 0};
      return Turn::kRun;
    }
    if (next_to_gather_ == n_parts_ || next_to_gather_ >= oldest + n_slots_) return Turn::kWait;
    task = {next_to_gather_++, -1, 0};
    return Turn::kRun;
  }

  void finish(int, const Task& task) {
    if (task.unit < 0) {
      gathered_[static_cast<std::size_t>(task.part % n_slots_)] = 1;
      at_zero_ += task.at_zero;
      return;
    }
    unit_busy_[static_cast<std::size_t>(task.unit)] = 0;
    ++unit_next_[static_cast<std::size_t>(task.unit)];
    // The last unit to take a part frees its slot.
    for (int p : unit_next_)
      if (p <= task.part) return;
    gathered_[static_cast<std::size_t>(task.part % n_slots_)] = 0;
    progress_.advance(1);
  }

 private:
  const int n_parts_, n_slots_;
  Progress& progress_;
  int next_to_gather_ = 0;       // parts 0..next_to_gather_-1 are gathered or being gathered
  std::vector<char> gathered_;   // [slot]: the part of the slot is gathered
  std::vector<int> unit_next_;   // [unit]: the next part the unit takes
  std::vector<char> unit_busy_;  // [unit]
  long long at_zero_ = 0;
};

}  // namespace shared_pass

using shared_pass::cut_into_parts;
using shared_pass::GatheredSlots;
using shared_pass::lane_units;
using shared_pass::make_slots;
using shared_pass::PairParts;
using shared_pass::PassBoard;
using shared_pass::PassTask;
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
  const LaneGroup groups[2] = {lane_group(true, w_), lane_group(false, w_)};
  const std::vector<LaneGroup> units = lane_units(path, groups);
  // Without a distance lane the pair counts and distance sums are a unit of
  // their own, also in the order of the pairs.
  bool any_complete = false;
  for (int k = 0; k < s_.n_lanes_; ++k) any_complete = any_complete || (s_.complete_[k] && s_.lane_variable_[k] != 0);
  const bool pair_sums = s_.distance_lane_ < 0;
  const int n_units = static_cast<int>(units.size()) + (pair_sums ? 1 : 0);
  GatheredSlots slots = make_slots(allocator, s_.n_, parts.n_parts);

  auto gather_part = [&](int p) {
    long long zero = 0;
    for (int e = parts.first_segment[p]; e < parts.first_segment[p + 1]; ++e) {
      Segment& segment = parts.segments[e];
      const int at = slots.base(p) + segment.offset;
      const Gathered out{&slots.sample[at], &slots.code[at], &slots.distance[at], &slots.log_distance[at]};
      int j = segment.j_begin;
      segment.n_pairs = gather<kTabulated, kFiltered>(segment.i, j, segment.j_end, INT_MAX, out);
      for (int k = 0; k < segment.n_pairs; ++k) zero += (out.distance[k] == 0) & PairCode::in_regression(out.code[k]);
    }
    return zero;
  };
  auto add_part = [&](int p, int unit) {
    for (int e = parts.first_segment[p]; e < parts.first_segment[p + 1]; ++e) {
      const Segment& segment = parts.segments[e];
      if (segment.n_pairs == 0) continue;
      const int at = slots.base(p) + segment.offset;
      RowPairs row;
      row.i = segment.i;
      row.perm = perm_.data();
      row.n = s_.n_;
      row.gathered = GatheredPairs{segment.n_pairs, &slots.sample[at], &slots.code[at], &slots.distance[at],
                                   &slots.log_distance[at]};
      if (unit < static_cast<int>(units.size()))
        add_pairs(path, row, units[static_cast<std::size_t>(unit)], false);
      else
        add_pair_sums(row.gathered, any_complete);
    }
  };

  PassBoard board(parts.n_parts, slots.n_slots, n_units, progress);
  run_board(n_workers, board, [&](int, PassTask& task) {
    if (task.unit < 0)
      task.at_zero = gather_part(task.part);
    else
      add_part(task.part, task.unit);
  });
  at_zero = board.at_zero();
}

}  // namespace kalveno
