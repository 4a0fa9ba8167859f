// The ranks of an MPI job as the processes of one run. Each exchange is one
// collective call over every rank: the statuses (and a value) of all ranks
// gathered to all, then, for a gather, each rank's blocks sent to rank 0. A rank that failed says so at its last exchange, which meets the
// others' next one: then every rank ends with the same status, rank 0 names
// the rank that failed, and the files rank 0 was holding are never written.
#pragma once
#include <cstdint>
#include <sstream>
#include <vector>

#include "randomization/process_group.h"

namespace kalveno {

class MpiProcessGroup : public ProcessGroup {
 public:
  // held_console: what the console of a rank other than 0 printed since the
  // last exchange, which rank 0 shows when that rank fails while rank 0 runs
  // on; nullptr on rank 0, whose console is the terminal's.
  MpiProcessGroup(int rank, int size, std::ostringstream* held_console);

  void check() override;
  std::int32_t first_process_seed(std::int32_t seed) override;
  void gather(const std::function<std::vector<Block>(int rank)>& blocks_of) override;
  int end(int status) override;

 private:
  // Every rank's status and value, by rank (two entries a rank). When a rank
  // has failed, reports it and remembers the status of the run.
  std::vector<std::int32_t> exchange(int status, std::int32_t value);
  void report_failure(const std::vector<std::int32_t>& all);

  std::ostringstream* held_console_;
  bool ended_ = false;  // an exchange has seen a failure: no exchange follows
  int run_status_ = 0;
};

}  // namespace kalveno
