#include "randomization/replicate_runner.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "base/console.h"

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

void run_replicates(const Allocator& allocator, int n_rep, int n_workers, Permutation& work,
                    const ReplicateSteps& steps) {
  if (n_rep <= 0) return;
  const int n_samples = work.hi();
  // Replicates travel in batches: small enough that progress marks keep
  // coming and the drawn permutations take at most 16 MB, large enough that
  // every worker has several replicates to take.
  const long long permutation_bytes = 4LL * (n_samples + 1);
  int batch = std::clamp((n_rep + 1) / 100, std::min(4 * n_workers, 256), 256);
  batch = static_cast<int>(std::clamp<long long>((16LL << 20) / permutation_bytes, 1, batch));
  batch = std::min(batch, n_rep);
  RangedMatrix<int> drawn = allocator.int_matrix(1, batch, 0, n_samples);
  std::vector<Permutation> perms;  // one per worker
  for (int w = 0; w < std::min(n_workers, batch); ++w) perms.push_back(allocator.int_vector(0, n_samples));

  for (int first = 1; first <= n_rep; first += batch) {
    const int count = std::min(batch, n_rep - first + 1);
    for (int b = 1; b <= count; ++b) {
      steps.draw(work);
      std::copy(work.data(), work.data() + n_samples + 1, drawn.row(b));
    }
    parallel_for(count, n_workers, [&](int worker, int item) {
      Permutation& perm = perms[static_cast<std::size_t>(worker)];
      std::copy(drawn.row(item + 1), drawn.row(item + 1) + n_samples + 1, perm.data());
      steps.evaluate(worker, first + item, perm);
    });
    for (int b = 1; b <= count; ++b) steps.done(first + b - 1);
  }
}

void run_series(Console& console, const Allocator& allocator, int n_rep, int n_workers, Permutation& work,
                const DrawPermutation& draw, const EvaluateReplicate& evaluate,
                const RangedCube<float>& replicates, const RangedMatrix<double>& observed,
                RangedMatrix<ResampleSummary>& stats) {
  ReplicateSteps steps;
  steps.draw = draw;
  steps.evaluate = evaluate;
  steps.done = [&](int r) { show_progress(console, r, n_rep); };
  run_replicates(allocator, n_rep, n_workers, work, steps);
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
