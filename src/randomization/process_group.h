// The processes one run is spread over. Every process reads the data and
// takes the same steps; the replicates of a series are split into
// contiguous ranges, one per process in process order, and the first
// process gathers their values, summarises them and writes the results.
// This class itself is a run in one process: it evaluates every replicate
// and exchanges nothing. kalveno-mpi puts message passing behind it.
//
// Every process makes the exchanges below at the same points of the run, in
// the same order. A process that fails makes one more, in end(); it meets
// the next exchange of the others, which then end the run too, every
// process with the same status.
#pragma once
#include <cstdint>

#include "base/ranged_array.h"

namespace kalveno {

// Replicates first..last; empty when last < first.
struct ReplicateRange {
  int first = 1, last = 0;
};

class ProcessGroup {
 public:
  ProcessGroup() = default;
  virtual ~ProcessGroup() = default;
  ProcessGroup(const ProcessGroup&) = delete;
  ProcessGroup& operator=(const ProcessGroup&) = delete;

  int rank() const { return rank_; }  // 0..size() - 1
  int size() const { return size_; }
  bool is_first() const { return rank_ == 0; }

  // The replicates of 1..n_rep that process rank evaluates: n_rep split into
  // size() contiguous ranges in rank order, the first n_rep % size() of them
  // one replicate longer. Ranks beyond n_rep get none.
  ReplicateRange replicate_range(int n_rep, int rank) const;
  ReplicateRange replicate_range(int n_rep) const { return replicate_range(n_rep, rank_); }

  // Every process is still running; otherwise the run ends here
  // (ProgramEnd) with the status every process ends with.
  virtual void check() {}
  // The seed the first process gives (every process passes its own), after
  // the check above.
  virtual std::int32_t first_process_seed(std::int32_t seed) { return seed; }
  // After the check above, brings the values that each other process
  // computed for its range, replicates(first..last, ., .), into the same
  // slices of the first process's cube.
  virtual void gather_replicates(RangedCube<float>& replicates, int n_rep) { (void)replicates, (void)n_rep; }
  // The last exchange of every process: its own status in, the status of
  // the run out.
  virtual int end(int status) { return status; }

 protected:
  ProcessGroup(int rank, int size) : rank_(rank), size_(size) {}

 private:
  int rank_ = 0, size_ = 1;
};

}  // namespace kalveno
