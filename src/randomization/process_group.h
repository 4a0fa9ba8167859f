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
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "base/ranged_array.h"

namespace kalveno {

// Items (replicates, samples) first..last; empty when last < first.
struct ItemRange {
  int first = 1, last = 0;
};

// Bytes that a process computed in its copy of an array, at the same place
// in every process's copy.
struct Block {
  void* data;
  std::size_t bytes;
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

  // The items of 1..n_items that process rank takes: split into size()
  // contiguous ranges in rank order, the first n_items % size() of them one
  // item longer. Ranks beyond n_items get none.
  ItemRange share(int n_items, int rank) const;
  ItemRange share(int n_items) const { return share(n_items, rank_); }

  // Every process is still running; otherwise the run ends here
  // (ProgramEnd) with the status every process ends with.
  virtual void check() {}
  // After the check above, every process has the same digest of what: of
  // its options (kOptions, just after the command line is read; this also
  // compares the builds of the program), or of its data (kData, just after
  // they are loaded). Otherwise the run ends here, status 6, every process
  // alike, the first process having named the first that differs and in
  // what; nothing is written. The exchange is the same whatever the digest,
  // so that processes that differ still meet in it.
  enum class Alike { kOptions, kData };
  virtual void check_alike(Alike what, std::uint64_t digest) {
    (void)what;
    (void)digest;
  }
  // The seed the first process gives (every process passes its own), after
  // the check above.
  virtual std::int32_t first_process_seed(std::int32_t seed) { return seed; }
  // After the check above, brings the blocks that blocks_of(p) names, for
  // every other process p, from p into the same places of the first
  // process's arrays. Every process names the same blocks.
  virtual void gather(const std::function<std::vector<Block>(int rank)>& blocks_of) { (void)blocks_of; }
  // The values that each other process computed for its share of n_rep
  // replicates, replicates(first..last, ., .), into the first process's cube.
  void gather_replicates(RangedCube<float>& replicates, int n_rep);
  // The end of this process's share of a randomization test, done of its
  // items evaluated: every process comes here, stopped by a signal
  // (interrupted) or not. When a stop signal came to any process during the
  // test, every process throws ReplicatesInterrupted with the items done in
  // all of them, and the first process's interruption flag names a signal
  // that came; otherwise it returns. Alone, a process throws when it was
  // interrupted.
  virtual void finish_share(int done, bool interrupted);
  // Whether the run ended at an exchange because another process had ended
  // (with its status, not this process's own).
  virtual bool ended_by_another() const { return false; }
  // The last exchange of every process: its own status in, the status of
  // the run out.
  virtual int end(int status) { return status; }

 protected:
  ProcessGroup(int rank, int size) : rank_(rank), size_(size) {}

 private:
  int rank_ = 0, size_ = 1;
};

}  // namespace kalveno
