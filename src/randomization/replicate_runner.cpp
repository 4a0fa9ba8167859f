#include "randomization/replicate_runner.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "base/console.h"
#include "base/interruption.h"
#include "base/progress.h"

namespace kalveno {

void parallel_for(int n_items, int n_workers, const std::function<void(int worker, int item)>& body) {
  std::atomic<int> next{0};
  std::mutex failure_lock;
  std::exception_ptr failure;
  // An exception must not leave a thread: the first one stops the hand-out
  // of items and is thrown again once every worker has stopped.
  auto worker_loop = [&](int worker) {
    for (int item = next++; item < n_items; item = next++) {
      try {
        body(worker, item);
      } catch (...) {
        std::lock_guard<std::mutex> hold(failure_lock);
        if (!failure) failure = std::current_exception();
        next = n_items;
        return;
      }
    }
  };
  std::vector<std::thread> threads;
  for (int w = 1; w < std::min(n_workers, n_items); ++w) {
    try {
      threads.emplace_back(worker_loop, w);
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the running workers share the items
    }
  }
  worker_loop(0);
  for (std::thread& thread : threads) thread.join();
  if (failure) std::rethrow_exception(failure);
}

void summarise_replicates(const Allocator& allocator, const RangedCube<float>& replicates, int n_rep,
                          const RangedMatrix<double>& observed, RangedMatrix<ResampleSummary>& stats, int n_workers) {
  const int first_row = observed.row_lo(), first_col = observed.col_lo();
  const int n_cols = observed.col_hi() - first_col + 1;
  const int n_stats = (observed.row_hi() - first_row + 1) * n_cols;
  n_workers = std::max(1, std::min(n_workers, n_stats));
  std::vector<RangedVector<float>> buffers;  // one per worker
  for (int w = 0; w < n_workers; ++w) buffers.push_back(allocator.float_vector(0, n_rep));
  parallel_for(n_stats, n_workers, [&](int worker, int item) {
    const int a = first_row + item / n_cols, b = first_col + item % n_cols;
    RangedVector<float>& buffer = buffers[static_cast<std::size_t>(worker)];
    for (int r = 1; r <= n_rep; ++r) buffer[r] = replicates(r, a, b);
    compute_resample_stat(buffer, 1, n_rep, stats(a, b), static_cast<float>(observed(a, b)));
  });
}

namespace {

// The replicates of one run as they pass from the drawing thread to the
// workers and back: drawn permutations wait in a ring of slots, replicate r in
// slot (r - 1) % n_slots, until a worker copies it out; the slot is then free
// for the draw of r + n_slots. Every field is guarded by lock.
struct ReplicateQueue {
  std::mutex lock;
  std::condition_variable changed;
  int n_slots = 0;
  int n_drawn = 0, n_taken = 0;   // replicates 1..n_drawn drawn, 1..n_taken handed out
  std::vector<char> slot_busy;    // [slot]: drawn and not yet copied out
  std::vector<char> evaluated;    // [r]
  bool stop = false;              // a step failed: hand nothing more out
  std::exception_ptr failure;

  void fail(std::exception_ptr error) {
    std::lock_guard<std::mutex> hold(lock);
    if (!failure) failure = error;
    stop = true;
    changed.notify_all();
  }
};

// Takes the next drawn replicate (false when none is waiting), copies it into
// perm, frees its slot and evaluates it as worker.
bool evaluate_next(ReplicateQueue& queue, const RangedMatrix<int>& drawn, Permutation& perm, int worker,
                   const ReplicateSteps& steps, std::unique_lock<std::mutex>& held) {
  if (queue.stop || queue.n_taken == queue.n_drawn) return false;
  const int r = ++queue.n_taken, slot = (r - 1) % queue.n_slots;
  held.unlock();
  std::copy(drawn.row(slot), drawn.row(slot) + perm.hi() + 1, perm.data());
  held.lock();
  queue.slot_busy[static_cast<std::size_t>(slot)] = 0;
  queue.changed.notify_all();
  held.unlock();
  steps.evaluate(worker, r, perm);
  held.lock();
  queue.evaluated[static_cast<std::size_t>(r)] = 1;
  queue.changed.notify_all();
  return true;
}

}  // namespace

// The calling thread draws the permutations in replicate order, reports the
// evaluated replicates in order, and evaluates replicates itself when it has
// nothing else to do; the other workers evaluate replicates as they come,
// with no pause between one group of replicates and the next.
void run_replicates(const Allocator& allocator, int n_rep, int n_workers, Permutation& work,
                    const ReplicateSteps& steps) {
  if (n_rep <= 0) return;
  const int n_samples = work.hi();
  // Drawn permutations take at most 16 MB and run at most 256 replicates
  // ahead of the last one reported.
  const long long permutation_bytes = 4LL * (n_samples + 1);
  int n_slots = static_cast<int>(std::clamp<long long>((16LL << 20) / permutation_bytes, 1, 256));
  n_slots = std::min(n_slots, n_rep);
  RangedMatrix<int> drawn = allocator.int_matrix(0, n_slots - 1, 0, n_samples);
  n_workers = std::max(1, std::min(n_workers, n_rep));
  std::vector<Permutation> perms;  // one per worker
  for (int w = 0; w < n_workers; ++w) perms.push_back(allocator.int_vector(0, n_samples));

  ReplicateQueue queue;
  queue.n_slots = n_slots;
  queue.slot_busy.assign(static_cast<std::size_t>(n_slots), 0);
  queue.evaluated.assign(static_cast<std::size_t>(n_rep) + 1, 0);
  auto worker_loop = [&](int worker) {
    std::unique_lock<std::mutex> held(queue.lock);
    while (!queue.stop && queue.n_taken < n_rep) {
      try {
        if (!evaluate_next(queue, drawn, perms[static_cast<std::size_t>(worker)], worker, steps, held))
          queue.changed.wait(held);
      } catch (...) {
        if (held.owns_lock()) held.unlock();
        queue.fail(std::current_exception());
        held.lock();
      }
    }
  };
  std::vector<std::thread> threads;
  for (int w = 1; w < n_workers; ++w) {
    try {
      threads.emplace_back(worker_loop, w);
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the running workers share the replicates
    }
  }

  int reported = 0;
  bool interrupted = false;
  try {
    std::unique_lock<std::mutex> held(queue.lock);
    while (!queue.stop && reported < n_rep) {
      if (interruption_requested()) {
        interrupted = queue.stop = true;
        queue.changed.notify_all();
        break;
      }
      // Draw into every free slot; the slot is no worker's while free.
      if (queue.n_drawn < n_rep && !queue.slot_busy[static_cast<std::size_t>(queue.n_drawn % n_slots)]) {
        const int slot = queue.n_drawn % n_slots;
        held.unlock();
        steps.draw(work);
        std::copy(work.data(), work.data() + n_samples + 1, drawn.row(slot));
        held.lock();
        queue.slot_busy[static_cast<std::size_t>(slot)] = 1;
        ++queue.n_drawn;
        queue.changed.notify_all();
        continue;
      }
      if (queue.evaluated[static_cast<std::size_t>(reported) + 1]) {
        held.unlock();
        steps.done(++reported);
        held.lock();
        continue;
      }
      if (!evaluate_next(queue, drawn, perms[0], 0, steps, held)) queue.changed.wait(held);
    }
  } catch (...) {
    queue.fail(std::current_exception());
  }
  for (std::thread& thread : threads) thread.join();
  if (queue.failure) std::rethrow_exception(queue.failure);
  if (interrupted) throw ReplicatesInterrupted{reported};
}

void run_series(Console& console, ProcessGroup& group, const Allocator& allocator, int n_rep, int n_workers,
                Permutation& work, const DrawPermutation& draw, const EvaluateReplicate& evaluate,
                RangedCube<float>& replicates, const RangedMatrix<double>& observed,
                RangedMatrix<ResampleSummary>& stats) {
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
  summarise_replicates(allocator, replicates, n_rep, observed, stats, n_workers);
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
