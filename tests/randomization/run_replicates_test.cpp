// The replicate runner hands drawn permutations to the workers as they come:
// each replicate must still see its own draw, be reported in order on the
// calling thread, and a failure must reach the caller.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "base/allocation.h"
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

}  // namespace
}  // namespace kalveno
