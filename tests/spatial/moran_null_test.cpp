// The complete randomization test of Moran's I under the null hypothesis:
// pure noise, with the samples that lack the variables packed in one patch,
// is starred at the nominal 5 %. When every sample moved, the few samples
// with values landed in the patch in most replicates and most class-1 tests
// were starred.
#include <gtest/gtest.h>

#include <random>

#include "base/parallel.h"
#include "numeric/resample_summary.h"
#include "randomization/permutation.h"
#include "randomization/replicate_runner.h"
#include "spatial/moran.h"
#include "spatial/spatial_data.h"

namespace kalveno::testing {
namespace {

constexpr int kSamples = 200, kVariables = 20, kReplicates = 199, kDataSets = 20;

// Of 200 samples, `lacking` sit in the square [0.45, 0.55)^2 and lack every
// variable, the others lie anywhere in the unit square with independent
// standard normal values; classes up to 0.1, 0.2, ..., 0.5.
DataSet noise(int lacking, unsigned seed) {
  DataSet data = empty_data_set(kSamples, kVariables, {0.1, 0.2, 0.3, 0.4, 0.5});
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> unit(0, 1);
  std::normal_distribution<double> normal;
  for (int s = 1; s <= kSamples; ++s) {
    const bool in_patch = s <= lacking;
    data.x[s] = static_cast<float>(in_patch ? 0.45 + 0.1 * unit(gen) : unit(gen));
    data.y[s] = static_cast<float>(in_patch ? 0.45 + 0.1 * unit(gen) : unit(gen));
    for (int v = 1; v <= kVariables; ++v)
      data.values(v, s) = in_patch ? MISSING_VALUE : static_cast<float>(normal(gen));
  }
  return data;
}

// How many of the variables' tests of classes 1 and 2 are starred at 5 %
// after 199 complete randomizations of one data set.
void count_starred(const DataSet& data, unsigned seed, int starred[2]) {
  const MoranSetup setup(Allocator(), data, data.classes, PairFilter{}, RegressionInterval{});
  MoranScratch scratch(setup);
  MoranResults observed = make_moran_results(Allocator(), kVariables, data.classes.n_classes);
  MoranResults replicate = make_moran_results(Allocator(), kVariables, data.classes.n_classes);
  observed_moran_statistics(setup, observed);
  RangedCube<float> values = Allocator().float_cube(1, 2, 1, kVariables, 0, kReplicates);
  Random rng;
  rng.random_state = -static_cast<int>(seed);
  Permutation perm = identity_permutation(kSamples);
  for (int r = 1; r <= kReplicates; ++r) {
    complete_permutation(kSamples, perm, rng);
    moran_statistics(setup, Randomization::kComplete, perm, scratch, replicate);
    for (int c = 1; c <= 2; ++c)
      for (int v = 1; v <= kVariables; ++v) values(c, v, r) = static_cast<float>(replicate.moran_matrix(v, c));
  }
  RangedVector<float> buffer = Allocator().float_vector(0, kReplicates);
  for (int c = 1; c <= 2; ++c) {
    for (int v = 1; v <= kVariables; ++v) {
      for (int r = 1; r <= kReplicates; ++r) buffer[r] = values(c, v, r);
      ResampleSummary summary;
      compute_resample_stat(buffer, 1, kReplicates, summary, static_cast<float>(observed.moran_matrix(v, c)));
      starred[c - 1] += significance_level(summary.p_two_sided, kReplicates) >= 1;
    }
  }
}

TEST(MoranNullHypothesis, ClassesAreStarredAtTheNominalRateWithClusteredMissingValues) {
  for (int lacking : {150, 0}) {
    int starred[kDataSets][2] = {};
    parallel_for(kDataSets, 2, [&](int, int d) {
      count_starred(noise(lacking, 100 + static_cast<unsigned>(d)), 1000 + static_cast<unsigned>(d), starred[d]);
    });
    for (int c = 0; c < 2; ++c) {
      int total = 0;
      for (const auto& counts : starred) total += counts[c];
      // 400 tests a class: 5 % +- 3 points is 8 to 32 starred.
      EXPECT_GE(total, 8) << "class " << c + 1 << ", " << lacking << " lacking";
      EXPECT_LE(total, 32) << "class " << c + 1 << ", " << lacking << " lacking";
    }
  }
}

}  // namespace
}  // namespace kalveno::testing
