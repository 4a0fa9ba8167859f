#include "mpi/mpi_process_group.h"

#include <mpi.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/program_end.h"

namespace kalveno {

namespace {

// MPI counts are ints: a long block goes in parts of at most this many bytes.
constexpr std::size_t kPartBytes = std::size_t{1} << 30;
constexpr int kBlockTag = 0;
// The end of a failed rank's console that rank 0 shows, and its tag.
constexpr std::size_t kShownConsoleBytes = 4000;
constexpr int kConsoleTag = 1;

}  // namespace

MpiProcessGroup::MpiProcessGroup(int rank, int size, std::ostringstream* held_console)
    : ProcessGroup(rank, size), held_console_(held_console) {}

std::vector<std::int32_t> MpiProcessGroup::exchange(int status, std::int32_t value) {
  const std::int32_t mine[2] = {status, value};
  std::vector<std::int32_t> all(2 * static_cast<std::size_t>(size()));
  MPI_Allgather(mine, 2, MPI_INT32_T, all.data(), 2, MPI_INT32_T, MPI_COMM_WORLD);
  // The run's status: rank 0's when it failed (it has said why on the
  // terminal), else that of the first rank that failed.
  run_status_ = 0;
  for (int r = 0; r < size() && run_status_ == 0; ++r) run_status_ = all[2 * static_cast<std::size_t>(r)];
  if (run_status_ == 0) {
    if (held_console_ != nullptr) held_console_->str("");
    return all;
  }
  ended_ = true;
  report_failure(all);
  return all;
}

// When rank 0 was still running, it names the first rank that failed, shows
// the end of what that rank's console printed since the last exchange, and
// says that nothing was written. When rank 0 failed too, its own console has
// said why. Only rank 0 prints, as only rank 0 exits with the status of the
// run (see kalveno-mpi's main).
void MpiProcessGroup::report_failure(const std::vector<std::int32_t>& all) {
  if (all[0] != 0) return;
  int failed = 0, first_failed = 0;
  for (int r = 1; r < size(); ++r) {
    if (all[2 * static_cast<std::size_t>(r)] == 0) continue;
    if (failed++ == 0) first_failed = r;
  }
  if (rank() == first_failed) {
    std::string said = held_console_ != nullptr ? held_console_->str() : std::string();
    if (said.size() > kShownConsoleBytes) said = "\n..." + said.substr(said.size() - kShownConsoleBytes);
    const int length = static_cast<int>(said.size());
    MPI_Send(&length, 1, MPI_INT, 0, kConsoleTag, MPI_COMM_WORLD);
    MPI_Send(said.data(), length, MPI_CHAR, 0, kConsoleTag, MPI_COMM_WORLD);
    return;
  }
  if (!is_first()) return;
  int length = 0;
  MPI_Recv(&length, 1, MPI_INT, first_failed, kConsoleTag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
  std::string said(static_cast<std::size_t>(length), '\0');
  MPI_Recv(said.data(), length, MPI_CHAR, first_failed, kConsoleTag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
  std::fprintf(stderr, "kalveno-mpi: rank %d of %d stopped (status %d):%s\n", first_failed, size(),
               all[2 * static_cast<std::size_t>(first_failed)], said.c_str());
  std::fprintf(stderr, "kalveno-mpi: rank %d of %d", first_failed, size());
  if (failed > 1) std::fprintf(stderr, " and %d other rank%s", failed - 1, failed > 2 ? "s" : "");
  std::fprintf(stderr, " stopped the run (status %d); no file was written.\n", run_status_);
  std::fflush(stderr);
}

void MpiProcessGroup::check() {
  exchange(0, 0);
  if (ended_) end_program(run_status_);
}

std::int32_t MpiProcessGroup::first_process_seed(std::int32_t seed) {
  const std::vector<std::int32_t> all = exchange(0, seed);
  if (ended_) end_program(run_status_);
  return all[1];
}

void MpiProcessGroup::gather(const std::function<std::vector<Block>(int rank)>& blocks_of) {
  check();
  // Each block in order, in parts that an MPI count can hold.
  auto transfer = [&](int rank) {
    for (const Block& block : blocks_of(rank)) {
      char* bytes = static_cast<char*>(block.data);
      for (std::size_t left = block.bytes; left > 0;) {
        const int part = static_cast<int>(std::min(left, kPartBytes));
        if (is_first())
          MPI_Recv(bytes, part, MPI_BYTE, rank, kBlockTag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
        else
          MPI_Send(bytes, part, MPI_BYTE, 0, kBlockTag, MPI_COMM_WORLD);
        bytes += part;
        left -= static_cast<std::size_t>(part);
      }
    }
  };
  if (is_first()) {
    for (int r = 1; r < size(); ++r) transfer(r);
  } else {
    transfer(rank());
  }
}

int MpiProcessGroup::end(int status) {
  if (!ended_) exchange(status, 0);
  return run_status_;
}

}  // namespace kalveno
