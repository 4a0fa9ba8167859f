// Work shared out among threads: the parallel loop over independent items,
// and the task board, which runs tasks in an order of its own choosing for
// work whose steps wait on one another (the replicates of a randomization
// test, the observed pass of Moran's I). Both are failure-safe: the first
// exception of any worker stops the hand-out of work, and once every worker
// has stopped it is thrown again on the calling thread. The calling thread is
// always worker 0.
#pragma once
#include <condition_variable>
#include <functional>
#include <mutex>

namespace kalveno {

// The most worker threads a run may ask for (--threads, KALVENO_THREADS).
inline constexpr int kMostWorkers = 1024;

// Runs work(worker) on up to n_workers threads, the calling one as worker 0,
// and returns once all have returned; fewer run where the system gives no
// more threads. When work throws on some worker, stop() is called (from that
// worker's thread) so that the others end soon, and the first exception is
// thrown again once every worker is done. stop must not throw.
void run_on_workers(int n_workers, const std::function<void(int worker)>& work, const std::function<void()>& stop);

// Runs body(worker, item) for item = 0..n_items-1 on up to n_workers threads,
// the calling one included; worker (0..n_workers-1) names the storage that
// call may use. When a call throws, no further item starts and the first
// exception is thrown again on the calling thread once every worker is done.
void parallel_for(int n_items, int n_workers, const std::function<void(int worker, int item)>& body);

// What a task board tells a worker that asks for its next task.
enum class Turn {
  kRun,   // run the task the board filled in
  kWait,  // nothing for this worker now: ask again once some task has finished
  kDone,  // nothing more for this worker: it leaves
};

// Runs the tasks of board on up to n_workers threads, the calling one as
// worker 0. Board provides a type Task and, both called under one lock, so
// one at a time:
//   Turn next(int worker, Task& task)  the next task of worker, filled in;
//   void finish(int worker, const Task& task)  the task has run.
// run(worker, task) runs the task outside the lock and may leave in task
// what finish needs. The board decides the order of the tasks, and may hold
// one back until others have finished: a worker told to wait asks again once
// some task has finished or some worker has left, so the board must never
// leave every worker waiting. When next, run or finish throws, no task starts
// any more, and once the running ones are done the first exception is thrown
// again on the calling thread.
template <class Board, class Run>
void run_board(int n_workers, Board& board, const Run& run) {
  std::mutex lock;
  std::condition_variable changed;
  bool stopped = false;  // a worker failed: no task starts any more
  auto work = [&](int worker) {
    typename Board::Task task{};
    std::unique_lock<std::mutex> held(lock);
    while (!stopped) {
      const Turn turn = board.next(worker, task);
      if (turn == Turn::kDone) break;
      if (turn == Turn::kWait) {
        changed.wait(held);
        continue;
      }
      held.unlock();
      run(worker, task);
      held.lock();
      board.finish(worker, task);
      changed.notify_all();
    }
    // The workers still waiting may have waited for this one to leave.
    changed.notify_all();
  };
  auto stop = [&] {
    std::lock_guard<std::mutex> hold(lock);
    stopped = true;
    changed.notify_all();
  };
  run_on_workers(n_workers, work, stop);
}

}  // namespace kalveno
