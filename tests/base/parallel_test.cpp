// The parallel loop and the task board: an exception thrown by one item or
// task (an allocation failure) must stop the others and reach the caller,
// not end the program from a worker thread nor leave a worker waiting for a
// task that never comes.
#include "base/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "base/allocation.h"

namespace kalveno {
namespace {

const AllocationFailure kFailure{"\nallocation failure in ivector()", {}};

TEST(ParallelFor, ThrowsAWorkersExceptionOnTheCallingThreadOnceAllWorkersStop) {
  for (int workers : {1, 4}) {
    std::atomic<int> started{0};
    try {
      parallel_for(1000, workers, [&](int, int item) {
        ++started;
        if (item == 10) throw kFailure;
      });
      ADD_FAILURE() << "no exception with " << workers << " workers";
    } catch (const AllocationFailure& failure) {
      EXPECT_EQ(failure.message, kFailure.message);
    }
    // One worker takes the items in order, so none is handed out after the
    // failure; with several, the others may finish what they already hold.
    if (workers == 1) {
      EXPECT_EQ(started.load(), 11);
    }
  }
}

// Tasks 0..n-1, each held back until the one before has finished: while one
// runs, every other worker waits.
struct ChainBoard {
  using Task = int;
  int n_tasks = 0, next_task = 0, finished = 0;
  Turn next(int, Task& task) {
    if (next_task == n_tasks) return Turn::kDone;
    if (finished < next_task) return Turn::kWait;
    task = next_task++;
    return Turn::kRun;
  }
  void finish(int, const Task&) { ++finished; }
};

TEST(TaskBoard, ATaskThatThrowsWhileTheOthersWaitStopsThemAndReachesTheCaller) {
  for (int workers : {1, 2, 5}) {
    ChainBoard board;
    board.n_tasks = 50;
    std::vector<int> ran;
    try {
      run_board(workers, board, [&](int, int task) {
        ran.push_back(task);
        if (task == 3) throw kFailure;
      });
      ADD_FAILURE() << "no exception with " << workers << " workers";
    } catch (const AllocationFailure& failure) {
      EXPECT_EQ(failure.message, kFailure.message);
    }
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3})) << workers << " workers";
  }
}

TEST(TaskBoard, RunsEveryTaskOnceInTheBoardsOrder) {
  for (int workers : {1, 2, 5}) {
    ChainBoard board;
    board.n_tasks = 200;
    std::vector<int> ran;
    run_board(workers, board, [&](int, int task) { ran.push_back(task); });
    ASSERT_EQ(ran.size(), 200u) << workers << " workers";
    for (int t = 0; t < 200; ++t) EXPECT_EQ(ran[static_cast<std::size_t>(t)], t);
  }
}

}  // namespace
}  // namespace kalveno
