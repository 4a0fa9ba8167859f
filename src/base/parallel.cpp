#include "base/parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace kalveno {

void run_on_workers(int n_workers, const std::function<void(int worker)>& work, const std::function<void()>& stop) {
  std::mutex failure_lock;
  std::exception_ptr failure;
  // An exception must not leave a thread: the first one stops the others and
  // is thrown again once every worker has returned.
  auto guarded = [&](int worker) {
    try {
      work(worker);
    } catch (...) {
      {
        std::lock_guard<std::mutex> hold(failure_lock);
        if (!failure) failure = std::current_exception();
      }
      stop();
    }
  };
  std::vector<std::thread> threads;
  // Reserved ahead: a thread must never be left running by a failure to grow the list.
  threads.reserve(static_cast<std::size_t>(std::max(0, n_workers - 1)));
  for (int w = 1; w < n_workers; ++w) {
    try {
      threads.emplace_back(guarded, w);
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the running workers share the work
    }
  }
  guarded(0);
  for (std::thread& thread : threads) thread.join();
  if (failure) std::rethrow_exception(failure);
}

void parallel_for(int n_items, int n_workers, const std::function<void(int worker, int item)>& body) {
  std::atomic<int> next{0};
  auto take_items = [&](int worker) {
    for (int item = next++; item < n_items; item = next++) body(worker, item);
  };
  run_on_workers(std::min(n_workers, n_items), take_items, [&] { next = n_items; });
}

}  // namespace kalveno
