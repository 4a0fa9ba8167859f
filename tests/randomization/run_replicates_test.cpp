// The replicate runner hands drawn permutations to the workers as they come:
// each replicate must still see its own draw, be reported in order on the
// calling thread, and a failure must reach the caller. A series split over
// processes must give each replicate what one process gives it.
#include <gtest/gtest.h>

#include <sstream>
#include <thread>
#include <vector>

#include "base/allocation.h"
#include "base/console.h"
#include "randomization/replicate_runner.h"

namespace kalveno {
namespace {

TEST(RunReplicates, EachReplicateSeesItsOwnDrawAndIsReportedInOrder) {
  const int n_rep = 700;  // more than the slots that drawn permutations wait in
  for (int workers : {1, 2, 5}) {
    const std::thread::id caller = std::this_thread::get_id();
    Permutation work = Allocator().int_vector(0, 3);
    int draws = 0;
    std::vector<int> seen(n_rep + 1, 0), reported;
    ReplicateSteps steps;
    steps.draw = [&](Permutation& perm) {
      EXPECT_EQ(std::this_thread::get_id(), caller);
      perm[1] = ++draws;
    };
    steps.evaluate = [&](int, int r, const Permutation& perm) { seen[static_cast<std::size_t>(r)] = perm[1]; };
    steps.done = [&](int r) {
      EXPECT_EQ(std::this_thread::get_id(), caller);
      EXPECT_EQ(seen[static_cast<std::size_t>(r)], r);  // evaluated before it is reported
      reported.push_back(r);
    };
    run_replicates(Allocator(), n_rep, workers, work, steps);
    ASSERT_EQ(reported.size(), static_cast<std::size_t>(n_rep)) << workers << " workers";
    for (int r = 1; r <= n_rep; ++r) EXPECT_EQ(reported[static_cast<std::size_t>(r - 1)], r);
  }
}

TEST(RunReplicates, AWorkersFailureReachesTheCaller) {
  for (int workers : {1, 4}) {
    Permutation work = Allocator().int_vector(0, 3);
    ReplicateSteps steps;
    steps.draw = [](Permutation&) {};
    steps.evaluate = [](int, int r, const Permutation&) {
      if (r == 10) throw AllocationFailure{"\nallocation failure in ivector()", {}};
    };
    int reported = 0;
    steps.done = [&](int) { ++reported; };
    EXPECT_THROW(run_replicates(Allocator(), 500, workers, work, steps), AllocationFailure) << workers << " workers";
    EXPECT_LT(reported, 10);
  }
}

// Rank rank of size processes, in this one: its gather keeps nothing, so
// each rank's cube holds the replicates of its own range only.
class SimulatedRank : public ProcessGroup {
 public:
  SimulatedRank(int rank, int size) : ProcessGroup(rank, size) {}
};

// A series split over processes: every replicate is evaluated once, by the
// process whose range holds it, on the permutation one process would draw
// for it, and every process leaves the generator and the permutation where
// one process leaves them.
TEST(RunSeries, SplitOverProcessesEvaluatesEachReplicateOnceAsOneProcessWould) {
  const int n_samples = 6;
  for (int n_rep : {2, 10}) {
    for (int size : {1, 2, 3, 4}) {
      std::vector<int> evaluated_by(n_rep + 1, -1);
      std::vector<float> value(n_rep + 1, 0), alone(n_rep + 1, 0);
      Random after_alone;
      Permutation work_alone;
      for (int rank = -1; rank < size; ++rank) {  // -1: the whole series in one process
        std::istringstream no_answers;
        std::ostringstream screen;
        Console console(no_answers, screen);
        console.set_progress_marks(false);
        SimulatedRank group(rank < 0 ? 0 : rank, rank < 0 ? 1 : size);
        Random rng;
        rng.random_state = -5;
        Permutation work = identity_permutation(n_samples);
        RangedCube<float> replicates = Allocator().float_cube(0, n_rep, 1, 1, 1, 1);
        RangedMatrix<double> observed = Allocator().double_matrix(1, 1, 1, 1);
        RangedMatrix<ResampleSummary> stats = summary_matrix(Allocator(), 1, 1, 1, 1);
        auto draw = [&](Permutation& perm) { complete_permutation(n_samples, perm, rng); };
        auto evaluate = [&](int, int r, const Permutation& perm) {
          float code = 0;
          for (int s = 1; s <= n_samples; ++s) code = code * 10 + static_cast<float>(perm[s]);
          replicates(r, 1, 1) = code;
          if (rank >= 0) {
            EXPECT_EQ(evaluated_by[static_cast<std::size_t>(r)], -1) << "replicate " << r << " evaluated twice";
            evaluated_by[static_cast<std::size_t>(r)] = rank;
            value[static_cast<std::size_t>(r)] = code;
          } else {
            alone[static_cast<std::size_t>(r)] = code;
          }
        };
        run_series(console, group, Allocator(), n_rep, 2, work, draw, evaluate, replicates, observed, stats);
        if (rank < 0) {
          after_alone = rng;
          work_alone = work;
          continue;
        }
        Random next_alone = after_alone;
        EXPECT_EQ(uniform_deviate(rng), uniform_deviate(next_alone)) << size << " processes, rank " << rank;
        for (int s = 1; s <= n_samples; ++s) EXPECT_EQ(work[s], work_alone[s]);
      }
      for (int r = 1; r <= n_rep; ++r) {
        EXPECT_EQ(value[static_cast<std::size_t>(r)], alone[static_cast<std::size_t>(r)]) << "replicate " << r;
        // Contiguous ranges in rank order.
        if (r > 1) {
          EXPECT_LE(evaluated_by[static_cast<std::size_t>(r - 1)], evaluated_by[static_cast<std::size_t>(r)]);
        }
      }
      EXPECT_EQ(evaluated_by[1], 0);
    }
  }
}

}  // namespace
}  // namespace kalveno
