// The parallel loop under the replicate runner: an exception thrown by one
// item (an allocation failure) must reach the caller, not end the program
// from a worker thread.
#include "randomization/replicate_runner.h"

#include <gtest/gtest.h>

#include <atomic>

#include "base/allocation.h"

namespace kalveno {
namespace {

TEST(ParallelFor, ThrowsAWorkersExceptionOnTheCallingThreadOnceAllWorkersStop) {
  for (int workers : {1, 4}) {
    std::atomic<int> started{0};
    try {
      parallel_for(1000, workers, [&](int, int item) {
        ++started;
        if (item == 10) throw AllocationFailure{"\nallocation failure in ivector()", {}};
      });
      ADD_FAILURE() << "no exception with " << workers << " workers";
    } catch (const AllocationFailure& failure) {
      EXPECT_EQ(failure.message, "\nallocation failure in ivector()");
    }
    // One worker takes the items in order, so none is handed out after the
    // failure; with several, the others may finish what they already hold.
    if (workers == 1) {
      EXPECT_EQ(started.load(), 11);
    }
  }
}

}  // namespace
}  // namespace kalveno
