// Runs the replicates of a randomization test. Their permutations are drawn
// one after the other from the one generator, in replicate order, so a run is
// the same whatever the number of cores; the statistics of the drawn
// replicates are then evaluated on every core, each worker with scratch
// storage of its own, and reported back in replicate order.
#pragma once
#include <functional>

#include "base/allocation.h"
#include "numeric/resample_summary.h"
#include "randomization/permutation.h"
#include "randomization/process_group.h"

namespace kalveno {

class Console;

// The most replicates a test may have: a count beyond it runs no test.
inline constexpr int kMostReplicates = 100000;

// Writes the permutation of the next replicate into perm, which keeps what
// the previous draw left. Called on the calling thread, for r = 1..n_rep.
using DrawPermutation = std::function<void(Permutation& perm)>;

// Computes replicate r from its permutation, using the scratch storage of
// worker (0..n_workers-1) only. Called on worker threads, in any order.
using EvaluateReplicate = std::function<void(int worker, int r, const Permutation& perm)>;

struct ReplicateSteps {
  DrawPermutation draw;
  EvaluateReplicate evaluate;
  // Called on the calling thread for r = 1..n_rep in order, once replicate r
  // has been evaluated (progress marks).
  std::function<void(int r)> done;
};

// Runs replicates 1..n_rep. When the user interrupts the run (Ctrl+C while
// a CatchInterruption is in place), no further replicate starts, and once
// the workers have stopped ReplicatesInterrupted says how many were done.
void run_replicates(const Allocator& allocator, int n_rep, int n_workers, Permutation& work,
                    const ReplicateSteps& steps);

struct ReplicatesInterrupted {
  int done;  // replicates evaluated and reported, 1..done
};

// Summarises every statistic (a, b) of observed's ranges against its
// replicate values replicates(1..n_rep, a, b) into stats(a, b), the observed
// value rounded to single precision. With only_finite, a replicate value
// that is not a finite number is none (a replicate that left a class
// without a pair): each summary is over the replicates that have a value,
// and its n_rep says how many. Each summary depends on its own values only,
// so they are shared out among n_workers threads.
void summarise_replicates(const Allocator& allocator, const RangedCube<float>& replicates, int n_rep,
                          const RangedMatrix<double>& observed, RangedMatrix<ResampleSummary>& stats, int n_workers,
                          bool only_finite = false);

// One randomization series, as both tested analyses run it: n_rep
// replicates drawn into work by draw and those of this process's range
// evaluated by evaluate (which stores the statistics of replicate r in slice
// r of replicates), a progress mark on console after each; then, on the
// first process, once group has gathered every value, each statistic
// summarised against observed into stats (only_finite as for
// summarise_replicates). The same whatever n_workers and however many
// processes share the replicates. A stop signal in any process ends the
// share of every one (ReplicatesInterrupted, with the replicates done in
// all of them).
void run_series(Console& console, ProcessGroup& group, const Allocator& allocator, int n_rep, int n_workers,
                Permutation& work, const DrawPermutation& draw, const EvaluateReplicate& evaluate,
                RangedCube<float>& replicates, const RangedMatrix<double>& observed,
                RangedMatrix<ResampleSummary>& stats, bool only_finite = false);

// The progress rule of every replicate loop: after replicate r of n_rep,
// print " r" when r is a multiple of (n_rep + 1) / 10, or when r is at most
// that and a multiple of (n_rep + 1) / 100. A divisor of 0 prints nothing,
// and so does a console whose progress marks are off.
void show_progress(Console& console, int r, int n_rep);

}  // namespace kalveno
