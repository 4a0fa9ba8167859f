#include "randomization/replicate_runner.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <vector>

#include "flow/console.h"
#include "numeric/allocation.h"

namespace kalveno {

int replicate_workers(Console& console) {
  if (const char* wanted = std::getenv("KALVENO_THREADS")) {
    char* end = nullptr;
    long value = std::strtol(wanted, &end, 10);
    if (end != wanted && *end == '\0' && value >= 1 && value <= 1024) return static_cast<int>(value);
    console.print("\nWarning: KALVENO_THREADS=\"%s\" is not a whole number from 1 to 1024; every core is used.",
                  wanted);
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

void run_replicates(int n_rep, int n_workers, Permutation& work, const ReplicateSteps& steps) {
  if (n_rep <= 0) return;
  const int n_samples = work.hi();
  // Replicates travel in batches: small enough that progress marks keep
  // coming and the drawn permutations take at most 16 MB, large enough that
  // every worker has several replicates to take.
  const long long permutation_bytes = 4LL * (n_samples + 1);
  // (std::clamp would need 4 * n_workers <= 256, which more than 64 workers break.)
  int batch = std::max(std::min((n_rep + 1) / 100, 256), 4 * n_workers);
  batch = static_cast<int>(std::clamp<long long>((16LL << 20) / permutation_bytes, 1, batch));
  batch = std::min(batch, n_rep);
  RangedMatrix<int> drawn = imatrix(1, batch, 0, n_samples);
  std::vector<Permutation> perms;  // one per worker
  for (int w = 0; w < std::min(n_workers, batch); ++w) perms.push_back(ivector(0, n_samples));

  for (int first = 1; first <= n_rep; first += batch) {
    const int count = std::min(batch, n_rep - first + 1);
    for (int b = 1; b <= count; ++b) {
      steps.draw(work);
      std::copy(work.data(), work.data() + n_samples + 1, drawn.row(b));
    }
    std::atomic<int> next{1};
    auto worker_loop = [&](int worker, Permutation& perm) {
      for (int b = next++; b <= count; b = next++) {
        std::copy(drawn.row(b), drawn.row(b) + n_samples + 1, perm.data());
        steps.evaluate(worker, first + b - 1, perm);
      }
    };
    const int workers = std::min(n_workers, count);
    std::vector<std::thread> threads;
    for (int w = 1; w < workers; ++w) {
      try {
        threads.emplace_back(worker_loop, w, std::ref(perms[static_cast<std::size_t>(w)]));
      } catch (const std::system_error&) {
        break;  // no more threads to be had: the running workers share the batch
      }
    }
    worker_loop(0, perms[0]);
    for (std::thread& thread : threads) thread.join();
    for (int b = 1; b <= count; ++b) steps.done(first + b - 1);
  }
}

void show_progress(Console& console, int r, int n_rep) {
  const int tenth = (n_rep + 1) / 10, hundredth = (n_rep + 1) / 100;
  bool mark = (tenth > 0 && r % tenth == 0) || (hundredth > 0 && r <= tenth && r % hundredth == 0);
  if (mark) {
    console.print(" %i", r);
    console.flush();
  }
}

}  // namespace kalveno
