// Local Moran's I from start to end, the real program on a data file written
// here (fixed seed): N = 10 000 samples spread evenly over a 1000 x 1000
// square, V = 10 quantitative variables, neighbours within 31 (about 30 each),
// R = 999 conditional randomizations of each sample, every core. Two data
// sets: without missing data, and with 2 % missing in every variable (the
// variables then lack different samples and cannot share a neighbourhood,
// only the draws). Each run reports its wall time, CPU time and peak
// memory, with the machine's load average before and after; the file of
// values per sample of a run on one worker must be the same byte for byte.
//
// Arguments: --replicates=R runs R randomizations instead of 999; --samples=N
// N samples instead of 10 000 (the radius keeps about 30 neighbours each).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include "program_runs.h"

using namespace kalveno;

namespace {

constexpr double kExtent = 1000;  // the side of the square of bench_data
constexpr int kVariables = 10;
constexpr double kNeighbours = 30;

DataSet bench_data(int n_samples, double missing) {
  return bench::bench_data(n_samples, kVariables, missing, 1, 20240611u);
}

}  // namespace

int main(int argc, char** argv) {
  int replicates = 999, n_samples = 10000;
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    if (arg.rfind("--replicates=", 0) == 0) {
      replicates = std::max(1, std::atoi(arg.c_str() + 13));
    } else if (arg.rfind("--samples=", 0) == 0) {
      n_samples = std::max(2, std::atoi(arg.c_str() + 10));
    } else {
      std::fprintf(stderr, "usage: local_moran_bench [--replicates=R] [--samples=N]\n");
      return 2;
    }
  }
  // The expected count of neighbours in a disc of the radius, edges aside.
  const double radius = std::ceil(std::sqrt(kNeighbours * kExtent * kExtent / (M_PI * n_samples)));
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const std::vector<std::string> args = {"--local-moran=" + std::to_string(static_cast<int>(radius)), "-r",
                                         std::to_string(replicates), "-q", "in.txt", "out.txt"};
  std::printf("local Moran's I, whole program: N=%d V=%d, radius %g (about %g neighbours), R=%d conditional, "
              "%d cores\n  load average before: %s\n",
              n_samples, kVariables, radius, kNeighbours, replicates, cores, bench::load_average().c_str());
  bool same = true;
  for (double missing : {0.0, 0.02}) {
    const std::string folder = bench::folder_with_data_file(bench_data(n_samples, missing));
    const bench::Run all = bench::run_kalveno(folder, args, "", {{"KALVENO_THREADS", std::to_string(cores)}},
                                              "localmoran.txt");
    bench::print_run(missing > 0 ? "2 % missing, every core" : "no missing data, every core", all);
    const bench::Run one = bench::run_kalveno(folder, args, "", {{"KALVENO_THREADS", "1"}}, "localmoran.txt");
    bench::print_run(missing > 0 ? "2 % missing, one worker" : "no missing data, one worker", one);
    same = same && one.results == all.results && !all.results.empty();
    std::filesystem::remove_all(folder);
  }
  std::printf("  files of values %s\n  load average after: %s\n",
              same ? "the same byte for byte on one worker and on every core" : "DIFFERENT", bench::load_average().c_str());
#ifndef NDEBUG
  std::printf("  (built with assertions on: the figures are not those of a release build)\n");
#endif
  return same ? 0 : 1;
}
