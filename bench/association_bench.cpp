// The association test series: 999 complete randomizations of 1000 samples
// and 20 variables (15 quantitative, 5 qualitative with 3 to 6 states, 2 %
// missing data), each replicate recomputing every coefficient, then the
// summaries. Timed on one worker and on every worker; best of five runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>

#include "association/association_series.h"
#include "association/coefficients.h"
#include "base/allocation.h"
#include "base/console.h"
#include "data/data_set.h"
#include "numeric/random.h"

using namespace kalveno;

namespace {

constexpr int kSamples = 1000, kQuantitative = 15, kQualitative = 5, kReplicates = 999, kRuns = 5;
constexpr int kVariables = kQuantitative + kQualitative;

struct Timing {
  double seconds;
  double checksum;
};

Timing time_series(const AssociationInput& input, const RangedMatrix<double>& observed, int n_workers) {
  std::istringstream no_answers;
  std::ostringstream marks;
  Console console(no_answers, marks);
  ProcessGroup one_process;
  AssociationSeries series = make_association_series(Allocator(), kReplicates, kVariables);
  Timing best{1e30, 0};
  for (int run = 0; run < kRuns; ++run) {
    Random rng;
    rng.random_state = -12345;  // every run draws the same permutations
    Permutation work = identity_permutation(kSamples);
    auto draw = [&](Permutation& perm) { complete_permutation(kSamples, perm, rng); };
    auto start = std::chrono::steady_clock::now();
    run_association_series(console, one_process, Allocator(), input, kReplicates, n_workers, work, draw, observed, series);
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    best.seconds = std::min(best.seconds, elapsed.count());
  }
  for (int j = 1; j <= kVariables; ++j)
    for (int k = 1; k <= kVariables; ++k)
      best.checksum += series.stats(j, k).mean + series.stats(j, k).p_two_sided + series.stats(j, k).n_different;
  return best;
}

}  // namespace

int main() {
#ifndef NDEBUG
  std::printf("warning: built with assertions on; times are not representative\n");
#endif
  RangedVector<int> var_kind = Allocator().int_vector(0, kVariables);
  RangedMatrix<double> values = Allocator().double_matrix(0, kVariables, 0, kSamples);
  Random rng;
  rng.random_state = -2024;
  for (int j = 1; j <= kVariables; ++j) {
    var_kind[j] = j <= kQuantitative ? 0 : 3 + (j - kQuantitative - 1) % 4;  // 3, 4, 5, 6, 3 states
    for (int i = 1; i <= kSamples; ++i) {
      const double u = uniform_deviate(rng);
      if (uniform_deviate(rng) < 0.02)
        values(j, i) = MISSING_VALUE;
      else if (var_kind[j] == 0)
        values(j, i) = static_cast<float>(10 * u + 0.01 * i * (j % 3));  // a little trend shared by some
      else
        values(j, i) = 1 + static_cast<int>(u * var_kind[j]);
    }
  }
  const AssociationInput input = prepare_association_input(Allocator(), kVariables, var_kind, kSamples, values, best_vector_path());
  RangedMatrix<double> observed = Allocator().double_matrix(1, kVariables, 1, kVariables);
  AssociationScratch scratch(Allocator(), input);
  association_coefficients(input, identity_permutation(kSamples), scratch, observed, nullptr);

  const int every = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  std::printf("association series: N = %d, V = %d (%d quantitative, %d qualitative), R = %d complete "
              "randomizations, best of %d\n",
              kSamples, kVariables, kQuantitative, kQualitative, kReplicates, kRuns);
  const Timing one = time_series(input, observed, 1);
  std::printf("  1 worker:   %.3f s  (%.1f us per replicate)  checksum %.6f\n", one.seconds,
              1e6 * one.seconds / kReplicates, one.checksum);
  const Timing all = time_series(input, observed, every);
  std::printf("  %d workers:  %.3f s  (%.1f us per replicate)  checksum %.6f\n", every, all.seconds,
              1e6 * all.seconds / kReplicates, all.checksum);
  if (one.checksum != all.checksum) {
    std::printf("  results differ between 1 and %d workers\n", every);
    return 1;
  }
  return 0;
}
