#include "mpi/mpi_process_group.h"

#include <mpi.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/interruption.h"
#include "base/program_end.h"
#include "base/text.h"
#include "mpi/build_id.h"
#include "randomization/replicate_runner.h"

namespace kalveno {

namespace {

// MPI counts are ints: a long block goes in parts of at most this many bytes.
constexpr std::size_t kPartBytes = std::size_t{1} << 30;
constexpr int kBlockTag = 0;
// The end of a failed rank's console that rank 0 shows, and its tag.
constexpr std::size_t kShownConsoleBytes = 4000;
constexpr int kConsoleTag = 1;

static_assert(sizeof(KALVENO_BUILD_ID) <= sizeof(RankRecord::build), "the build identifier fits its record");

// What rank r differs from rank 0 in, worded for the message: "options",
// "data (...)", "build (...)", joined by "and"; empty when nothing differs.
std::string difference(const std::vector<RankRecord>& all, int r, ProcessGroup::Alike what) {
  const RankRecord &first = all[0], &other = all[static_cast<std::size_t>(r)];
  std::string words;
  if (other.digest != first.digest)
    words = what == ProcessGroup::Alike::kOptions ? "options" : "data (its data file as read)";
  if (std::strncmp(other.build, first.build, sizeof(first.build)) != 0) {
    if (!words.empty()) words += " and ";
    words += format("build (%.*s; rank 0 runs %.*s)", static_cast<int>(sizeof(other.build)), other.build,
                    static_cast<int>(sizeof(first.build)), first.build);
  }
  return words;
}

}  // namespace

MpiProcessGroup::MpiProcessGroup(int rank, int size, std::ostringstream* held_console, bool relay_stops)
    : ProcessGroup(rank, size), held_console_(held_console) {
  if (relay_stops) relay_.emplace(rank, size);
}

std::vector<RankRecord> MpiProcessGroup::exchange(RankRecord mine) {
  std::memcpy(mine.build, KALVENO_BUILD_ID, sizeof(KALVENO_BUILD_ID));
  std::vector<RankRecord> all(static_cast<std::size_t>(size()));
  MPI_Allgather(&mine, sizeof(RankRecord), MPI_BYTE, all.data(), sizeof(RankRecord), MPI_BYTE, MPI_COMM_WORLD);
  // The run's status: rank 0's when it failed (it has said why on the
  // terminal), else that of the first rank that failed.
  run_status_ = 0;
  for (int r = 0; r < size() && run_status_ == 0; ++r) run_status_ = all[static_cast<std::size_t>(r)].status;
  if (run_status_ == 0) {
    if (held_console_ != nullptr) held_console_->str("");
    return all;
  }
  ended_ = true;
  ended_by_another_ = mine.status == 0;
  report_failure(all);
  return all;
}

// When rank 0 was still running, it names the first rank that failed, shows
// the end of what that rank's console printed since the last exchange, and
// says that nothing was written. When rank 0 failed too, its own console has
// said why. Only rank 0 prints, as only rank 0 exits with the status of the
// run (see kalveno-mpi's main).
void MpiProcessGroup::report_failure(const std::vector<RankRecord>& all) {
  if (all[0].status != 0) return;
  int failed = 0, first_failed = 0;
  for (int r = 1; r < size(); ++r) {
    if (all[static_cast<std::size_t>(r)].status == 0) continue;
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
               all[static_cast<std::size_t>(first_failed)].status, said.c_str());
  std::fprintf(stderr, "kalveno-mpi: rank %d of %d", first_failed, size());
  if (failed > 1) std::fprintf(stderr, " and %d other rank%s", failed - 1, failed > 2 ? "s" : "");
  std::fprintf(stderr, " stopped the run (status %d); no file was written.\n", run_status_);
  std::fflush(stderr);
}

void MpiProcessGroup::check() {
  exchange(RankRecord{});
  if (ended_) end_program(run_status_);
}

void MpiProcessGroup::check_alike(Alike what, std::uint64_t digest) {
  RankRecord mine;
  mine.digest = digest;
  const std::vector<RankRecord> all = exchange(mine);
  if (ended_) end_program(run_status_);
  refuse_difference(all, what);
}

// Every rank sees the same records and comes to the same end; rank 0 names
// the first rank that differs, and how many others do.
void MpiProcessGroup::refuse_difference(const std::vector<RankRecord>& all, Alike what) {
  int differing = 0, first_differing = 0;
  for (int r = 1; r < size(); ++r) {
    if (difference(all, r, what).empty()) continue;
    if (differing++ == 0) first_differing = r;
  }
  if (differing == 0) return;
  if (is_first()) {
    const std::string others =
        differing > 1 ? format(" (and %d other rank%s)", differing - 1, differing > 2 ? "s" : "") : "";
    std::fprintf(stderr,
                 "kalveno-mpi: rank %d of %d%s differs from rank 0 in its %s: every rank must run the same build "
                 "with the same options (-q, -j and the names of files aside) on the same data; no file was "
                 "written.\n",
                 first_differing, size(), others.c_str(), difference(all, first_differing, what).c_str());
    std::fflush(stderr);
  }
  ended_ = true;
  run_status_ = kOptionRefused;
  end_program(kOptionRefused);
}

std::int32_t MpiProcessGroup::first_process_seed(std::int32_t seed) {
  RankRecord mine;
  mine.value = seed;
  const std::vector<RankRecord> all = exchange(mine);
  if (ended_) end_program(run_status_);
  return all[0].value;
}

// Every rank says how much of its share it did and whether a stop signal
// came to it or was heard of; one stop stops every rank, which all say so
// alike, with the items of every share done.
void MpiProcessGroup::finish_share(int done, bool interrupted) {
  RankRecord mine;
  mine.value = done;
  mine.stop_signal = interruption_signal();
  if (mine.stop_signal == 0 && relay_) mine.stop_signal = relay_->heard();
  // A share stopped by a signal has the flag set; should it not be, the
  // share still stops every rank (and never comes here twice).
  if (mine.stop_signal == 0 && interrupted) mine.stop_signal = SIGINT;
  const std::vector<RankRecord> all = exchange(mine);
  if (ended_) end_program(run_status_);
  long long all_done = 0;
  int stop_signal = 0;
  for (const RankRecord& record : all) {
    all_done += record.value;
    if (stop_signal == 0) stop_signal = record.stop_signal;
  }
  if (stop_signal == 0) return;
  // Rank 0's line names the signal: one that came to it, or this one.
  take_stop_signal(stop_signal);
  throw ReplicatesInterrupted{static_cast<int>(all_done)};
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
  if (!ended_) {
    RankRecord mine;
    mine.status = status;
    exchange(mine);
  }
  return run_status_;
}

void MpiProcessGroup::close() {
  if (relay_) relay_->close();
}

}  // namespace kalveno
