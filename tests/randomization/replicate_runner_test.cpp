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
  std::atomic<int> started{0};
  try {
    parallel_for(1000, 4, [&](int, int item) {
      ++started;
      if (item == 10) throw AllocationFailure{"\nallocation failure in ivector()", {}};
    });
    ADD_FAILURE() << "no exception";
  } catch (const AllocationFailure& failure) {
    EXPECT_EQ(failure.message, "\nallocation failure in ivector()");
  }
  EXPECT_LT(started.load(), 1000);  // no item is handed out after the failure
}

}  // namespace
}  // namespace kalveno
