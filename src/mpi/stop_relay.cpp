#include "mpi/stop_relay.h"

#include <chrono>
#include <csignal>

#include "base/interruption.h"

namespace kalveno {

namespace {

constexpr int kNoticeTag = 0;
// How often the thread looks: a stop reaches every rank well within a second.
constexpr std::chrono::milliseconds kLookEvery{10};

}  // namespace

void take_stop_signal(int signal_number) {
  struct sigaction current = {};
  if (sigaction(signal_number, nullptr, &current) != 0) return;
  if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler == SIG_DFL || current.sa_handler == SIG_IGN) return;
  // A call of the handler itself, not a signal: nothing can end the rank
  // if the handler is given back its default between the look and the call.
  current.sa_handler(signal_number);
}

StopRelay::StopRelay(int rank, int size)
    : rank_(rank), size_(size), heard_from_(static_cast<std::size_t>(size), 0) {
  MPI_Comm_dup(MPI_COMM_WORLD, &notices_);
  post_receive();
  thread_ = std::thread([this] { watch(); });
}

StopRelay::~StopRelay() {
  quit_ = true;
  if (thread_.joinable()) thread_.join();
}

void StopRelay::post_receive() {
  MPI_Irecv(&incoming_, 1, MPI_INT, MPI_ANY_SOURCE, kNoticeTag, notices_, &receiving_);
}

void StopRelay::watch() {
  while (!quit_.load()) {
    relay_once();
    std::this_thread::sleep_for(kLookEvery);
  }
}

void StopRelay::relay_once() {
  // A signal that came here first; one this rank only heard of is told by
  // the rank it came to.
  const int own = interruption_signal();
  if (own != 0 && !announced_ && own != heard()) announce(own);
  int arrived = 0;
  MPI_Status status;
  MPI_Test(&receiving_, &arrived, &status);
  if (arrived) {
    heard_from_[static_cast<std::size_t>(status.MPI_SOURCE)] = 1;
    int none = 0;
    heard_.compare_exchange_strong(none, incoming_);
    post_receive();
  }
  // Again at every look: a test that starts clears the flag, and a stop
  // heard of before it must stop it too.
  if (const int signal_number = heard()) take_stop_signal(signal_number);
}

void StopRelay::announce(int signal_number) {
  outgoing_ = signal_number;
  for (int r = 0; r < size_; ++r) {
    if (r == rank_) continue;
    sending_.emplace_back();
    MPI_Isend(&outgoing_, 1, MPI_INT, r, kNoticeTag, notices_, &sending_.back());
  }
  announced_ = true;
}

void StopRelay::close() {
  quit_ = true;
  thread_.join();
  // A rank that told of a stop sent one notice to every other rank.
  const int told = announced_ ? 1 : 0;
  std::vector<int> tellers(static_cast<std::size_t>(size_));
  MPI_Allgather(&told, 1, MPI_INT, tellers.data(), 1, MPI_INT, notices_);
  MPI_Cancel(&receiving_);
  MPI_Status status;
  MPI_Wait(&receiving_, &status);
  int cancelled = 0;
  MPI_Test_cancelled(&status, &cancelled);
  if (!cancelled) heard_from_[static_cast<std::size_t>(status.MPI_SOURCE)] = 1;
  for (int r = 0; r < size_; ++r) {
    if (r != rank_ && tellers[static_cast<std::size_t>(r)] && !heard_from_[static_cast<std::size_t>(r)])
      MPI_Recv(&incoming_, 1, MPI_INT, r, kNoticeTag, notices_, MPI_STATUS_IGNORE);
  }
  MPI_Waitall(static_cast<int>(sending_.size()), sending_.data(), MPI_STATUSES_IGNORE);
  MPI_Comm_free(&notices_);
}

}  // namespace kalveno
