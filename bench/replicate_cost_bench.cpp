// What the complete randomizations of Moran's I cost, side by side with
// another build of the program (the baseline, an earlier commit built the
// same way): N = 10 000 samples, V = 10 quantitative variables, C = 10, every
// pair, R = 999, once with 2 % missing data in every variable and once
// without missing data. Each program runs `kalveno --spatial -r R` and
// `-r 0` (the set-up and the observed values alone) on the same data file;
// the difference is what the replicates cost. The two programs take turns,
// run by run, so that both meet the same minutes of a shared host; the
// results files of this build must be the same whatever the round.
//
//   build/bench/replicate_cost_bench --baseline=/path/to/old/kalveno
//       [--replicates=R] [--samples=N] [--rounds=K] [--threads=T]
//
// Without --baseline only this build runs.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "program_runs.h"

using namespace kalveno;
using bench::Run;

namespace {

struct Options {
  std::string baseline;
  int replicates = 999, samples = 10000, rounds = 1, threads = 2;
};

Options read_options(int argc, char** argv) {
  Options options;
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    auto value = [&](const std::string& name) { return arg.rfind(name, 0) == 0 ? arg.c_str() + name.size() : nullptr; };
    if (const char* v = value("--baseline=")) {
      options.baseline = v;
    } else if (const char* r = value("--replicates=")) {
      options.replicates = std::atoi(r);
    } else if (const char* n = value("--samples=")) {
      options.samples = std::atoi(n);
    } else if (const char* k = value("--rounds=")) {
      options.rounds = std::atoi(k);
    } else if (const char* t = value("--threads=")) {
      options.threads = std::atoi(t);
    } else {
      std::fprintf(stderr, "usage: replicate_cost_bench [--baseline=KALVENO] [--replicates=R] [--samples=N] "
                           "[--rounds=K] [--threads=T]\n");
      std::exit(2);
    }
  }
  return options;
}

// One program's runs on one data file: with the randomizations and without.
struct Cost {
  double wall = 0, cpu = 0;  // of the replicates: the run with them less the one without
  std::string results;
};

// program: the path of the baseline, or empty for this build.
Cost cost_of(const std::string& program, const Options& options, const std::string& folder) {
  const std::map<std::string, std::string> env = {{"KALVENO_THREADS", std::to_string(options.threads)}};
  auto run = [&](int r) {
    const std::vector<std::string> args = {"--spatial", "-r", std::to_string(r), "in.txt", "out.txt"};
    if (program.empty()) return bench::run_kalveno(folder, args, "", env, "out.txt");
    std::vector<std::string> command = {program};
    command.insert(command.end(), args.begin(), args.end());
    return bench::run_command(folder, command, "", env, "out.txt");
  };
  const Run without = run(0);
  const Run with = run(options.replicates);
  return {with.seconds - without.seconds, with.cpu_seconds - without.cpu_seconds, with.results};
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = read_options(argc, argv);
  std::printf("complete randomizations of Moran's I: N=%d V=10 C=%d R=%d, every pair, %d workers\n",
              options.samples, bench::kClasses, options.replicates, options.threads);
  bool same = true;
  for (double missing : {0.02, 0.0}) {
    const std::string folder = bench::folder_with_data_file(bench::bench_data(options.samples, 10, missing));
    std::printf("%s\n", missing > 0 ? "2 % missing data in every variable" : "no missing data");
    std::string first;
    for (int round = 1; round <= options.rounds; ++round) {
      std::printf("  round %d, load average %s\n", round, bench::load_average().c_str());
      std::vector<std::pair<const char*, std::string>> programs = {{"this build", ""}};
      if (!options.baseline.empty()) programs.emplace_back("baseline", options.baseline);
      // Alternate which program goes first.
      if (round % 2 == 0 && programs.size() == 2) std::swap(programs[0], programs[1]);
      for (const auto& [name, program] : programs) {
        const Cost cost = cost_of(program, options, folder);
        std::printf("    %-10s replicates %8.2f s wall, %8.2f s CPU (%.3f CPU s a replicate)\n", name, cost.wall,
                    cost.cpu, cost.cpu / options.replicates);
        std::fflush(stdout);
        if (!program.empty()) continue;
        if (first.empty()) first = cost.results;
        same = same && cost.results == first;
      }
    }
    std::filesystem::remove_all(folder);
  }
  std::printf("  load average after: %s\n  results files of this build %s\n", bench::load_average().c_str(),
              same ? "the same in every round" : "DIFFER");
  return same ? 0 : 1;
}
