// What the whole-program benchmarks share: their data files, written from a
// fixed seed, running a program on one as a child process with its wall
// time, CPU time and peak memory, and the machine's load average.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "data/data_set.h"

namespace kalveno::bench {

constexpr int kClasses = 10;

// n_samples samples of n_variables quantitative variables, each datum
// missing with chance missing, in [0, 1000) squared, kClasses distance
// classes; always the same.
DataSet bench_data(int n_samples, int n_variables, double missing = 0.02);
// A new temporary folder holding data as in.txt.
std::string make_folder(const DataSet& data);

std::string read_file(const std::string& path);
// The first three fields of /proc/loadavg.
std::string load_average();

struct Run {
  double seconds = 0;
  double cpu_seconds = 0;  // user and system, every thread (and every process it waited for)
  long peak_kb = 0;        // of the largest process
  std::string results;     // out.txt of the folder afterwards
};

// Runs argv in folder, standard input from input_file (or nothing), standard
// output discarded, KALVENO_SEED=12345 and env in its environment; stops the
// benchmark when it fails.
Run run_child(const std::string& folder, const std::vector<std::string>& argv, const std::string& input_file,
              const std::map<std::string, std::string>& env);

void print_run(const char* what, const Run& run);

}  // namespace kalveno::bench
