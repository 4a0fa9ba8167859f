// kalveno-mpi against kalveno on one machine: spatial autocorrelation of
// N = 5000 samples and V = 10 variables (2 % missing, 10 classes), 999
// complete randomizations, from a data file written here (fixed seed), run
//   kalveno -j 1,  kalveno -j 2,  mpirun -np 2 kalveno-mpi -j 1
// whose results files must be the same byte for byte. The two-rank run pays
// for a second pair table and for the gather of the replicate values; the
// gather alone is then timed between two ranks on a cube of the same size
// (best of 20), and set against the two-rank run's wall time.
//
// --samples=N and --replicates=R change the sizes; --keep leaves the data
// file in a folder it names. Started by mpirun with --gather R V C (as it
// starts itself), it times the gather and writes the times to out.txt.
#include <mpi.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/allocation.h"
#include "mpi/mpi_process_group.h"
#include "program_runs.h"

using namespace kalveno;
using namespace kalveno::bench;

namespace {

constexpr int kVariables = 10;
constexpr int kGathers = 20;

// One rank of the gather timing: the best and the median time of rank 0.
int time_gather(int n_rep, int n_variables, int n_classes) {
  MPI_Init(nullptr, nullptr);
  int rank = 0, size = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &size);
  std::ostringstream held;
  MpiProcessGroup group(rank, size, rank == 0 ? nullptr : &held, false);  // no stop to tell of
  RangedCube<float> replicates = Allocator().float_cube(0, n_rep, 0, n_variables, -2, n_classes + 1);
  for (int r = 1; r <= n_rep; ++r) replicates(r, 1, 1) = static_cast<float>(r);
  std::vector<double> seconds;
  for (int g = 0; g < kGathers; ++g) {
    MPI_Barrier(MPI_COMM_WORLD);
    const double start = MPI_Wtime();
    group.gather_replicates(replicates, n_rep);
    seconds.push_back(MPI_Wtime() - start);
  }
  std::sort(seconds.begin(), seconds.end());
  if (rank == 0) std::ofstream("out.txt") << seconds.front() << ' ' << seconds[seconds.size() / 2] << '\n';
  group.end(0);
  MPI_Finalize();
  return 0;
}

std::map<std::string, std::string> mpirun_environment() {
  if (geteuid() != 0) return {};
  return {{"OMPI_ALLOW_RUN_AS_ROOT", "1"}, {"OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1"}};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--gather")
    return time_gather(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
  int n_samples = 5000, n_rep = 999;
  bool keep = false;
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    if (arg.rfind("--samples=", 0) == 0) {
      n_samples = std::max(2, std::atoi(arg.c_str() + 10));
    } else if (arg.rfind("--replicates=", 0) == 0) {
      n_rep = std::max(1, std::atoi(arg.c_str() + 13));
    } else if (arg == "--keep") {
      keep = true;
    } else {
      std::fprintf(stderr, "usage: mpi_run_bench [--samples=N] [--replicates=R] [--keep]\n");
      return 2;
    }
  }
#ifndef NDEBUG
  std::printf("warning: built with assertions on; the times are not those of a release build\n");
#endif
  std::printf("spatial autocorrelation over MPI ranks: N=%d V=%d C=%d, R=%d complete\n  load average before: %s\n",
              n_samples, kVariables, kClasses, n_rep, load_average().c_str());
  const std::string folder = folder_with_data_file(bench_data(n_samples, kVariables));
  const std::string r = std::to_string(n_rep);
  // The analysis with threads workers, after the words that start the program.
  auto command = [&](std::vector<std::string> start, const char* threads) {
    start.insert(start.end(), {"--spatial", "-r", r, "-q", "-j", threads, "in.txt", "out.txt"});
    return start;
  };
  const std::vector<std::string> one = command({KALVENO_BINARY}, "1"), two = command({KALVENO_BINARY}, "2"),
                                 spread = command({KALVENO_MPIEXEC, "-np", "2", KALVENO_MPI_BINARY}, "1");

  const Run single = run_command(folder, one, "", {}, "out.txt");
  print_run("kalveno -j 1", single);
  const Run threads = run_command(folder, two, "", {}, "out.txt");
  print_run("kalveno -j 2", threads);
  const Run ranks = run_command(folder, spread, "", mpirun_environment(), "out.txt");
  print_run("mpirun -np 2 kalveno-mpi -j 1", ranks);
  const bool same = single.results == threads.results && ranks.results == threads.results;
  std::printf("  results files %s\n", same ? "the same byte for byte" : "DIFFERENT");
  std::printf("  two ranks / two threads: wall %.3f, CPU %.3f\n", ranks.seconds / threads.seconds,
              ranks.cpu_seconds / threads.cpu_seconds);

  const std::string self = std::filesystem::canonical("/proc/self/exe").string();
  const std::vector<std::string> gather = {KALVENO_MPIEXEC, "-np", "2", self, "--gather", r,
                                           std::to_string(kVariables), std::to_string(kClasses)};
  std::istringstream times(run_command(folder, gather, "", mpirun_environment(), "out.txt").results);
  double best = 0, median = 0;
  times >> best >> median;
  const double megabytes = 4.0 * (n_rep + 1) * (kVariables + 1) * (kClasses + 4) / 1e6;
  std::printf("  gather of a %.2f MB cube (rank 1's half sent to rank 0): best %.3f ms, median %.3f ms,\n"
              "  %.2g %% of the two-rank run\n", megabytes, best * 1e3, median * 1e3, 100 * median / ranks.seconds);
  std::printf("  load average after: %s\n", load_average().c_str());
  if (keep)
    std::printf("  data file kept in %s\n", folder.c_str());
  else
    std::filesystem::remove_all(folder);
  return same ? 0 : 1;
}
