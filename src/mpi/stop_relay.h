// Stop signals across the ranks of a job. A signal that stops the
// randomizations (SIGINT, SIGTERM, SIGHUP) comes to one rank only, often
// not the first: the others would run their whole share before they met it
// at the end of the test. A thread of each rank looks every 10 ms for a stop
// signal that came to its rank and tells every other rank, and notes the
// stops it hears of as if the signal had come to its own rank, so that
// every rank stops its share within a replicate or two. Only this thread
// and the rank's last step (close) send or receive the notices, on a
// communicator of their own.
#pragma once
#include <mpi.h>

#include <atomic>
#include <thread>
#include <vector>

namespace kalveno {

// Takes a stop signal that came to another rank as if it had come to this
// one: the handler in place for it notes it (that of a CatchInterruption
// while the randomizations run). With none in place nothing is noted: the
// signal would have ended this rank at once.
void take_stop_signal(int signal_number);

class StopRelay {
 public:
  // Every rank makes it at the same point: it makes the communicator of
  // the notices.
  StopRelay(int rank, int size);
  // Stops the thread. Once the job is running, close() comes first; without
  // it (a job being aborted) nothing more is exchanged.
  ~StopRelay();
  StopRelay(const StopRelay&) = delete;
  StopRelay& operator=(const StopRelay&) = delete;

  // The first stop signal that another rank told of, or 0.
  int heard() const { return heard_.load(std::memory_order_relaxed); }

  // The last step of every rank, after its run: stops the thread and takes
  // in every notice still on its way, so that no message outlives the job.
  // One exchange over every rank.
  void close();

 private:
  void watch();
  void relay_once();
  void announce(int signal_number);
  void post_receive();

  int rank_, size_;
  MPI_Comm notices_ = MPI_COMM_NULL;
  std::atomic<bool> quit_{false};
  std::atomic<int> heard_{0};
  // Touched by the thread only, and by close() once it has stopped.
  bool announced_ = false;
  int outgoing_ = 0, incoming_ = 0;  // the signal told, the signal heard
  MPI_Request receiving_ = MPI_REQUEST_NULL;
  std::vector<MPI_Request> sending_;
  std::vector<char> heard_from_;  // [rank]: its notice is in
  std::thread thread_;
};

}  // namespace kalveno
