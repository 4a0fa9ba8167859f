// Menu choice 1 from start to end, the real program on a data file written
// here (fixed seed), every core, 999 complete randomizations:
//   N = 400 samples, V = 4 variables;
//   N = 1000, V = 10, against the plain pair-by-pair evaluation of the same
//     1000 placements on one thread (timed on 100 of them), and on one worker
//     and with plain SSE2, whose results files must be the same byte for byte;
//   N = 10 000, V = 10.
// Quantitative variables with 2 % missing data, 10 distance classes. Each run
// reports its wall time, its CPU time and peak memory; the machine's load
// average is printed before and after, since other work on it slows the runs
// down.
//
// Arguments pick the cases (400, 1000, 10000; all three by default);
// --replicates=R runs R randomizations instead of 999, for a quick look at
// the large case (its CPU seconds per replicate); --keep leaves each case's
// data file in a folder it names. --analytical runs the program with
// --spatial --analytical -r R instead (R may be 0: the analytical tests
// alone), and the large case on one worker too, whose results file must be
// the same:
//   build/bench/spatial_run_bench --analytical --replicates=0 10000
//
// --cost runs instead the cost table of the README: N = 2000, 5000, 10 000,
// 20 000 and 50 000 samples (or those of --sizes=N,N,...), V = 10, each
// without randomizations and with 99 (or --replicates=R), once each, and
// prints one table row per run.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "plain_moran.h"
#include "program_runs.h"
#include "randomization/permutation.h"

using namespace kalveno;
using bench::bench_data;
using bench::kClasses;
using bench::print_run;
using bench::Run;

namespace {

struct Options {
  int replicates = 999;
  bool keep = false;
  bool analytical = false;
  std::vector<int> cases;
  bool cost = false;
  std::vector<int> sizes = {2000, 5000, 10000, 20000, 50000};
};

// The program on folder/in.txt, answering choice 1 with every pair, no
// interval and the randomizations asked for (or with --analytical, run by
// options); results in folder/out.txt.
Run run_program(const Options& options, const std::string& folder, const std::map<std::string, std::string>& env) {
  const std::string count = std::to_string(options.replicates);
  if (options.analytical)
    return bench::run_kalveno(folder, {"--spatial", "--analytical", "-r", count, "in.txt", "out.txt"}, "", env,
                              "out.txt");
  const std::string answers = folder + "/answers.txt";
  // Return at the count computes the observed statistics without test.
  std::ofstream(answers) << "1\n\n\n" << (options.replicates == 0 ? "" : count + "\n") << "\n";
  return bench::run_kalveno(folder, {"in.txt", "out.txt"}, answers, env, "out.txt");
}

Run best_of(int runs, const Options& options, const std::string& folder,
            const std::map<std::string, std::string>& env) {
  Run best = run_program(options, folder, env);
  for (int r = 1; r < runs; ++r) {
    Run again = run_program(options, folder, env);
    if (again.seconds < best.seconds) best = again;
  }
  return best;
}

void done_with(const Options& options, const std::string& folder) {
  if (options.keep)
    std::printf("  data file kept in %s\n", folder.c_str());
  else
    std::filesystem::remove_all(folder);
}

bool wanted(const Options& options, int n_samples) {
  return options.cases.empty() ||
         std::find(options.cases.begin(), options.cases.end(), n_samples) != options.cases.end();
}

Options read_options(int argc, char** argv) {
  Options options;
  bool replicates_given = false;
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    if (arg.rfind("--replicates=", 0) == 0) {
      options.replicates = std::atoi(arg.c_str() + 13);
      replicates_given = true;
    } else if (arg == "--cost") {
      options.cost = true;
    } else if (arg.rfind("--sizes=", 0) == 0) {
      options.sizes.clear();
      std::istringstream sizes(arg.substr(8));
      for (std::string size; std::getline(sizes, size, ',');) options.sizes.push_back(std::atoi(size.c_str()));
    } else if (arg == "--keep") {
      options.keep = true;
    } else if (arg == "--analytical") {
      options.analytical = true;
    } else if (arg == "400" || arg == "1000" || arg == "10000") {
      options.cases.push_back(std::atoi(arg.c_str()));
    } else {
      std::fprintf(stderr,
                   "usage: spatial_run_bench [--replicates=R] [--analytical] [--keep] [400] [1000] [10000]\n"
                   "       spatial_run_bench --cost [--sizes=N,N,...] [--replicates=R] [--keep]\n");
      std::exit(2);
    }
  }
  if (options.cost && !replicates_given) options.replicates = 99;
  if (options.replicates < (options.analytical ? 0 : 1)) options.replicates = options.analytical ? 0 : 1;
  return options;
}

// The cost table: each size without randomizations and with them, on every
// core, one run each.
void cost_table(Options options, const std::map<std::string, std::string>& every_core) {
  std::printf("| N | R | wall | CPU | peak memory |\n|---|---|---|---|---|\n");
  const int replicates = options.replicates;
  for (int n_samples : options.sizes) {
    const std::string folder = bench::folder_with_data_file(bench_data(n_samples, 10));
    for (int r : {0, replicates}) {
      options.replicates = r;
      const Run run = run_program(options, folder, every_core);
      std::printf("| %d | %d | %.2f s | %.2f s | %.0f MB |\n", n_samples, r, run.seconds, run.cpu_seconds,
                  run.peak_kb / 1024.0);
      std::fflush(stdout);
    }
    done_with(options, folder);
  }
}

// Seconds per placement of the plain evaluation, on one thread, over n
// complete permutations.
double plain_seconds_per_placement(const DataSet& data, int n) {
  Random rng;
  rng.random_state = -12345;
  Permutation perm = identity_permutation(data.n_samples);
  MoranResults results = make_moran_results(Allocator(), data.n_variables, data.classes.n_classes);
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < n; ++r) {
    complete_permutation(data.n_samples, perm, rng);
    bench::plain_moran_statistics(data, Randomization::kComplete, perm, data.classes, PairFilter{},
                                  RegressionInterval{}, results);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / n;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = read_options(argc, argv);
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const std::map<std::string, std::string> every_core = {{"KALVENO_THREADS", std::to_string(cores)}};
  std::printf("spatial autocorrelation, whole program%s: C=%d, R=%d complete, quantitative variables with 2%% "
              "missing, %d cores\n  load average before: %s\n", options.analytical ? " with the analytical tests" : "",
              kClasses, options.replicates, cores, bench::load_average().c_str());
  bool same = true;
  if (options.cost) {
    cost_table(options, every_core);
    std::printf("  load average after: %s\n", bench::load_average().c_str());
    return 0;
  }

  if (wanted(options, 400)) {
    const DataSet data = bench_data(400, 4);
    const std::string folder = bench::folder_with_data_file(data);
    print_run("N=400 V=4, every core (best of 3)", best_of(3, options, folder, every_core));
    done_with(options, folder);
  }

  if (wanted(options, 1000) && !options.analytical) {
    const DataSet data = bench_data(1000, 10);
    const std::string folder = bench::folder_with_data_file(data);
    const Run all = best_of(2, options, folder, every_core);
    print_run("N=1000 V=10, every core (best of 2)", all);
    const int placements = options.replicates + 1;
    const double plain = plain_seconds_per_placement(data, std::min(100, placements)) * placements;
    std::printf("  %-34s %8.2f s   (%d placements, timed on %d)\n", "plain evaluation, one thread", plain,
                placements, std::min(100, placements));
    std::printf("  %-34s %8.1fx\n", "speed-up over the plain evaluation", plain / all.seconds);
    const Run one = run_program(options, folder, {{"KALVENO_THREADS", "1"}});
    print_run("N=1000 V=10, one worker", one);
    const Run sse2 =
        run_program(options, folder, {{"KALVENO_THREADS", std::to_string(cores)}, {"KALVENO_VECTORS", "sse2"}});
    print_run("N=1000 V=10, every core, SSE2 only", sse2);
    same = one.results == all.results && sse2.results == all.results;
    std::printf("  results files %s\n", same ? "the same byte for byte" : "DIFFERENT");
    done_with(options, folder);
  }

  if (wanted(options, 10000)) {
    const DataSet data = bench_data(10000, 10);
    const std::string folder = bench::folder_with_data_file(data);
    const Run all = run_program(options, folder, every_core);
    print_run("N=10000 V=10, every core", all);
    if (options.analytical) {
      const Run one = run_program(options, folder, {{"KALVENO_THREADS", "1"}});
      print_run("N=10000 V=10, one worker", one);
      same = one.results == all.results;
      std::printf("  results files %s\n", same ? "the same byte for byte" : "DIFFERENT");
    }
    done_with(options, folder);
  }
  std::printf("  load average after: %s\n", bench::load_average().c_str());
  return same ? 0 : 1;
}
