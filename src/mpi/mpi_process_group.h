// The ranks of an MPI job as the processes of one run. Each exchange is one
// collective call over every rank, always of the same size: each rank's
// record (its status, a value, a stop signal, a digest and its build)
// gathered to all; then, for a gather, each rank's blocks sent to rank 0.
// A rank that failed says so at its last exchange, which meets the others'
// next one, whichever it is: then every rank ends with the same status,
// rank 0 names the rank that failed, and the files rank 0 was holding are
// never written. Ranks given other options or data, or running another
// build, are found at the first exchanges and end the run there.
#pragma once
#include <cstdint>
#include <optional>
#include <sstream>
#include <type_traits>
#include <vector>

#include "mpi/stop_relay.h"
#include "randomization/process_group.h"

namespace kalveno {

// What a rank says at each exchange, sent as its bytes.
struct RankRecord {
  std::int32_t status = 0;       // 0 while it runs; else the status it ends with
  std::int32_t value = 0;        // the seed, or the items its share has done
  std::int32_t stop_signal = 0;  // a stop signal that came to it or that it heard of
  std::int32_t unused = 0;       // so that the digest needs no padding
  std::uint64_t digest = 0;      // of its options, or of its data
  char build[32] = {};           // the identifier of its build, "1.0+..."
};
// No padding, whose bytes would be sent too.
static_assert(std::has_unique_object_representations_v<RankRecord>);

class MpiProcessGroup : public ProcessGroup {
 public:
  // held_console: what the console of a rank other than 0 printed since the
  // last exchange, which rank 0 shows when that rank fails while rank 0 runs
  // on; nullptr on rank 0, whose console is the terminal's. relay_stops:
  // whether a thread of this rank may exchange stop notices (every rank
  // says the same).
  MpiProcessGroup(int rank, int size, std::ostringstream* held_console, bool relay_stops);

  void check() override;
  void check_alike(Alike what, std::uint64_t digest) override;
  std::int32_t first_process_seed(std::int32_t seed) override;
  void finish_share(int done, bool interrupted) override;
  void gather(const std::function<std::vector<Block>(int rank)>& blocks_of) override;
  bool ended_by_another() const override { return ended_by_another_; }
  int end(int status) override;
  // The last step of every rank once its run has ended: no stop notice is
  // left on its way.
  void close();

 private:
  // Every rank's record, by rank. When a rank has failed, reports it and
  // remembers the status of the run.
  std::vector<RankRecord> exchange(RankRecord mine);
  void report_failure(const std::vector<RankRecord>& all);
  // The run's end when a rank differs from rank 0 in what check_alike compares.
  void refuse_difference(const std::vector<RankRecord>& all, Alike what);

  std::ostringstream* held_console_;
  std::optional<StopRelay> relay_;
  bool ended_ = false;  // an exchange has seen a failure: no exchange follows
  bool ended_by_another_ = false;
  int run_status_ = 0;
};

}  // namespace kalveno
