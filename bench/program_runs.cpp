#include "program_runs.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "spatial/spatial_data.h"

namespace kalveno::bench {

namespace {

std::string data_file_text(const DataSet& data) {
  std::ostringstream text;
  char cell[64];
  text << "Benchmark: " << data.n_samples << " samples, " << data.n_variables << " quantitative variables\n";
  text << data.n_samples << "\t0\t" << data.n_variables << "\tNA\n" << data.classes.n_classes;
  for (int c = 1; c <= data.classes.n_classes; ++c) {
    std::snprintf(cell, sizeof cell, "\t%.9g", data.classes.class_max[c]);
    text << cell;
  }
  text << "\nSample\tX\tY";
  for (int v = 1; v <= data.n_variables; ++v) text << "\tv" << v;
  text << '\n';
  for (int s = 1; s <= data.n_samples; ++s) {
    std::snprintf(cell, sizeof cell, "s%d\t%.9g\t%.9g", s, data.x[s], data.y[s]);
    text << cell;
    for (int v = 1; v <= data.n_variables; ++v) {
      if (data.values(v, s) == MISSING_VALUE) {
        text << "\tNA";
      } else {
        std::snprintf(cell, sizeof cell, "\t%.9g", data.values(v, s));
        text << cell;
      }
    }
    text << '\n';
  }
  return text.str();
}

}  // namespace

std::string folder_with_data_file(const DataSet& data) {
  std::string folder = (std::filesystem::temp_directory_path() / "kalveno-bench-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) std::exit(1);
  std::ofstream(folder + "/in.txt", std::ios::binary) << data_file_text(data);
  return folder;
}

DataSet bench_data(int n_samples, int n_variables, double missing, int n_classes, unsigned seed) {
  testing::RandomDataShape shape;
  shape.n_samples = n_samples;
  shape.n_quantitative = n_variables;
  shape.n_qualitative = 0;
  shape.missing = missing;
  shape.coincident = 0;
  shape.n_classes = n_classes;
  shape.extent = 1000;
  return testing::random_data_set(shape, seed);
}

Run run_command(const std::string& folder, const std::vector<std::string>& command, const std::string& answers,
                const std::map<std::string, std::string>& env, const std::string& results_file) {
  const std::string results_path = folder + "/" + results_file;
  std::filesystem::remove(results_path);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    const int input = open(answers.empty() ? "/dev/null" : answers.c_str(), O_RDONLY);
    const int output = open("/dev/null", O_WRONLY);
    dup2(input, 0);
    dup2(output, 1);
    if (chdir(folder.c_str()) != 0) _exit(127);
    setenv("KALVENO_SEED", "12345", 1);
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  Run run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s ended with status %d\n", command[0].c_str(), status);
    std::exit(1);
  }
  run.peak_kb = usage.ru_maxrss;
  run.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                    static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  run.results = read_file(results_path);
  return run;
}

Run run_kalveno(const std::string& folder, const std::vector<std::string>& args, const std::string& answers,
                const std::map<std::string, std::string>& env, const std::string& results_file) {
  std::vector<std::string> command = {KALVENO_BINARY};
  command.insert(command.end(), args.begin(), args.end());
  return run_command(folder, command, answers, env, results_file);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string load_average() {
  std::string text = read_file("/proc/loadavg");
  return text.substr(0, text.find(' ', text.find(' ', text.find(' ') + 1) + 1));
}

void print_run(const char* what, const Run& run) {
  std::printf("  %-34s %8.2f s   CPU %8.2f s   peak memory %6.0f MB\n", what, run.seconds, run.cpu_seconds,
              run.peak_kb / 1024.0);
}

}  // namespace kalveno::bench
