// The kalveno-mpi program: one kalveno run spread over the ranks of an MPI
// job, started as "mpirun -np K kalveno-mpi OPTIONS DATA_FILE RESULTS_FILE".
// Every rank reads the data and evaluates its share of the randomizations
// on its own threads; rank 0 alone talks on the terminal and writes the
// files. The console of every other rank is held in memory and shown only
// when that rank fails on its own.
#include <mpi.h>
#include <unistd.h>

#include <iostream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/startup.h"
#include "base/allocation.h"
#include "base/console.h"
#include "base/interruption.h"
#include "base/program_end.h"
#include "base/text.h"
#include "mpi/mpi_process_group.h"

namespace {

// This rank's part of the run and its status. The console of the ranks
// other than the first is held in memory, shown only when the rank fails on
// its own.
int run_rank(int argc, char** argv, int rank, int size, bool relay_stops) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const bool first = rank == 0;
  std::istringstream no_input;
  std::ostringstream held;
  // The other ranks' error stream is their console itself: a warning is held once.
  kalveno::Console console(first ? std::cin : no_input, first ? std::cout : held,
                           first && isatty(STDIN_FILENO) ? STDIN_FILENO : -1, first ? &std::cerr : nullptr);
  kalveno::MpiProcessGroup group(rank, size, first ? nullptr : &held, relay_stops);
  const int status = kalveno::run_kalveno(console, args, kalveno::RunSettings::of_this_process(), group);
  group.close();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  kalveno::ignore_broken_pipe();
  // The calling thread of each rank makes the exchanges of the run, and a
  // thread of its own tells the other ranks of a stop signal, when MPI
  // allows both at once. Every rank does the same.
  int threading = 0;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_MULTIPLE, &threading);
  int rank = 0, size = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &size);
  int lowest_threading = threading;
  MPI_Allreduce(&threading, &lowest_threading, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);

  int status = kalveno::kFinished;
  // run_kalveno ends every allocation failure of a run itself, in every
  // rank alike; one in what is made around it leaves the other ranks
  // waiting for this one, and ends the whole job.
  try {
    status = run_rank(argc, argv, rank, size, lowest_threading == MPI_THREAD_MULTIPLE);
  } catch (const std::bad_alloc&) {
    std::cerr << "kalveno-mpi: " << kalveno::trim_blanks(kalveno::operator_new_failure().message) << "\n";
    MPI_Abort(MPI_COMM_WORLD, kalveno::kAllocationFailure);
  }
  MPI_Finalize();
  // Every rank ends with the status of the run, but only rank 0 exits with
  // it: mpirun stops the whole job at the first rank that exits with a
  // failure, and what rank 0 printed last would be lost if another rank
  // exited before it. The job's status is rank 0's.
  return rank == 0 ? status : 0;
}
