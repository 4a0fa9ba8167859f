// Moran's I per call: N = 1000 samples, V = 10 quantitative variables with 5 %
// missing, 10 distance classes, random complete permutations. Times the
// engine with its pair table, the engine working each pair out as it comes
// (what it does when the table would not fit), and the plain evaluation it
// must match bit for bit (compiled on its own at -O2); best of five runs of a
// fixed series of placements.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "plain_moran.h"
#include "randomization/permutation.h"
#include "spatial/moran.h"
#include "program_runs.h"

using namespace kalveno;

namespace {

constexpr int kSamples = 1000, kVariables = 10, kClasses = 10, kCalls = 20, kRuns = 5;

double checksum(const MoranResults& results) {
  double sum = 0;
  for (int v = results.moran_matrix.row_lo(); v <= results.moran_matrix.row_hi(); ++v)
    for (int c = -2; c <= kClasses; ++c)
      if (std::isfinite(results.moran_matrix(v, c))) sum += results.moran_matrix(v, c);
  return sum;
}

// Best time of one call, in seconds, over kRuns runs of kCalls placements.
template <class Evaluate>
double best_call_time(const std::vector<Permutation>& placements, Evaluate evaluate, double& sum) {
  double best = 1e300;
  for (int run = 0; run < kRuns; ++run) {
    sum = 0;
    auto start = std::chrono::steady_clock::now();
    for (const Permutation& perm : placements) sum += evaluate(perm);
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (elapsed.count() < best) best = elapsed.count();
  }
  return best / static_cast<double>(placements.size());
}

}  // namespace

int main() {
#ifndef NDEBUG
  std::printf("WARNING: built with assertions on; the times below are not representative.\n");
#endif
  static_assert(kClasses == bench::kClasses);
  const DataSet data = bench::bench_data(kSamples, kVariables, 0.05);
  const PairFilter filter;
  const RegressionInterval interval;

  Random rng;
  rng.random_state = -12345;
  std::vector<Permutation> placements;
  for (int call = 0; call < kCalls; ++call) {
    placements.push_back(identity_permutation(kSamples));
    complete_permutation(kSamples, placements.back(), rng);
  }

  MoranResults results = make_moran_results(Allocator(), kVariables, kClasses);
  MoranSetup tabulated(Allocator(), data, data.classes, filter, interval);
  MoranSetup computed(Allocator(), data, data.classes, filter, interval, 0);
  MoranScratch scratch(tabulated);
  double sum_table = 0, sum_computed = 0, sum_plain = 0;
  const double t_table = best_call_time(placements, [&](const Permutation& perm) {
    moran_statistics(tabulated, Randomization::kComplete, perm, scratch, results);
    return checksum(results);
  }, sum_table);
  const double t_computed = best_call_time(placements, [&](const Permutation& perm) {
    moran_statistics(computed, Randomization::kComplete, perm, scratch, results);
    return checksum(results);
  }, sum_computed);
  const double t_plain = best_call_time(placements, [&](const Permutation& perm) {
    bench::plain_moran_statistics(data, Randomization::kComplete, perm, data.classes, filter, interval, results);
    return checksum(results);
  }, sum_plain);

  const double pair_variables = kSamples * (kSamples - 1) / 2.0 * kVariables;
  std::printf("moran_statistics: N=%d V=%d (quantitative, 5%% missing) C=%d, %d random placements, best of %d\n",
              kSamples, kVariables, kClasses, kCalls, kRuns);
  std::printf("  engine, pair table    %8.3f ms/call  %6.3f ns per pair and variable  %5.2fx plain\n",
              t_table * 1e3, t_table * 1e9 / pair_variables, t_plain / t_table);
  std::printf("  engine, no table      %8.3f ms/call  %6.3f ns per pair and variable  %5.2fx plain\n",
              t_computed * 1e3, t_computed * 1e9 / pair_variables, t_plain / t_computed);
  std::printf("  plain evaluation      %8.3f ms/call  %6.3f ns per pair and variable\n", t_plain * 1e3,
              t_plain * 1e9 / pair_variables);
  std::printf("  checksum %.17g (no table %s, plain %s)\n", sum_table, sum_computed == sum_table ? "same" : "DIFFERS",
              sum_plain == sum_table ? "same" : "DIFFERS");
  return sum_computed == sum_table && sum_plain == sum_table ? 0 : 1;
}
