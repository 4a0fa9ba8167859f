// Menu choice 1 from start to end: N = 1000 samples, V = 10 quantitative
// variables with 5 % missing, 10 distance classes, 999 complete
// randomizations, on one worker and on every hardware thread. Each is the
// best of two runs of the whole program (data file to results file); the
// results files must be the same byte for byte.
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "app/settings.h"
#include "app/startup.h"
#include "base/console.h"

using namespace kalveno;

namespace {

constexpr int kSamples = 1000, kVariables = 10, kRuns = 2;

std::string data_file_text() {
  std::mt19937 gen(20240601u);
  std::uniform_real_distribution<double> unit(0, 1);
  std::ostringstream text;
  text << "Benchmark: " << kSamples << " samples, " << kVariables << " quantitative variables\n";
  text << kSamples << "\t0\t" << kVariables << "\tNA\n10";
  for (int c = 1; c <= 10; ++c) text << '\t' << 100 * c;
  text << "\nSample\tX\tY";
  for (int v = 1; v <= kVariables; ++v) text << "\tv" << v;
  text << '\n';
  char cell[64];
  for (int s = 1; s <= kSamples; ++s) {
    const double x = 1000 * unit(gen), y = 1000 * unit(gen);
    std::snprintf(cell, sizeof cell, "s%d\t%.2f\t%.2f", s, x, y);
    text << cell;
    for (int v = 1; v <= kVariables; ++v) {
      if (unit(gen) < 0.05) {
        text << "\tNA";
      } else {
        std::snprintf(cell, sizeof cell, "\t%.4f", 10 * unit(gen) + v * 0.01 * x);
        text << cell;
      }
    }
    text << '\n';
  }
  return text.str();
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::uint64_t fnv1a(const std::string& text) {
  std::uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

// Best wall time, in seconds, of the whole program with this many workers;
// results receives the results file of the last run.
double best_run(const std::string& folder, int workers, std::string& results) {
  RunSettings settings = RunSettings::of_this_process();
  settings.seed = "12345";
  settings.threads = std::to_string(workers);
  const std::string in_path = folder + "/in.txt", out_path = folder + "/out.txt";
  double best = 1e300;
  for (int run = 0; run < kRuns; ++run) {
    std::filesystem::remove(out_path);
    std::istringstream answers("1\n\n\n999\n\n");
    std::ostringstream screen;
    Console console(answers, screen);
    auto start = std::chrono::steady_clock::now();
    const int status = run_kalveno(console, {in_path, out_path}, settings);
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (status != 0) {
      std::fprintf(stderr, "the run ended with status %d\n", status);
      std::exit(1);
    }
    if (elapsed.count() < best) best = elapsed.count();
  }
  results = read_file(out_path);
  return best;
}

}  // namespace

int main() {
#ifndef NDEBUG
  std::printf("WARNING: built with assertions on; the times below are not representative.\n");
#endif
  std::string folder = (std::filesystem::temp_directory_path() / "kalveno-bench-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) return 1;
  {
    std::ofstream data(folder + "/in.txt", std::ios::binary);
    data << data_file_text();
  }
  const int every = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));

  std::string results_one, results_every;
  const double one = best_run(folder, 1, results_one);
  const double all = best_run(folder, every, results_every);
  std::filesystem::remove_all(folder);

  std::printf("spatial autocorrelation run: N=%d V=%d (quantitative, 5%% missing) C=10, R=999 complete, best of %d\n",
              kSamples, kVariables, kRuns);
  std::printf("  1 worker    %7.2f s\n", one);
  std::printf("  %d workers   %7.2f s   speed-up %.2fx\n", every, all, one / all);
  std::printf("  results file checksum %016llx (%s with 1 worker)\n",
              static_cast<unsigned long long>(fnv1a(results_every)),
              results_one == results_every ? "same" : "DIFFERENT");
  return results_one == results_every ? 0 : 1;
}
