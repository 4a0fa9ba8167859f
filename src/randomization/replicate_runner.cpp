#include "randomization/replicate_runner.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "base/console.h"
#include "base/interruption.h"
#include "base/parallel.h"
#include "base/progress.h"

namespace kalveno {

void summarise_replicates(const Allocator& allocator, const RangedCube<float>& replicates, int n_rep,
                          const RangedMatrix<double>& observed, RangedMatrix<ResampleSummary>& stats, int n_workers,
                          bool only_finite) {
  const int first_row = observed.row_lo(), first_col = observed.col_lo();
  const int n_cols = observed.col_hi() - first_col + 1;
  const int n_stats = (observed.row_hi() - first_row + 1) * n_cols;
  n_workers = std::max(1, std::min(n_workers, n_stats));
  std::vector<RangedVector<float>> buffers;  // one per worker
  for (int w = 0; w < n_workers; ++w) buffers.push_back(allocator.float_vector(0, n_rep));
  parallel_for(n_stats, n_workers, [&](int worker, int item) {
    const int a = first_row + item / n_cols, b = first_col + item % n_cols;
    RangedVector<float>& buffer = buffers[static_cast<std::size_t>(worker)];
    int n_values = 0;
    for (int r = 1; r <= n_rep; ++r)
      if (!only_finite || std::isfinite(replicates(r, a, b))) buffer[++n_values] = replicates(r, a, b);
    compute_resample_stat(buffer, 1, n_values, stats(a, b), static_cast<float>(observed(a, b)));
  });
}

namespace {

// The steps of a replicate, in the order it takes them.
enum class ReplicateStep {
  kDraw,      // worker 0 draws the permutation into a free slot
  kCopy,      // a worker copies it out to its own permutation, freeing the slot
  kEvaluate,  // the same worker evaluates it
  kReport,    // worker 0 reports it, in replicate order
};

struct ReplicateTask {
  ReplicateStep step = ReplicateStep::kDraw;
  int r = 0;
};

// The replicates of one run as they pass from the drawing thread to the
// workers and back: drawn permutations wait in a ring of slots, replicate r in
// slot (r - 1) % n_slots, until a worker copies it out; the slot is then free
// for the draw of r + n_slots. Worker 0, the calling thread, draws the
// permutations in replicate order, reports the evaluated replicates in order,
// and evaluates replicates itself when it has nothing else to do; the other
// workers evaluate replicates as they come, with no pause between one group
// of replicates and the next.
class ReplicateBoard {
 public:
  using Task = ReplicateTask;

  ReplicateBoard(int n_rep, int n_slots, int n_workers)
      : n_rep_(n_rep),
        n_slots_(n_slots),
        slot_busy_(static_cast<std::size_t>(n_slots), 0),
        evaluated_(static_cast<std::size_t>(n_rep) + 1, 0),
        copied_(static_cast<std::size_t>(n_workers), 0) {}

  int slot_of(int r) const { return (r - 1) % n_slots_; }
  bool interrupted() const { return interrupted_; }
  int reported() const { return n_reported_; }

  Turn next(int worker, Task& task) {
    // Worker 0 watches for Ctrl+C; once the user interrupts, no replicate starts.
    if (worker == 0 && interruption_requested()) interrupted_ = true;
    if (interrupted_) return Turn::kDone;
    int& copied = copied_[static_cast<std::size_t>(worker)];
    if (copied > 0) {
      task = {ReplicateStep::kEvaluate, copied};
      copied = 0;
      return Turn::kRun;
    }
    if (worker == 0) {
      if (n_reported_ == n_rep_) return Turn::kDone;
      // Draw into every free slot; the slot is no worker's while free.
      if (n_drawn_ < n_rep_ && !slot_busy_[static_cast<std::size_t>(slot_of(n_drawn_ + 1))]) {
        task = {ReplicateStep::kDraw, n_drawn_ + 1};
        return Turn::kRun;
      }
      if (evaluated_[static_cast<std::size_t>(n_reported_) + 1]) {
        task = {ReplicateStep::kReport, n_reported_ + 1};
        return Turn::kRun;
      }
    } else if (n_taken_ == n_rep_) {
      return Turn::kDone;
    }
    if (n_taken_ == n_drawn_) return Turn::kWait;
    task = {ReplicateStep::kCopy, ++n_taken_};
    return Turn::kRun;
  }

  void finish(int worker, const Task& task) {
    switch (task.step) {
      case ReplicateStep::kDraw:
        slot_busy_[static_cast<std::size_t>(slot_of(task.r))] = 1;
        n_drawn_ = task.r;
        break;
      case ReplicateStep::kCopy:
        slot_busy_[static_cast<std::size_t>(slot_of(task.r))] = 0;
        copied_[static_cast<std::size_t>(worker)] = task.r;
        break;
      case ReplicateStep::kEvaluate: evaluated_[static_cast<std::size_t>(task.r)] = 1; break;
      case ReplicateStep::kReport: n_reported_ = task.r; break;
    }
  }

 private:
  const int n_rep_, n_slots_;
  // Replicates 1..n_drawn_ are drawn, 1..n_taken_ handed out, 1..n_reported_ reported.
  int n_drawn_ = 0, n_taken_ = 0, n_reported_ = 0;
  std::vector<char> slot_busy_;  // [slot]: drawn and not yet copied out
  std::vector<char> evaluated_;  // [r]
  std::vector<int> copied_;      // [worker]: the replicate it copied out to evaluate next, or 0
  bool interrupted_ = false;
};

// Slots for drawn permutations: at most 16 MB of them, and at most 256
// replicates ahead of the last one reported.
int slot_count(int n_rep, int n_samples) {
  const long long permutation_bytes = 4LL * (n_samples + 1);
  const int n_slots = static_cast<int>(std::clamp<long long>((16LL << 20) / permutation_bytes, 1, 256));
  return std::min(n_slots, n_rep);
}

}  // namespace

void run_replicates(const Allocator& allocator, int n_rep, int n_workers, Permutation& work,
                    const ReplicateSteps& steps) {
  if (n_rep <= 0) return;
  const int n_samples = work.hi();
  const int n_slots = slot_count(n_rep, n_samples);
  RangedMatrix<int> drawn = allocator.int_matrix(0, n_slots - 1, 0, n_samples);
  n_workers = std::max(1, std::min(n_workers, n_rep));
  std::vector<Permutation> perms;  // one per worker
  for (int w = 0; w < n_workers; ++w) perms.push_back(allocator.int_vector(0, n_samples));
  ReplicateBoard board(n_rep, n_slots, n_workers);
  run_board(n_workers, board, [&](int worker, const ReplicateTask& task) {
    int* slot = drawn.row(board.slot_of(task.r));
    Permutation& perm = perms[static_cast<std::size_t>(worker)];
    switch (task.step) {
      case ReplicateStep::kDraw:
        steps.draw(work);
        std::copy(work.data(), work.data() + n_samples + 1, slot);
        break;
      case ReplicateStep::kCopy: std::copy(slot, slot + n_samples + 1, perm.data()); break;
      case ReplicateStep::kEvaluate: steps.evaluate(worker, task.r, perm); break;
      case ReplicateStep::kReport: steps.done(task.r); break;
    }
  });
  if (board.interrupted()) throw ReplicatesInterrupted{board.reported()};
}

void run_series(Console& console, ProcessGroup& group, const Allocator& allocator, int n_rep, int n_workers,
                Permutation& work, const DrawPermutation& draw, const EvaluateReplicate& evaluate,
                RangedCube<float>& replicates, const RangedMatrix<double>& observed,
                RangedMatrix<ResampleSummary>& stats, bool only_finite) {
  // Every process draws every replicate, in order: each draw goes on from
  // what the one before left, and the next series starts from where this
  // one leaves the generator. Only this process's range is evaluated.
  const ItemRange range = group.share(n_rep);
  const int before = range.first - 1;
  for (int r = 1; r <= before; ++r) draw(work);
  ReplicateSteps steps;
  steps.draw = draw;
  steps.evaluate = [&](int worker, int r, const Permutation& perm) { evaluate(worker, before + r, perm); };
  // Where the console is not on the terminal, its progress marks are not
  // seen there: the progress line shows the pace of this process's range.
  std::optional<Progress> progress;
  if (!console.out_is_terminal()) {
    progress.emplace(console);
    progress->begin("Randomizations", range.last - before);
  }
  steps.done = [&](int r) {
    show_progress(console, before + r, n_rep);
    if (progress) progress->advance(1);
  };
  // Every process ends its share in the group, stopped or not: a stop
  // signal that came to one stops them all.
  int done = range.last - before;
  bool interrupted = false;
  try {
    run_replicates(allocator, range.last - before, n_workers, work, steps);
  } catch (const ReplicatesInterrupted& stopped) {
    done = stopped.done;
    interrupted = true;
  }
  progress.reset();
  group.finish_share(done, interrupted);
  for (int r = range.last + 1; r <= n_rep; ++r) draw(work);
  group.gather_replicates(replicates, n_rep);
  if (!group.is_first()) return;
  // The other processes' replicates are done once their values are in.
  for (int r = range.last + 1; r <= n_rep; ++r) show_progress(console, r, n_rep);
  summarise_replicates(allocator, replicates, n_rep, observed, stats, n_workers, only_finite);
}

void show_progress(Console& console, int r, int n_rep) {
  if (!console.progress_marks()) return;
  const int tenth = (n_rep + 1) / 10, hundredth = (n_rep + 1) / 100;
  bool mark = (tenth > 0 && r % tenth == 0) || (hundredth > 0 && r <= tenth && r % hundredth == 0);
  if (mark) {
    console.print(" %i", r);
    console.flush();
  }
}

}  // namespace kalveno
