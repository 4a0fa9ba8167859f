// What the benchmarks that run the program itself share: a data set written
// as a data file, the program run on it with its time, CPU time and peak
// memory measured, and the machine's load, which other work on it raises.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "data/data_set.h"

namespace kalveno::bench {

struct Run {
  double seconds = 0;
  double cpu_seconds = 0;  // user and system, every thread
  long peak_kb = 0;
  std::string results;     // the file the run is asked to return
};

constexpr int kClasses = 10;

// n_samples samples of n_variables quantitative variables, each datum
// missing with chance missing, in [0, 1000) squared, n_classes distance
// classes; the same for the same seed.
DataSet bench_data(int n_samples, int n_variables, double missing = 0.02, int n_classes = kClasses,
                   unsigned seed = 20240601u);

// A fresh temporary folder holding data as in.txt, every number written
// with the digits that read it back unchanged.
std::string folder_with_data_file(const DataSet& data);

// Runs command (a program's path, then its arguments) in folder, standard
// input from the file answers (none when empty), KALVENO_SEED=12345 and env;
// returns the measures (of the processes it waited for too) and the content
// of folder/results_file. Exits the benchmark when the command fails.
Run run_command(const std::string& folder, const std::vector<std::string>& command, const std::string& answers,
                const std::map<std::string, std::string>& env, const std::string& results_file);

// run_command with the program and args.
Run run_kalveno(const std::string& folder, const std::vector<std::string>& args, const std::string& answers,
                const std::map<std::string, std::string>& env, const std::string& results_file);

std::string read_file(const std::string& path);
// The load averages of the last 1, 5 and 15 minutes.
std::string load_average();
void print_run(const char* what, const Run& run);

}  // namespace kalveno::bench
