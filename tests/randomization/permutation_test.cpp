// Complete and toroidal reassignments of the samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>

#include "base/allocation.h"
#include "randomization/permutation.h"
#include "randomization/sample_grid.h"

namespace kalveno {
namespace {

std::vector<int> entries(const Permutation& perm, int from = 1) {
  std::vector<int> out;
  for (int s = from; s <= perm.hi(); ++s) out.push_back(perm[s]);
  return out;
}

TEST(CompletePermutation, FollowsTheGeneratorFromMinusOne) {
  Random rng;
  rng.random_state = -1;
  Permutation perm = identity_permutation(5);
  complete_permutation(5, perm, rng);
  EXPECT_EQ(entries(perm), (std::vector<int>{3, 2, 5, 1, 4}));
}

TEST(CompletePermutation, UsesEverySampleExactlyOnceWhateverTheVectorHeld) {
  Random rng;
  rng.random_state = -9;
  Permutation perm = identity_permutation(50);
  perm[7] = 0;  // left over from a toroidal replicate
  for (int r = 0; r < 20; ++r) {
    complete_permutation(50, perm, rng);
    std::vector<int> sorted = entries(perm);
    std::sort(sorted.begin(), sorted.end());
    for (int s = 1; s <= 50; ++s) ASSERT_EQ(sorted[static_cast<std::size_t>(s - 1)], s);
  }
}

TEST(CompletePermutation, HandlesOneAndTwoSamples) {
  Random rng;
  rng.random_state = -1;
  Permutation one = identity_permutation(1);
  complete_permutation(1, one, rng);
  EXPECT_EQ(one[1], 1);
  EXPECT_EQ(rng.random_state, -1);  // no draw
  Permutation two = identity_permutation(2);
  complete_permutation(2, two, rng);  // u = 0.416: no exchange
  EXPECT_EQ(entries(two), (std::vector<int>{1, 2}));
  complete_permutation(2, two, rng);  // u = 0.092
  complete_permutation(2, two, rng);  // u = 0.756: exchange
  EXPECT_EQ(entries(two), (std::vector<int>{2, 1}));
}

// One grid nx x ny holding sample (X - 1) * ny + Y in cell (X, Y).
SampleGrid full_grid(int nx, int ny) {
  int n = nx * ny;
  RangedMatrix<int> positions = Allocator().int_matrix(0, 2, 0, n);
  for (int x = 1; x <= nx; ++x)
    for (int y = 1; y <= ny; ++y) {
      int s = (x - 1) * ny + y;
      positions(0, s) = 1;
      positions(1, s) = x;
      positions(2, s) = y;
    }
  return build_sample_grids(Allocator(), n, 1, positions, nx, ny, [](const std::string&) {});
}

TEST(ToroidalPermutation, ShiftsAndMirrorsTheTorus) {
  // Deviates from -1: 0.416, 0.092, 0.756, 0.530, 0.930. On a 3 x 2 grid the
  // first two give sx = 1, sy = 0; the first reflections (41, 18467) mirror
  // both axes.
  SampleGrid grid = full_grid(3, 2);
  Random rng;
  rng.random_state = -1;
  Permutation perm = identity_permutation(6);
  toroidal_permutation(grid, 1, perm, rng);
  // X' = mirror(X + 1), Y' = mirror(Y): cell (1,1) -> (2,2), (2,1) -> (1,2), (3,1) -> (3,2).
  EXPECT_EQ(entries(perm), (std::vector<int>{4, 3, 2, 1, 6, 5}));
  // The second replicate: 0.756, 0.530 give sx = 2, sy = 1; 6334 and 26500 are even.
  toroidal_permutation(grid, 1, perm, rng);
  // X' = X + 2 (mod 3), Y' = Y + 1 (mod 2).
  EXPECT_EQ(entries(perm), (std::vector<int>{6, 5, 2, 1, 4, 3}));
}

TEST(ToroidalPermutation, DrawsFromAsManyDistinctPlacementsAsItCounts) {
  // A reflection along one or two cells is one of the translations.
  for (auto [nx, ny] : {std::pair{1, 1}, std::pair{2, 2}, std::pair{2, 3}, std::pair{3, 4}}) {
    SampleGrid grid = full_grid(nx, ny);
    Random rng;
    rng.random_state = -1;
    Permutation perm = identity_permutation(nx * ny);
    std::set<std::vector<int>> seen;
    for (int r = 0; r < 2000; ++r) {
      toroidal_permutation(grid, 1, perm, rng);
      seen.insert(entries(perm));
    }
    EXPECT_EQ(static_cast<double>(seen.size()), toroidal_placements(grid, 1)) << nx << " x " << ny;
  }
}

TEST(ToroidalPermutation, DrawsForEveryGridEvenAnEmptyOne) {
  SampleGrid grid = full_grid(1, 1);
  Random rng, counted;
  rng.random_state = counted.random_state = -1;
  Permutation perm = identity_permutation(1);
  toroidal_permutation(grid, 1, perm, rng);
  EXPECT_EQ(perm[1], 1);  // a 1 x 1 grid always maps its sample onto itself
  uniform_deviate(counted);
  uniform_deviate(counted);
  lcg_rand(counted);
  lcg_rand(counted);
  EXPECT_EQ(uniform_deviate(rng), uniform_deviate(counted));
  EXPECT_EQ(lcg_rand(rng), lcg_rand(counted));
}

TEST(ToroidalPermutation, GivesZeroForAnEmptyTargetCellAndLeavesUnplacedSamplesWhereTheyWere) {
  // Samples 1..3 on a 3 x 1 grid; the middle cell is empty; sample 4 sits at X = 0.
  RangedMatrix<int> positions = Allocator().int_matrix(0, 2, 0, 4);
  const int cells[5][2] = {{0, 0}, {1, 1}, {3, 1}, {3, 1}, {0, 1}};
  for (int s = 1; s <= 4; ++s) {
    positions(0, s) = 1;
    positions(1, s) = cells[s][0];
    positions(2, s) = cells[s][1];
  }
  SampleGrid grid = build_sample_grids(Allocator(), 4, 1, positions, 3, 1, [](const std::string&) {});
  Random rng;
  rng.random_state = -1;  // sx = trunc(0.416 x 3) = 1; mirrored along X
  Permutation perm = identity_permutation(4);
  perm[3] = 2;  // left over from a complete replicate: it would share
  perm[4] = 1;  // a position with a sample on the torus
  toroidal_permutation(grid, 1, perm, rng);
  // Shift by 1 then mirror: cell 1 -> 2 (empty), cell 3 -> mirror(1) = 3.
  EXPECT_EQ(perm[1], 0);
  EXPECT_EQ(perm[2], 2);
  // Samples 3 (which lost its cell to sample 2) and 4 (at X = 0) stay at their own positions.
  EXPECT_EQ(perm[3], 3);
  EXPECT_EQ(perm[4], 4);
}

}  // namespace
}  // namespace kalveno
